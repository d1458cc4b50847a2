#include "app/CommandRequest.h"

namespace mirelight::remote {

namespace {

constexpr std::string_view kPress = "press ";
constexpr std::string_view kShow = "show";
constexpr std::string_view kStatus = "status";

} // namespace

std::optional<Request> ParseRequest(std::string_view line)
{
    if (line == kShow)
        return Request { Request::Kind::Show };
    if (line == kStatus)
        return Request { Request::Kind::Status };
    const bool press = line.size() == kPress.size() + 1 && line.substr(0, kPress.size()) == kPress;
    if (!press || line.back() < '1' || line.back() > '8')
        return std::nullopt;
    return Request { Request::Kind::Press, line.back() - '0' };
}

std::string RequestLine(const Request& request)
{
    switch (request.kind) {
    case Request::Kind::Press:
        return std::string(kPress) + static_cast<char>('0' + request.button) + '\n';
    case Request::Kind::Show:
        return std::string(kShow) + '\n';
    case Request::Kind::Status:
        break;
    }
    return std::string(kStatus) + '\n';
}

} // namespace mirelight::remote
