#include "network/CDongle.h"

#include "link/CommandLines.h"
#include "link/FormatText.h"
#include "network/CWaitCursor.h"

namespace mirelight {

using namespace commands;

CDongle::CDongle(IDongleHost& host, PanelSettings& settings, IWaiter* waiter, ILogSink* linkLog,
                 ILogSink* log)
    : m_host(host), m_settings(settings), m_link(*this, waiter, linkLog), m_waiter(waiter),
      m_log(log)
{ }

void CDongle::Connect()
{
    RunExclusive({ "Connect", [this] { DoConnect(); } });
}

void CDongle::Join()
{
    RunExclusive({ "Join", [this] { DoJoin(); } });
}

void CDongle::Rejoin()
{
    RunExclusive({ "Rejoin", [this] { DoRejoin(); } });
}

void CDongle::SendButtonMessage(int index, bool retry, PressCallbacks callbacks)
{
    RunExclusive({ "SendButtonMessage", [this, index, retry, callbacks = std::move(callbacks)] {
                      const bool wanted = !callbacks.stillWanted || callbacks.stillWanted();
                      if (!wanted)
                          LogEvent(m_log, "SendButtonMessage dropped: its asker has gone");
                      const PressOutcome outcome = !wanted    ? PressOutcome::Dropped
                          : DoSendButtonMessage(index, retry) ? PressOutcome::Confirmed
                                                              : PressOutcome::NotConfirmed;
                      if (callbacks.done)
                          callbacks.done(outcome);
                  } });
}

void CDongle::Bind(int index)
{
    RunExclusive({ "Bind", [this, index] { DoBind(index); } });
}

void CDongle::RunExclusive(Operation operation)
{
    m_queued.push_back(std::move(operation));
    if (m_running) {
        LogEvent(m_log, "%s queued", m_queued.back().name);
        return; // the loop below runs it once the operations before it have ended
    }
    m_running = true;
    RunQueued();
}

void CDongle::RunQueued()
{
    while (!m_queued.empty()) {
        const Operation next = std::move(m_queued.front());
        m_queued.pop_front();
        LogEvent(m_log, "%s started", next.name);
        next.run();
        LogEvent(m_log, "%s ended, port %s", next.name, IsPortOpen() ? "open" : "closed");
        // The user's input held back meanwhile (Exit among it) comes before the next one:
        // however many are queued, the user is never locked out for longer than one.
        if (!m_queued.empty() && m_waiter && m_waiter->Defer([this] { RunQueued(); }))
            return; // still running: what is asked meanwhile queues behind
    }
    m_running = false;
}

void CDongle::EndOperations()
{
    m_programEnding = true;
    m_queued.clear();
}

void CDongle::ReportStatus(const std::string& text)
{
    // Every status goes through here, the link's own reports too: a failure's reason is taken
    // with the status that reports it, and any other status clears it.
    m_failureReason = m_link.TakeFailure().Text();
    m_strStatus = text;
    LogEvent(m_log, "status \"%s\"%s%s%s", text.c_str(), m_failureReason.empty() ? "" : " (",
             m_failureReason.c_str(), m_failureReason.empty() ? "" : ")");
    m_host.StatusChanged();
}

void CDongle::ReportForPort(const char* format)
{
    ReportStatus(FormatText(format, ComChan()));
}

void CDongle::FailDetection(const char* format)
{
    ReportForPort(format);
    m_link.ClosePort();
}

void CDongle::DoConnect()
{
    if (m_programEnding)
        return;
    if (!m_link.Open(m_settings.m_iComChan)) {
        ReportForPort("Couldn't open COM%ld:");
        return;
    }
    ReportForPort("Searching for Brisko on COM%ld:");

    const auto version = m_link.Exchange(VersionRequest(), { kVersionConfirm, kErrorIndication },
                                         kAnswerTimeout, kVersionCode);
    if (!version)
        return;
    if (!HasName(*version, kVersionConfirm) && !GiveMacAddress(*version))
        return;

    // KEPT: whatever line comes first answers the second version request.
    const auto model = m_link.Exchange(VersionRequest(), {}, kAnswerTimeout, kModelCheckCode);
    if (!model)
        return;
    if (!HasBriskoModelCode(*model)) {
        FailDetection("Device on COM%ld: is not a Brisko");
        return;
    }
    if (!m_link.Exchange(BasicSettingRequest(), { kSettingConfirm }, kAnswerTimeout,
                         kBasicSettingCode))
        return;
    for (int button = 1; button <= kButtonCount; ++button) {
        if (!m_link.Exchange(ButtonSettingRequest(button), { kSettingConfirm }, kAnswerTimeout,
                             ButtonSettingCode(button)))
            return;
    }
    if (!m_link.Exchange(ResetRequest(), { kResetConfirm }, kAnswerTimeout, kConfigResetCode))
        return;
    m_link.Drain();
    ReportForPort("Brisko detected on COM%ld:");
}

// The version request was answered with an error indication: only "no MAC address yet" can
// be mended, by the user. True when the dongle took the address.
bool CDongle::GiveMacAddress(const std::string& errorIndication)
{
    if (!IsMacAddressMissing(errorIndication)) {
        FailDetection("Couldn't find Brisko on COM%ld:");
        return false;
    }
    std::string digits;
    if (!m_host.AskMacAddress(digits)) {
        FailDetection("Couldn't find Brisko on COM%ld:");
        m_programEnding = true;
        m_host.ExitProgram();
        return false;
    }
    const auto request = MacAddressRequest(digits);
    if (!request) {
        FailDetection("Couldn't find Brisko on COM%ld:");
        return false;
    }
    return m_link.Exchange(*request, { kMacAddressConfirm }, kAnswerTimeout, kMacAddressCode)
        .has_value();
}

bool CDongle::EnsurePortOpen()
{
    if (!m_link.IsOpen())
        DoConnect();
    return m_link.IsOpen();
}

void CDongle::DoJoin()
{
    if (m_programEnding)
        return;
    CWaitCursor wait(m_host);
    m_settings.m_bJoined = 0;
    SetNetworkUp(false);
    m_host.SaveSettings(); // a failed join must not be rejoined at the next start

    if (!EnsurePortOpen())
        return;
    if (!m_link.Exchange(ResetRequest(), { kResetConfirm }, kAnswerTimeout, kJoinResetCode))
        return;
    const auto discovery = m_link.Exchange(DiscoveryRequest(), { kDiscoveryConfirm },
                                           kDiscoveryTimeout, kDiscoveryCode);
    if (!discovery)
        return;
    if (!HasSuccessStatus(*discovery)) {
        ReportStatus("No networks found");
        return;
    }
    // An answer without a proper identifier must not put its terminators or stray bytes
    // into the join request.
    const auto networkId = NetworkIdentifier(*discovery);
    if (!networkId) {
        ReportStatus("Network found but couldn't join");
        return;
    }
    const auto joined
        = m_link.Exchange(JoinRequest(*networkId), { kJoinConfirm }, kAnswerTimeout, kJoinCode);
    if (!joined)
        return;
    if (!HasSuccessStatus(*joined)) {
        ReportStatus("Network found but couldn't join");
        return;
    }
    m_link.Drain();
    m_settings.m_bJoined = 1;
    m_bNetworkUp = true;
    m_host.UpdateControls();
    ReportStatus("Successfully joined network " + DisplayedNetworkIdentifier(*networkId));
    m_host.SaveSettings();
}

void CDongle::SetNetworkUp(bool up)
{
    m_bNetworkUp = up;
    m_host.UpdateControls();
}

void CDongle::DoRejoin()
{
    if (m_programEnding)
        return;
    CWaitCursor wait(m_host);
    if (!EnsurePortOpen())
        return;
    if (!m_link.Exchange(ResetRequest(), { kResetConfirm }, kAnswerTimeout, kRejoinResetCode))
        return;
    SetNetworkUp(false);
    const auto answer
        = m_link.Exchange(RejoinRequest(), { kJoinConfirm }, kAnswerTimeout, kRejoinCode);
    if (!answer)
        return;
    if (!HasSuccessStatus(*answer)) {
        ReportStatus("Rejoin failed");
        return;
    }
    m_settings.m_bJoined = 1;
    ReportStatus("Network rejoined");
    SetNetworkUp(true);
}

bool CDongle::DoSendButtonMessage(int index, bool retry)
{
    if (m_programEnding || index < 0 || index >= kButtonCount)
        return false;
    // A press connects first (a dongle plugged in again just works); the second attempt after
    // a rejoin goes with whatever the rejoin left.
    if (retry && !EnsurePortOpen())
        return false;
    const int effect = m_settings.m_iEffect[index];
    const long button = index + 1;
    const auto answer = m_link.Exchange(ButtonMessage(index + 1, effect), { kDataConfirm },
                                        kAnswerTimeout, kButtonMessageCode);
    if (!answer)
        return false;
    if (HasSuccessStatus(*answer)) {
        ReportStatus(FormatText("Message %02lX sent for button %ld", EffectByte(effect), button));
        return true;
    }
    if (!retry)
        return false;
    DoRejoin();
    return DoSendButtonMessage(index, false);
}

void CDongle::DoBind(int index)
{
    if (m_programEnding)
        return;
    CWaitCursor wait(m_host);
    m_iBindButton = index;
    // Connected before the six seconds start.
    if (!EnsurePortOpen())
        return;
    ReportStatus("You have 6 seconds to complete the bind operation");
    const auto confirmation
        = m_link.Exchange(BindRequest(index), { kDataConfirm }, kAnswerTimeout, kBindCode);
    if (!confirmation)
        return;
    if (!HasSuccessStatus(*confirmation)) {
        ReportStatus("Bind failed");
        return;
    }
    // The device has six seconds to answer; if it does not, the dongle is still fine.
    const auto indication = m_link.AwaitAnswer({ kDataIndication }, kBindIndicationTimeout);
    if (!indication || !HasBindSuccessStatus(*indication)) {
        ReportStatus("Bind failed");
        return;
    }
    ReportStatus("Bind succeeded");
    m_host.SaveSettings();
}

} // namespace mirelight
