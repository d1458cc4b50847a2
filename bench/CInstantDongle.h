#pragma once

#include "CBriskoModel.h"
#include "CPseudoTerminal.h"

#include <chrono>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace mirelight {

// A dongle on the master side of a pseudo-terminal that answers every request at once (with
// CBriskoModel's answer lines, every delay dropped) and times the program's reaction on its
// own side of the line: from the return of the write() that carried an answer's LF to the
// return of the read() that brought the first byte of the next request. CBriskoSim is not
// used because it keeps no timestamps.
class CInstantDongle
{
public:
    using Duration = std::chrono::steady_clock::duration;

    CInstantDongle() = default;
    ~CInstantDongle(); // Stop()
    CInstantDongle(const CInstantDongle&) = delete;
    CInstantDongle& operator=(const CInstantDongle&) = delete;

    // Opens the pseudo-terminal and starts answering. False (with LastError()) on failure.
    bool Start();
    // Stops answering and closes the pseudo-terminal. Idempotent.
    void Stop();
    const std::string& LastError() const { return m_lastError; }

    // The slave side, for the program to open.
    const std::string& DevicePath() const { return m_pty.DevicePath(); }

    // Sends bytes unasked; not an answer, so it starts no reaction time.
    void Send(std::string_view bytes);

    // One per request that followed an answer, in arrival order.
    std::vector<Duration> ReactionTimes() const;

private:
    using Clock = std::chrono::steady_clock;

    void Close();
    void Run();
    bool ReadRequests(); // false when the pseudo-terminal failed
    void NoteFirstByte(Clock::time_point arrival);
    void Answer(std::string_view request);
    void WriteAll(std::string_view bytes);

    CPseudoTerminal m_pty;
    int m_wakeFd = -1;
    std::string m_lastError;
    std::thread m_thread;

    // Dongle thread only.
    CBriskoModel m_model;
    std::string m_incoming; // the request being received, up to its "\r"
    std::optional<Clock::time_point> m_answered; // the last answer's LF, until a request

    std::mutex m_writeMutex; // Send() and the answers share the master side
    mutable std::mutex m_timesMutex;
    std::vector<Duration> m_reactionTimes;
};

} // namespace mirelight
