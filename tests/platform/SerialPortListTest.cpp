// The ports a user can choose from, in folders of the test's own: a ports folder with links,
// and a /dev with the adapters' by-id names.
#include "platform/linux/SerialPortsIn.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

TEST(SerialPortList, EachNumberAsTheComPathRuleResolvesItWithItsNameThenTheAdaptersNoneReaches)
{
    const fs::path base = fs::path(std::getenv("XDG_CONFIG_HOME")) / "system";
    const mirelight::PortFolders folders { (base / "ports").string(), (base / "dev").string(),
                                           (base / "dev/serial/by-id").string() };
    fs::create_directories(folders.ports);
    fs::create_directories(folders.byId);
    EXPECT_EQ(mirelight::SerialPortListText(mirelight::SerialPortsIn(folders)),
              "No serial ports present.");

    for (const char* device : { "ttyUSB0", "ttyACM0", "ttyACM1", "ttyS0", "ttyUSB01", "ttyUSBx" })
        std::ofstream(base / "dev" / device).put('\n');
    fs::create_symlink("../../ttyUSB0", base / "dev/serial/by-id/usb-FTDI_A1-if00-port0");
    fs::create_symlink("../../ttyACM1", base / "dev/serial/by-id/usb-Corvanthis_Brisko_7-if00");
    fs::create_symlink(base / "dev/serial/by-id/usb-Corvanthis_Brisko_7-if00", base / "ports/COM4");
    fs::create_symlink("/nonexistent/usb-Gone", base / "ports/COM9");
    for (const char* ignored : { "COM0", "COM05", "notes.txt" })
        fs::create_symlink(base / "dev/ttyACM0", base / "ports" / ignored);

    const std::string dev = fs::canonical(base / "dev").string();
    EXPECT_EQ(mirelight::SerialPortListText(mirelight::SerialPortsIn(folders)),
              "Serial ports present:\n"
              "COM1: "
                  + dev
                  + "/ttyUSB0, usb-FTDI_A1-if00-port0\n"
                    "COM2: "
                  + dev
                  + "/ttyACM1, usb-Corvanthis_Brisko_7-if00\n"
                    "COM4: "
                  + dev
                  + "/ttyACM1, usb-Corvanthis_Brisko_7-if00\n"
                    "COM9: /nonexistent/usb-Gone (not plugged in)\n"
                    "No COM number: "
                  + dev + "/ttyACM0");
}

} // namespace
