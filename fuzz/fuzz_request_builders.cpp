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

// A request is its name and "=" (those of reference), hexadecimal digits, and the final CR.
void CheckShape(std::string_view request, std::string_view reference)
{
    Check(request.size() > 6 && request.substr(0, 6) == reference.substr(0, 6),
          "a request starts with its name and \"=\"");
    Check(request.back() == '\r', "a request ends with CR");
    Check(IsHexText(request.substr(6, request.size() - 7)),
          "a request holds only hexadecimal digits between its name and its CR");
}

// request must be reference with the digit of button number n at each of the positions: n for
// 1 to 8, "0" (no button) otherwise. Stated again here on purpose: the check must not share the
// code it checks.
void CheckButtonRequest(std::string_view request, std::string reference,
                        std::initializer_list<std::size_t> positions, long n)
{
    CheckShape(request, reference);
    for (std::size_t position : positions)
        reference[position] = n >= 1 && n <= 8 ? static_cast<char>('0' + n) : '0';
    Check(request == reference, "a button's request differs from another's only in its digit");
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
    if (mac) {
        std::string pairsLastToFirst;
        for (std::size_t pair = 8; pair-- > 0;)
            pairsLastToFirst += text.substr(2 * pair, 2);
        Check(*mac == "+DSMR=" + pairsLastToFirst + "\r",
              "a MAC address request carries the digit pairs last to first");
    }

    if (const auto id = commands::NetworkIdentifier(text)) {
        const std::string join = commands::JoinRequest(*id);
        CheckShape(join, "+NJNR=");
        Check(join.size() == commands::JoinRequest("0000").size(),
              "a join request has a fixed length");
        Check(join.ends_with(*id + "\r"), "a join request ends with the identifier");
    }

    CheckButtonRequest(commands::BindRequest(index), commands::BindRequest(0), { 71 }, index + 1L);
    CheckButtonRequest(commands::ButtonSettingRequest(button), commands::ButtonSettingRequest(1),
                       { 7, 9 }, button);
    const std::string message = commands::ButtonMessage(button, effect);
    CheckButtonRequest(message, commands::ButtonMessage(1, effect), { 55 }, button);
    const std::string_view effectByte = effect == 0 ? "00" : effect == 1 ? "FF" : "F0";
    Check(commands::EffectByte(effect) == std::strtol(effectByte.data(), nullptr, 16),
          "the effect byte is 00 for Off, FF for On and F0 for anything else");
    Check(message.substr(70, 2) == effectByte, "a switch message carries its effect byte");
    const long code = commands::ButtonSettingCode(button);
    Check(button < 1 || button > 8 || (code >= 1017 && code <= 1171),
          "a button's time-out code lies between the first's and the eighth's");
    return 0;
}
