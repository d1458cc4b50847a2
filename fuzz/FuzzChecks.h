#pragma once

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string_view>

namespace mirelight::fuzz {

// Ends the run when an invariant does not hold: libFuzzer reports the abort as a crash and
// keeps the input that caused it.
inline void Check(bool holds, const char* invariant)
{
    if (holds)
        return;
    std::fprintf(stderr, "Invariant broken: %s\n", invariant);
    std::abort();
}

// Spelled out rather than std::isxdigit, so that the checks do not share the code they check.
inline bool IsHexText(std::string_view text)
{
    return std::all_of(text.begin(), text.end(), [](char c) {
        return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
    });
}

} // namespace mirelight::fuzz
