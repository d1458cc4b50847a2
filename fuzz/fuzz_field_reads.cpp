// Reads every fixed-position field from arbitrary lines. The input is the line itself, so that
// AddressSanitizer catches a read past its end.
#include "FuzzChecks.h"
#include "link/CommandLines.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace commands = mirelight::commands;
using mirelight::fuzz::Check;
using mirelight::fuzz::Holds;
using mirelight::fuzz::IsHexText;

namespace {

struct Field
{
    const char* invariant;
    bool (*read)(std::string_view);
    std::size_t position;
    std::string_view text;
};

constexpr Field kFields[] = {
    { "IsMacAddressMissing is true exactly for \"+DERI=04\" at 0", commands::IsMacAddressMissing, 0,
      "+DERI=04" },
    { "HasSuccessStatus is true exactly for \"00\" at 6", commands::HasSuccessStatus, 6, "00" },
    { "HasBindSuccessStatus is true exactly for \"00\" at 68", commands::HasBindSuccessStatus, 68,
      "00" },
    { "HasBriskoModelCode is true exactly for \"0B400112\" at 6", commands::HasBriskoModelCode, 6,
      "0B400112" },
};

constexpr std::string_view kAnswerNames[] = {
    commands::kVersionConfirm, commands::kErrorIndication, commands::kMacAddressConfirm,
    commands::kSettingConfirm, commands::kResetConfirm,    commands::kDiscoveryConfirm,
    commands::kJoinConfirm,    commands::kDataConfirm,     commands::kDataIndication,
};

void CheckNames(std::string_view line)
{
    for (std::string_view name : kAnswerNames)
        Check(commands::HasName(line, name) == Holds(line, 0, name),
              "HasName is true exactly for the name at 0");
    // Every start of a line is a name it has; a line cut short has not its own full text.
    for (std::size_t length = 0; length <= line.size() && length <= 8; ++length)
        Check(commands::HasName(line, line.substr(0, length)), "a line has its own start");
    if (!line.empty())
        Check(!commands::HasName(line.substr(0, line.size() - 1), line),
              "a line cut short does not have the whole line");
}

void CheckNetworkIdentifier(std::string_view line)
{
    constexpr std::size_t position = 14;
    constexpr std::size_t length = 4;
    const auto id = commands::NetworkIdentifier(line);
    if (!id) {
        Check(line.size() < position + length || !IsHexText(line.substr(position, length)),
              "four hexadecimal digits at 14 are an identifier");
        return;
    }
    Check(id->size() == length && IsHexText(*id), "an identifier is four hexadecimal digits");
    Check(Holds(line, position, *id), "an identifier is the text at 14 to 17");
    Check(commands::DisplayedNetworkIdentifier(*id) == id->substr(2) + id->substr(0, 2),
          "an identifier shows with its pairs swapped");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view line(reinterpret_cast<const char*>(data), size);
    for (const Field& field : kFields)
        Check(field.read(line) == Holds(line, field.position, field.text), field.invariant);
    CheckNames(line);
    CheckNetworkIdentifier(line);
    Check(commands::DisplayedNetworkIdentifier(line).size() == line.size(),
          "any text shows with its own length");
    return 0;
}
