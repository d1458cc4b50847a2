#include "platform/win32/SerialPortsIn.h"

// clang-format off: the GUIDs that devguid.h declares are defined here only with initguid.h first
#include <devguid.h>
#include <initguid.h>
// clang-format on
#include <setupapi.h>

#include <algorithm>
#include <array>
#include <climits>
#include <cwchar>
#include <memory>
#include <type_traits>

namespace mirelight {

namespace {

struct KeyCloser
{
    void operator()(HKEY key) const { ::RegCloseKey(key); }
};
using Key = std::unique_ptr<std::remove_pointer_t<HKEY>, KeyCloser>;

struct DeviceListCloser
{
    void operator()(HDEVINFO devices) const { ::SetupDiDestroyDeviceInfoList(devices); }
};
using DeviceList = std::unique_ptr<void, DeviceListCloser>;

std::string Utf8(const wchar_t* text)
{
    const int size = ::WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    std::string utf8(size > 0 ? size - 1 : 0, '\0');
    if (size > 1)
        ::WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8.data(), size, nullptr, nullptr);
    return utf8;
}

// The n of "COMn"; 0 for any other port name.
long ComNumber(const wchar_t* portName)
{
    wchar_t* end = nullptr;
    const long n = std::wcsncmp(portName, L"COM", 3) == 0 ? std::wcstol(portName + 3, &end, 10) : 0;
    return end && end != portName + 3 && *end == L'\0' && n > 0 ? n : 0;
}

// A string value of up to 255 characters; empty when there is none.
std::wstring StringValue(HKEY key, const wchar_t* name)
{
    std::array<wchar_t, 256> value {};
    DWORD type = 0;
    DWORD size = sizeof(value) - sizeof(wchar_t); // room for the NUL it may lack
    const LSTATUS read = ::RegQueryValueExW(key, name, nullptr, &type,
                                            reinterpret_cast<BYTE*>(value.data()), &size);
    return read == ERROR_SUCCESS && type == REG_SZ ? std::wstring(value.data()) : std::wstring();
}

} // namespace

std::vector<SerialPortEntry> SerialPortsIn(HKEY root, const wchar_t* key,
                                           const std::map<long, std::string>& names)
{
    std::vector<SerialPortEntry> ports;
    HKEY opened = nullptr;
    if (::RegOpenKeyExW(root, key, 0, KEY_QUERY_VALUE, &opened) != ERROR_SUCCESS)
        return ports;
    const Key serialComm(opened);
    std::array<wchar_t, 256> device {};
    for (DWORD i = 0;; ++i) {
        DWORD length = device.size();
        const LSTATUS listed = ::RegEnumValueW(serialComm.get(), i, device.data(), &length, nullptr,
                                               nullptr, nullptr, nullptr);
        if (listed == ERROR_NO_MORE_ITEMS)
            break;
        if (listed != ERROR_SUCCESS)
            continue; // a name longer than any device's
        const std::wstring portName = StringValue(serialComm.get(), device.data());
        const long com = ComNumber(portName.c_str());
        const auto named = names.find(com);
        ports.push_back({ com, Utf8(device.data()),
                          com == 0 ? Utf8(portName.c_str())
                                   : (named == names.end() ? std::string() : named->second) });
    }
    // Numbered first, each by its number; the device map's own order is the drivers'.
    std::stable_sort(ports.begin(), ports.end(), [](const auto& a, const auto& b) {
        return (a.com == 0 ? LONG_MAX : a.com) < (b.com == 0 ? LONG_MAX : b.com);
    });
    return ports;
}

std::map<long, std::string> FriendlyPortNames()
{
    std::map<long, std::string> names;
    const HDEVINFO present
        = ::SetupDiGetClassDevsW(&GUID_DEVCLASS_PORTS, nullptr, nullptr, DIGCF_PRESENT);
    if (present == INVALID_HANDLE_VALUE)
        return names;
    const DeviceList devices(present);
    SP_DEVINFO_DATA device {};
    device.cbSize = sizeof device;
    for (DWORD i = 0; ::SetupDiEnumDeviceInfo(devices.get(), i, &device); ++i) {
        const HKEY opened = ::SetupDiOpenDevRegKey(devices.get(), &device, DICS_FLAG_GLOBAL, 0,
                                                   DIREG_DEV, KEY_QUERY_VALUE);
        if (opened == INVALID_HANDLE_VALUE)
            continue;
        const long com = ComNumber(StringValue(Key(opened).get(), L"PortName").c_str());
        std::array<wchar_t, 256> friendly {};
        if (com > 0
            && ::SetupDiGetDeviceRegistryPropertyW(devices.get(), &device, SPDRP_FRIENDLYNAME,
                                                   nullptr,
                                                   reinterpret_cast<BYTE*>(friendly.data()),
                                                   sizeof(friendly) - sizeof(wchar_t), nullptr))
            names[com] = Utf8(friendly.data());
    }
    return names;
}

std::vector<SerialPortEntry> ListSerialPorts()
{
    return SerialPortsIn(HKEY_LOCAL_MACHINE, kSerialCommKey, FriendlyPortNames());
}

} // namespace mirelight
