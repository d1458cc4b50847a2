// Feeds arbitrary bytes, cut into arbitrary reads, to the line assembler and checks every line
// it delivers, and when, against the bytes it consumed.
#include "FuzzChecks.h"
#include "link/CLineAssembler.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <string>
#include <utility>
#include <vector>

using mirelight::CLineAssembler;
using mirelight::fuzz::Check;
using Lines = std::vector<std::pair<std::size_t, std::string>>; // each with where it ends

namespace {

// The lines in bytes: each ends after its LF or after 511 bytes, whichever comes first; those
// starting below 32 are dropped.
Lines Reference(std::string_view bytes)
{
    Lines lines;
    for (std::size_t end = 1, start = 0; end <= bytes.size(); ++end) {
        if (bytes[end - 1] != '\n' && end - start < CLineAssembler::kMaxLineLength)
            continue;
        if (static_cast<unsigned char>(bytes[start]) >= 32)
            lines.emplace_back(end, bytes.substr(start, end - start));
        start = end;
    }
    return lines;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzedDataProvider input(data, size);
    CLineAssembler assembler;
    std::string stream; // every byte consumed so far
    Lines delivered; // each with how much of the stream had been consumed then
    const auto feed = [&](std::string_view rest) {
        do {
            const std::size_t used = assembler.Feed(rest);
            Check(used <= rest.size() && (used == rest.size() || assembler.HasLine())
                      && (used > 0 || rest.empty()),
                  "Feed consumes something when given bytes, and all of them unless a line is "
                  "ready");
            stream.append(rest.substr(0, used));
            rest.remove_prefix(used);
            if (assembler.HasLine())
                delivered.emplace_back(stream.size(), assembler.TakeLine());
        } while (!rest.empty());
    };
    while (input.remaining_bytes() > 0) {
        const auto read = input.ConsumeBytes<char>(
            input.ConsumeIntegralInRange<std::size_t>(0, 2 * CLineAssembler::kMaxLineLength));
        feed(std::string_view(read.data(), read.size()));
    }
    feed("\n"); // the line still pending comes out now
    Check(delivered == Reference(stream),
          "every line is delivered unchanged as soon as its last byte is consumed, and only "
          "lines starting at 32 or above");
    return 0;
}
