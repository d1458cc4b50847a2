#pragma once

#include "platform/SerialPortList.h"
#include "platform/win32/WinApi.h"

#include <map>
#include <string>

namespace mirelight {

// Where Windows lists the serial ports present: a value for each, its device name holding its
// port name ("\Device\Serial0" = "COM1").
inline constexpr const wchar_t* kSerialCommKey = L"HARDWARE\\DEVICEMAP\\SERIALCOMM";

// The ports that key of root lists, by COM number, each with its friendly name from names
// (by COM number) where there is one; a port name that is no COMn comes last, with that name.
std::vector<SerialPortEntry> SerialPortsIn(HKEY root, const wchar_t* key,
                                           const std::map<long, std::string>& names);

// The friendly names of the ports present ("USB Serial Port (COM3)"), by COM number, as Device
// Manager shows them.
std::map<long, std::string> FriendlyPortNames();

} // namespace mirelight
