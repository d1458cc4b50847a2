#include "SimCommandLine.h"

#include <cctype>
#include <charconv>
#include <map>

namespace mirelight::simcli {

namespace {

using Script = std::function<void(CBriskoModel&)>;

struct Selector
{
    std::string prefix;
    int occurrence = 0;
};

bool ParseNumber(const std::string& text, long& value)
{
    const char* end = text.data() + text.size();
    const auto result = std::from_chars(text.data(), end, value);
    return !text.empty() && result.ec == std::errc() && result.ptr == end && value >= 0;
}

// "PREFIX" or "PREFIX#N".
bool ParseSelector(const std::string& text, Selector& selector)
{
    const std::size_t hash = text.find('#');
    selector.prefix = text.substr(0, hash);
    long occurrence = 0;
    if (hash != std::string::npos && !ParseNumber(text.substr(hash + 1), occurrence))
        return false;
    selector.occurrence = static_cast<int>(occurrence);
    return !selector.prefix.empty();
}

// "SELECTOR:VALUE"
bool ParseSelectorValue(const std::string& text, Selector& selector, std::string& value)
{
    const std::size_t colon = text.find(':');
    if (colon == std::string::npos)
        return false;
    value = text.substr(colon + 1);
    return ParseSelector(text.substr(0, colon), selector);
}

bool ParseBindCompletion(const std::string& text, BindCompletion& completion)
{
    static const std::map<std::string, BindCompletion> names = {
        { "completed", BindCompletion::Completed },
        { "failed", BindCompletion::Failed },
        { "never", BindCompletion::Never },
    };
    const auto found = names.find(text);
    if (found == names.end())
        return false;
    completion = found->second;
    return true;
}

Script StatusRule(const std::string& prefix, const std::string& status, int occurrence = 0)
{
    return [=](CBriskoModel& m) { m.AnswerWithStatus(prefix, status, occurrence); };
}

bool IsHexByte(const std::string& text, std::size_t at)
{
    return at + 2 <= text.size() && std::isxdigit(static_cast<unsigned char>(text[at]))
        && std::isxdigit(static_cast<unsigned char>(text[at + 1]));
}

// Flags without a value.
const std::map<std::string, Script>& Switches()
{
    static const std::map<std::string, Script> switches = {
        { "--mac-missing", [](CBriskoModel& m) { m.SetMacMissing(true); } },
        { "--no-network", StatusRule("+NNDR", "01") },
        { "--join-refused", StatusRule("+NJNR=00", "01") },
        { "--rejoin-refused", StatusRule("+NJNR=01", "01") },
    };
    return switches;
}

// Flags with a value: turns the value into a script step; false when it is malformed.
using ValueParser = std::function<bool(const std::string&, Options&)>;

bool AddSelectorRule(const std::string& value, Options& options,
                     void (CBriskoModel::*rule)(std::string, int))
{
    Selector s;
    if (!ParseSelector(value, s))
        return false;
    // cppcheck-suppress constParameter ; rule is a member that changes the model
    options.script.emplace_back([=](CBriskoModel& m) { (m.*rule)(s.prefix, s.occurrence); });
    return true;
}

bool AddSendBefore(const std::string& value, Options& options, const std::string& bytes)
{
    Selector s;
    if (!ParseSelector(value, s))
        return false;
    options.script.emplace_back(
        [=](CBriskoModel& m) { m.SendBefore(s.prefix, bytes, s.occurrence); });
    return true;
}

const std::map<std::string, ValueParser>& ValueFlags()
{
    static const std::map<std::string, ValueParser> flags = {
        { "--com",
          [](const std::string& v, Options& o) {
              return ParseNumber(v, o.comNumber) && o.comNumber > 0;
          } },
        { "--model",
          [](const std::string& v, Options& o) {
              o.script.emplace_back([=](CBriskoModel& m) { m.SetModelCode(v); });
              return true;
          } },
        { "--network-id",
          [](const std::string& v, Options& o) {
              o.script.emplace_back([=](CBriskoModel& m) { m.SetNetworkId(v); });
              return true;
          } },
        { "--delay",
          [](const std::string& v, Options& o) {
              long ms = 0;
              if (!ParseNumber(v, ms))
                  return false;
              o.script.emplace_back(
                  [=](CBriskoModel& m) { m.SetAnswerDelay(std::chrono::milliseconds(ms)); });
              return true;
          } },
        { "--bind",
          [](const std::string& v, Options& o) {
              // "completed", "failed" or "never", optionally ":MS" for the delay.
              const std::size_t colon = v.find(':');
              BindCompletion completion {};
              long ms = CBriskoModel::kDefaultBindDelay.count();
              if (!ParseBindCompletion(v.substr(0, colon), completion)
                  || (colon != std::string::npos && !ParseNumber(v.substr(colon + 1), ms)))
                  return false;
              o.script.emplace_back([=](CBriskoModel& m) {
                  m.SetBindCompletion(completion, std::chrono::milliseconds(ms));
              });
              return true;
          } },
        { "--status",
          [](const std::string& v, Options& o) {
              Selector s;
              std::string status;
              if (!ParseSelectorValue(v, s, status) || status.empty())
                  return false;
              o.script.push_back(StatusRule(s.prefix, status, s.occurrence));
              return true;
          } },
        { "--no-answer",
          [](const std::string& v, Options& o) {
              return AddSelectorRule(v, o, &CBriskoModel::LeaveUnanswered);
          } },
        { "--unplug",
          [](const std::string& v, Options& o) {
              return AddSelectorRule(v, o, &CBriskoModel::UnplugAt);
          } },
        { "--before",
          [](const std::string& v, Options& o) {
              const std::size_t colon = v.find(':');
              return colon != std::string::npos
                  && AddSendBefore(v.substr(0, colon), o, Unescape(v.substr(colon + 1)));
          } },
        { "--unrelated",
          [](const std::string& v, Options& o) {
              return AddSendBefore(v, o, CBriskoModel::UnrelatedLine());
          } },
        { "--garbage",
          [](const std::string& v, Options& o) {
              return AddSendBefore(v, o, CBriskoModel::GarbageLines());
          } },
    };
    return flags;
}

} // namespace

bool Parse(const std::vector<std::string>& args, Options& options, std::string& error)
{
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& flag = args[i];
        if (flag == "-h" || flag == "--help") {
            options.help = true;
            continue;
        }
        if (const auto found = Switches().find(flag); found != Switches().end()) {
            options.script.push_back(found->second);
            continue;
        }
        const auto found = ValueFlags().find(flag);
        if (found == ValueFlags().end()) {
            error = "unknown option " + flag;
            return false;
        }
        if (i + 1 == args.size() || !found->second(args[i + 1], options)) {
            error = "bad or missing value for " + flag;
            return false;
        }
        ++i;
    }
    return true;
}

std::string HelpText()
{
    return R"(Usage: brisko-sim [options]

A simulated Brisko ZigBee dongle on a pseudo-terminal. It links the pseudo-terminal as
COM<n> in "$XDG_CONFIG_HOME/Corvanthis Mirelight/ports" (removed when it ends), answers
requests as a Brisko does, keeps eight lights that follow the button messages, and prints
every request and every light change. It runs until interrupted or unplugged.

  --com N                 link as COM N (default 1)
  --mac-missing           answer "+DERI=04" to "+DVRR" until a "+DSMR" arrives
  --model CODE            model code in "+DVRC" at 6..13 (default 0B400112; anything
                          else makes the device not a Brisko)
  --network-id ID         network identifier in "+NNDC" at 14..17 (default 1A2B)
  --no-network            discovery fails ("+NNDC" status 01); same as --status +NNDR:01
  --join-refused          join refused; same as --status +NJNR=00:01
  --rejoin-refused        rejoin refused; same as --status +NJNR=01:01
  --bind WHAT[:MS]        after "+ADAC=00" to a bind request: completed ("+ADAI" status
                          00), failed (status 02) or never (no "+ADAI"), MS milliseconds
                          later (default completed:500)
  --status SEL:SS         answer the selected requests with status SS instead of 00
                          (for "+DVRR": the error indication "+DERI=SS")
  --no-answer SEL         leave the selected requests unanswered
  --unrelated SEL         send a line from another device before the answer
  --garbage SEL           send noise before the answer: control characters, a blank
                          line, a 600-byte line, bytes >= 0x80
  --before SEL:TEXT       send TEXT before the answer (escapes \r \n \\ \xHH)
  --unplug SEL            the device is unplugged (pseudo-terminal closed) when the
                          selected request arrives; the simulator then ends
  --delay MS              answer every request MS milliseconds after it arrived
  -h, --help              this text

SEL selects requests by prefix: a name such as +NNDR, or more of the line, such as
+NJNR=01 for the rejoin request only; SEL#N selects only the N-th such request (1 is the
first), otherwise every one. Flags apply in order; several may select the same request.

Example: brisko-sim --com 3 --mac-missing --garbage +DVRR#1 --no-answer +ADAR#2
)";
}

std::string Unescape(const std::string& text)
{
    std::string bytes;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' || i + 1 == text.size()) {
            bytes += text[i];
            continue;
        }
        const char code = text[++i];
        if (code == 'r') {
            bytes += '\r';
        } else if (code == 'n') {
            bytes += '\n';
        } else if (code == 'x' && IsHexByte(text, i + 1)) {
            unsigned value = 0;
            std::from_chars(text.data() + i + 1, text.data() + i + 3, value, 16);
            bytes += static_cast<char>(value);
            i += 2;
        } else {
            bytes += code;
        }
    }
    return bytes;
}

} // namespace mirelight::simcli
