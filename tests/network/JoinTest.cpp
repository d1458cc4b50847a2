#include "DongleTest.h"

using mirelight::CBriskoModel;

namespace {

using JoinTest = DongleTest;

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

TEST_F(JoinTest, IdentifierThatIsShortOrNotHexNeverReachesAJoinRequest)
{
    Connected();
    for (const char* id : { "12G4", "AB\r\n" }) {
        m_sim.Configure([&](CBriskoModel& m) { m.SetNetworkId(id); });
        const std::size_t before = m_sim.Requests().size();
        m_dongle.Join();
        EXPECT_EQ(Status(), "Network found but couldn't join") << id;
        EXPECT_EQ(m_sim.Requests().size(), before + 2) << "no join request for " << id;
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
}

} // namespace
