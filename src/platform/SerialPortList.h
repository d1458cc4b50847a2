#pragma once

#include <string>
#include <vector>

namespace mirelight {

// A serial port the system has, with the COM number that opens it.
struct SerialPortEntry
{
    long com = 0; // 0: no COM number reaches it
    std::string device; // what it is: "/dev/ttyACM0", "\Device\Serial0"
    std::string name; // what the system calls it, where it knows: "usb-…", "USB Serial Port (COM3)"
    bool present = true; // false: a ports link whose device is not plugged in
};

// The serial ports present now, by COM number, those that no number reaches last. Each platform
// folder defines it (Linux: the ports folder's links and the USB adapters of /dev, by the COM-path
// rule; Windows: the serial ports the registry's device map lists).
std::vector<SerialPortEntry> ListSerialPorts();

// The list as the COM port box's tooltip and "mirelight --status" show it, one port a line.
std::string SerialPortListText(const std::vector<SerialPortEntry>& ports);

} // namespace mirelight
