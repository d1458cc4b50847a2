#include "link/ComPortPath.h"
#include "support/IsolatedEnvironment.h"

#include <filesystem>
#include <gtest/gtest.h>

using mirelight::PortsFolder;
using mirelight::ResolveComPort;

TEST(ComPortPath, PortsFolderLivesBesideTheSettings)
{
    EXPECT_EQ(PortsFolder(), testsupport::ConfigHome() + "/Corvanthis Mirelight/ports");
}

TEST(ComPortPath, UserLinkComesFirstAndNonPositiveNumbersOpenNothing)
{
    std::filesystem::create_directories(PortsFolder());
    const std::string link = PortsFolder() + "/COM42";
    std::filesystem::create_symlink("/dev/null", link);
    EXPECT_EQ(ResolveComPort(42), link);

    std::filesystem::remove(link);
    EXPECT_EQ(ResolveComPort(42), ""); // no ttyUSB41, ttyACM41 or ttyS41 here
    EXPECT_EQ(ResolveComPort(0), "");
    EXPECT_EQ(ResolveComPort(-1), "");
}

TEST(ComPortPath, DanglingUserLinkFallsThroughToTheDevices)
{
    std::filesystem::create_directories(PortsFolder());
    std::filesystem::create_symlink("/nonexistent/device", PortsFolder() + "/COM43");
    EXPECT_EQ(ResolveComPort(43), "");
}
