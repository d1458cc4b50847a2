#pragma once

#include <string>

namespace mirelight {

// The per-user folder where COMn links live: "$XDG_CONFIG_HOME/Corvanthis Mirelight/ports"
// (XDG_CONFIG_HOME defaulting to ~/.config), beside the settings file. Empty when the user
// has neither an absolute XDG_CONFIG_HOME nor a HOME.
std::string PortsFolder();

// The user's link for COM port n in PortsFolder(); empty when there is no such folder.
std::string ComPortLinkPath(long n);

// Where the COM-path rule looks: the user's ports folder and the system's device folders.
struct PortFolders
{
    std::string ports = PortsFolder();
    std::string dev = "/dev";
    std::string byId = "/dev/serial/by-id";
};

// The device that COM port n stands for: the user's ports link COMn whenever there is one,
// even dangling, else the first that exists of /dev/ttyUSB(n-1), /dev/ttyACM(n-1) and
// /dev/ttyS(n-1). Empty when n <= 0 or when none of them exists.
std::string ResolveComPort(long n, const PortFolders& folders = {});

// The device behind a ports link as the kernel names it; for a dangling link (dongle
// unplugged), what the link points at.
std::string DeviceBehind(const std::string& path);

} // namespace mirelight
