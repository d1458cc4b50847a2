#include "DongleTest.h"

#include <algorithm>
#include <filesystem>
#include <functional>
#include <thread>
#include <tuple>

using mirelight::BindCompletion;
using mirelight::CBriskoModel;
using mirelight::CBriskoSim;
using namespace std::chrono_literals;

// The dongle operations against the simulated Brisko: what each sends, reports and stores.
namespace {

using ConnectTest = DongleTest;
using JoinTest = DongleTest;
using SwitchTest = DongleTest;

std::vector<std::string> DetectionRequests(const std::string& macLine = {})
{
    std::vector<std::string> requests = { "+DVRR" };
    if (!macLine.empty())
        requests.push_back(macLine);
    requests.push_back("+DVRR");
    requests.push_back("+DSTR=040000");
    for (char n = '1'; n <= '8'; ++n)
        requests.push_back(std::string("+DSTR=8") + n + '1' + n
                           + "0000FEFF01000000000000000000011300000000000000");
    requests.push_back("+DRSR");
    return requests;
}

TEST_F(ConnectTest, ConfiguresTheDongleWithTwelveRequestsEveryTimeAfterGivingItTheTypedAddress)
{
    m_sim.Configure([](CBriskoModel& m) { m.SetMacMissing(true); });
    m_dongle.Connect(); // pairs of the typed digits from the last, as typed
    m_dongle.Connect(); // connected already: the whole sequence runs again
    EXPECT_TRUE(m_dongle.IsPortOpen());
    std::vector<std::string> requests = DetectionRequests("+DSMR=EFcDab8967452301");
    const std::vector<std::string> again = DetectionRequests();
    requests.insert(requests.end(), again.begin(), again.end());
    EXPECT_EQ(m_sim.Requests(), requests);
    const std::string searching = "Searching for Brisko on COM7:";
    const std::string detected = "Brisko detected on COM7:";
    EXPECT_EQ(m_host.m_statuses,
              std::vector<std::string>({ searching, detected, searching, detected }));
    EXPECT_EQ(m_host.m_macQuestions, 1);
}

TEST_F(ConnectTest, CancelledAddressClosesThePortEndsTheProgramAndNoOperationStartsAfter)
{
    m_sim.Configure([](CBriskoModel& m) { m.SetMacMissing(true); });
    m_host.m_macConfirmed = false;
    m_dongle.Connect();
    EXPECT_EQ(Status(), "Couldn't find Brisko on COM7:");
    EXPECT_FALSE(m_dongle.IsPortOpen());
    EXPECT_EQ(m_host.m_exits, 1);

    m_dongle.Connect();
    m_dongle.Rejoin();
    m_dongle.Join();
    m_dongle.SendButtonMessage(0, true);
    m_dongle.Bind(3);
    EXPECT_EQ(m_sim.Requests().size(), 1u);
    EXPECT_EQ(m_host.m_macQuestions, 1);
    EXPECT_TRUE(m_host.m_joinedWhenSaved.empty());
    EXPECT_EQ(m_dongle.BindButton(), 0);
    EXPECT_EQ(Status(), "Couldn't find Brisko on COM7:");
}

TEST_F(ConnectTest, AnAddressNotOfSixteenHexDigitsIsNeverSentAndTheProgramGoesOn)
{
    m_sim.Configure([](CBriskoModel& m) { m.SetMacMissing(true); });
    m_host.m_macDigits = "0123456789abcdeG";
    m_dongle.Connect();
    EXPECT_EQ(m_sim.Requests(), std::vector<std::string>({ "+DVRR" }));
    EXPECT_EQ(Status(), "Couldn't find Brisko on COM7:");
    EXPECT_FALSE(m_dongle.IsPortOpen());
    EXPECT_EQ(m_host.m_exits, 0);
}

// Kept from the first dongles: the model check takes whatever line comes first.
TEST_F(ConnectTest, TheModelCheckTakesALineOfAnotherNameForItsAnswer)
{
    m_sim.Configure(
        [](CBriskoModel& m) { m.SendBefore("+DVRR", CBriskoModel::UnrelatedLine(), 2); });
    m_dongle.Connect();
    EXPECT_EQ(Status(), "Device on COM7: is not a Brisko");
    EXPECT_FALSE(m_dongle.IsPortOpen());
}

TEST_F(ConnectTest, FailedConnectEndsAJoinWithJoinedAlreadyStoredAsZeroAndABindAfterChoosing)
{
    m_settings.m_iComChan = 57; // nothing there
    m_dongle.Join();
    EXPECT_EQ(Status(), "Couldn't open COM57:");
    EXPECT_EQ(m_settings.m_bJoined, 0);
    EXPECT_EQ(m_host.m_joinedWhenSaved, std::vector<int>({ 0 }));
    EXPECT_EQ(m_host.m_waitDepth, 0);
    EXPECT_TRUE(m_host.m_waitCursorShown);

    m_dongle.Bind(5);
    EXPECT_EQ(m_dongle.BindButton(), 5);
    EXPECT_EQ(m_host.m_joinedWhenSaved.size(), 1u);
}

TEST_F(JoinTest, FromAClosedPortConnectsThenJoinsTheNetworkFoundAndStoresIt)
{
    m_sim.Configure([](CBriskoModel& m) { m.SetNetworkId("ABCD"); });
    m_dongle.Join();
    const std::vector<std::string> requests = m_sim.Requests();
    ASSERT_EQ(requests.size(), 15u); // detection, then the join
    EXPECT_EQ(std::vector<std::string>(requests.end() - 3, requests.end()),
              std::vector<std::string>({ "+DRSR", "+NNDR=000000000000000800F8FF07",
                                         "+NJNR=000000010000010000000000000000000000000000000000"
                                         "ABCD" }));
    EXPECT_EQ(Status(), "Successfully joined network CDAB");
    EXPECT_EQ(m_host.m_joinedWhenSaved, std::vector<int>({ 0, 1 }));
    EXPECT_EQ(m_host.m_updateControls, 2);
}

TEST_F(JoinTest, NoNetworkOrAnIdentifierThatIsShortOrNotHexNeverReachesAJoinRequest)
{
    using Row = std::pair<std::function<void(CBriskoModel&)>, const char*>;
    Connected();
    for (const auto& [script, status] :
         { Row { [](CBriskoModel& m) { m.AnswerWithStatus("+NNDR", "01", 1); },
                 "No networks found" },
           Row { [](CBriskoModel& m) { m.SetNetworkId("12G4"); },
                 "Network found but couldn't join" },
           Row { [](CBriskoModel& m) { m.SetNetworkId("AB\r\n"); },
                 "Network found but couldn't join" } }) {
        m_sim.Configure(script);
        const std::size_t before = m_sim.Requests().size();
        m_dongle.Join();
        EXPECT_EQ(Status(), status);
        EXPECT_EQ(m_sim.Requests().size(), before + 2) << "no join request for " << status;
        EXPECT_TRUE(m_dongle.IsPortOpen());
        EXPECT_FALSE(m_dongle.IsNetworkUp());
    }
}

TEST_F(JoinTest, RejoinAtStartUpConnectsFirst)
{
    m_dongle.Rejoin();
    const std::vector<std::string> requests = m_sim.Requests();
    ASSERT_EQ(requests.size(), 14u);
    EXPECT_EQ(requests[12], "+DRSR");
    EXPECT_EQ(requests[13], "+NJNR=010000000000000000F8FF070000000000000000000000000000");
    EXPECT_TRUE(m_dongle.IsNetworkUp());
    EXPECT_EQ(m_host.m_updateControls, 2);
    m_dongle.Connect(); // leaves the network flags as they are
    EXPECT_TRUE(m_dongle.IsNetworkUp());
}

const std::string kMessagePrefix = "+ADAR=06000000000100000A0100000000000000000000000000001";

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

TEST_F(SwitchTest, LinesLateBehindTheLastAnswerOfConnectOrJoinNeverAnswerTheNextPress)
{
    const std::pair<const char*, std::function<void()>> operations[]
        = { { "+DRSR", [this] { Connected(); } }, { "+NJNR", [this] { m_dongle.Join(); } } };
    for (const auto& [lastRequest, operation] : operations) {
        m_sim.Configure([&](CBriskoModel& m) { m.SendAfter(lastRequest, "+ADAC=01\r\n", 1); });
        operation();
        m_requestsBefore = m_sim.Requests().size();
        m_dongle.SendButtonMessage(0, true);
        EXPECT_EQ(NewRequests().size(), 1u) << "a refusal left behind " << lastRequest;
    }
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
