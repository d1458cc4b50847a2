#pragma once

#include "link/PortFailure.h"

namespace mirelight {

// The failure a Windows error from opening, setting up or using the device stands for: the
// mapped ones with their advice, any other in the system's own words and with its number.
PortFailure FailureFromWindowsError(unsigned long error);

} // namespace mirelight
