// Parses arbitrary lines as requests to the running instance and as its answers: a line is a
// request only when it is exactly the line that request is sent as, so nothing odd can slip
// through, and an answer read back is written as it was read.
#include "FuzzChecks.h"
#include "network/PanelSettings.h"
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
              || (request->button >= 1 && request->button <= mirelight::kButtonCount),
          "a pressed button is one of the panel's");
    for (const auto kind : { remote::Request::Kind::Press, remote::Request::Kind::Show,
                             remote::Request::Kind::Status }) {
        const auto answer = remote::ParseAnswer(kind, line);
        if (!answer)
            continue;
        const std::string written = remote::FormatAnswer(kind, *answer);
        const auto again
            = remote::ParseAnswer(kind, std::string_view(written).substr(0, written.size() - 1));
        Check(again && remote::FormatAnswer(kind, *again) == written,
              "an answer reads back as the line it is written as");
    }
    return 0;
}
