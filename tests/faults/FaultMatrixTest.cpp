#include "network/DongleTest.h"

#include <algorithm>
#include <string>
#include <thread>
#include <vector>

using mirelight::BindCompletion;
using mirelight::CBriskoModel;
using mirelight::CBriskoSim;
using namespace std::chrono_literals;

// Every request of every dongle operation, each met by a device that stays silent, refuses,
// sends other lines first or is unplugged. A case checks what the operation leaves behind, and
// then that the program can still connect to the device once it is back.
namespace {

enum class Fault { Silent, Refused, Noisy, Unplugged };
const char* const kFaultNames[] = { "Silent", "Refused", "Noisy", "Unplugged" };

// The operations, each as the panel starts it.
using Operation = void (*)(mirelight::CDongle&);
constexpr Operation kConnect = [](mirelight::CDongle& dongle) { dongle.Connect(); };
constexpr Operation kJoin = [](mirelight::CDongle& dongle) { dongle.Join(); };
constexpr Operation kRejoin = [](mirelight::CDongle& dongle) { dongle.Rejoin(); };
constexpr Operation kBind = [](mirelight::CDongle& dongle) { dongle.Bind(0); };
constexpr Operation kPress = [](mirelight::CDongle& dongle) { dongle.SendButtonMessage(0, true); };

struct Flags
{
    int joined; // PanelSettings::m_bJoined
    bool networkUp;
    int saves; // SaveSettings calls
};

struct Outcome
{
    std::string status;
    bool portOpen;
    Flags flags;
};

// A silent or unplugged device leaves the request's communications error, the port closed and
// the flags in `failed`. Unplugging is the same to the operations as silence; it has rows of its
// own only where the link's wait differs: the first request, the one awaiting any line and the
// bind's indication.
struct Row
{
    const char* name;
    Operation operation;
    const char* prefix; // selects the request in the simulator's script
    int occurrence; // of that request within the operation; 0 for each one
    long code; // 0 for the bind's indication, whose wait reports no code and keeps the port
    Flags failed;
    Outcome refused;
    Outcome noisy;
    bool unplug;
};

// Connect starts from a closed port with "Joined" stored as 1 and changes neither flag. Every
// other operation starts connected and on the network; a rejoin whose reset was confirmed has
// taken the network down.
constexpr Flags kDown { 1, false, 0 };
constexpr Flags kOnNetwork { 1, true, 0 };
constexpr Flags kJoinFailed { 0, false, 1 }; // "Joined" 0 was stored before anything was sent

const Outcome kConnected { "Brisko detected on COM7:", true, kDown };
const Outcome kNotABrisko { "Device on COM7: is not a Brisko", false, kDown };
const Outcome kJoined { "Successfully joined network 2B1A", true, { 1, true, 2 } };
const Outcome kRejoined { "Network rejoined", true, kOnNetwork };
const Outcome kBindFailed { "Bind failed", true, kOnNetwork };
const Outcome kBound { "Bind succeeded", true, { 1, true, 1 } };

using enum Fault;

// clang-format off
const Row kRows[] = {
    // The dongle has no MAC address yet, so detection takes all 13 requests. A failure status
    // to the first version request comes as "+DERI=<status>".
    { "ConnectVersion", kConnect, "+DVRR", 1, 868, kDown,
      { "Couldn't find Brisko on COM7:", false, kDown }, kConnected, true },
    // A dongle that refused the address still has none when the model is checked.
    { "ConnectMacAddress", kConnect, "+DSMR", 1, 941, kDown, kNotABrisko, kConnected, false },
    // The first line that comes answers the model check, another device's line too.
    { "ConnectModelCheck", kConnect, "+DVRR", 2, 964, kDown, kNotABrisko, kNotABrisko, true },
    // The settings' and the reset's confirmations are recognised by name alone.
    { "ConnectBasic", kConnect, "+DSTR=04", 1, 995, kDown, kConnected, kConnected, false },
    { "ConnectButton1", kConnect, "+DSTR=81", 1, 1017, kDown, kConnected, kConnected, false },
    { "ConnectButton8", kConnect, "+DSTR=88", 1, 1171, kDown, kConnected, kConnected, false },
    { "ConnectReset", kConnect, "+DRSR", 1, 1193, kDown, kConnected, kConnected, false },
    { "JoinReset", kJoin, "+DRSR", 1, 1397, kJoinFailed, kJoined, kJoined, false },
    { "JoinDiscovery", kJoin, "+NNDR", 1, 1416, kJoinFailed,
      { "No networks found", true, kJoinFailed }, kJoined, false },
    { "JoinRequest", kJoin, "+NJNR=00", 1, 1446, kJoinFailed,
      { "Network found but couldn't join", true, kJoinFailed }, kJoined, false },
    // Before the reset is confirmed the network flag stays as it was.
    { "RejoinReset", kRejoin, "+DRSR", 1, 1553, kOnNetwork, kRejoined, kRejoined, false },
    { "RejoinRequest", kRejoin, "+NJNR=01", 1, 1579, kDown, { "Rejoin failed", true, kDown },
      kRejoined, false },
    { "BindConfirmation", kBind, "+ADAR=0B", 1, 1322, kOnNetwork, kBindFailed, kBound, false },
    { "BindIndication", kBind, "+ADAR=0B", 1, 0, kOnNetwork, kBindFailed, kBound, true },
    // Every message refused: one rejoin and one more attempt, whose refusal adds nothing.
    { "ButtonMessage", kPress, "+ADAR=06", 0, 1678, kOnNetwork, kRejoined,
      { "Message FF sent for button 1", true, kOnNetwork }, true },
};
// clang-format on

struct Case
{
    const Row* row;
    Fault fault;
};

void PrintTo(const Case& c, std::ostream* out)
{
    *out << c.row->name << '_' << kFaultNames[static_cast<int>(c.fault)];
}

std::vector<Case> Cases()
{
    std::vector<Case> cases;
    for (const Row& row : kRows) {
        for (const Fault fault : { Silent, Refused, Noisy })
            cases.push_back({ &row, fault });
        if (row.unplug)
            cases.push_back({ &row, Unplugged });
    }
    return cases;
}

Outcome Expected(const Row& row, Fault fault)
{
    if (fault == Refused)
        return row.refused;
    if (fault == Noisy)
        return row.noisy;
    if (row.code == 0) // a device that went away meanwhile has closed the port
        return { "Bind failed", fault == Silent, row.failed };
    return { "Brisko communications error " + std::to_string(row.code), false, row.failed };
}

class FaultMatrixTest : public DongleTest, public testing::WithParamInterface<Case>
{
protected:
    void InjectFault()
    {
        const std::string noise = CBriskoModel::UnrelatedLine() + CBriskoModel::GarbageLines();
        const std::string prefix = m_row.prefix;
        const int n = m_row.occurrence;
        if (m_row.code != 0)
            return m_sim.Configure([&](CBriskoModel& m) {
                switch (m_fault) {
                case Silent:
                    return m.LeaveUnanswered(prefix, n);
                case Refused:
                    return m.AnswerWithStatus(prefix, "05", n);
                case Noisy:
                    return m.SendBefore(prefix, noise, n);
                case Unplugged:
                    return m.UnplugAt(prefix, n);
                }
            });
        // The bind's confirmation goes out at once; what follows it is up to the device.
        if (m_fault == Noisy) // before the indication, which comes half a second later
            return AfterRequest([this, noise] { m_sim.Send(noise); });
        m_sim.Configure([this](CBriskoModel& m) {
            m.SetBindCompletion(m_fault == Refused ? BindCompletion::Failed : BindCompletion::Never,
                                100ms);
        });
        if (m_fault == Unplugged) // once the confirmation has reached the program
            AfterRequest([this] {
                std::this_thread::sleep_for(3s);
                m_sim.Stop();
            });
    }

    // Acts as the device once the operation's request has arrived, while the operation holds
    // this thread.
    void AfterRequest(std::function<void()> action)
    {
        const std::size_t count = m_sim.Requests().size() + 1;
        m_device = std::thread([this, count, action = std::move(action)] {
            if (m_sim.WaitForRequests(count, 20s))
                action();
            else
                ADD_FAILURE() << "the request never reached the device";
        });
    }

    const Row& m_row = *GetParam().row;
    const Fault m_fault = GetParam().fault;
    std::thread m_device;
};

TEST_P(FaultMatrixTest, LeavesWhatTheFailureTablesSayAndAFreshConnectSucceeds)
{
    m_settings.m_iEffect[0] = 1; // On
    if (m_row.operation == kConnect) {
        m_sim.Configure([](CBriskoModel& m) { m.SetMacMissing(true); });
    } else {
        ASSERT_NO_FATAL_FAILURE(Connected());
        m_dongle.Rejoin();
        ASSERT_TRUE(m_dongle.IsNetworkUp()) << Status();
        m_requestsBefore = m_sim.Requests().size();
    }
    InjectFault();
    m_row.operation(m_dongle);
    if (m_device.joinable())
        m_device.join();

    // A fault that never met its request would prove nothing.
    const auto matching = std::ranges::count_if(
        NewRequests(), [this](const std::string& r) { return r.starts_with(m_row.prefix); });
    EXPECT_GE(matching, std::max(m_row.occurrence, 1)) << "the request was never sent";
    if (m_fault == Unplugged && m_row.code != 0) {
        EXPECT_TRUE(m_sim.IsUnplugged());
    }

    const Outcome expected = Expected(m_row, m_fault);
    EXPECT_EQ(Status(), expected.status);
    EXPECT_EQ(m_dongle.IsPortOpen(), expected.portOpen);
    EXPECT_EQ(m_settings.m_bJoined, expected.flags.joined);
    EXPECT_EQ(m_dongle.IsNetworkUp(), expected.flags.networkUp);
    EXPECT_EQ(m_host.m_joinedWhenSaved.size(), std::size_t(expected.flags.saves));
    EXPECT_EQ(m_host.m_exits, 0);
    EXPECT_EQ(m_host.m_waitDepth, 0) << "the wait cursor stayed on";

    // The device comes back (a new simulator on the same port number): nothing of the fault
    // may stand in the way of a new connection.
    m_sim.Stop();
    CBriskoSim restarted(kCom);
    ASSERT_TRUE(restarted.Start()) << restarted.LastError();
    m_dongle.Connect();
    EXPECT_EQ(Status(), "Brisko detected on COM7:");
    EXPECT_TRUE(m_dongle.IsPortOpen());
    EXPECT_EQ(restarted.Requests().size(), 12u);
}

INSTANTIATE_TEST_SUITE_P(EveryRequest, FaultMatrixTest, testing::ValuesIn(Cases()),
                         [](const auto& row) { return testing::PrintToString(row.param); });

} // namespace
