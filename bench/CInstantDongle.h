#pragma once

#include "CBriskoModel.h"
#include "CPseudoTerminalLoop.h"
#include "IRequestHandler.h"

#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace mirelight {

// A dongle on a pseudo-terminal that answers every request at once (with CBriskoModel's
// answer lines, every delay dropped) and times the program's reaction on its own side of the
// line: from the return of the write() that carried an answer's LF to the return of the
// read() that brought the first byte of the next request. It is served by the simulator's
// loop but makes no ports link: the program opens it by its path.
class CInstantDongle : private IRequestHandler
{
public:
    using Duration = Clock::duration;

    CInstantDongle() = default;
    ~CInstantDongle() override; // Stop()
    CInstantDongle(const CInstantDongle&) = delete;
    CInstantDongle& operator=(const CInstantDongle&) = delete;

    // Opens the pseudo-terminal and starts answering. False (with LastError()) on failure.
    bool Start();
    // Stops answering and closes the pseudo-terminal. Idempotent.
    void Stop();
    const std::string& LastError() const { return m_lastError; }

    // The slave side, for the program to open.
    std::string DevicePath() const { return m_loop.DevicePath(); }

    // Sends bytes unasked; not an answer, so it starts no reaction time.
    void Send(std::string_view bytes);

    // One per request that followed an answer, in arrival order.
    std::vector<Duration> ReactionTimes() const;

private:
    bool HandleRequest(const std::string& request) override;
    void RequestBegan(Clock::time_point arrival) override;
    void OutputWritten(Clock::time_point written) override;

    CPseudoTerminalLoop m_loop { *this };
    std::string m_lastError;

    // Loop thread only.
    CBriskoModel m_model;
    bool m_answerDue = false; // an answer is scheduled, not yet written out
    std::optional<Clock::time_point> m_answered; // the last answer's LF, until a request

    mutable std::mutex m_timesMutex;
    std::vector<Duration> m_reactionTimes;
};

} // namespace mirelight
