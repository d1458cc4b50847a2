// The simulated dongle's answers are checked by the program's own tests, and that it keeps to
// their timing by the link's over a pseudo-terminal. Here: its command line.

#include "SimCommandLine.h"
#include "link/CommandLines.h"

#include <gtest/gtest.h>

#include <iterator>
#include <sstream>

using mirelight::CBriskoModel;
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
