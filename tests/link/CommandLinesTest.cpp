#include "link/CommandLines.h"

#include <gtest/gtest.h>

#include <climits>

namespace commands = mirelight::commands;

namespace {

// Test names from the rows' descriptions.
template<class Row> std::string RowName(const testing::TestParamInfo<Row>& row)
{
    std::string name = row.param.what;
    for (char& c : name)
        if (!std::isalnum(static_cast<unsigned char>(c)))
            c = '_';
    return name;
}

// Rows print as their description, not as bytes.
template<class Row> void PrintTo(const Row& row, std::ostream* out)
{
    *out << row.what;
}

struct RequestRow
{
    // Printed as its description, not as bytes.
    friend void PrintTo(const RequestRow& row, std::ostream* out) { *out << row.what; }
    const char* what;
    std::string built;
    std::string expected;
};

class RequestLine : public testing::TestWithParam<RequestRow>
{
};

TEST_P(RequestLine, IsBuiltByteForByte)
{
    EXPECT_EQ(GetParam().built, GetParam().expected);
}

std::string SettingLine(char n)
{
    return std::string("+DSTR=8") + n + "1" + n
        + "0000FEFF01000000000000000000011300000000000000\r";
}

INSTANTIATE_TEST_SUITE_P(
    EveryRequest, RequestLine,
    testing::Values(
        RequestRow { "version", commands::VersionRequest(), "+DVRR\r" },
        RequestRow { "MAC, pairs last to first", *commands::MacAddressRequest("0123456789ABCDEF"),
                     "+DSMR=EFCDAB8967452301\r" },
        RequestRow { "MAC, case as typed", *commands::MacAddressRequest("0123456789abcDEf"),
                     "+DSMR=EfcDab8967452301\r" },
        RequestRow { "basic setting", commands::BasicSettingRequest(), "+DSTR=040000\r" },
        RequestRow { "setting 1", commands::ButtonSettingRequest(1), SettingLine('1') },
        RequestRow { "setting 2", commands::ButtonSettingRequest(2), SettingLine('2') },
        RequestRow { "setting 3", commands::ButtonSettingRequest(3), SettingLine('3') },
        RequestRow { "setting 4", commands::ButtonSettingRequest(4), SettingLine('4') },
        RequestRow { "setting 5", commands::ButtonSettingRequest(5), SettingLine('5') },
        RequestRow { "setting 6", commands::ButtonSettingRequest(6), SettingLine('6') },
        RequestRow { "setting 7", commands::ButtonSettingRequest(7), SettingLine('7') },
        RequestRow { "setting 8", commands::ButtonSettingRequest(8),
                     "+DSTR=88180000FEFF01000000000000000000011300000000000000\r" },
        RequestRow { "reset", commands::ResetRequest(), "+DRSR\r" },
        RequestRow { "discovery", commands::DiscoveryRequest(),
                     "+NNDR=000000000000000800F8FF07\r" },
        RequestRow { "join", commands::JoinRequest("ABCD"),
                     "+NJNR=000000010000010000000000000000000000000000000000ABCD\r" },
        RequestRow { "rejoin", commands::RejoinRequest(),
                     "+NJNR=010000000000000000F8FF070000000000000000000000000000\r" },
        RequestRow { "bind, first list entry", commands::BindRequest(0),
                     "+ADAR=0B000000000000010A010000000000000000000000000000000020215508000011"
                     "0001000113\r" },
        RequestRow {
            "bind, button 3", commands::BindRequest(2),
            "+ADAR="
            "0B000000000000010A0100000000000000000000000000000000202155080000130001000113\r" },
        RequestRow {
            "bind, eighth list entry", commands::BindRequest(7),
            "+ADAR="
            "0B000000000000010A0100000000000000000000000000000000202155080000180001000113\r" },
        RequestRow { "button 3 on", commands::ButtonMessage(3, 1),
                     "+ADAR=06000000000100000A0100000000000000000000000000001300131156110000FF\r" },
        RequestRow { "button 3 off", commands::ButtonMessage(3, 0),
                     "+ADAR=06000000000100000A0100000000000000000000000000001300131156110000"
                     "00\r" },
        RequestRow { "button 8 toggle", commands::ButtonMessage(8, 2),
                     "+ADAR=06000000000100000A0100000000000000000000000000001800131156110000F0\r" },
        RequestRow {
            "effect out of range is toggle", commands::ButtonMessage(1, -1),
            "+ADAR=06000000000100000A0100000000000000000000000000001100131156110000F0\r" }),
    RowName<RequestRow>);

// A button number outside 1..8 used to give a longer line ("110", "1-1") or a character that
// is no hexadecimal digit (':'), or wrapped round to a real button: it names button 0 instead.
const std::string kBindNoButton
    = "+ADAR=0B000000000000010A0100000000000000000000000000000000202155080000100001000113\r";
const std::string kMessageNoButton
    = "+ADAR=06000000000100000A0100000000000000000000000000001000131156110000FF\r";

INSTANTIATE_TEST_SUITE_P(
    ButtonOutOfRange, RequestLine,
    testing::Values(
        RequestRow { "bind, index 8", commands::BindRequest(8), kBindNoButton },
        RequestRow { "bind, index 9", commands::BindRequest(9), kBindNoButton },
        RequestRow { "bind, index -1", commands::BindRequest(-1), kBindNoButton },
        RequestRow { "bind, lowest index", commands::BindRequest(INT_MIN), kBindNoButton },
        RequestRow { "bind, highest index", commands::BindRequest(INT_MAX), kBindNoButton },
        RequestRow { "message, button 0", commands::ButtonMessage(0, 1), kMessageNoButton },
        RequestRow { "message, button 9", commands::ButtonMessage(9, 1), kMessageNoButton },
        RequestRow { "message, button 10", commands::ButtonMessage(10, 1), kMessageNoButton },
        RequestRow { "message, button -1", commands::ButtonMessage(-1, 1), kMessageNoButton },
        RequestRow { "setting, button 0", commands::ButtonSettingRequest(0), SettingLine('0') },
        RequestRow { "setting, button 10", commands::ButtonSettingRequest(10), SettingLine('0') },
        RequestRow { "setting, lowest button", commands::ButtonSettingRequest(INT_MIN),
                     SettingLine('0') }),
    RowName<RequestRow>);

TEST(RequestLine, MacAddressMustBeSixteenHexDigits)
{
    EXPECT_FALSE(commands::MacAddressRequest("0123456789ABCDE"));
    EXPECT_FALSE(commands::MacAddressRequest("0123456789ABCDEF0"));
    EXPECT_FALSE(commands::MacAddressRequest("0123456789ABCDEG"));
    EXPECT_FALSE(commands::MacAddressRequest(""));
}

TEST(RequestLine, TimeOutCodesOfTheButtonSettings)
{
    const long expected[] = { 1017, 1039, 1061, 1083, 1105, 1127, 1149, 1171 };
    for (int n = 1; n <= 8; ++n)
        EXPECT_EQ(commands::ButtonSettingCode(n), expected[n - 1]) << "button " << n;
}

// --- Field reads: one row per field, on lines that hold it, miss it or end before it ---

struct FieldRow
{
    // Printed as its description, not as bytes.
    friend void PrintTo(const FieldRow& row, std::ostream* out) { *out << row.what; }
    const char* what;
    bool (*read)(std::string_view);
    std::string line;
    bool expected;
};

class FieldRead : public testing::TestWithParam<FieldRow>
{
};

TEST_P(FieldRead, ComparesOnlyWhatTheLineHolds)
{
    EXPECT_EQ(GetParam().read(GetParam().line), GetParam().expected);
}

bool IsVersionConfirm(std::string_view line)
{
    return commands::HasName(line, commands::kVersionConfirm);
}

const std::string kIndication68 = "+ADAI=" + std::string(62, '0');

INSTANTIATE_TEST_SUITE_P(
    EveryField, FieldRead,
    testing::Values(
        FieldRow { "name", IsVersionConfirm, "+DVRC=0B400112\r\n", true },
        FieldRow { "name_is_case_sensitive", IsVersionConfirm, "+dvrc=0B400112\r\n", false },
        FieldRow { "name_on_short_line", IsVersionConfirm, "+DVR", false },
        FieldRow { "name_other", IsVersionConfirm, "+DERI=04\r\n", false },
        FieldRow { "mac_missing", commands::IsMacAddressMissing, "+DERI=04\r\n", true },
        FieldRow { "mac_missing_other_error", commands::IsMacAddressMissing, "+DERI=05\r\n",
                   false },
        FieldRow { "mac_missing_short", commands::IsMacAddressMissing, "+DERI=0", false },
        FieldRow { "status_success", commands::HasSuccessStatus, "+ADAC=00\r\n", true },
        FieldRow { "status_failure", commands::HasSuccessStatus, "+ADAC=01\r\n", false },
        FieldRow { "status_cut_after_one_digit", commands::HasSuccessStatus, "+ADAC=0", false },
        FieldRow { "status_missing", commands::HasSuccessStatus, "+ADAC\r\n", false },
        FieldRow { "bind_status_success", commands::HasBindSuccessStatus, kIndication68 + "00\r\n",
                   true },
        FieldRow { "bind_status_failure", commands::HasBindSuccessStatus, kIndication68 + "02\r\n",
                   false },
        FieldRow { "bind_status_short", commands::HasBindSuccessStatus, kIndication68, false },
        FieldRow { "bind_status_not_at_6", commands::HasBindSuccessStatus, "+ADAI=00\r\n", false },
        FieldRow { "model_code", commands::HasBriskoModelCode, "+DVRC=0B4001120103\r\n", true },
        FieldRow { "model_code_any_name", commands::HasBriskoModelCode, "+XXXX=0B400112\r\n",
                   true },
        FieldRow { "model_code_wrong", commands::HasBriskoModelCode, "+DVRC=0B400113\r\n", false },
        FieldRow { "model_code_cut", commands::HasBriskoModelCode, "+DVRC=0B40011", false },
        FieldRow { "model_code_of_error", commands::HasBriskoModelCode, "+DERI=04\r\n", false }),
    RowName<FieldRow>);

struct NetworkIdRow
{
    // Printed as its description, not as bytes.
    friend void PrintTo(const NetworkIdRow& row, std::ostream* out) { *out << row.what; }
    const char* what;
    std::string line;
    std::optional<std::string> expected;
};

class NetworkIdentifierRead : public testing::TestWithParam<NetworkIdRow>
{
};

TEST_P(NetworkIdentifierRead, YieldsFourHexDigitsOrNothing)
{
    EXPECT_EQ(commands::NetworkIdentifier(GetParam().line), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    DiscoveryAnswers, NetworkIdentifierRead,
    testing::Values(NetworkIdRow { "at_14_to_17", "+NNDC=000B19C4ABCD00124B\r\n", "ABCD" },
                    NetworkIdRow { "line_ends_there", "+NNDC=000B19C4ab12\r\n", "ab12" },
                    NetworkIdRow { "terminators_inside", "+NNDC=000B19C4AB\r\n", std::nullopt },
                    NetworkIdRow { "line_too_short", "+NNDC=00\r\n", std::nullopt },
                    NetworkIdRow { "cut_before_the_end", "+NNDC=000B19C4ABC", std::nullopt },
                    NetworkIdRow { "not_hex", "+NNDC=000B19C4AB=D00\r\n", std::nullopt },
                    NetworkIdRow { "nul_inside", std::string("+NNDC=000B19C4AB\0D00\r\n", 22),
                                   std::nullopt }),
    RowName<NetworkIdRow>);

TEST(NetworkIdentifierRead, IsShownWithItsPairsSwapped)
{
    EXPECT_EQ(commands::DisplayedNetworkIdentifier("ABCD"), "CDAB");
}

} // namespace
