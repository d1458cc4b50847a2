#include "link/CommandLines.h"

#include "link/ButtonCount.h"
#include "link/FormatText.h"

#include <algorithm>
#include <cctype>

namespace mirelight::commands {

namespace {

constexpr std::size_t kMacDigits = 16;
constexpr std::size_t kNetworkIdLength = 4;

bool IsHexDigits(std::string_view text)
{
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; });
}

// Whether line holds expected at position; false when the line ends before.
bool HasFieldAt(std::string_view line, std::size_t position, std::string_view expected)
{
    return line.size() >= position + expected.size()
        && line.substr(position, expected.size()) == expected;
}

// The digit that names button n (1..kButtonCount) in a request, as in its button pair "1n".
// Any other number gives "0", which names no button: a request must neither carry a character
// that is not a hexadecimal digit nor switch or bind another button's device.
char ButtonDigit(long buttonNumber)
{
    if (buttonNumber < 1 || buttonNumber > kButtonCount)
        return '0';
    return static_cast<char>('0' + buttonNumber);
}

} // namespace

long ButtonSettingCode(int buttonNumber)
{
    return 1017 + 22 * (buttonNumber - 1L);
}

std::string VersionRequest()
{
    return "+DVRR\r";
}

std::optional<std::string> MacAddressRequest(std::string_view digits)
{
    if (digits.size() != kMacDigits || !IsHexDigits(digits))
        return std::nullopt;
    std::string line = "+DSMR=";
    for (std::size_t pair = kMacDigits; pair > 0; pair -= 2)
        line += digits.substr(pair - 2, 2);
    return line + "\r";
}

std::string BasicSettingRequest()
{
    return "+DSTR=040000\r";
}

std::string ButtonSettingRequest(int buttonNumber)
{
    const char digit = ButtonDigit(buttonNumber);
    return FormatText("+DSTR=8%c1%c0000FEFF01000000000000000000011300000000000000\r", digit, digit);
}

std::string ResetRequest()
{
    return "+DRSR\r";
}

std::string DiscoveryRequest()
{
    return "+NNDR=000000000000000800F8FF07\r";
}

std::string JoinRequest(std::string_view networkId)
{
    return "+NJNR=000000010000010000000000000000000000000000000000" + std::string(networkId) + "\r";
}

std::string RejoinRequest()
{
    return "+NJNR=010000000000000000F8FF070000000000000000000000000000\r";
}

std::string BindRequest(int index)
{
    return FormatText(
        "+ADAR=0B000000000000010A01000000000000000000000000000000002021550800001%c0001000113\r",
        ButtonDigit(index + 1L));
}

long EffectByte(int effect)
{
    switch (effect) {
    case 0:
        return 0x00;
    case 1:
        return 0xFF;
    default:
        return 0xF0;
    }
}

std::string ButtonMessage(int buttonNumber, int effect)
{
    return FormatText(
        "+ADAR=06000000000100000A0100000000000000000000000000001%c00131156110000%02lX\r",
        ButtonDigit(buttonNumber), EffectByte(effect));
}

bool HasName(std::string_view line, std::string_view name)
{
    return HasFieldAt(line, 0, name);
}

bool IsMacAddressMissing(std::string_view line)
{
    return HasFieldAt(line, 0, "+DERI=04");
}

bool HasSuccessStatus(std::string_view line)
{
    return HasFieldAt(line, 6, "00");
}

bool HasBindSuccessStatus(std::string_view line)
{
    return HasFieldAt(line, 68, "00");
}

bool HasBriskoModelCode(std::string_view line)
{
    return HasFieldAt(line, 6, "0B400112");
}

std::optional<std::string> NetworkIdentifier(std::string_view line)
{
    constexpr std::size_t position = 14;
    if (line.size() < position + kNetworkIdLength)
        return std::nullopt;
    const std::string_view id = line.substr(position, kNetworkIdLength);
    if (!IsHexDigits(id))
        return std::nullopt;
    return std::string(id);
}

std::string DisplayedNetworkIdentifier(std::string_view networkId)
{
    if (networkId.size() != kNetworkIdLength)
        return std::string(networkId);
    return std::string(networkId.substr(2, 2)) + std::string(networkId.substr(0, 2));
}

} // namespace mirelight::commands
