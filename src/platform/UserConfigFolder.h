#pragma once

#include <string>

namespace mirelight {

// The folder where the user's settings file and ports folder live, on a system that keeps
// settings in files (Linux: $XDG_CONFIG_HOME when it is absolute, else ~/.config); empty on one
// that keeps them elsewhere (the Windows registry) or when the user has no such folder. Derived
// here once, so that the settings store and the COM port rule never look in two places.
std::string UserConfigFolder();

} // namespace mirelight
