// Reads every fixed-position field from arbitrary lines.
#include "FuzzChecks.h"
#include "link/CommandLines.h"

#include <cstdint>

namespace commands = mirelight::commands;
using namespace mirelight::fuzz;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // The input itself, not a copy, so that AddressSanitizer catches a read past its end.
    const std::string_view line(reinterpret_cast<const char*>(data), size);
    // Whether the line holds text at position; false when it ends before.
    const auto holds = [line](std::size_t position, std::string_view text) {
        return line.size() >= position && line.substr(position, text.size()) == text;
    };
    const struct
    {
        const char* invariant;
        bool (*read)(std::string_view);
        std::size_t position;
        std::string_view text;
    } fields[] = {
        { "IsMacAddressMissing is \"+DERI=04\" at 0", commands::IsMacAddressMissing, 0,
          "+DERI=04" },
        { "HasSuccessStatus is \"00\" at 6", commands::HasSuccessStatus, 6, "00" },
        { "HasBindSuccessStatus is \"00\" at 68", commands::HasBindSuccessStatus, 68, "00" },
        { "HasBriskoModelCode is \"0B400112\" at 6", commands::HasBriskoModelCode, 6, "0B400112" },
    };
    for (const auto& field : fields)
        Check(field.read(line) == holds(field.position, field.text), field.invariant);

    for (std::string_view name :
         { commands::kVersionConfirm, commands::kErrorIndication, commands::kMacAddressConfirm,
           commands::kSettingConfirm, commands::kResetConfirm, commands::kDiscoveryConfirm,
           commands::kJoinConfirm, commands::kDataConfirm, commands::kDataIndication })
        Check(commands::HasName(line, name) == holds(0, name),
              "HasName is true exactly for the name at 0");
    for (std::size_t length = 0; length <= line.size() && length <= 8; ++length)
        Check(commands::HasName(line, line.substr(0, length)), "a line has its own start");
    Check(line.empty() || !commands::HasName(line.substr(0, line.size() - 1), line),
          "a line cut short does not have the whole line");

    const auto id = commands::NetworkIdentifier(line);
    Check(id.has_value() == (line.size() >= 18 && IsHexText(line.substr(14, 4)))
              && (!id || *id == line.substr(14, 4)),
          "four hexadecimal digits at 14 to 17, and only they, are an identifier");
    Check(!id || commands::DisplayedNetworkIdentifier(*id) == id->substr(2) + id->substr(0, 2),
          "an identifier shows with its pairs swapped");
    Check(commands::DisplayedNetworkIdentifier(line).size() == line.size(),
          "any text shows with its own length");
    return 0;
}
