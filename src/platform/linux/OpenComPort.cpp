#include "link/ComPort.h"

#include "platform/linux/CPosixSerialPort.h"
#include "platform/linux/ComPortPath.h"

namespace mirelight {

std::unique_ptr<ISerialPort> OpenComPort(long comChan, PortFailure& failure, ILogSink* log)
{
    const std::string path = ResolveComPort(comChan);
    if (log && log->IsEnabled()) {
        const std::string device = DeviceBehind(path);
        LogEvent(log, "COM%ld is %s%s%s", comChan, path.empty() ? "nothing" : path.c_str(),
                 device == path ? "" : " -> ", device == path ? "" : device.c_str());
    }
    if (path.empty()) {
        failure = { PortFailure::Kind::NoSuchDevice };
        return nullptr;
    }
    return CPosixSerialPort::Open(path, failure);
}

} // namespace mirelight
