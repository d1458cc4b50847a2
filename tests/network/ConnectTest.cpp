#include "DongleTest.h"

#include <chrono>
#include <string>
#include <vector>

using mirelight::CBriskoModel;
using mirelight::CDongle;
using mirelight::PanelSettings;
using namespace std::chrono_literals;

namespace {

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

class ConnectTest : public DongleTest
{
protected:
    void SetUp() override
    {
        DongleTest::SetUp();
        m_settings.m_bJoined = 1;
    }
};

TEST_F(ConnectTest, DongleWithAddressIsConfiguredWithTwelveRequestsAndNothingElseChanges)
{
    const PanelSettings before = m_settings;
    m_dongle.Connect();
    EXPECT_EQ(Status(), "Brisko detected on COM7:");
    EXPECT_TRUE(m_dongle.IsPortOpen());
    EXPECT_EQ(m_sim.Requests(), DetectionRequests());
    EXPECT_EQ(
        m_host.m_statuses,
        std::vector<std::string>({ "Searching for Brisko on COM7:", "Brisko detected on COM7:" }));
    EXPECT_EQ(m_host.m_macQuestions, 0);
    EXPECT_EQ(m_host.m_saves, 0);
    EXPECT_EQ(m_settings.m_bJoined, before.m_bJoined);
    EXPECT_FALSE(m_dongle.IsNetworkUp());
}

TEST_F(ConnectTest, DongleWithoutAddressGetsTheTypedDigitsPairByPairFromTheLast)
{
    Script([](CBriskoModel& m) { m.SetMacMissing(true); });
    m_dongle.Connect();
    EXPECT_EQ(Status(), "Brisko detected on COM7:");
    EXPECT_EQ(m_host.m_macQuestions, 1);
    EXPECT_EQ(m_sim.Requests(), DetectionRequests("+DSMR=EFcDab8967452301"));
}

TEST_F(ConnectTest, ConnectingAgainWhileConnectedRunsTheWholeSequenceAgain)
{
    m_dongle.Connect();
    m_dongle.Connect();
    EXPECT_EQ(Status(), "Brisko detected on COM7:");
    std::vector<std::string> twice = DetectionRequests();
    const std::vector<std::string> once = twice;
    twice.insert(twice.end(), once.begin(), once.end());
    EXPECT_EQ(m_sim.Requests(), twice);
}

TEST_F(ConnectTest, PortThatIsMissingOrHeldByAnotherProgramFailsAtOnce)
{
    m_settings.m_iComChan = 57;
    const auto start = std::chrono::steady_clock::now();
    m_dongle.Connect();
    EXPECT_EQ(Status(), "Couldn't open COM57:");
    EXPECT_FALSE(m_dongle.IsPortOpen());

    m_settings.m_iComChan = kCom;
    FakeDongleHost otherHost;
    PanelSettings otherSettings = m_settings;
    CDongle other(otherHost, otherSettings);
    other.Connect();
    ASSERT_TRUE(other.IsPortOpen());
    m_dongle.Connect();
    EXPECT_EQ(Status(), "Couldn't open COM7:");
    EXPECT_FALSE(m_dongle.IsPortOpen());
    EXPECT_LT(std::chrono::steady_clock::now() - start, 1s + 500ms); // other's Connect included
}

TEST_F(ConnectTest, WrongModelCodeOrNoAddressAfterItWasGivenMeansNotABrisko)
{
    Script([](CBriskoModel& m) { m.SetModelCode("0B400113"); });
    m_dongle.Connect();
    EXPECT_EQ(Status(), "Device on COM7: is not a Brisko");
    EXPECT_FALSE(m_dongle.IsPortOpen());
    EXPECT_EQ(m_sim.Requests().size(), 2u);

    Script([](CBriskoModel& m) {
        m.SetModelCode(std::string(CBriskoModel::kBriskoModelCode));
        m.SetMacMissing(true);
        m.AnswerWithStatus("+DVRR", "04", 2); // the second from now: after the address
    });
    m_dongle.Connect();
    EXPECT_EQ(Status(), "Device on COM7: is not a Brisko");
    EXPECT_FALSE(m_dongle.IsPortOpen());
}

TEST_F(ConnectTest, CancelledAddressClosesThePortEndsTheProgramAndNoOperationStartsAfter)
{
    Script([](CBriskoModel& m) { m.SetMacMissing(true); });
    m_host.m_macConfirmed = false;
    m_dongle.Connect();
    EXPECT_EQ(Status(), "Couldn't find Brisko on COM7:");
    EXPECT_FALSE(m_dongle.IsPortOpen());
    EXPECT_EQ(m_host.m_exits, 1);
    EXPECT_TRUE(m_dongle.IsProgramEnding());

    m_dongle.Connect();
    EXPECT_EQ(m_sim.Requests().size(), 1u);
    EXPECT_EQ(m_host.m_macQuestions, 1);
}

TEST_F(ConnectTest, RequestThatCannotBeWrittenEndsWithoutAMessage)
{
    Script([](CBriskoModel& m) { m.SetMacMissing(true); });
    m_host.m_onMacQuestion = [this] { m_sim.Stop(); }; // unplugged while the user types
    m_dongle.Connect();
    EXPECT_EQ(Status(), "Searching for Brisko on COM7:");
    EXPECT_EQ(m_sim.Requests().size(), 1u);
}

} // namespace
