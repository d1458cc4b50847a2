#include "DongleTest.h"

using mirelight::CBriskoModel;

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

using ConnectTest = DongleTest;

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
    EXPECT_TRUE(m_dongle.IsProgramEnding());

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

} // namespace
