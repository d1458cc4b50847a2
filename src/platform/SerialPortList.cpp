#include "platform/SerialPortList.h"

namespace mirelight {

std::string SerialPortListText(const std::vector<SerialPortEntry>& ports)
{
    if (ports.empty())
        return "No serial ports present.";
    std::string text = "Serial ports present:";
    for (const SerialPortEntry& port : ports) {
        text += port.com > 0 ? "\nCOM" + std::to_string(port.com) + ": " : "\nNo COM number: ";
        text += port.device;
        if (!port.name.empty())
            text += ", " + port.name;
        if (!port.present)
            text += " (not plugged in)";
    }
    return text;
}

} // namespace mirelight
