#pragma once

#include <chrono>
#include <string>

namespace mirelight {

// What answers the requests arriving on a CPseudoTerminalLoop; called on the loop's thread.
class IRequestHandler
{
public:
    using Clock = std::chrono::steady_clock;

    virtual ~IRequestHandler() = default;

    // A request as received, without its "\r". False: the device goes away with it, and the
    // loop closes the pseudo-terminal.
    virtual bool HandleRequest(const std::string& request) = 0;

    // For timing the other side of the line, taken as the calls return: the read() that
    // brought a request's first byte, and a write() that left nothing due.
    virtual void RequestBegan(Clock::time_point /*arrival*/) { }
    virtual void OutputWritten(Clock::time_point /*written*/) { }
};

} // namespace mirelight
