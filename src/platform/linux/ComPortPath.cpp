#include "platform/linux/ComPortPath.h"

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
    return ::stat(path.c_str(), &info) == 0; // follows the user's symlink to the device
}

std::string ConfigHome()
{
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    if (xdg && *xdg == '/')
        return xdg;
    const char* home = std::getenv("HOME");
    if (!home || *home != '/')
        return {}; // never a folder relative to wherever the program was started
    return std::string(home) + "/.config";
}

} // namespace

std::string PortsFolder()
{
    const std::string configHome = ConfigHome();
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
    const std::string index = std::to_string(n - 1);
    const std::array<std::string, 4> candidates
        = { ComPortLinkPath(n), "/dev/ttyUSB" + index, "/dev/ttyACM" + index, "/dev/ttyS" + index };
    const auto found = std::find_if(candidates.begin(), candidates.end(), Exists);
    return found == candidates.end() ? std::string() : *found;
}

} // namespace mirelight
