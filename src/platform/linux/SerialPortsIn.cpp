#include "platform/linux/SerialPortsIn.h"

#include <algorithm>
#include <filesystem>
#include <iterator>
#include <optional>
#include <set>

namespace mirelight {

namespace {

namespace fs = std::filesystem;

// The n of a file name prefix + n, written as the COM-path rule writes it.
std::optional<long> NumberAfter(const std::string& name, const std::string& prefix)
{
    const std::string digits = name.substr(std::min(prefix.size(), name.size()));
    const bool decimal = !digits.empty() && digits.size() < 10
        && std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; });
    if (name.compare(0, prefix.size(), prefix) != 0 || !decimal)
        return std::nullopt;
    const long n = std::stol(digits);
    return std::to_string(n) == digits ? std::optional<long>(n) : std::nullopt;
}

std::vector<std::string> SortedNames(const std::string& folder)
{
    std::vector<std::string> names;
    std::error_code error;
    std::transform(
        fs::directory_iterator(folder, error), fs::directory_iterator(), std::back_inserter(names),
        [](const fs::directory_entry& entry) { return entry.path().filename().string(); });
    std::sort(names.begin(), names.end());
    return names;
}

// The adapters' COM numbers, n + 1 for ttyUSBn and ttyACMn, by their device files.
std::vector<std::pair<long, std::string>> UsbAdapters(const std::string& dev)
{
    std::vector<std::pair<long, std::string>> adapters;
    for (const std::string& name : SortedNames(dev)) {
        std::optional<long> index = NumberAfter(name, "ttyUSB");
        if (!index)
            index = NumberAfter(name, "ttyACM");
        if (index)
            adapters.emplace_back(*index + 1, std::string(dev).append("/").append(name));
    }
    return adapters;
}

std::string ByIdName(const std::string& device, const std::string& byId)
{
    const std::vector<std::string> names = SortedNames(byId);
    const auto found = std::find_if(names.begin(), names.end(), [&](const std::string& name) {
        return DeviceBehind(byId + "/" + name) == device;
    });
    return found == names.end() ? std::string() : *found;
}

SerialPortEntry EntryFor(long com, const std::string& path, const PortFolders& folders)
{
    std::error_code error;
    const std::string device = DeviceBehind(path);
    return { com, device, ByIdName(device, folders.byId), fs::exists(path, error) };
}

} // namespace

std::vector<SerialPortEntry> SerialPortsIn(const PortFolders& folders)
{
    const auto adapters = UsbAdapters(folders.dev);
    std::set<long> numbers;
    for (const std::string& name : SortedNames(folders.ports))
        if (const std::optional<long> n = NumberAfter(name, "COM"); n && *n > 0)
            numbers.insert(*n);
    for (const auto& adapter : adapters)
        numbers.insert(adapter.first);

    std::vector<SerialPortEntry> ports;
    ports.reserve(numbers.size() + adapters.size());
    std::transform(numbers.begin(), numbers.end(), std::back_inserter(ports),
                   [&](long n) { return EntryFor(n, ResolveComPort(n, folders), folders); });
    for (const auto& adapter : adapters) {
        SerialPortEntry unreached = EntryFor(0, adapter.second, folders);
        const bool reached = std::any_of(ports.begin(), ports.end(), [&](const SerialPortEntry& p) {
            return p.com > 0 && p.device == unreached.device;
        });
        if (!reached)
            ports.push_back(unreached);
    }
    return ports;
}

std::vector<SerialPortEntry> ListSerialPorts()
{
    return SerialPortsIn(PortFolders {});
}

} // namespace mirelight
