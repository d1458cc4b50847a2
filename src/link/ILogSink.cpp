#include "link/ILogSink.h"

#include "link/FormatText.h"

namespace mirelight {

void LogEvent(ILogSink* log, const char* format, ...)
{
    if (!log || !log->IsEnabled())
        return;
    va_list args;
    va_start(args, format);
    log->Event(FormatTextList(format, args));
    va_end(args);
}

} // namespace mirelight
