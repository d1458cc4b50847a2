#include "SimCommandLine.h"

#include <getopt.h>

#include <algorithm>
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

Script SendBefore(const Selector& s, const std::string& bytes)
{
    return [=](CBriskoModel& m) { m.SendBefore(s.prefix, bytes, s.occurrence); };
}

// What getopt_long returns for each flag with a long name only.
enum Code : int {
    kCom = 256,
    kMacMissing,
    kModel,
    kNetworkId,
    kNoNetwork,
    kJoinRefused,
    kRejoinRefused,
    kBind,
    kStatus,
    kNoAnswer,
    kUnrelated,
    kGarbage,
    kBefore,
    kUnplug,
    kDelay
};

const option kFlags[] = {
    { "com", required_argument, nullptr, kCom },
    { "mac-missing", no_argument, nullptr, kMacMissing },
    { "model", required_argument, nullptr, kModel },
    { "network-id", required_argument, nullptr, kNetworkId },
    { "no-network", no_argument, nullptr, kNoNetwork },
    { "join-refused", no_argument, nullptr, kJoinRefused },
    { "rejoin-refused", no_argument, nullptr, kRejoinRefused },
    { "bind", required_argument, nullptr, kBind },
    { "status", required_argument, nullptr, kStatus },
    { "no-answer", required_argument, nullptr, kNoAnswer },
    { "unrelated", required_argument, nullptr, kUnrelated },
    { "garbage", required_argument, nullptr, kGarbage },
    { "before", required_argument, nullptr, kBefore },
    { "unplug", required_argument, nullptr, kUnplug },
    { "delay", required_argument, nullptr, kDelay },
    { "help", no_argument, nullptr, 'h' },
    {},
};

// "completed", "failed" or "never", optionally ":MS" for the delay.
bool AddBind(const std::string& v, Options& o)
{
    const std::size_t colon = v.find(':');
    BindCompletion completion {};
    long ms = CBriskoModel::kDefaultBindDelay.count();
    if (!ParseBindCompletion(v.substr(0, colon), completion)
        || (colon != std::string::npos && !ParseNumber(v.substr(colon + 1), ms)))
        return false;
    o.script.emplace_back(
        [=](CBriskoModel& m) { m.SetBindCompletion(completion, std::chrono::milliseconds(ms)); });
    return true;
}

// Applies the flag getopt_long returned as code, with its value v; false when v is malformed.
bool Apply(int code, const std::string& v, Options& o)
{
    const auto add = [&o](Script step) {
        o.script.push_back(std::move(step));
        return true;
    };
    Selector s;
    std::string text;
    long ms = 0;
    switch (code) {
    case 'h':
        o.help = true;
        return true;
    case kCom:
        return ParseNumber(v, o.comNumber) && o.comNumber > 0;
    case kMacMissing:
        return add([](CBriskoModel& m) { m.SetMacMissing(true); });
    case kModel:
        return add([v](CBriskoModel& m) { m.SetModelCode(v); });
    case kNetworkId:
        return add([v](CBriskoModel& m) { m.SetNetworkId(v); });
    case kNoNetwork:
        return add(StatusRule("+NNDR", "01"));
    case kJoinRefused:
        return add(StatusRule("+NJNR=00", "01"));
    case kRejoinRefused:
        return add(StatusRule("+NJNR=01", "01"));
    case kBind:
        return AddBind(v, o);
    case kStatus:
        return ParseSelectorValue(v, s, text) && !text.empty()
            && add(StatusRule(s.prefix, text, s.occurrence));
    case kNoAnswer:
        return ParseSelector(v, s)
            && add([s](CBriskoModel& m) { m.LeaveUnanswered(s.prefix, s.occurrence); });
    case kUnrelated:
        return ParseSelector(v, s) && add(SendBefore(s, CBriskoModel::UnrelatedLine()));
    case kGarbage:
        return ParseSelector(v, s) && add(SendBefore(s, CBriskoModel::GarbageLines()));
    case kBefore:
        return ParseSelectorValue(v, s, text) && add(SendBefore(s, Unescape(text)));
    case kUnplug:
        return ParseSelector(v, s)
            && add([s](CBriskoModel& m) { m.UnplugAt(s.prefix, s.occurrence); });
    case kDelay:
        return ParseNumber(v, ms)
            && add([ms](CBriskoModel& m) { m.SetAnswerDelay(std::chrono::milliseconds(ms)); });
    default:
        return false;
    }
}

// Why getopt_long refused a word: code is what it returned instead of a flag's.
std::string Refusal(int code, char* const* argv)
{
    if (code == ':') // the last word, a flag without its value
        return std::string("bad or missing value for ") + argv[optind - 1];
    if (code == 1) // a word that is no flag
        return std::string("unknown option ") + optarg;
    if (optopt > 0 && optopt < kCom) // a short flag other than -h
        return std::string("unknown option -") + static_cast<char>(optopt);
    return std::string("unknown option ") + argv[optind - 1];
}

} // namespace

bool Parse(const std::vector<std::string>& args, Options& options, std::string& error)
{
    // getopt_long takes writable words behind a program name.
    std::vector<std::string> words = args;
    words.insert(words.begin(), "brisko-sim");
    std::vector<char*> argv(words.size() + 1, nullptr);
    std::transform(words.begin(), words.end(), argv.begin(),
                   [](std::string& word) { return word.data(); });
    const int argc = static_cast<int>(words.size());

    opterr = 0; // the messages are ours
    optind = 0; // a fresh scan on every call
    // "-": a word that is no flag comes back in its place, as 1; ":": a missing value as ':'.
    int code = 0;
    int index = 0;
    while ((code = getopt_long(argc, argv.data(), "-:h", kFlags, &index)) != -1) {
        if (code != 'h' && code < kCom) {
            error = Refusal(code, argv.data());
            return false;
        }
        if (!Apply(code, optarg ? optarg : "", options)) {
            error = std::string("bad or missing value for --") + kFlags[index].name;
            return false;
        }
    }
    if (optind < argc) { // words after "--"
        error = std::string("unknown option ") + argv[optind];
        return false;
    }
    return true;
}

std::string HelpText()
{
    return R"(Usage: brisko-sim [options]

A simulated Brisko ZigBee dongle on a pseudo-terminal. It links the pseudo-terminal as
COM<n> in "$XDG_CONFIG_HOME/Corvanthis Mirelight/ports" (~/.config without XDG_CONFIG_HOME),
answers requests as a Brisko does, keeps eight lights that follow the button messages, and
prints every request and every light change. It runs until interrupted or unplugged, then
removes its link. It never replaces a COM<n> of yours, only a link that a killed simulator
left: when COM<n> is taken, when there is neither XDG_CONFIG_HOME nor HOME, or on a bad
flag, it exits with status 2.

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
