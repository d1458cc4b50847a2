#include "platform/linux/ComPortPath.h"

#include "platform/UserConfigFolder.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <filesystem>
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

namespace {

std::string LinkPathIn(const std::string& folder, long n)
{
    return folder.empty() ? folder : folder + "/COM" + std::to_string(n);
}

} // namespace

std::string ComPortLinkPath(long n)
{
    return LinkPathIn(PortsFolder(), n);
}

std::string ResolveComPort(long n, const PortFolders& folders)
{
    if (n <= 0)
        return {};
    // A user's link never falls through: whatever other adapter has that number would be
    // reconfigured and sent a request it is not meant for.
    std::string link = LinkPathIn(folders.ports, n);
    if (IsEntry(link))
        return link;
    const std::string index = std::to_string(n - 1);
    const std::array<std::string, 3> devices
        = { folders.dev + "/ttyUSB" + index, folders.dev + "/ttyACM" + index,
            folders.dev + "/ttyS" + index };
    const auto found = std::find_if(devices.begin(), devices.end(), Exists);
    return found == devices.end() ? std::string() : *found;
}

std::string DeviceBehind(const std::string& path)
{
    std::error_code error;
    const std::string device = std::filesystem::canonical(path, error).string();
    return error ? std::filesystem::read_symlink(path, error).string() : device;
}

} // namespace mirelight
