#pragma once

#include <optional>
#include <string>
#include <string_view>

// Every line the program sends to the dongle, and every field it reads from an answer.
// Requests end with "\r" (no LF). Answers are recognised by their first five characters;
// fields sit at fixed positions counted from 0 at the "+". The field reads are safe on lines
// of any length: a line too short to hold a field simply does not match.
namespace mirelight::commands {

// Names of the answers awaited.
inline constexpr std::string_view kVersionConfirm = "+DVRC";
inline constexpr std::string_view kErrorIndication = "+DERI";
inline constexpr std::string_view kMacAddressConfirm = "+DSMC";
inline constexpr std::string_view kSettingConfirm = "+DSTC";
inline constexpr std::string_view kResetConfirm = "+DRSC";
inline constexpr std::string_view kDiscoveryConfirm = "+NNDC";
inline constexpr std::string_view kJoinConfirm = "+NJNC";
inline constexpr std::string_view kDataConfirm = "+ADAC";
inline constexpr std::string_view kDataIndication = "+ADAI";

// How long each wait for an answer lasts, in milliseconds.
inline constexpr long kAnswerTimeout = 1500;
inline constexpr long kDiscoveryTimeout = 10000;
inline constexpr long kBindIndicationTimeout = 6000;

// The code reported ("Brisko communications error <code>") when a wait runs out.
inline constexpr long kVersionCode = 868; // first version request
inline constexpr long kMacAddressCode = 941;
inline constexpr long kModelCheckCode = 964; // second version request
inline constexpr long kBasicSettingCode = 995;
inline constexpr long kConfigResetCode = 1193; // reset that ends the configuration
inline constexpr long kJoinResetCode = 1397;
inline constexpr long kDiscoveryCode = 1416;
inline constexpr long kJoinCode = 1446;
inline constexpr long kRejoinResetCode = 1553;
inline constexpr long kRejoinCode = 1579;
inline constexpr long kBindCode = 1322; // the "+ADAC" wait; the "+ADAI" wait has none
inline constexpr long kButtonMessageCode = 1678;
// The n-th button setting (n = 1..8): 1017, 1039, ..., 1171.
long ButtonSettingCode(int buttonNumber);

// --- Requests ---

// "+DVRR\r"
std::string VersionRequest();

// "+DSMR=" with the 16 hexadecimal digits d1..d16 sent pair by pair from the last pair to
// the first (d15 d16 d13 d14 ... d1 d2), each digit in the case it was typed, then "\r".
// Nothing unless digits is exactly 16 hexadecimal digits.
std::optional<std::string> MacAddressRequest(std::string_view digits);

// "+DSTR=040000\r"
std::string BasicSettingRequest();

// The button requests name button n (1..8) by the digit n. For any other number they name
// button 0, which is no button, and keep their length and hexadecimal digits.

// The setting of button n (1..8): "+DSTR=8n1n0000FEFF01000000000000000000011300000000000000\r".
std::string ButtonSettingRequest(int buttonNumber);

// "+DRSR\r"
std::string ResetRequest();

// "+NNDR=000000000000000800F8FF07\r"
std::string DiscoveryRequest();

// "+NJNR=000000010000010000000000000000000000000000000000" + networkId + "\r". networkId is
// what NetworkIdentifier() returned.
std::string JoinRequest(std::string_view networkId);

// "+NJNR=010000000000000000F8FF070000000000000000000000000000\r"
std::string RejoinRequest();

// The bind request for the button at list index 0..7 (button number index + 1).
std::string BindRequest(int index);

// The effect byte of a button's effect setting: 0 (Off) 0x00, 1 (On) 0xFF, anything else
// (Toggle) 0xF0.
long EffectByte(int effect);

// The switch message for button number 1..8 with the effect setting's byte (EffectByte).
std::string ButtonMessage(int buttonNumber, int effect);

// --- Field reads ---

// Whether line begins with name (an answer name, five characters), case-sensitively.
bool HasName(std::string_view line, std::string_view name);

// "+DERI=04": the dongle has no MAC address yet.
bool IsMacAddressMissing(std::string_view line);

// The status at 6..7 of "+ADAC", "+NNDC" and "+NJNC" is "00".
bool HasSuccessStatus(std::string_view line);

// The status at 68..69 of "+ADAI" is "00".
bool HasBindSuccessStatus(std::string_view line);

// Positions 6..13 hold the Brisko's model code "0B400112".
bool HasBriskoModelCode(std::string_view line);

// The network identifier at 14..17 of a "+NNDC" answer, for JoinRequest. Nothing unless
// those four characters exist and are hexadecimal digits: anything else (a short line's
// terminators, a NUL, stray text) must never end up inside a request.
std::optional<std::string> NetworkIdentifier(std::string_view line);

// The identifier as users see it: its second pair of digits first ("ABCD" shows as "CDAB").
std::string DisplayedNetworkIdentifier(std::string_view networkId);

} // namespace mirelight::commands
