#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace mirelight::remote {

// What another start of the program ("mirelight --press N | --show | --status") and the
// running instance say to each other: one request line, then one answer line. Both ends use
// these types and these four functions, so a command is one row of the table in the .cpp and
// one handler in the server. Plain C++, so that the parsing can be fuzzed like the dongle's.
struct Request
{
    enum class Kind { Press, Show, Status };
    Kind kind = Kind::Status;
    int button = 0; // 1..kButtonCount, for Press
};

struct Answer
{
    // Ok: done. Failed: the press ran but was not confirmed. Error: the request was refused
    // (text says why). Busy: too many requests at once; nothing was done.
    enum class Verdict { Ok, Failed, Error, Busy };

    Answer() = default;
    Answer(Verdict v, std::string t) : verdict(v), text(std::move(t)) { }

    Verdict verdict = Verdict::Ok;
    std::string text; // the status text, or why an Error
    // For Status: the dongle's port and whether the network is up.
    bool portOpen = false;
    bool networkUp = false;
};

// A request line is at most this long, its "\n" included; a longer one is refused unread.
inline constexpr std::size_t kMaxRequestLength = 32;

// The request in a line without its "\n"; nothing for anything but the forms exactly.
std::optional<Request> ParseRequest(std::string_view line);
// The line for a request, "\n" included.
std::string FormatRequest(const Request& request);

// The answer to a request of that kind in a line without its "\n"; nothing when it is none.
std::optional<Answer> ParseAnswer(Request::Kind kind, std::string_view line);
// The line for an answer to a request of that kind, "\n" included; a line break in its text
// becomes a blank, so the answer stays one line.
std::string FormatAnswer(Request::Kind kind, const Answer& answer);

} // namespace mirelight::remote
