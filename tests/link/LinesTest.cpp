#include "link/CLineAssembler.h"
#include "link/CommandLines.h"

#include <gtest/gtest.h>
#include <map>
#include <string>
#include <tuple>
#include <vector>

using mirelight::CLineAssembler;
using Lines = std::vector<std::string>;
namespace commands = mirelight::commands;

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

TEST(RequestLine, IsBuiltByteForByte)
{
    // A button number outside 1..8 names button 0: never a longer line, a character that is
    // no hexadecimal digit, or another button's device.
    const std::string setting0 = "+DSTR=80100000FEFF01000000000000000000011300000000000000\r";
    const std::string bind0
        = "+ADAR=0B000000000000010A0100000000000000000000000000000000202155080000100001000113\r";
    const std::string message0
        = "+ADAR=06000000000100000A0100000000000000000000000000001000131156110000FF\r";
    for (const auto& [built, expected] : std::vector<std::pair<std::string, std::string>> {
             { commands::VersionRequest(), "+DVRR\r" },
             { *commands::MacAddressRequest("0123456789abcDEf"), "+DSMR=EfcDab8967452301\r" },
             { commands::BasicSettingRequest(), "+DSTR=040000\r" },
             { commands::ButtonSettingRequest(1),
               "+DSTR=81110000FEFF01000000000000000000011300000000000000\r" },
             { commands::ButtonSettingRequest(8),
               "+DSTR=88180000FEFF01000000000000000000011300000000000000\r" },
             { commands::ButtonSettingRequest(0), setting0 },
             { commands::ButtonSettingRequest(10), setting0 },
             { commands::ResetRequest(), "+DRSR\r" },
             { commands::DiscoveryRequest(), "+NNDR=000000000000000800F8FF07\r" },
             { commands::JoinRequest("ABCD"),
               "+NJNR=000000010000010000000000000000000000000000000000ABCD\r" },
             { commands::RejoinRequest(),
               "+NJNR=010000000000000000F8FF070000000000000000000000000000\r" },
             { commands::BindRequest(0),
               "+ADAR="
               "0B000000000000010A0100000000000000000000000000000000202155080000110001000113\r" },
             { commands::BindRequest(7),
               "+ADAR="
               "0B000000000000010A0100000000000000000000000000000000202155080000180001000113\r" },
             { commands::BindRequest(8), bind0 },
             { commands::BindRequest(-1), bind0 },
             { commands::ButtonMessage(3, 1),
               "+ADAR=06000000000100000A0100000000000000000000000000001300131156110000FF\r" },
             { commands::ButtonMessage(3, 0),
               "+ADAR=06000000000100000A010000000000000000000000000000130013115611000000\r" },
             { commands::ButtonMessage(8, 2),
               "+ADAR=06000000000100000A0100000000000000000000000000001800131156110000F0\r" },
             { commands::ButtonMessage(1, -1), // an effect out of range toggles
               "+ADAR=06000000000100000A0100000000000000000000000000001100131156110000F0\r" },
             { commands::ButtonMessage(0, 1), message0 },
             { commands::ButtonMessage(9, 1), message0 },
             { commands::ButtonMessage(-1, 1), message0 } })
        EXPECT_EQ(built, expected);
    for (const char* digits : { "0123456789ABCDE", "0123456789ABCDEF0", "0123456789ABCDEG" })
        EXPECT_FALSE(commands::MacAddressRequest(digits)) << digits;
}

TEST(FieldRead, ComparesOnlyWhatTheLineHoldsAndANetworkIdentifierIsFourHexDigitsAt14)
{
    const auto isVersion
        = [](std::string_view line) { return commands::HasName(line, commands::kVersionConfirm); };
    const std::string indication68 = "+ADAI=" + std::string(62, '0');
    using Read = bool (*)(std::string_view);
    for (const auto& [read, line, expected] : std::vector<std::tuple<Read, std::string, bool>> {
             { isVersion, "+DVRC=0B400112\r\n", true },
             { isVersion, "+dvrc=0B400112\r\n", false },
             { isVersion, "+DVR", false },
             { commands::IsMacAddressMissing, "+DERI=04\r\n", true },
             { commands::IsMacAddressMissing, "+DERI=05\r\n", false },
             { commands::IsMacAddressMissing, "+DERI=0", false },
             { commands::HasSuccessStatus, "+ADAC=00", true },
             { commands::HasSuccessStatus, "+ADAC=01\r\n", false },
             { commands::HasSuccessStatus, "+ADAC=0", false },
             { commands::HasBindSuccessStatus, indication68 + "00", true },
             { commands::HasBindSuccessStatus, indication68 + "02\r\n", false },
             { commands::HasBindSuccessStatus, "+ADAI=00\r\n", false },
             { commands::HasBriskoModelCode, "+XXXX=0B400112", true },
             { commands::HasBriskoModelCode, "+DVRC=0B400113\r\n", false },
             { commands::HasBriskoModelCode, "+DVRC=0B40011", false } })
        EXPECT_EQ(read(line), expected) << testing::PrintToString(line);
    for (const auto& [line, id] : std::map<std::string, std::optional<std::string>> {
             { "+NNDC=000B19C4ABCD00124B\r\n", "ABCD" },
             { "+NNDC=000B19C4ab12", "ab12" },
             { "+NNDC=000B19C4AB\r\n", std::nullopt },
             { "+NNDC=000B19C4ABC", std::nullopt },
             { "+NNDC=000B19C4AB=D00\r\n", std::nullopt } })
        EXPECT_EQ(commands::NetworkIdentifier(line), id) << line;
    EXPECT_EQ(commands::DisplayedNetworkIdentifier("ABCD"), "CDAB");
}

} // namespace
