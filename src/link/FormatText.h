#pragma once

#include "link/PrintfFormat.h"

#include <cstdarg>
#include <string>

namespace mirelight {

// printf-style formatting into a std::string, for the status texts and request templates
// that are defined as printf formats. The compiler checks the arguments against the format.
std::string FormatText(const char* format, ...) MIRELIGHT_PRINTF_FORMAT(1, 2);
std::string FormatTextList(const char* format, va_list args) MIRELIGHT_PRINTF_FORMAT(1, 0);

} // namespace mirelight
