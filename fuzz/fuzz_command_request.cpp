// Parses arbitrary lines as commands to the running instance: a line is a request only when
// it is exactly the line that request is sent as, so nothing odd can slip through.
#include "FuzzChecks.h"
#include "outlets/RemoteProtocol.h"

#include <cstdint>

using mirelight::fuzz::Check;
namespace remote = mirelight::remote;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // The input itself, not a copy, so that AddressSanitizer catches a read past its end.
    const std::string_view line(reinterpret_cast<const char*>(data), size);
    const auto request = remote::ParseRequest(line);
    Check(!request || remote::FormatRequest(*request) == std::string(line) + '\n',
          "a request reads back as the very line it came from");
    Check(!request || request->kind != remote::Request::Kind::Press
              || (request->button >= 1 && request->button <= 8),
          "a pressed button is one of 1..8");
    return 0;
}
