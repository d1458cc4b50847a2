#include "network/DongleTest.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

using mirelight::BindCompletion;
using mirelight::CBriskoModel;
using mirelight::CBriskoSim;
using namespace std::chrono_literals;

// Every request of every dongle operation, each met by each of four faults of the device. A
// case checks what the operation leaves behind, and then that the program can still connect
// to the device once it is back.
namespace {

enum class Fault { Silent, FailureStatus, NoiseFirst, Unplugged };

enum class Operation { Connect, Join, Rejoin, Bind, ButtonMessage };

// The bind is the one exchange with two answers: its confirmation and then the indication of
// the device that was bound. The other requests have only the one answer.
enum class Answer { Confirmation, BindIndication };

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

struct RequestRow
{
    const char* name;
    Operation operation;
    const char* prefix; // selects the request in the simulator's script
    int occurrence; // of that request within the operation; 0 for each one
    Answer answer;
    Outcome silent;
    Outcome refused;
    Outcome noisy;
    Outcome unplugged;
};

// Connect starts from a closed port with "Joined" stored as 1 and changes neither flag. Every
// other operation starts connected and on the network.
constexpr Flags kConnectFlags { 1, false, 0 };
constexpr Flags kOnNetwork { 1, true, 0 };
constexpr Flags kJoinFailed { 0, false, 1 }; // "Joined" 0 was stored before anything was sent
constexpr Flags kRejoinDown { 1, false, 0 }; // the reset was confirmed, the rejoin was not

Outcome CommError(long code, Flags flags)
{
    return { "Brisko communications error " + std::to_string(code), false, flags };
}

const Outcome kConnected { "Brisko detected on COM7:", true, kConnectFlags };
const Outcome kNoBrisko { "Couldn't find Brisko on COM7:", false, kConnectFlags };
const Outcome kNotABrisko { "Device on COM7: is not a Brisko", false, kConnectFlags };
const Outcome kJoined { "Successfully joined network 2B1A", true, { 1, true, 2 } };
const Outcome kRejoined { "Network rejoined", true, kOnNetwork };
const Outcome kBindFailed { "Bind failed", true, kOnNetwork };
const Outcome kBindFailedDeviceGone { "Bind failed", false, kOnNetwork };
const Outcome kBound { "Bind succeeded", true, { 1, true, 1 } };
const Outcome kMessageSent { "Message FF sent for button 1", true, kOnNetwork };

// Its confirmation is recognised by name alone, so a failure status in it goes unnoticed.
RequestRow ConnectSettingRow(const char* name, const char* prefix, long code)
{
    return { name,       Operation::Connect,   prefix,
             1,          Answer::Confirmation, CommError(code, kConnectFlags),
             kConnected, kConnected,           CommError(code, kConnectFlags) };
}

std::vector<RequestRow> Rows()
{
    return {
        // The dongle has no MAC address yet, so detection takes all 13 requests. A failure
        // status to the first version request comes as "+DERI=<status>".
        { "ConnectVersion", Operation::Connect, "+DVRR", 1, Answer::Confirmation,
          CommError(868, kConnectFlags), kNoBrisko, kConnected, CommError(868, kConnectFlags) },
        // A dongle that refused the address still has none when the model is checked.
        { "ConnectMacAddress", Operation::Connect, "+DSMR", 1, Answer::Confirmation,
          CommError(941, kConnectFlags), kNotABrisko, kConnected, CommError(941, kConnectFlags) },
        // The first line that comes answers the model check, whatever it is: another device's
        // line takes the place of the answer.
        { "ConnectModelCheck", Operation::Connect, "+DVRR", 2, Answer::Confirmation,
          CommError(964, kConnectFlags), kNotABrisko, kNotABrisko, CommError(964, kConnectFlags) },
        ConnectSettingRow("ConnectBasicSetting", "+DSTR=04", 995),
        ConnectSettingRow("ConnectButton1Setting", "+DSTR=81", 1017),
        ConnectSettingRow("ConnectButton2Setting", "+DSTR=82", 1039),
        ConnectSettingRow("ConnectButton3Setting", "+DSTR=83", 1061),
        ConnectSettingRow("ConnectButton4Setting", "+DSTR=84", 1083),
        ConnectSettingRow("ConnectButton5Setting", "+DSTR=85", 1105),
        ConnectSettingRow("ConnectButton6Setting", "+DSTR=86", 1127),
        ConnectSettingRow("ConnectButton7Setting", "+DSTR=87", 1149),
        ConnectSettingRow("ConnectButton8Setting", "+DSTR=88", 1171),
        ConnectSettingRow("ConnectReset", "+DRSR", 1193),

        { "JoinReset", Operation::Join, "+DRSR", 1, Answer::Confirmation,
          CommError(1397, kJoinFailed), kJoined, kJoined, CommError(1397, kJoinFailed) },
        { "JoinDiscovery",
          Operation::Join,
          "+NNDR",
          1,
          Answer::Confirmation,
          CommError(1416, kJoinFailed),
          { "No networks found", true, kJoinFailed },
          kJoined,
          CommError(1416, kJoinFailed) },
        { "JoinRequest",
          Operation::Join,
          "+NJNR=00",
          1,
          Answer::Confirmation,
          CommError(1446, kJoinFailed),
          { "Network found but couldn't join", true, kJoinFailed },
          kJoined,
          CommError(1446, kJoinFailed) },

        // Before the reset is confirmed the network flag stays as it was.
        { "RejoinReset", Operation::Rejoin, "+DRSR", 1, Answer::Confirmation,
          CommError(1553, kOnNetwork), kRejoined, kRejoined, CommError(1553, kOnNetwork) },
        { "RejoinRequest",
          Operation::Rejoin,
          "+NJNR=01",
          1,
          Answer::Confirmation,
          CommError(1579, kRejoinDown),
          { "Rejoin failed", true, kRejoinDown },
          kRejoined,
          CommError(1579, kRejoinDown) },

        { "BindConfirmation", Operation::Bind, "+ADAR=0B", 1, Answer::Confirmation,
          CommError(1322, kOnNetwork), kBindFailed, kBound, CommError(1322, kOnNetwork) },
        // The indication's wait reports no code and keeps the port; a device that went away
        // meanwhile has closed it (the next operation connects first).
        { "BindIndication", Operation::Bind, "+ADAR=0B", 1, Answer::BindIndication, kBindFailed,
          kBindFailed, kBound, kBindFailedDeviceGone },

        // Every message refused: one rejoin and one more attempt, whose refusal adds nothing.
        { "ButtonMessage", Operation::ButtonMessage, "+ADAR=06", 0, Answer::Confirmation,
          CommError(1678, kOnNetwork), kRejoined, kMessageSent, CommError(1678, kOnNetwork) },
    };
}

const char* FaultName(Fault fault)
{
    switch (fault) {
    case Fault::Silent:
        return "Silent";
    case Fault::FailureStatus:
        return "FailureStatus";
    case Fault::NoiseFirst:
        return "NoiseFirst";
    case Fault::Unplugged:
        return "Unplugged";
    }
    return "";
}

const Outcome& Expected(const RequestRow& row, Fault fault)
{
    switch (fault) {
    case Fault::Silent:
        return row.silent;
    case Fault::FailureStatus:
        return row.refused;
    case Fault::NoiseFirst:
        return row.noisy;
    case Fault::Unplugged:
        break;
    }
    return row.unplugged;
}

void PrintTo(const RequestRow& row, std::ostream* out)
{
    *out << row.name;
}

void PrintTo(Fault fault, std::ostream* out)
{
    *out << FaultName(fault);
}

using FaultCase = std::tuple<RequestRow, Fault>;

std::string CaseName(const testing::TestParamInfo<FaultCase>& info)
{
    return std::string(std::get<0>(info.param).name) + "_" + FaultName(std::get<1>(info.param));
}

class FaultMatrixTest : public DongleTest, public testing::WithParamInterface<FaultCase>
{
protected:
    void TearDown() override
    {
        if (m_device.joinable())
            m_device.join();
    }

    const RequestRow& Row() const { return std::get<0>(GetParam()); }
    Fault TheFault() const { return std::get<1>(GetParam()); }

    void Prepare()
    {
        m_settings.m_bJoined = 1;
        m_settings.m_iEffect[0] = 1; // On
        if (Row().operation == Operation::Connect) {
            Script([](CBriskoModel& m) { m.SetMacMissing(true); });
            return;
        }
        Connected();
        m_dongle.Rejoin();
        ASSERT_TRUE(m_dongle.IsNetworkUp()) << Status();
        m_requestsBefore = m_sim.Requests().size();
    }

    void InjectFault()
    {
        if (Row().answer == Answer::BindIndication)
            InjectIndicationFault();
        else
            InjectAnswerFault();
    }

    void InjectAnswerFault()
    {
        const std::string prefix = Row().prefix;
        const int occurrence = Row().occurrence;
        Script([&](CBriskoModel& m) {
            switch (TheFault()) {
            case Fault::Silent:
                m.LeaveUnanswered(prefix, occurrence);
                break;
            case Fault::FailureStatus:
                m.AnswerWithStatus(prefix, "05", occurrence);
                break;
            case Fault::NoiseFirst:
                m.SendBefore(prefix, CBriskoModel::UnrelatedLine() + CBriskoModel::GarbageLines(),
                             occurrence);
                break;
            case Fault::Unplugged:
                m.UnplugAt(prefix, occurrence);
                break;
            }
        });
    }

    // The confirmation goes out at once; what follows it is up to the device.
    void InjectIndicationFault()
    {
        switch (TheFault()) {
        case Fault::Silent:
            Script([](CBriskoModel& m) { m.SetBindCompletion(BindCompletion::Never, 0ms); });
            break;
        case Fault::FailureStatus:
            Script([](CBriskoModel& m) { m.SetBindCompletion(BindCompletion::Failed, 100ms); });
            break;
        case Fault::NoiseFirst:
            // Sent once the request is there, so after the confirmation that was due at once and
            // before the indication, which comes half a second later.
            AfterRequest([this] {
                m_sim.Send(CBriskoModel::UnrelatedLine() + CBriskoModel::GarbageLines());
            });
            break;
        case Fault::Unplugged:
            Script([](CBriskoModel& m) { m.SetBindCompletion(BindCompletion::Never, 0ms); });
            // Time for the confirmation to reach the program, which then awaits the indication.
            AfterRequest([this] {
                std::this_thread::sleep_for(500ms);
                m_sim.Stop();
            });
            break;
        }
    }

    // Acts as the device once the next request has arrived, while the operation holds this
    // thread.
    void AfterRequest(std::function<void()> action)
    {
        const std::size_t count = m_sim.Requests().size() + 1;
        m_bDeviceStarted = true;
        m_device = std::thread([this, count, action = std::move(action)] {
            if (m_sim.WaitForRequests(count, 5s)) {
                action();
                m_bDeviceActed = true;
            }
        });
    }

    void RunOperation()
    {
        switch (Row().operation) {
        case Operation::Connect:
            m_dongle.Connect();
            break;
        case Operation::Join:
            m_dongle.Join();
            break;
        case Operation::Rejoin:
            m_dongle.Rejoin();
            break;
        case Operation::Bind:
            m_dongle.Bind(0);
            break;
        case Operation::ButtonMessage:
            m_dongle.SendButtonMessage(0, true);
            break;
        }
        if (m_device.joinable())
            m_device.join();
    }

    // A fault that never met its request would prove nothing.
    void ExpectTheFaultHit()
    {
        if (m_bDeviceStarted) {
            EXPECT_TRUE(m_bDeviceActed) << "the request never reached the device";
        }
        const std::vector<std::string> sent = NewRequests();
        const auto matching
            = std::count_if(sent.begin(), sent.end(), [this](const std::string& request) {
                  return request.starts_with(Row().prefix);
              });
        EXPECT_GE(matching, std::max(Row().occurrence, 1)) << "the request was never sent";
        if (TheFault() == Fault::Unplugged && Row().answer == Answer::Confirmation) {
            EXPECT_TRUE(m_sim.IsUnplugged());
        }
    }

    void ExpectOutcome(const Outcome& expected)
    {
        EXPECT_EQ(Status(), expected.status);
        EXPECT_EQ(m_dongle.IsPortOpen(), expected.portOpen);
        EXPECT_EQ(m_settings.m_bJoined, expected.flags.joined);
        EXPECT_EQ(m_dongle.IsNetworkUp(), expected.flags.networkUp);
        EXPECT_EQ(m_host.m_saves, expected.flags.saves);
        EXPECT_EQ(m_host.m_exits, 0);
        EXPECT_EQ(m_host.m_waitDepth, 0) << "the wait cursor stayed on";
    }

    // The device comes back (a new simulator on the same port number): nothing of the fault
    // may stand in the way of a new connection.
    void ExpectFreshConnectSucceeds()
    {
        m_sim.Stop();
        CBriskoSim restarted(kCom);
        ASSERT_TRUE(restarted.Start()) << restarted.LastError();
        m_dongle.Connect();
        EXPECT_EQ(Status(), "Brisko detected on COM7:");
        EXPECT_TRUE(m_dongle.IsPortOpen());
        EXPECT_EQ(restarted.Requests().size(), 12u);
    }

    std::thread m_device;
    bool m_bDeviceStarted = false;
    std::atomic<bool> m_bDeviceActed = false;
};

TEST_P(FaultMatrixTest, LeavesWhatTheFailureTablesSayAndAFreshConnectSucceeds)
{
    ASSERT_NO_FATAL_FAILURE(Prepare());
    InjectFault();
    RunOperation();
    ExpectTheFaultHit();
    ExpectOutcome(Expected(Row(), TheFault()));
    ExpectFreshConnectSucceeds();
}

INSTANTIATE_TEST_SUITE_P(EveryRequest, FaultMatrixTest,
                         testing::Combine(testing::ValuesIn(Rows()),
                                          testing::Values(Fault::Silent, Fault::FailureStatus,
                                                          Fault::NoiseFirst, Fault::Unplugged)),
                         CaseName);

} // namespace
