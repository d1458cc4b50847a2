#pragma once

#include "link/PrintfFormat.h"

#include <string_view>

namespace mirelight {

// Where the core's log goes: every line to and from the dongle, and what happened besides
// (a port opened, refused or gone; an operation's start and outcome). The window layer hands
// it to Qt's logging categories. Called on the operations' thread and on the reader thread.
class ILogSink
{
public:
    enum class Direction { ToDongle, FromDongle };

    virtual ~ILogSink() = default;

    // Whether anything is written. Callers ask before they format a text, so that a log that
    // is off costs nothing measurable.
    virtual bool IsEnabled() const = 0;
    // One line as it went or came, terminators included.
    virtual void Traffic(Direction direction, std::string_view line) = 0;
    virtual void Event(std::string_view text) = 0;
};

// Formats an event and writes it to log, only when there is a log and it is on.
void LogEvent(ILogSink* log, const char* format, ...) MIRELIGHT_PRINTF_FORMAT(2, 3);

} // namespace mirelight
