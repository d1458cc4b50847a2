// The ports of a device map like Windows' own, written where a test may write: under HKCU.
#include "platform/win32/SerialPortsIn.h"

#include <gtest/gtest.h>

namespace {

TEST(Win32SerialPortList, TheDeviceMapsPortsByNumberWithTheirFriendlyNamesThenTheUnnumbered)
{
    const wchar_t* key = L"Software\\Mirelight tests\\SERIALCOMM";
    const std::map<long, std::string> names { { 10, "USB Serial Port (COM10)" }, { 3, "Gone" } };
    EXPECT_EQ(
        mirelight::SerialPortListText(mirelight::SerialPortsIn(HKEY_CURRENT_USER, key, names)),
        "No serial ports present.");

    HKEY table = nullptr;
    ASSERT_EQ(::RegCreateKeyExW(HKEY_CURRENT_USER, key, 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                                &table, nullptr),
              ERROR_SUCCESS);
    const auto add = [&](const wchar_t* device, const std::wstring& port) {
        ::RegSetValueExW(table, device, 0, REG_SZ, reinterpret_cast<const BYTE*>(port.c_str()),
                         static_cast<DWORD>((port.size() + 1) * sizeof(wchar_t)));
    };
    add(L"\\Device\\VCP0", L"COM10");
    add(L"\\Device\\com0com10", L"CNCA0");
    add(L"\\Device\\Serial0", L"COM1");
    ::RegCloseKey(table);

    EXPECT_EQ(
        mirelight::SerialPortListText(mirelight::SerialPortsIn(HKEY_CURRENT_USER, key, names)),
        "Serial ports present:\n"
        "COM1: \\Device\\Serial0\n"
        "COM10: \\Device\\VCP0, USB Serial Port (COM10)\n"
        "No COM number: \\Device\\com0com10, CNCA0");
    ::RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Mirelight tests");
}

} // namespace
