// Builds every request that takes an argument from arbitrary input: three integers (the bind
// index, the button number and the effect) taken from the end of the input, and the rest as
// typed MAC address digits and as a discovery answer to join.
#include "FuzzChecks.h"
#include "link/CommandLines.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <initializer_list>
#include <string>
#include <vector>

namespace commands = mirelight::commands;
using namespace mirelight::fuzz;

namespace {

// request must be reference with text at each of the positions, and look like a request: its
// name and "=", hexadecimal digits, and the final CR. Stated again here on purpose: the check
// must not share the code it checks.
void CheckRequest(std::string_view request, std::string reference, std::string_view text,
                  std::initializer_list<std::size_t> positions)
{
    for (std::size_t position : positions)
        reference.replace(position, text.size(), text);
    Check(request == reference, "a request differs from another of its kind only in its argument");
    Check(request.size() > 6 && request[5] == '=' && request.back() == '\r'
              && IsHexText(request.substr(6, request.size() - 7)),
          "a request is its name, \"=\", hexadecimal digits and CR");
}

// The digit of button number n in a request: n for 1 to 8, "0" (no button) otherwise.
std::string ButtonDigit(long n)
{
    return std::string(1, n >= 1 && n <= 8 ? static_cast<char>('0' + n) : '0');
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzedDataProvider input(data, size);
    const int index = input.ConsumeIntegral<int>();
    const int button = input.ConsumeIntegral<int>();
    const int effect = input.ConsumeIntegral<int>();
    // A buffer of its own exact size, so that AddressSanitizer catches a read past its end.
    const std::vector<char> rest = input.ConsumeRemainingBytes<char>();
    const std::string_view text(rest.data(), rest.size());

    const auto mac = commands::MacAddressRequest(text);
    Check(mac.has_value() == (text.size() == 16 && IsHexText(text)),
          "a MAC address request is built exactly from 16 hexadecimal digits");
    std::string pairsLastToFirst = "+DSMR=0000000000000000\r";
    for (std::size_t pair = 0; mac && pair < 8; ++pair)
        pairsLastToFirst.replace(20 - 2 * pair, 2, text.substr(2 * pair, 2));
    Check(!mac || *mac == pairsLastToFirst,
          "a MAC address request carries the digit pairs last to first");
    if (const auto id = commands::NetworkIdentifier(text))
        CheckRequest(commands::JoinRequest(*id), commands::JoinRequest("0000"), *id, { 54 });

    CheckRequest(commands::BindRequest(index), commands::BindRequest(0), ButtonDigit(index + 1L),
                 { 71 });
    CheckRequest(commands::ButtonSettingRequest(button), commands::ButtonSettingRequest(1),
                 ButtonDigit(button), { 7, 9 });
    const std::string message = commands::ButtonMessage(button, effect);
    CheckRequest(message, commands::ButtonMessage(1, effect), ButtonDigit(button), { 55 });
    const std::string_view effectByte = effect == 0 ? "00" : effect == 1 ? "FF" : "F0";
    Check(commands::EffectByte(effect) == std::strtol(effectByte.data(), nullptr, 16),
          "the effect byte is 00 for Off, FF for On and F0 for anything else");
    Check(message.substr(70, 2) == effectByte, "a switch message carries its effect byte");
    const long code = commands::ButtonSettingCode(button);
    Check(button < 1 || button > 8 || (code >= 1017 && code <= 1171),
          "a button's time-out code lies between the first's and the eighth's");
    return 0;
}
