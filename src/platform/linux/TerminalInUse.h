#pragma once

#include <sys/stat.h>

namespace mirelight {

// Whether the device node is a terminal that a session works in, which no dongle can be:
// /dev/tty (whichever terminal its opener has) or some session's controlling terminal, as
// /proc tells for every process it shows.
bool IsTerminalInUse(const struct stat& node);

} // namespace mirelight
