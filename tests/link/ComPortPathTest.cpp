#include "link/ComPortPath.h"
#include "support/IsolatedEnvironment.h"

#include <filesystem>
#include <gtest/gtest.h>

using mirelight::PortsFolder;
using mirelight::ResolveComPort;

TEST(ComPortPath, AUserLinkBesideTheSettingsComesFirstUnlessItDanglesOrNamesNoPort)
{
    ASSERT_EQ(PortsFolder(), testsupport::ConfigHome() + "/Corvanthis Mirelight/ports");
    std::filesystem::create_directories(PortsFolder());
    for (const char* name : { "COM42", "COM0" })
        std::filesystem::create_symlink("/dev/null", PortsFolder() + "/" + name);
    std::filesystem::create_symlink("/nonexistent/device", PortsFolder() + "/COM43");

    EXPECT_EQ(ResolveComPort(42), PortsFolder() + "/COM42");
    EXPECT_EQ(ResolveComPort(43), ""); // nor is there a ttyUSB42, ttyACM42 or ttyS42
    EXPECT_EQ(ResolveComPort(0), "");
}
