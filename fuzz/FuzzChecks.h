#pragma once

#include <algorithm>
#include <cstdint>
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

// The input itself, not a copy, so that AddressSanitizer catches a read past its end.
inline std::string_view Text(const std::uint8_t* data, std::size_t size)
{
    return { reinterpret_cast<const char*>(data), size };
}

// Spelled out rather than std::isxdigit, so that the checks do not share the code they check.
inline bool IsHexText(std::string_view text)
{
    return std::all_of(text.begin(), text.end(), [](char c) {
        return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
    });
}

// Whether line holds text at position; false when the line ends before.
inline bool Holds(std::string_view line, std::size_t position, std::string_view text)
{
    return line.size() >= position && line.size() - position >= text.size()
        && line.substr(position, text.size()) == text;
}

} // namespace mirelight::fuzz
