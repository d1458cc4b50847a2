#pragma once

#include "link/CDongleLink.h"
#include "link/IStatusSink.h"
#include "network/IDongleHost.h"
#include "network/PanelSettings.h"

#include <deque>
#include <functional>
#include <string>

namespace mirelight {

// The dongle operations. Each runs to its end on the calling thread and reports its outcome,
// good or bad, by replacing the status text; none returns a result. A button press, Bind,
// Join and Rejoin connect first when the port is closed, so that a dongle that went away and
// came back just works on the next press.
//
// Operations never overlap. One asked for while another runs (possible only when the waiter
// lets the caller's event loop run) is queued and runs after it, in the order asked.
class CDongle : public IStatusSink
{
public:
    // Waits block the calling thread unless a waiter is given. linkLog gets every line to and
    // from the dongle and what happens to the port, log every operation's start and outcome
    // and every status (all must outlive the dongle).
    CDongle(IDongleHost& host, PanelSettings& settings, IWaiter* waiter = nullptr,
            ILogSink* linkLog = nullptr, ILogSink* log = nullptr);

    // Opens the COM port of the settings, makes sure a Brisko is on it (asking for its MAC
    // address when it has none) and configures it.
    void Connect();
    // Leaves any network, finds one that accepts newcomers and joins it; stores "Joined".
    void Join();
    // Rejoins the network the dongle belonged to before.
    void Rejoin();
    enum class PressOutcome { Confirmed, NotConfirmed, Dropped };
    struct PressCallbacks
    {
        // Asked just before the press runs; false drops it (its asker has gone).
        std::function<bool()> stillWanted;
        // Learns the outcome once the press has run or was dropped (never when the program
        // ends first).
        std::function<void(PressOutcome)> done;
    };

    // Switches the device bound to the button at index 0..7; a refused message is sent once
    // more after a rejoin when retry is set.
    void SendButtonMessage(int index, bool retry, PressCallbacks callbacks = {});
    // Binds the button at list index 0..7 to the device that completes the bind within
    // six seconds.
    void Bind(int index);

    const std::string& Status() const { return m_strStatus; }
    // Why the status reports a failure, in words a user can act on ("no such device",
    // "held by another program (PID 4711)"); empty when the link gave no reason (the last
    // outcome was fine, or the dongle itself refused).
    const std::string& FailureReason() const { return m_failureReason; }
    bool IsPortOpen() const { return m_link.IsOpen(); }
    bool IsNetworkUp() const { return m_bNetworkUp; }
    // The button list entry last chosen for binding in this run (0 at start, never stored).
    int BindButton() const { return m_iBindButton; }
    // The program is ending: operations still queued are dropped and none starts any more.
    void EndOperations();

    void ReportStatus(const std::string& text) override;
    long ComChan() const override { return m_settings.m_iComChan; }

private:
    struct Operation
    {
        const char* name; // for the log
        std::function<void()> run;
    };

    void RunExclusive(Operation operation);
    void RunQueued();
    void DoConnect();
    void DoJoin();
    void DoRejoin();
    bool DoSendButtonMessage(int index, bool retry);
    void DoBind(int index);

    void ReportForPort(const char* format);
    bool GiveMacAddress(const std::string& errorIndication);
    bool EnsurePortOpen();
    void SetNetworkUp(bool up);
    void FailDetection(const char* format);

    IDongleHost& m_host;
    PanelSettings& m_settings;
    CDongleLink m_link;
    std::string m_strStatus;
    std::string m_failureReason;
    bool m_bNetworkUp = false;
    int m_iBindButton = 0;
    bool m_programEnding = false;
    bool m_running = false;
    std::deque<Operation> m_queued;
    IWaiter* m_waiter;
    ILogSink* m_log;
};

} // namespace mirelight
