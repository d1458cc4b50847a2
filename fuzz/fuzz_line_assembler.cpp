// Feeds arbitrary bytes, cut into arbitrary reads, to the line assembler and checks every line
// it delivers against the bytes it consumed.
#include "FuzzChecks.h"
#include "link/CLineAssembler.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

using mirelight::CLineAssembler;
using mirelight::fuzz::Check;

namespace {

constexpr std::size_t kMaxLine = CLineAssembler::kMaxLineLength;

bool IsBelowSpace(char c)
{
    return static_cast<unsigned char>(c) < 32;
}

// The length of the line at the start of bytes: up to its LF or kMaxLine bytes, whichever
// comes first; nothing when the bytes end before either.
std::optional<std::size_t> CompleteLineLength(std::string_view bytes)
{
    const std::size_t lf = bytes.substr(0, kMaxLine).find('\n');
    if (lf != std::string_view::npos)
        return lf + 1;
    if (bytes.size() >= kMaxLine)
        return kMaxLine;
    return std::nullopt;
}

// Skips the complete lines at the start of bytes, each of which must be one that is dropped;
// returns what is left.
std::string_view SkipDroppedLines(std::string_view bytes)
{
    while (const auto length = CompleteLineLength(bytes)) {
        Check(IsBelowSpace(bytes.front()), "a complete line starting at 32 or above is delivered");
        bytes.remove_prefix(*length);
    }
    return bytes;
}

void CheckLineShape(std::string_view line)
{
    Check(!line.empty() && line.size() <= kMaxLine, "a line holds 1 to 511 bytes");
    Check(!IsBelowSpace(line.front()), "a delivered line starts at 32 or above");
    Check(line.back() == '\n' || line.size() == kMaxLine, "a line ends with LF unless it is full");
    Check(line.find('\n') == line.size() - 1 || line.find('\n') == std::string_view::npos,
          "a line ends at its first LF");
}

// Checks a line delivered when stream held every byte consumed so far, the previous line
// having ended at previousEnd; returns where this one ends.
std::size_t CheckDeliveredLine(std::string_view line, std::string_view stream,
                               std::size_t previousEnd)
{
    CheckLineShape(line);
    Check(line.size() <= stream.size() - previousEnd, "a line is made of newly consumed bytes");
    const std::size_t start = stream.size() - line.size();
    Check(stream.substr(start) == line, "a line is the bytes consumed last, unchanged");
    Check(SkipDroppedLines(stream.substr(previousEnd, start - previousEnd)).empty(),
          "the bytes between two lines are whole dropped lines");
    return stream.size();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzedDataProvider input(data, size);
    CLineAssembler assembler;
    std::string stream; // every byte consumed so far
    std::size_t lineEnd = 0; // where the last delivered line ended in stream
    while (input.remaining_bytes() > 0) {
        const std::size_t readSize = input.ConsumeIntegralInRange<std::size_t>(0, 2 * kMaxLine);
        const std::vector<char> read = input.ConsumeBytes<char>(readSize);
        std::string_view rest(read.data(), read.size());
        do {
            const std::size_t used = assembler.Feed(rest);
            Check(used <= rest.size(), "Feed consumes at most what it is given");
            Check(used == rest.size() || assembler.HasLine(),
                  "Feed consumes everything unless a line is ready");
            Check(used > 0 || rest.empty(), "Feed consumes something when given bytes");
            stream.append(rest.substr(0, used));
            rest.remove_prefix(used);
            if (assembler.HasLine())
                lineEnd = CheckDeliveredLine(assembler.TakeLine(), stream, lineEnd);
        } while (!rest.empty());
    }
    // Whatever is pending must come out whole at the next LF, unless it is to be dropped.
    const std::string_view pending = SkipDroppedLines(std::string_view(stream).substr(lineEnd));
    const bool deliverable = !pending.empty() && !IsBelowSpace(pending.front());
    Check(assembler.Feed("\n") == 1, "Feed consumes a lone LF");
    stream.push_back('\n');
    Check(assembler.HasLine() == deliverable, "the pending line is delivered at its LF");
    if (deliverable)
        CheckDeliveredLine(assembler.TakeLine(), stream, lineEnd);
    return 0;
}
