#pragma once

#include "platform/SerialPortList.h"
#include "platform/linux/ComPortPath.h"

namespace mirelight {

// The serial ports in those folders: each COM number that a ports link or a USB adapter
// (ttyUSBn, ttyACMn) gives, resolved by the COM-path rule, with the adapter's by-id name; then
// the adapters that no number reaches (another device or link has theirs). The built-in ttySn
// are left out: their device files exist whether or not a port is there.
std::vector<SerialPortEntry> SerialPortsIn(const PortFolders& folders);

} // namespace mirelight
