// Feeds arbitrary bytes, cut into arbitrary reads, to the line assembler and checks every line
// it delivers against the bytes it consumed.
#include "FuzzChecks.h"
#include "link/CLineAssembler.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <string>
#include <vector>

using mirelight::CLineAssembler;
using mirelight::fuzz::Check;

namespace {

// The complete lines in bytes: each ends after its LF or after 511 bytes, whichever comes
// first; those starting below 32 are dropped. end: where the last of them, dropped or not,
// ended.
std::vector<std::string_view> CompleteLines(std::string_view bytes, std::size_t& end)
{
    std::vector<std::string_view> lines;
    end = 0;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] != '\n' && i + 1 - end < CLineAssembler::kMaxLineLength)
            continue;
        if (static_cast<unsigned char>(bytes[end]) >= 32)
            lines.push_back(bytes.substr(end, i + 1 - end));
        end = i + 1;
    }
    return lines;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzedDataProvider input(data, size);
    CLineAssembler assembler;
    std::string stream; // every byte consumed so far
    std::size_t lineEnd = 0; // where the last line delivered ended in stream
    std::size_t end = 0;
    const auto feed = [&](std::string_view rest) {
        do {
            const std::size_t used = assembler.Feed(rest);
            Check(used <= rest.size(), "Feed consumes at most what it is given");
            Check(used == rest.size() || assembler.HasLine(),
                  "Feed consumes everything unless a line is ready");
            Check(used > 0 || rest.empty(), "Feed consumes something when given bytes");
            stream.append(rest.substr(0, used));
            rest.remove_prefix(used);
            if (!assembler.HasLine())
                continue;
            const std::string line = assembler.TakeLine();
            const auto lines = CompleteLines(std::string_view(stream).substr(lineEnd), end);
            Check(lines.size() == 1 && lines[0] == line && lineEnd + end == stream.size(),
                  "a line is delivered unchanged once its last byte is consumed, with only "
                  "dropped lines before it");
            lineEnd = stream.size();
        } while (!rest.empty());
    };
    while (input.remaining_bytes() > 0) {
        const auto read = input.ConsumeBytes<char>(
            input.ConsumeIntegralInRange<std::size_t>(0, 2 * CLineAssembler::kMaxLineLength));
        feed(std::string_view(read.data(), read.size()));
    }
    feed("\n");
    Check(CompleteLines(std::string_view(stream).substr(lineEnd), end).empty(),
          "the pending line is delivered at the next LF unless it is to be dropped");
    return 0;
}
