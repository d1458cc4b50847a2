#pragma once

#include "link/ILogSink.h"
#include "link/ISerialPort.h"
#include "link/PortFailure.h"

#include <memory>

namespace mirelight {

// Opens the device that COM port comChan stands for on this system, exclusively and with the
// dongle's line settings; null, with failure saying why, when it cannot. Each platform folder
// defines it (POSIX: the COM-path rule and a terminal device; Windows: \\.\COMn).
std::unique_ptr<ISerialPort> OpenComPort(long comChan, PortFailure& failure, ILogSink* log);

} // namespace mirelight
