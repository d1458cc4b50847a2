#include "DongleTest.h"

using mirelight::CBriskoModel;
using namespace std::chrono_literals;

namespace {

const std::string kDiscovery = "+NNDR=000000000000000800F8FF07";
const std::string kJoinPrefix = "+NJNR=000000010000010000000000000000000000000000000000";
const std::string kRejoin = "+NJNR=010000000000000000F8FF070000000000000000000000000000";

class JoinTest : public DongleTest
{
protected:
    void SetUp() override
    {
        DongleTest::SetUp();
        m_settings.m_bJoined = 1; // joined before: a Join starts by forgetting that
        m_host.m_onSave = [this] { m_joinedWhenSaved.push_back(m_settings.m_bJoined); };
    }

    void ExpectNotJoined(bool portOpen)
    {
        EXPECT_EQ(m_settings.m_bJoined, 0);
        EXPECT_FALSE(m_dongle.IsNetworkUp());
        EXPECT_EQ(m_joinedWhenSaved, std::vector<int>({ 0 }));
        EXPECT_EQ(m_dongle.IsPortOpen(), portOpen);
        EXPECT_EQ(m_host.m_waitDepth, 0);
        EXPECT_TRUE(m_host.m_waitCursorShown);
    }

    std::vector<int> m_joinedWhenSaved;
};

TEST_F(JoinTest, FromAClosedPortConnectsThenJoinsTheNetworkFoundAndStoresIt)
{
    Script([](CBriskoModel& m) { m.SetNetworkId("ABCD"); });
    m_dongle.Join();
    const std::vector<std::string> requests = m_sim.Requests();
    ASSERT_EQ(requests.size(), 15u); // detection, then the join
    EXPECT_EQ(std::vector<std::string>(requests.end() - 3, requests.end()),
              std::vector<std::string>({ "+DRSR", kDiscovery, kJoinPrefix + "ABCD" }));
    EXPECT_EQ(Status(), "Successfully joined network CDAB");
    EXPECT_EQ(m_settings.m_bJoined, 1);
    EXPECT_TRUE(m_dongle.IsNetworkUp());
    EXPECT_EQ(m_joinedWhenSaved, std::vector<int>({ 0, 1 }));
    EXPECT_EQ(m_host.m_updateControls, 2);
    EXPECT_EQ(m_host.m_waitDepth, 0);
}

TEST_F(JoinTest, IdentifierThatIsShortOrNotHexNeverReachesAJoinRequest)
{
    Connected();
    for (const char* id : { "12G4", "AB\r\n" }) {
        m_joinedWhenSaved.clear();
        Script([&](CBriskoModel& m) { m.SetNetworkId(id); });
        const std::size_t before = m_sim.Requests().size();
        m_dongle.Join();
        EXPECT_EQ(Status(), "Network found but couldn't join") << id;
        EXPECT_EQ(m_sim.Requests().size(), before + 2) << "no join request for " << id;
        ExpectNotJoined(true);
    }
}

TEST_F(JoinTest, FailedConnectEndsTheJoinWithJoinedAlreadyStoredAsZero)
{
    m_settings.m_iComChan = 57;
    m_dongle.Join();
    EXPECT_EQ(Status(), "Couldn't open COM57:");
    ExpectNotJoined(false);
}

class RejoinTest : public DongleTest
{
protected:
    void SetUp() override
    {
        DongleTest::SetUp();
        m_settings.m_bJoined = 1;
    }
};

TEST_F(RejoinTest, AtStartUpConnectsRejoinsAndWritesNothing)
{
    m_dongle.Rejoin();
    const std::vector<std::string> requests = m_sim.Requests();
    ASSERT_EQ(requests.size(), 14u);
    EXPECT_EQ(requests[12], "+DRSR");
    EXPECT_EQ(requests[13], kRejoin);
    EXPECT_EQ(Status(), "Network rejoined");
    EXPECT_EQ(m_settings.m_bJoined, 1);
    EXPECT_TRUE(m_dongle.IsNetworkUp());
    EXPECT_EQ(m_host.m_saves, 0);
    EXPECT_EQ(m_host.m_updateControls, 2);
    EXPECT_EQ(m_host.m_waitDepth, 0);
}

TEST_F(RejoinTest, NothingStartsOnceTheProgramIsEnding)
{
    Script([](CBriskoModel& m) { m.SetMacMissing(true); });
    m_host.m_macConfirmed = false;
    m_dongle.Connect(); // the user cancels the address: the program ends
    m_dongle.Rejoin();
    m_dongle.Join();
    m_dongle.SendButtonMessage(0, true);
    m_dongle.Bind(0);
    EXPECT_EQ(m_host.m_macQuestions, 1);
    EXPECT_EQ(m_sim.Requests().size(), 1u);
    EXPECT_EQ(Status(), "Couldn't find Brisko on COM7:");
}

} // namespace
