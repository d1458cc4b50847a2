#include "DongleTest.h"

#include <algorithm>
#include <filesystem>
#include <thread>
#include <tuple>

using mirelight::BindCompletion;
using mirelight::CBriskoModel;
using mirelight::CBriskoSim;
using namespace std::chrono_literals;

namespace {

const std::string kMessagePrefix = "+ADAR=06000000000100000A0100000000000000000000000000001";

using SwitchTest = DongleTest;

TEST_F(SwitchTest, APressSendsItsButtonAndTheEffectSetForItAndReportsTheEffectByte)
{
    // The index, its effect, the end of the request and the status.
    using Row = std::tuple<int, int, const char*, const char*>;
    Connected();
    for (const auto& [index, effect, requestEnd, status] :
         { Row { 2, 1, "300131156110000FF", "Message FF sent for button 3" },
           Row { 7, 0, "80013115611000000", "Message 00 sent for button 8" },
           Row { 0, -1, "100131156110000F0", "Message F0 sent for button 1" } }) {
        m_requestsBefore = m_sim.Requests().size();
        m_settings.m_iEffect[index] = effect;
        m_dongle.SendButtonMessage(index, true);
        EXPECT_EQ(NewRequests(), std::vector<std::string>({ kMessagePrefix + requestEnd }));
        EXPECT_EQ(Status(), status);
    }
}

TEST_F(SwitchTest, RefusedMessageRejoinsOnceAndSendsOnceMore)
{
    Connected();
    m_settings.m_iEffect[0] = 1;
    m_sim.Configure([](CBriskoModel& m) { m.AnswerWithStatus("+ADAR=06", "01", 1); });
    m_dongle.SendButtonMessage(0, true);
    const std::string message = kMessagePrefix + "100131156110000FF";
    const std::string rejoin = "+NJNR=010000000000000000F8FF070000000000000000000000000000";
    EXPECT_EQ(NewRequests(), std::vector<std::string>({ message, "+DRSR", rejoin, message }));
    EXPECT_EQ(Status(), "Message FF sent for button 1");

    m_requestsBefore = m_sim.Requests().size();
    m_sim.Configure([](CBriskoModel& m) { m.AnswerWithStatus("+ADAR=06", "01", 0); });
    m_dongle.SendButtonMessage(0, true);
    EXPECT_EQ(NewRequests().size(), 4u); // never more than one rejoin and one retry
}

// True when a descriptor of this process is still on the device at path.
bool HoldsDescriptorOn(const std::string& path)
{
    std::error_code error;
    return std::ranges::any_of(
        std::filesystem::directory_iterator("/proc/self/fd", error), [&](const auto& fd) {
            return std::filesystem::read_symlink(fd, error).string().starts_with(path);
        });
}

TEST_F(SwitchTest, AfterTheDongleIsUnpluggedAndPluggedInAgainTheNextPressJustWorks)
{
    Connected();
    const std::string device = m_sim.DevicePath();
    m_sim.Stop(); // unplugged while nobody uses it
    const auto deadline = std::chrono::steady_clock::now() + 20s;
    while (m_dongle.IsPortOpen() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(10ms);
    EXPECT_FALSE(m_dongle.IsPortOpen());
    EXPECT_FALSE(HoldsDescriptorOn(device)) << "the device that went away is let go of";

    CBriskoSim pluggedIn(kCom);
    ASSERT_TRUE(pluggedIn.Start()) << pluggedIn.LastError();
    m_settings.m_iEffect[2] = 1;
    m_dongle.SendButtonMessage(2, true);
    EXPECT_EQ(Status(), "Message FF sent for button 3");
    EXPECT_EQ(pluggedIn.Requests().size(), 12u + 1u);
}

TEST_F(SwitchTest, BindFromAClosedPortConnectsBeforeTheSixSecondsStart)
{
    m_dongle.Bind(2);
    EXPECT_EQ(m_sim.Requests().back(),
              "+ADAR=0B000000000000010A0100000000000000000000000000000000202155080000130001000113");
    EXPECT_EQ(m_host.m_statuses,
              std::vector<std::string>(
                  { "Searching for Brisko on COM7:", "Brisko detected on COM7:",
                    "You have 6 seconds to complete the bind operation", "Bind succeeded" }));
    EXPECT_EQ(m_dongle.BindButton(), 2);
    EXPECT_TRUE(m_host.m_waitCursorShown);
}

TEST_F(SwitchTest, BindIndicationThatNeverComesOrCameTooEarlyFailsAfterSixSeconds)
{
    Connected();
    m_sim.Configure([](CBriskoModel& m) {
        m.SetBindCompletion(BindCompletion::Never, 0ms);
        // A completed indication ahead of the confirmation is not the one awaited.
        m.SendBefore("+ADAR=0B", "+ADAI=" + std::string(62, '0') + "00\r\n", 1);
    });
    const auto start = std::chrono::steady_clock::now();
    m_dongle.Bind(1);
    EXPECT_GE(std::chrono::steady_clock::now() - start, 6000ms);
    EXPECT_EQ(Status(), "Bind failed");
}

} // namespace
