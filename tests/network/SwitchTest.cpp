#include "DongleTest.h"

#include <filesystem>
#include <thread>

using mirelight::BindCompletion;
using mirelight::CBriskoModel;
using mirelight::CBriskoSim;
using namespace std::chrono_literals;

namespace {

const std::string kMessagePrefix = "+ADAR=06000000000100000A0100000000000000000000000000001";
const std::string kRejoin = "+NJNR=010000000000000000F8FF070000000000000000000000000000";

struct EffectCase
{
    const char* description;
    int index;
    int effect;
    const char* request;
    const char* status;
};

class ButtonMessageTest : public DongleTest, public testing::WithParamInterface<EffectCase>
{
};

TEST_P(ButtonMessageTest, SendsTheButtonPairAndEffectByteAndReportsIt)
{
    const EffectCase& c = GetParam();
    Connected();
    m_settings.m_iEffect[c.index] = c.effect;
    m_dongle.SendButtonMessage(c.index, true);
    EXPECT_EQ(NewRequests(), std::vector<std::string>({ c.request }));
    EXPECT_EQ(std::string(c.request).size() + 1, 73u); // with its CR
    EXPECT_EQ(Status(), c.status);
    EXPECT_TRUE(m_dongle.IsPortOpen());
}

INSTANTIATE_TEST_SUITE_P(
    Effects, ButtonMessageTest,
    testing::Values(
        EffectCase { "Button3On", 2, 1,
                     "+ADAR=06000000000100000A0100000000000000000000000000001300131156110000FF",
                     "Message FF sent for button 3" },
        EffectCase { "Button3Off", 2, 0,
                     "+ADAR=06000000000100000A010000000000000000000000000000130013115611000000",
                     "Message 00 sent for button 3" },
        EffectCase { "Button3Toggle", 2, 2,
                     "+ADAR=06000000000100000A0100000000000000000000000000001300131156110000F0",
                     "Message F0 sent for button 3" },
        EffectCase { "Button1NoSelection", 0, -1,
                     "+ADAR=06000000000100000A0100000000000000000000000000001100131156110000F0",
                     "Message F0 sent for button 1" },
        EffectCase { "Button8On", 7, 1,
                     "+ADAR=06000000000100000A0100000000000000000000000000001800131156110000FF",
                     "Message FF sent for button 8" }),
    [](const auto& param) { return param.param.description; });

class SwitchTest : public DongleTest
{
};

TEST_F(SwitchTest, LightsFollowThePresses)
{
    Connected();
    m_settings.m_iEffect[4] = 1;
    m_dongle.SendButtonMessage(4, true);
    EXPECT_TRUE(m_sim.Lights()[4]);
    m_settings.m_iEffect[4] = 2;
    m_dongle.SendButtonMessage(4, true);
    EXPECT_FALSE(m_sim.Lights()[4]);
}

TEST_F(SwitchTest, RefusedMessageRejoinsOnceAndSendsOnceMore)
{
    Connected();
    m_settings.m_iEffect[0] = 1;
    Script([](CBriskoModel& m) { m.AnswerWithStatus("+ADAR=06", "01", 1); });
    m_dongle.SendButtonMessage(0, true);
    const std::string message = kMessagePrefix + "100131156110000FF";
    EXPECT_EQ(NewRequests(), std::vector<std::string>({ message, "+DRSR", kRejoin, message }));
    EXPECT_EQ(Status(), "Message FF sent for button 1");

    m_requestsBefore = m_sim.Requests().size();
    Script([](CBriskoModel& m) { m.AnswerWithStatus("+ADAR=06", "01", 0); });
    m_dongle.SendButtonMessage(0, true);
    EXPECT_EQ(NewRequests().size(), 4u); // never more than one rejoin and one retry
    EXPECT_EQ(Status(), "Network rejoined"); // the second refusal adds nothing
    EXPECT_TRUE(m_dongle.IsPortOpen());
}

TEST_F(SwitchTest, UnansweredMessageClosesThePortAndTheNextPressConnectsFirst)
{
    Connected();
    Script([](CBriskoModel& m) { m.LeaveUnanswered("+ADAR", 1); });
    m_dongle.SendButtonMessage(1, true);
    EXPECT_EQ(Status(), "Brisko communications error 1678");
    EXPECT_FALSE(m_dongle.IsPortOpen());

    m_host.m_statuses.clear();
    m_dongle.SendButtonMessage(1, true);
    EXPECT_EQ(
        m_host.m_statuses,
        std::vector<std::string>({ "Searching for Brisko on COM7:", "Brisko detected on COM7:",
                                   "Message 00 sent for button 2" }));
    EXPECT_EQ(NewRequests().size(), 1u + 12u + 1u);
}

// True when a descriptor of this process is still on the device at path.
bool HoldsDescriptorOn(const std::string& path)
{
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd", error)) {
        if (std::filesystem::read_symlink(entry.path(), error).string().starts_with(path))
            return true;
    }
    return false;
}

TEST_F(SwitchTest, AfterTheDongleIsUnpluggedAndPluggedInAgainTheNextPressJustWorks)
{
    Connected();
    const std::string device = m_sim.DevicePath();
    m_sim.Stop(); // unplugged while nobody uses it
    const auto deadline = std::chrono::steady_clock::now() + 2s;
    while (m_dongle.IsPortOpen() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(10ms);
    EXPECT_FALSE(m_dongle.IsPortOpen());
    EXPECT_FALSE(HoldsDescriptorOn(device)) << "the device that went away is let go of";

    CBriskoSim pluggedIn(kCom);
    ASSERT_TRUE(pluggedIn.Start()) << pluggedIn.LastError();
    m_settings.m_iEffect[2] = 1;
    m_dongle.SendButtonMessage(2, true);
    EXPECT_EQ(Status(), "Message FF sent for button 3");
    EXPECT_TRUE(pluggedIn.Lights()[2]);
    EXPECT_EQ(pluggedIn.Requests().size(), 12u + 1u);
}

class BindTest : public DongleTest
{
protected:
    void ExpectBindFailedWithPortOpen()
    {
        EXPECT_EQ(Status(), "Bind failed");
        EXPECT_TRUE(m_dongle.IsPortOpen());
        EXPECT_EQ(m_host.m_saves, 0);
        EXPECT_EQ(m_host.m_waitDepth, 0);
    }
};

TEST_F(BindTest, CompletedBindIsReportedAndSaved)
{
    Connected();
    m_dongle.Bind(2);
    EXPECT_EQ(
        NewRequests(),
        std::vector<std::string>(
            { "+ADAR="
              "0B000000000000010A0100000000000000000000000000000000202155080000130001000113" }));
    EXPECT_EQ(m_host.m_statuses,
              std::vector<std::string>(
                  { "You have 6 seconds to complete the bind operation", "Bind succeeded" }));
    EXPECT_EQ(m_host.m_saves, 1);
    EXPECT_EQ(m_dongle.BindButton(), 2);
    EXPECT_TRUE(m_host.m_waitCursorShown);
    EXPECT_EQ(m_host.m_waitDepth, 0);
}

TEST_F(BindTest, EighthEntryBindsButtonEight)
{
    Connected();
    m_dongle.Bind(7);
    EXPECT_NE(NewRequests().at(0).find("202155080000180001000113"), std::string::npos);
    EXPECT_EQ(Status(), "Bind succeeded");
}

TEST_F(BindTest, IndicationThatNeverComesOrCameTooEarlyFailsAfterSixSecondsWithThePortOpen)
{
    Connected();
    Script([](CBriskoModel& m) {
        m.SetBindCompletion(BindCompletion::Never, 0ms);
        // A completed indication ahead of the confirmation is not the one awaited.
        m.SendBefore("+ADAR=0B", "+ADAI=" + std::string(62, '0') + "00\r\n", 1);
    });
    const auto start = std::chrono::steady_clock::now();
    m_dongle.Bind(1);
    EXPECT_GE(std::chrono::steady_clock::now() - start, 6000ms);
    ExpectBindFailedWithPortOpen();
    EXPECT_EQ(m_dongle.BindButton(), 1);
}

TEST_F(BindTest, UnansweredRequestClosesThePortAndTheNextBindConnectsFirst)
{
    Connected();
    Script([](CBriskoModel& m) { m.LeaveUnanswered("+ADAR", 1); });
    m_dongle.Bind(3);
    EXPECT_EQ(Status(), "Brisko communications error 1322");
    EXPECT_FALSE(m_dongle.IsPortOpen());

    m_settings.m_iComChan = 57; // nothing there: the bind ends with the failed connect
    m_dongle.Bind(5);
    EXPECT_EQ(Status(), "Couldn't open COM57:");
    EXPECT_EQ(m_dongle.BindButton(), 5);

    m_settings.m_iComChan = kCom;
    m_host.m_statuses.clear();
    m_dongle.Bind(5);
    EXPECT_EQ(m_host.m_statuses,
              std::vector<std::string>(
                  { "Searching for Brisko on COM7:", "Brisko detected on COM7:",
                    "You have 6 seconds to complete the bind operation", "Bind succeeded" }));
    EXPECT_EQ(m_host.m_saves, 1);
}

} // namespace
