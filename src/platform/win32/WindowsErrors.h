#pragma once

#include "link/PortFailure.h"

#include <string>

namespace mirelight {

// The system's message for error, without its line break: "The semaphore timeout period has
// expired. (Windows error 121)".
std::string WindowsErrorText(unsigned long error);

// The failure a Windows error from opening, setting up or using the device stands for: the
// mapped ones with their advice, any other in the system's own words and with its number.
PortFailure FailureFromWindowsError(unsigned long error);

} // namespace mirelight
