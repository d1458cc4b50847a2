// Builds every request that takes an argument from arbitrary input: three integers (the
// bind index, the button number and the effect) taken from the end of the input, and the rest
// as typed MAC address digits and as a discovery answer to join.
#include "FuzzChecks.h"
#include "link/CommandLines.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace commands = mirelight::commands;
using mirelight::fuzz::Check;
using mirelight::fuzz::IsHexText;

namespace {

constexpr std::size_t kNameLength = 6; // "+XXXX="

// A request is its name and "=", hexadecimal digits, and the final CR.
void CheckRequestShape(std::string_view request, std::string_view name)
{
    Check(request.size() > kNameLength && request.substr(0, kNameLength) == name,
          "a request starts with its name and \"=\"");
    Check(request.back() == '\r', "a request ends with CR");
    Check(IsHexText(request.substr(kNameLength, request.size() - kNameLength - 1)),
          "a request holds only hexadecimal digits between its name and its CR");
}

// The digit that names button number n in a request: n for 1 to 8, "0" (no button) otherwise.
// Stated again here on purpose: the check must not share the code it checks.
char ButtonDigit(long buttonNumber)
{
    return buttonNumber >= 1 && buttonNumber <= 8 ? static_cast<char>('0' + buttonNumber) : '0';
}

// request must be reference with the button digit at each of the positions.
void CheckButtonRequest(std::string_view request, std::string_view reference,
                        std::initializer_list<std::size_t> digitPositions, long buttonNumber)
{
    CheckRequestShape(request, reference.substr(0, kNameLength));
    Check(request.size() == reference.size(), "a button's request has a fixed length");
    std::string expected(reference);
    for (std::size_t position : digitPositions)
        expected[position] = ButtonDigit(buttonNumber);
    Check(request == expected, "a button's request differs from another's only in its digit");
}

void CheckMacAddressRequest(std::string_view digits)
{
    const auto request = commands::MacAddressRequest(digits);
    Check(request.has_value() == (digits.size() == 16 && IsHexText(digits)),
          "a MAC address request is built exactly from 16 hexadecimal digits");
    if (!request)
        return;
    CheckRequestShape(*request, "+DSMR=");
    std::string pairsLastToFirst;
    for (std::size_t pair = 0; pair < 8; ++pair)
        pairsLastToFirst += digits.substr(14 - 2 * pair, 2);
    Check(*request == "+DSMR=" + pairsLastToFirst + "\r",
          "a MAC address request carries the digit pairs last to first");
}

void CheckJoinRequest(std::string_view discoveryAnswer)
{
    const auto networkId = commands::NetworkIdentifier(discoveryAnswer);
    if (!networkId)
        return;
    const std::string request = commands::JoinRequest(*networkId);
    CheckRequestShape(request, "+NJNR=");
    Check(request.size() == commands::JoinRequest("0000").size(),
          "a join request has a fixed length");
    Check(request.substr(request.size() - 5) == *networkId + "\r",
          "a join request ends with the identifier");
}

std::string HexByte(long byte)
{
    constexpr std::string_view digits = "0123456789ABCDEF";
    return { digits[static_cast<std::size_t>(byte >> 4)],
             digits[static_cast<std::size_t>(byte & 0xF)] };
}

void CheckButtonMessage(int buttonNumber, int effect)
{
    const long effectByte = commands::EffectByte(effect);
    Check(effectByte
              == (effect == 0       ? 0x00
                      : effect == 1 ? 0xFF
                                    : 0xF0),
          "the effect byte is 00 for Off, FF for On and F0 for anything else");
    const std::string message = commands::ButtonMessage(buttonNumber, effect);
    CheckButtonRequest(message, commands::ButtonMessage(1, effect), { 55 }, buttonNumber);
    Check(message.substr(70, 2) == HexByte(effectByte), "a switch message carries its effect byte");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzedDataProvider input(data, size);
    const int index = input.ConsumeIntegral<int>();
    const int buttonNumber = input.ConsumeIntegral<int>();
    const int effect = input.ConsumeIntegral<int>();
    // A buffer of its own exact size, so that AddressSanitizer catches a read past its end.
    const std::vector<char> rest = input.ConsumeRemainingBytes<char>();
    const std::string_view text(rest.data(), rest.size());

    CheckMacAddressRequest(text);
    CheckJoinRequest(text);
    CheckButtonRequest(commands::BindRequest(index), commands::BindRequest(0), { 71 }, index + 1L);
    CheckButtonRequest(commands::ButtonSettingRequest(buttonNumber),
                       commands::ButtonSettingRequest(1), { 7, 9 }, buttonNumber);
    CheckButtonMessage(buttonNumber, effect);
    const long code = commands::ButtonSettingCode(buttonNumber);
    Check(ButtonDigit(buttonNumber) == '0' || (code >= 1017 && code <= 1171),
          "a button's time-out code lies between the first's and the eighth's");
    return 0;
}
