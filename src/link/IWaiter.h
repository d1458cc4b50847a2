#pragma once

#include <chrono>
#include <functional>

namespace mirelight {

// How the thread that runs the dongle operations waits for the reader. Without one the
// thread simply blocks; a user interface passes one that keeps its event loop running, so
// that its windows paint and answer the desktop while the dongle takes its time.
class IWaiter
{
public:
    using Clock = std::chrono::steady_clock;

    virtual ~IWaiter() = default;

    // Returns ready() as soon as it is true, or at the deadline. Called on the operations'
    // thread only.
    virtual bool WaitUntil(const std::function<bool()>& ready, Clock::time_point deadline) = 0;

    // ready() may have become true: the reader calls this from its own thread after every
    // change of the hand-off state.
    virtual void Wake() = 0;

    // Runs next later, once the caller's loop has taken what it held back during the wait
    // (the user's input); false where there is no such loop and the caller goes on at once.
    virtual bool Defer(const std::function<void()>& /*next*/) { return false; }
};

} // namespace mirelight
