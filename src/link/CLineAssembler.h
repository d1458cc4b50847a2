#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace mirelight {

// Turns the byte stream from the dongle into the lines the link delivers. Pure: no threads,
// no I/O, so it can be tested and fuzzed on its own.
//
// A line ends after its LF or after kMaxLineLength bytes, whichever comes first (a longer
// line goes on as the next one). Terminators are kept. A line whose first byte is below 32
// (a blank line, or one starting with a control character) is dropped. Every other byte,
// NUL and bytes >= 0x80 included, is kept as received.
class CLineAssembler
{
public:
    static constexpr std::size_t kMaxLineLength = 511;

    // Consumes bytes up to and including the end of the first line that is to be delivered,
    // or all of them. Returns how many were consumed; HasLine() then says whether a line
    // is ready. Must not be called while a line is ready.
    std::size_t Feed(std::string_view bytes);

    bool HasLine() const { return m_complete; }

    // Hands over the ready line and starts the next one.
    std::string TakeLine();

private:
    bool IsLineFinished() const;
    bool IsLineDeliverable() const;

    std::string m_szLine;
    bool m_complete = false;
};

} // namespace mirelight
