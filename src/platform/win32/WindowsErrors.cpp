#include "platform/win32/WindowsErrors.h"

#include "link/FormatText.h"
#include "platform/win32/WinApi.h"

#include <cerrno>
#include <string>

namespace mirelight {

std::string WindowsErrorText(unsigned long error)
{
    char text[512] = {};
    DWORD length = ::FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                    nullptr, error, 0, text, sizeof text, nullptr);
    while (length > 0
           && (text[length - 1] == '\r' || text[length - 1] == '\n' || text[length - 1] == ' '))
        --length;
    const std::string words(text, length);
    return FormatText("%s%s(Windows error %lu)", words.c_str(), words.empty() ? "" : " ",
                      static_cast<unsigned long>(error));
}

PortFailure FailureFromWindowsError(unsigned long error)
{
    switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
    case ERROR_DEV_NOT_EXIST:
    case ERROR_DEVICE_NOT_CONNECTED:
        return { PortFailure::Kind::NoSuchDevice };
    case ERROR_ACCESS_DENIED: // what a COM port that another program has open answers
    case ERROR_SHARING_VIOLATION:
    case ERROR_BUSY:
        return { PortFailure::Kind::HeldByAnotherProgram };
    case ERROR_INVALID_FUNCTION: // a device that has no serial line settings
    case ERROR_NOT_SUPPORTED:
        return { PortFailure::Kind::NotATerminal };
    default:
        break;
    }
    PortFailure failure { PortFailure::Kind::SystemError, EIO };
    failure.systemText = WindowsErrorText(error);
    return failure;
}

} // namespace mirelight
