#include "link/CLineAssembler.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using mirelight::CLineAssembler;
using Lines = std::vector<std::string>;

namespace {

// Feeds bytes in pieces of chunkSize and collects every delivered line.
Lines Assemble(const std::string& bytes, std::size_t chunkSize)
{
    CLineAssembler assembler;
    Lines lines;
    for (std::size_t start = 0; start < bytes.size(); start += chunkSize) {
        std::string_view chunk = std::string_view(bytes).substr(start, chunkSize);
        while (!chunk.empty()) {
            chunk.remove_prefix(assembler.Feed(chunk));
            if (assembler.HasLine())
                lines.push_back(assembler.TakeLine());
        }
    }
    return lines;
}

TEST(LineAssembler, DeliversTheExpectedLinesWhateverTheReadSizes)
{
    const struct
    {
        const char* what;
        std::string bytes;
        Lines expected;
    } rows[] = {
        { "terminators kept", "+DVRC=0B400112\r\n+DSTC\n", { "+DVRC=0B400112\r\n", "+DSTC\n" } },
        { "blank lines dropped", "\r\n\n+DSTC\r\n\r\n", { "+DSTC\r\n" } },
        { "control first byte dropped", "\x01+DVRC\r\n\x1F\n +X\n", { " +X\n" } },
        { "high first byte delivered", "\x80\xFF\r\n", { "\x80\xFF\r\n" } },
        { "NUL inside kept", std::string("+A\0B\n", 5), { std::string("+A\0B\n", 5) } },
        { "no LF, no line", "+DVRC=0B400112\r", {} },
        { "600 bytes as 511 and 89",
          std::string(598, 'A') + "\r\n",
          { std::string(511, 'A'), std::string(87, 'A') + "\r\n" } },
        { "511, then an LF alone", std::string(511, 'B') + "\n", { std::string(511, 'B') } },
        { "remainder starting with a control byte dropped",
          std::string(511, 'C') + "\r\n+NEXT\n",
          { std::string(511, 'C'), "+NEXT\n" } },
    };
    for (const auto& row : rows)
        for (std::size_t chunk : { 1, 7, 4096 })
            EXPECT_EQ(Assemble(row.bytes, chunk), row.expected)
                << row.what << ", chunks of " << chunk;
}

} // namespace
