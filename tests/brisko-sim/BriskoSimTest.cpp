// The simulated dongle's answers are checked by the program's own tests. Here: its command
// line, and the timing of a bind's two answers, which the fault matrix relies on to put other
// lines between them.

#include "CBriskoSim.h"
#include "SimCommandLine.h"
#include "link/CDongleLink.h"
#include "link/CommandLines.h"

#include <gtest/gtest.h>

using mirelight::CBriskoModel;
using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;
namespace commands = mirelight::commands;
namespace simcli = mirelight::simcli;

namespace {

std::vector<std::function<void(CBriskoModel&)>> Script(const std::vector<std::string>& args)
{
    simcli::Options options;
    std::string error;
    EXPECT_TRUE(simcli::Parse(args, options, error)) << error;
    return options.script;
}

TEST(SimCommandLine, FlagsScriptTheSimulatedDongle)
{
    CBriskoModel model;
    for (const auto& step : Script({ "--mac-missing", "--rejoin-refused", "--no-answer", "+DSTR#2",
                                     "--status", "+ADAR=06#1:0F", "--before",
                                     "+DRSR:\\x01x\\r\\n+ZZ\\\\\\r\\n", "--network-id", "BEEF" }))
        step(model);
    const struct
    {
        std::string request; // as the program sends it
        std::string sent; // all the simulator sends back
    } rows[] = {
        { commands::VersionRequest(), "+DERI=04\r\n" },
        { commands::RejoinRequest(), "+NJNC=01\r\n" },
        { commands::JoinRequest("BEEF"), "+NJNC=00\r\n" },
        { commands::BasicSettingRequest(), "+DSTC=00\r\n" },
        { commands::BasicSettingRequest(), "" },
        { commands::ButtonMessage(1, 1), "+ADAC=0F\r\n" },
        { commands::ButtonMessage(1, 1), "+ADAC=00\r\n" },
        { commands::ResetRequest(), "\x01x\r\n+ZZ\\\r\n+DRSC=00\r\n" },
        { commands::DiscoveryRequest(), "+NNDC=000B19C4BEEF00124B0001A2B3C4\r\n" },
    };
    for (const auto& row : rows) {
        std::string sent;
        for (const auto& output :
             model.HandleRequest(std::string_view(row.request).substr(0, row.request.size() - 1))
                 .outputs)
            sent += output.bytes;
        EXPECT_EQ(sent, row.sent) << row.request;
    }
}

TEST(SimCommandLine, RejectsUnknownFlagsAndMalformedValues)
{
    for (const std::vector<std::string>& args :
         std::vector<std::vector<std::string>> { { "--frobnicate" },
                                                 { "--com" },
                                                 { "--com", "-h" },
                                                 { "--com", "0" },
                                                 { "--com", "3x" },
                                                 { "--delay", "-5" },
                                                 { "--bind", "sometimes" },
                                                 { "--status", "+NNDR" },
                                                 { "--no-answer", "+DVRR#two" },
                                                 { "--unplug", "" } }) {
        simcli::Options options;
        std::string error;
        EXPECT_FALSE(simcli::Parse(args, options, error)) << args.front();
        EXPECT_FALSE(error.empty());
    }
}

TEST(BriskoSim, DelaysAnswersAndABindIndicationAsScripted)
{
    mirelight::CBriskoSim sim(9);
    ASSERT_TRUE(sim.Start()) << sim.LastError();
    for (const auto& step : Script({ "--delay", "150", "--bind", "failed:300" }))
        sim.Configure(step);
    struct : mirelight::IStatusSink
    {
        void ReportStatus(const std::string&) override { }
    } status;
    mirelight::CDongleLink link(status);
    ASSERT_TRUE(link.Open(9));

    const auto start = Clock::now();
    ASSERT_TRUE(link.Exchange(commands::BindRequest(2), { "+ADAC" }, 1500, 1322));
    EXPECT_GE(Clock::now() - start, 150ms);
    const auto indication = link.AwaitAnswer({ "+ADAI" }, 6000);
    ASSERT_TRUE(indication);
    EXPECT_FALSE(commands::HasBindSuccessStatus(*indication));
    EXPECT_GE(Clock::now() - start, 450ms);
}

} // namespace
