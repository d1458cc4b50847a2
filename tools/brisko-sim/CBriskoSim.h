#pragma once

#include "CBriskoModel.h"
#include "CPseudoTerminalLoop.h"
#include "IRequestHandler.h"

#include <array>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <termios.h>
#include <vector>

namespace mirelight {

// A simulated Brisko on a pseudo-terminal, reachable by the program as COM n through the
// per-user ports link PortsFolder()/COMn. It makes that link only where there is none, or
// where a simulator that was killed left one, and removes it again when it stops or the
// device is unplugged; any other COMn is the user's and makes Start() fail. It reads
// requests up to their "\r" and answers as CBriskoModel says.
//
// Every public member is thread-safe. A CPseudoTerminalLoop serves the pseudo-terminal.
class CBriskoSim : private IRequestHandler
{
public:
    // Receives every request ("request +DVRR"), light change ("light 3 on") and other event
    // ("left unanswered", "unplugged"), on the simulator's thread.
    using LogFunction = std::function<void(const std::string&)>;

    explicit CBriskoSim(long comNumber, LogFunction log = {});
    ~CBriskoSim() override; // Stop()
    CBriskoSim(const CBriskoSim&) = delete;
    CBriskoSim& operator=(const CBriskoSim&) = delete;

    // Opens the pseudo-terminal, makes the ports link and starts answering. False (with
    // LastError()) when any of that fails: also when there is no ports folder (neither
    // XDG_CONFIG_HOME nor HOME) or COMn is taken.
    bool Start();
    // Stops answering, closes the pseudo-terminal and removes the link. Idempotent.
    void Stop();
    std::string LastError() const;

    // Changes the script, e.g. Configure([](CBriskoModel& m) { m.LeaveUnanswered("+DVRR"); }).
    // Applies to requests that arrive afterwards.
    void Configure(const std::function<void(CBriskoModel&)>& change);

    // false: requests are left unread, so that the program's writes back up and stall.
    void SetReading(bool reading);

    // Sends bytes at once, unasked.
    void Send(std::string bytes);

    long ComNumber() const { return m_comNumber; }
    std::string DevicePath() const; // the pseudo-terminal's slave side
    std::string LinkPath() const; // PortsFolder()/COMn

    // Requests received so far, without their "\r".
    std::vector<std::string> Requests() const;
    // Blocks until at least count requests have arrived; false when timeout passes first.
    bool WaitForRequests(std::size_t count, std::chrono::milliseconds timeout) const;
    std::array<bool, CBriskoModel::kLights> Lights() const;
    bool IsUnplugged() const;
    // The line settings the program has put on the pseudo-terminal; false once unplugged.
    bool LineSettings(termios& settings) const;

private:
    bool MakeLink();
    bool Fail(const std::string& why); // false, with LastError() why
    void RemoveLink();
    bool HandleRequest(const std::string& request) override;
    void Log(const std::vector<std::string>& events);

    const long m_comNumber;
    const LogFunction m_log;
    CPseudoTerminalLoop m_loop { *this };
    std::string m_linkPath;
    std::string m_lastError;

    mutable std::mutex m_mutex; // guards everything below
    mutable std::condition_variable m_requestArrived;
    CBriskoModel m_model;
    std::vector<std::string> m_requests;
};

} // namespace mirelight
