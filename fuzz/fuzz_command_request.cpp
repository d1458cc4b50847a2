// Parses arbitrary lines as commands to the running instance: a line is a request only when
// it is exactly the line that request is sent as, so nothing odd can slip through.
#include "FuzzChecks.h"
#include "app/CommandRequest.h"

#include <cstdint>
#include <string_view>

using mirelight::fuzz::Check;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view line(reinterpret_cast<const char*>(data), size);
    const auto request = mirelight::remote::ParseRequest(line);
    if (!request)
        return 0;
    Check(mirelight::remote::RequestLine(*request) == std::string(line) + '\n',
          "a request reads back as the very line it came from");
    Check(request->kind != mirelight::remote::Request::Kind::Press
              || (request->button >= 1 && request->button <= 8),
          "a pressed button is one of 1..8");
    return 0;
}
