#include "link/ComPort.h"

#include "link/FormatText.h"
#include "platform/win32/CWin32SerialPort.h"

namespace mirelight {

std::unique_ptr<ISerialPort> OpenComPort(long comChan, PortFailure& failure, ILogSink* log)
{
    // The device namespace reaches COM10 and above too, which the bare name does not.
    const std::string path = comChan > 0 ? FormatText("\\\\.\\COM%ld", comChan) : std::string();
    LogEvent(log, "COM%ld is %s", comChan, path.empty() ? "nothing" : path.c_str());
    if (path.empty()) {
        failure = { PortFailure::Kind::NoSuchDevice };
        return nullptr;
    }
    return CWin32SerialPort::Open(path, failure);
}

} // namespace mirelight
