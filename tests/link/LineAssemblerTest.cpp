#include "link/CLineAssembler.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using mirelight::CLineAssembler;

namespace {

// Feeds bytes in pieces of chunkSize and collects every delivered line.
std::vector<std::string> Assemble(const std::string& bytes, std::size_t chunkSize = 4096)
{
    CLineAssembler assembler;
    std::vector<std::string> lines;
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

using Lines = std::vector<std::string>;

// Rows print as their description, not as bytes.
template<class Row> void PrintTo(const Row& row, std::ostream* out)
{
    *out << row.what;
}

struct AssemblyRow
{
    // Printed as its description, not as bytes.
    friend void PrintTo(const AssemblyRow& row, std::ostream* out) { *out << row.what; }
    const char* what;
    std::string bytes;
    Lines expected;
};

class LineAssembly : public testing::TestWithParam<AssemblyRow>
{
};

TEST_P(LineAssembly, DeliversTheExpectedLinesWhateverTheReadSizes)
{
    for (std::size_t chunk : { std::size_t(1), std::size_t(7), std::size_t(4096) })
        EXPECT_EQ(Assemble(GetParam().bytes, chunk), GetParam().expected) << "chunks of " << chunk;
}

const std::string k600 = std::string(598, 'A') + "\r\n";

INSTANTIATE_TEST_SUITE_P(
    Streams, LineAssembly,
    testing::Values(
        AssemblyRow {
            "terminators_kept", "+DVRC=0B400112\r\n+DSTC\n", { "+DVRC=0B400112\r\n", "+DSTC\n" } },
        AssemblyRow { "blank_lines_dropped", "\r\n\n+DSTC\r\n\r\n", { "+DSTC\r\n" } },
        AssemblyRow { "control_first_byte_dropped", "\x01+DVRC\r\n\x1F\n +X\n", { " +X\n" } },
        AssemblyRow { "high_first_byte_delivered", "\x80\xFF\r\n", { "\x80\xFF\r\n" } },
        AssemblyRow { "nul_inside_kept", std::string("+A\0B\n", 5), { std::string("+A\0B\n", 5) } },
        AssemblyRow { "no_lf_no_line", "+DVRC=0B400112\r", {} },
        AssemblyRow { "600_bytes_as_511_and_89",
                      k600,
                      { std::string(511, 'A'), std::string(87, 'A') + "\r\n" } },
        AssemblyRow {
            "exactly_511_then_lf_alone", std::string(511, 'B') + "\n", { std::string(511, 'B') } },
        AssemblyRow { "remainder_starting_with_control_dropped",
                      std::string(511, 'C') + "\r\n+NEXT\n",
                      { std::string(511, 'C'), "+NEXT\n" } }),
    [](const testing::TestParamInfo<AssemblyRow>& row) { return std::string(row.param.what); });

TEST(LineAssembler, StopsAtALineSoThatTheRestWaitsForTheNextFeed)
{
    CLineAssembler assembler;
    const std::string bytes = "+ONE\n+TWO\n";
    ASSERT_EQ(assembler.Feed(bytes), 5u);
    ASSERT_TRUE(assembler.HasLine());
    EXPECT_EQ(assembler.TakeLine(), "+ONE\n");
    EXPECT_FALSE(assembler.HasLine());
    EXPECT_EQ(assembler.Feed(std::string_view(bytes).substr(5)), 5u);
    EXPECT_EQ(assembler.TakeLine(), "+TWO\n");
}

TEST(LineAssembler, APartialLineIsKeptAcrossFeeds)
{
    CLineAssembler assembler;
    EXPECT_EQ(assembler.Feed("+NN"), 3u);
    EXPECT_FALSE(assembler.HasLine());
    assembler.Feed("DC=00\r\n");
    ASSERT_TRUE(assembler.HasLine());
    EXPECT_EQ(assembler.TakeLine(), "+NNDC=00\r\n");
}

} // namespace
