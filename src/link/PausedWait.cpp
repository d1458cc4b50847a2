#include "link/PausedWait.h"

#include <algorithm>

namespace mirelight {

using Clock = std::chrono::steady_clock;

std::chrono::milliseconds TimeLeft(Clock::time_point deadline)
{
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
    return std::max(left, std::chrono::milliseconds::zero());
}

bool WaitWithPauses(const std::function<bool()>& ready, Clock::time_point deadline,
                    std::chrono::milliseconds slice, const ISerialPort::Pause& pause)
{
    for (;;) {
        if (ready())
            return true;
        if (TimeLeft(deadline) == std::chrono::milliseconds::zero())
            return false;
        pause(std::min(deadline, Clock::now() + slice));
    }
}

} // namespace mirelight
