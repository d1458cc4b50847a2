#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace mirelight::remote {

// The commands another start of the program hands to the running instance: one request line
// ("press 3", "show", "status"), then one answer line ("ok <text>", "failed <text>" or
// "error <why>"). Plain C++, so that the parsing can be fuzzed like the dongle's lines.
struct Request
{
    enum class Kind { Press, Show, Status };
    Kind kind = Kind::Status;
    int button = 0; // 1..8, for Press
};

// A request line is at most this long, its "\n" included; a longer one is refused unread.
inline constexpr std::size_t kMaxRequestLength = 32;

// The request in a line without its "\n"; nothing for anything but the three forms exactly.
std::optional<Request> ParseRequest(std::string_view line);

// The line for a request, "\n" included.
std::string RequestLine(const Request& request);

} // namespace mirelight::remote
