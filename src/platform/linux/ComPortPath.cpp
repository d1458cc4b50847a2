#include "platform/linux/ComPortPath.h"

#include "platform/UserConfigFolder.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <sys/stat.h>

namespace mirelight {

namespace {

bool Exists(const std::string& path)
{
    struct stat info
    {
    };
    return ::stat(path.c_str(), &info) == 0;
}

// The link itself, not what it leads to: a dangling one (dongle unplugged) still counts.
bool IsEntry(const std::string& path)
{
    struct stat info
    {
    };
    return !path.empty() && ::lstat(path.c_str(), &info) == 0;
}

} // namespace

std::string UserConfigFolder()
{
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    if (xdg && *xdg == '/')
        return xdg;
    const char* home = std::getenv("HOME");
    if (!home || *home != '/')
        return {}; // never a folder relative to wherever the program was started
    return std::string(home) + "/.config";
}

std::string PortsFolder()
{
    const std::string configHome = UserConfigFolder();
    return configHome.empty() ? configHome : configHome + "/Corvanthis Mirelight/ports";
}

std::string ComPortLinkPath(long n)
{
    const std::string folder = PortsFolder();
    return folder.empty() ? folder : folder + "/COM" + std::to_string(n);
}

std::string ResolveComPort(long n)
{
    if (n <= 0)
        return {};
    // A user's link never falls through: whatever other adapter has that number would be
    // reconfigured and sent a request it is not meant for.
    std::string link = ComPortLinkPath(n);
    if (IsEntry(link))
        return link;
    const std::string index = std::to_string(n - 1);
    const std::array<std::string, 3> devices
        = { "/dev/ttyUSB" + index, "/dev/ttyACM" + index, "/dev/ttyS" + index };
    const auto found = std::find_if(devices.begin(), devices.end(), Exists);
    return found == devices.end() ? std::string() : *found;
}

} // namespace mirelight
