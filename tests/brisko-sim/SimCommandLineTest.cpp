#include "SimCommandLine.h"
#include "link/CommandLines.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using mirelight::CBriskoModel;
using namespace std::chrono_literals;
namespace commands = mirelight::commands;
namespace simcli = mirelight::simcli;

namespace {

// The model scripted by args.
CBriskoModel Scripted(const std::vector<std::string>& args)
{
    simcli::Options options;
    std::string error;
    EXPECT_TRUE(simcli::Parse(args, options, error)) << error;
    CBriskoModel model;
    for (const auto& step : options.script)
        step(model);
    return model;
}

std::vector<std::string> Sent(CBriskoModel& model, const std::string& request)
{
    std::vector<std::string> sent;
    for (const auto& output : model.HandleRequest(request.substr(0, request.size() - 1)).outputs)
        sent.push_back(output.bytes);
    return sent;
}

TEST(SimCommandLine, FlagsScriptTheSimulatedDongle)
{
    CBriskoModel model = Scripted({ "--mac-missing", "--rejoin-refused", "--no-answer", "+DSTR#2",
                                    "--status", "+ADAR=06#1:0F", "--before",
                                    "+DRSR:\\x01x\\r\\n+ZZ\\\\\\r\\n", "--network-id", "BEEF" });
    EXPECT_THAT(Sent(model, commands::VersionRequest()), testing::ElementsAre("+DERI=04\r\n"));
    EXPECT_THAT(Sent(model, commands::RejoinRequest()), testing::ElementsAre("+NJNC=01\r\n"));
    EXPECT_THAT(Sent(model, commands::JoinRequest("BEEF")), testing::ElementsAre("+NJNC=00\r\n"));
    EXPECT_THAT(Sent(model, commands::BasicSettingRequest()), testing::SizeIs(1));
    EXPECT_THAT(Sent(model, commands::BasicSettingRequest()), testing::IsEmpty());
    EXPECT_THAT(Sent(model, commands::ButtonMessage(1, 1)), testing::ElementsAre("+ADAC=0F\r\n"));
    EXPECT_THAT(Sent(model, commands::ButtonMessage(1, 1)), testing::ElementsAre("+ADAC=00\r\n"));
    EXPECT_THAT(Sent(model, commands::ResetRequest()),
                testing::ElementsAre("\x01x\r\n+ZZ\\\r\n", "+DRSC=00\r\n"));
    EXPECT_EQ(commands::NetworkIdentifier(Sent(model, commands::DiscoveryRequest()).at(0)), "BEEF");
}

TEST(SimCommandLine, BindFlagTakesTheOutcomeAndItsDelay)
{
    CBriskoModel model = Scripted({ "--bind", "failed:250", "--delay", "20" });
    const auto reaction = model.HandleRequest(commands::BindRequest(0));
    ASSERT_EQ(reaction.outputs.size(), 2u);
    EXPECT_EQ(reaction.outputs[1].delay, 270ms);
    EXPECT_FALSE(commands::HasBindSuccessStatus(reaction.outputs[1].bytes));
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

} // namespace
