// The simulated dongle's answers are checked by the program's own tests, and that it keeps to
// their timing by the link's over a pseudo-terminal. Here: its command line and its link.

#include "CBriskoSim.h"
#include "SimCommandLine.h"
#include "link/CommandLines.h"
#include "platform/linux/ComPortPath.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <sys/wait.h>

using mirelight::CBriskoModel;
using mirelight::CBriskoSim;
using testing::HasSubstr;
namespace fs = std::filesystem;
using namespace std::chrono_literals;
namespace commands = mirelight::commands;

namespace {

// The script a command line (its words split at spaces) sets; nothing when it is rejected.
std::optional<std::vector<std::function<void(CBriskoModel&)>>> Script(const std::string& line)
{
    std::istringstream words(line);
    mirelight::simcli::Options options;
    std::string error;
    const bool parsed = mirelight::simcli::Parse(
        { std::istream_iterator<std::string>(words), std::istream_iterator<std::string>() },
        options, error);
    EXPECT_EQ(parsed, error.empty()) << "a rejected command line says why";
    return parsed ? std::optional(options.script) : std::nullopt;
}

// What is at path, to compare before and after.
std::string Entry(const fs::path& path)
{
    std::error_code error;
    const fs::file_status status = fs::symlink_status(path, error);
    if (fs::is_symlink(status))
        return "link to " + fs::read_symlink(path).string();
    if (fs::is_directory(status))
        return "folder";
    if (!fs::exists(status))
        return "nothing";
    std::ifstream file(path);
    return "file " + std::string(std::istreambuf_iterator<char>(file), {});
}

TEST(BriskoSim, TakesOnlyAFreeNumberOrAKilledSimulatorsLinkAndLeavesTheUsersEntriesAsTheyWere)
{
    CBriskoSim running(30);
    ASSERT_TRUE(running.Start()) << running.LastError();
    std::string killedDevice;
    {
        CBriskoSim killed(31);
        ASSERT_TRUE(killed.Start()) << killed.LastError();
        killedDevice = killed.DevicePath();
    }
    const auto link = [](const std::string& target) {
        return [target](const fs::path& path) { fs::create_symlink(target, path); };
    };
    const struct
    {
        long com;
        std::function<void(const fs::path&)> make;
        bool taken;
    } cases[] = {
        { 32, link("/dev/serial/by-id/usb-Brisko-if00"), true }, // the user's, unplugged
        { 33, link(running.DevicePath()), true },
        { 34, [](const fs::path& path) { std::ofstream(path) << "mine"; }, true },
        { 35, [](const fs::path& path) { fs::create_directory(path); }, true },
        { 36, link(killedDevice), false }, // its number is likely to be the new one's
        { 37, link("/dev/pts/99999"), false },
    };
    for (const auto& c : cases) {
        const fs::path path = mirelight::ComPortLinkPath(c.com);
        c.make(path);
        const std::string before = Entry(path);
        {
            CBriskoSim sim(c.com);
            EXPECT_EQ(sim.Start(), !c.taken) << before;
            EXPECT_EQ(Entry(path), c.taken ? before : "link to " + sim.DevicePath());
            if (c.taken) {
                EXPECT_THAT(sim.LastError(), HasSubstr(path.string()));
                EXPECT_THAT(sim.LastError(), HasSubstr("--com <another number>"));
            }
        }
        EXPECT_EQ(Entry(path), c.taken ? before : "nothing") << "after the simulator stopped";
    }
}

TEST(BriskoSim, WithoutAFolderForItsLinkTheToolSaysSoAndExitsWith2)
{
    FILE* tool = ::popen("env -u HOME -u XDG_CONFIG_HOME '" BRISKO_SIM_EXE "' 2>&1", "r");
    ASSERT_NE(tool, nullptr);
    std::string output(256, '\0');
    output.resize(std::fread(output.data(), 1, output.size(), tool));
    const int status = ::pclose(tool);
    EXPECT_THAT(output, HasSubstr("neither XDG_CONFIG_HOME nor HOME"));
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 2) << output;
}

TEST(SimCommandLine, FlagsScriptTheSimulatedDongleAndMalformedOnesAreRejected)
{
    CBriskoModel model;
    for (const auto script = Script("--mac-missing --rejoin-refused --no-answer +DSTR#2 --status "
                                    "+ADAR=06#1:0F --before +DRSR:\\x01x\\r\\n+ZZ\\\\\\r\\n "
                                    "--network-id BEEF --delay 150 --bind failed:300");
         const auto& step : script.value())
        step(model);
    // Each request as the program sends it, and all the simulator sends back.
    for (const auto& [request, expected] : std::vector<std::pair<std::string, std::string>> {
             { commands::VersionRequest(), "+DERI=04\r\n" },
             { commands::RejoinRequest(), "+NJNC=01\r\n" },
             { commands::JoinRequest("BEEF"), "+NJNC=00\r\n" },
             { commands::BasicSettingRequest(), "+DSTC=00\r\n" },
             { commands::BasicSettingRequest(), "" },
             { commands::ButtonMessage(1, 1), "+ADAC=0F\r\n" },
             { commands::ButtonMessage(1, 1), "+ADAC=00\r\n" },
             { commands::ResetRequest(), "\x01x\r\n+ZZ\\\r\n+DRSC=00\r\n" },
             { commands::DiscoveryRequest(), "+NNDC=000B19C4BEEF00124B0001A2B3C4\r\n" } }) {
        std::string sent;
        for (const auto& output :
             model.HandleRequest(request.substr(0, request.size() - 1)).outputs)
            sent += output.bytes;
        EXPECT_EQ(sent, expected) << request;
    }
    // A bind's indication comes its own delay after the confirmation, which is delayed too.
    const auto bind = model.HandleRequest(commands::BindRequest(2).substr(0, 80)).outputs;
    ASSERT_EQ(bind.size(), 2u);
    EXPECT_EQ(bind[0].delay, 150ms);
    EXPECT_EQ(bind[1].delay, 450ms);
    EXPECT_FALSE(commands::HasBindSuccessStatus(bind[1].bytes));

    for (const char* line :
         { "--frobnicate", "--com", "--com -h", "--com 0", "--com 3x", "--delay -5",
           "--bind sometimes", "--status +NNDR", "--no-answer +DVRR#two", "--unplug #1" })
        EXPECT_FALSE(Script(line)) << line;
}

} // namespace
