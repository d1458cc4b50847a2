#include "outlets/RemoteProtocol.h"

#include "network/PanelSettings.h"

#include <algorithm>
#include <array>

namespace mirelight::remote {

namespace {

struct Command
{
    Request::Kind kind;
    std::string_view word;
    // cppcheck-suppress unusedStructMember ; read through the table's iterators
    bool takesButton;
};

constexpr std::array<Command, 3> kCommands = { {
    { Request::Kind::Press, "press", true },
    { Request::Kind::Show, "show", false },
    { Request::Kind::Status, "status", false },
} };

struct VerdictWord
{
    Answer::Verdict verdict;
    std::string_view word;
};

constexpr std::array<VerdictWord, 4> kVerdicts = { {
    { Answer::Verdict::Ok, "ok" },
    { Answer::Verdict::Failed, "failed" },
    { Answer::Verdict::Error, "error" },
    { Answer::Verdict::Busy, "busy" },
} };

constexpr std::string_view kOpen = "open";
constexpr std::string_view kClosed = "closed";
constexpr std::string_view kJoined = "joined";
constexpr std::string_view kNotJoined = "not-joined";

// The first word of text and what follows the blank after it.
std::pair<std::string_view, std::string_view> SplitWord(std::string_view text)
{
    const std::size_t blank = text.find(' ');
    if (blank == std::string_view::npos)
        return { text, {} };
    return { text.substr(0, blank), text.substr(blank + 1) };
}

// Reads a two-valued word: yes or no, or nothing for anything else.
std::optional<bool> ParseFlag(std::string_view word, std::string_view yes, std::string_view no)
{
    if (word == yes || word == no)
        return word == yes;
    return std::nullopt;
}

} // namespace

std::optional<Request> ParseRequest(std::string_view line)
{
    const auto [word, rest] = SplitWord(line);
    const auto command = std::find_if(kCommands.begin(), kCommands.end(),
                                      [word = word](const Command& c) { return c.word == word; });
    if (command == kCommands.end())
        return std::nullopt;
    if (!command->takesButton)
        return line == command->word ? std::optional(Request { command->kind }) : std::nullopt;
    if (rest.size() != 1 || rest[0] < '1' || rest[0] > '0' + kButtonCount)
        return std::nullopt;
    return Request { command->kind, rest[0] - '0' };
}

std::string FormatRequest(const Request& request)
{
    const auto command
        = std::find_if(kCommands.begin(), kCommands.end(),
                       [&request](const Command& c) { return c.kind == request.kind; });
    std::string line(command->word);
    if (command->takesButton)
        line += ' ' + std::to_string(request.button);
    return line + '\n';
}

std::optional<Answer> ParseAnswer(Request::Kind kind, std::string_view line)
{
    auto [word, rest] = SplitWord(line);
    const auto verdict
        = std::find_if(kVerdicts.begin(), kVerdicts.end(),
                       [word = word](const VerdictWord& v) { return v.word == word; });
    if (verdict == kVerdicts.end())
        return std::nullopt;
    Answer answer;
    answer.verdict = verdict->verdict;
    if (kind == Request::Kind::Status && answer.verdict == Answer::Verdict::Ok) {
        const auto [port, afterPort] = SplitWord(rest);
        const auto [network, status] = SplitWord(afterPort);
        const auto portOpen = ParseFlag(port, kOpen, kClosed);
        const auto networkUp = ParseFlag(network, kJoined, kNotJoined);
        if (!portOpen || !networkUp)
            return std::nullopt;
        answer.portOpen = *portOpen;
        answer.networkUp = *networkUp;
        rest = status;
    }
    answer.text = rest;
    return answer;
}

std::string FormatAnswer(Request::Kind kind, const Answer& answer)
{
    const auto verdict
        = std::find_if(kVerdicts.begin(), kVerdicts.end(),
                       [&answer](const VerdictWord& v) { return v.verdict == answer.verdict; });
    std::string line(verdict->word);
    if (kind == Request::Kind::Status && answer.verdict == Answer::Verdict::Ok) {
        line += ' ' + std::string(answer.portOpen ? kOpen : kClosed);
        line += ' ' + std::string(answer.networkUp ? kJoined : kNotJoined);
    }
    // A status answer always has its text, empty or not, after the two flags.
    if (!answer.text.empty() || kind == Request::Kind::Status) {
        std::string text = answer.text;
        std::replace(text.begin(), text.end(), '\n', ' ');
        line += ' ' + text;
    }
    return line + '\n';
}

} // namespace mirelight::remote
