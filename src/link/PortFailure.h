#pragma once

#include <string>

namespace mirelight {

// Why the port could not be used, in words a user can act on (as qtserialport maps errno to
// its error enum). The status texts stay as they are; this goes beside them: the status
// field's tooltip and the log.
struct PortFailure
{
    enum class Kind {
        None, // the last outcome was fine
        NoSuchDevice,
        PermissionDenied,
        HeldByAnotherProgram, // holderPid names it when the kernel tells
        NotATerminal,
        TerminalInUse, // /dev/tty or some session's controlling terminal, never a dongle
        DeviceGone, // it went away while open (unplugged)
        WriteStalled, // the request had not left within milliseconds
        NoAnswer, // no awaited line within milliseconds, otherLines other lines meanwhile
        SystemError, // any other error: systemText, else errno's words
    };

    // The failure an errno from opening or locking the device stands for.
    static PortFailure FromOpenError(int error);

    // Empty for None.
    std::string Text() const;

    Kind kind = Kind::None;
    int error = 0; // errno, for SystemError
    long holderPid = 0; // 0: not known
    long milliseconds = 0;
    long otherLines = 0;
    std::string systemText {}; // the system's own words for an error mapped to none of these
};

} // namespace mirelight
