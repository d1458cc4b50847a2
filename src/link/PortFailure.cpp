#include "link/PortFailure.h"

#include "link/FormatText.h"

#include <cerrno>
#include <cstring>

namespace mirelight {

PortFailure PortFailure::FromOpenError(int error)
{
    switch (error) {
    case ENOENT:
    case ENODEV:
    case ENXIO: // a serial port number without hardware behind it
        return { Kind::NoSuchDevice };
    case EACCES:
    case EPERM:
        return { Kind::PermissionDenied };
    case EBUSY: // another program set the exclusive flag (TIOCEXCL)
    case EWOULDBLOCK: // another program holds the lock
        return { Kind::HeldByAnotherProgram };
    case ENOTTY:
        return { Kind::NotATerminal };
    default:
        return { Kind::SystemError, error };
    }
}

std::string PortFailure::Text() const
{
    switch (kind) {
    case Kind::None:
        return {};
    case Kind::NoSuchDevice:
        return "no such device";
    case Kind::PermissionDenied:
        return "permission denied: add your user to the dialout group";
    case Kind::HeldByAnotherProgram:
        return holderPid > 0 ? FormatText("held by another program (PID %ld)", holderPid)
                             : "held by another program";
    case Kind::NotATerminal:
        return "not a terminal";
    case Kind::TerminalInUse:
        return "a terminal in use by a session, not a dongle";
    case Kind::DeviceGone:
        return "the device went away";
    case Kind::WriteStalled:
        return FormatText("the device did not take the request within %ld ms", milliseconds);
    case Kind::NoAnswer:
        return otherLines > 0
            ? FormatText("no answer within %ld ms, only %ld other lines", milliseconds, otherLines)
            : FormatText("no answer within %ld ms", milliseconds);
    case Kind::SystemError:
        break;
    }
    return systemText.empty() ? std::strerror(error) : systemText;
}

} // namespace mirelight
