// The simulated dongle's answers, checked with the program's own request builders and field
// reads: the simulator must speak exactly the dialect the link expects.

#include "CBriskoModel.h"
#include "link/CommandLines.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using mirelight::BindCompletion;
using mirelight::CBriskoModel;
using mirelight::SimReaction;
using testing::ElementsAre;
using testing::IsEmpty;
using namespace std::chrono_literals;
namespace commands = mirelight::commands;

namespace {

// The bytes a reaction sends, in order.
std::vector<std::string> Sent(const SimReaction& reaction)
{
    std::vector<std::string> sent;
    for (const auto& output : reaction.outputs)
        sent.push_back(output.bytes);
    return sent;
}

// The answer to request (given with its "\r", as the program sends it).
std::string AnswerTo(CBriskoModel& model, const std::string& request)
{
    const SimReaction reaction = model.HandleRequest(request.substr(0, request.size() - 1));
    return reaction.outputs.empty() ? std::string() : reaction.outputs.back().bytes;
}

TEST(BriskoModel, AnswersEveryRequestAsTheProgramExpects)
{
    CBriskoModel model;
    const std::string version = AnswerTo(model, commands::VersionRequest());
    EXPECT_TRUE(commands::HasName(version, commands::kVersionConfirm));
    EXPECT_TRUE(commands::HasBriskoModelCode(version));
    EXPECT_TRUE(version.ends_with("\r\n"));

    EXPECT_EQ(AnswerTo(model, *commands::MacAddressRequest("0123456789ABCDEF")), "+DSMC=00\r\n");
    EXPECT_EQ(AnswerTo(model, commands::BasicSettingRequest()), "+DSTC=00\r\n");
    EXPECT_EQ(AnswerTo(model, commands::ButtonSettingRequest(4)), "+DSTC=00\r\n");
    EXPECT_EQ(AnswerTo(model, commands::ResetRequest()), "+DRSC=00\r\n");

    const std::string discovery = AnswerTo(model, commands::DiscoveryRequest());
    EXPECT_TRUE(commands::HasName(discovery, commands::kDiscoveryConfirm));
    EXPECT_TRUE(commands::HasSuccessStatus(discovery));
    EXPECT_EQ(commands::NetworkIdentifier(discovery), "1A2B");

    EXPECT_EQ(AnswerTo(model, commands::JoinRequest("1A2B")), "+NJNC=00\r\n");
    EXPECT_EQ(AnswerTo(model, commands::RejoinRequest()), "+NJNC=00\r\n");
    EXPECT_EQ(AnswerTo(model, commands::ButtonMessage(1, 1)), "+ADAC=00\r\n");
    EXPECT_EQ(AnswerTo(model, "+XYZR=00\r"), "+DERI=01\r\n") << "unknown request";
}

TEST(BriskoModel, ABindIsConfirmedThenCompletedLater)
{
    CBriskoModel model;
    const SimReaction reaction
        = model.HandleRequest("+ADAR=0B000000000000010A01000000000000"
                              "00000000000000000000202155080000130001000113");
    ASSERT_EQ(reaction.outputs.size(), 2u);
    EXPECT_EQ(reaction.outputs[0].bytes, "+ADAC=00\r\n");
    EXPECT_EQ(reaction.outputs[0].delay, 0ms);
    const std::string& indication = reaction.outputs[1].bytes;
    EXPECT_TRUE(commands::HasName(indication, commands::kDataIndication));
    EXPECT_TRUE(commands::HasBindSuccessStatus(indication));
    EXPECT_FALSE(commands::HasSuccessStatus(indication)) << "its status is at 68, not at 6";
    EXPECT_EQ(reaction.outputs[1].delay, CBriskoModel::kDefaultBindDelay);
}

TEST(BriskoModel, ABindCanFailOrNeverCompleteAndFollowsTheAnswerDelay)
{
    CBriskoModel model;
    model.SetAnswerDelay(40ms);
    model.SetBindCompletion(BindCompletion::Failed, 200ms);
    SimReaction reaction = model.HandleRequest(commands::BindRequest(0));
    ASSERT_EQ(reaction.outputs.size(), 2u);
    EXPECT_EQ(reaction.outputs[0].delay, 40ms);
    EXPECT_EQ(reaction.outputs[1].delay, 240ms);
    EXPECT_FALSE(commands::HasBindSuccessStatus(reaction.outputs[1].bytes));

    model.SetBindCompletion(BindCompletion::Never, 200ms);
    EXPECT_THAT(Sent(model.HandleRequest(commands::BindRequest(0))), ElementsAre("+ADAC=00\r\n"));

    model.SetBindCompletion(BindCompletion::Completed, 200ms);
    model.AnswerWithStatus("+ADAR=0B", "05");
    EXPECT_THAT(Sent(model.HandleRequest(commands::BindRequest(0))), ElementsAre("+ADAC=05\r\n"))
        << "a refused bind has no indication";
}

TEST(BriskoModel, WithoutAMacAddressTheVersionRequestIsAnErrorUntilOneIsSet)
{
    CBriskoModel model;
    model.SetMacMissing(true);
    EXPECT_EQ(AnswerTo(model, commands::VersionRequest()), "+DERI=04\r\n");
    EXPECT_EQ(AnswerTo(model, commands::VersionRequest()), "+DERI=04\r\n");
    AnswerTo(model, *commands::MacAddressRequest("0011223344556677"));
    EXPECT_TRUE(commands::HasBriskoModelCode(AnswerTo(model, commands::VersionRequest())));
}

TEST(BriskoModel, AWrongModelCodeIsNotABrisko)
{
    CBriskoModel model;
    model.SetModelCode("0B400113");
    const std::string version = AnswerTo(model, commands::VersionRequest());
    EXPECT_TRUE(commands::HasName(version, commands::kVersionConfirm));
    EXPECT_FALSE(commands::HasBriskoModelCode(version));
}

TEST(BriskoModel, StatusRulesSelectByPrefixAndOccurrence)
{
    CBriskoModel model;
    model.AnswerWithStatus("+NJNR=01", "01"); // rejoin refused, join not
    model.AnswerWithStatus("+NNDR", "02", 2); // only the second discovery fails
    model.AnswerWithStatus("+DVRR", "07");
    EXPECT_FALSE(commands::HasSuccessStatus(AnswerTo(model, commands::RejoinRequest())));
    EXPECT_TRUE(commands::HasSuccessStatus(AnswerTo(model, commands::JoinRequest("1A2B"))));
    EXPECT_TRUE(commands::HasSuccessStatus(AnswerTo(model, commands::DiscoveryRequest())));
    EXPECT_FALSE(commands::HasSuccessStatus(AnswerTo(model, commands::DiscoveryRequest())));
    EXPECT_TRUE(commands::HasSuccessStatus(AnswerTo(model, commands::DiscoveryRequest())));
    EXPECT_EQ(AnswerTo(model, commands::VersionRequest()), "+DERI=07\r\n");
}

TEST(BriskoModel, LinesBeforeTheAnswerUnansweredRequestsAndUnplugging)
{
    CBriskoModel model;
    model.SendBefore("+DSTR", "+ZDOI=01\r\n", 1);
    model.SendBefore("+DSTR", "\x01noise\r\n", 1);
    model.LeaveUnanswered("+DSTR", 2);
    model.UnplugAt("+DRSR");
    EXPECT_THAT(Sent(model.HandleRequest("+DSTR=040000")),
                ElementsAre("+ZDOI=01\r\n", "\x01noise\r\n", "+DSTC=00\r\n"));
    EXPECT_THAT(Sent(model.HandleRequest("+DSTR=040000")), IsEmpty());
    EXPECT_THAT(Sent(model.HandleRequest("+DSTR=040000")), ElementsAre("+DSTC=00\r\n"));

    const SimReaction unplugged = model.HandleRequest("+DRSR");
    EXPECT_TRUE(unplugged.unplug);
    EXPECT_THAT(unplugged.outputs, IsEmpty());
    EXPECT_THAT(unplugged.events, ElementsAre("request +DRSR", "unplugged"));
}

TEST(BriskoModel, LightsFollowTheButtonMessages)
{
    CBriskoModel model;
    auto press = [&model](int button, int effect) {
        const std::string line = commands::ButtonMessage(button, effect);
        return model.HandleRequest(line.substr(0, line.size() - 1)).events;
    };
    EXPECT_THAT(press(3, 1), ElementsAre(testing::_, "light 3 on"));
    EXPECT_THAT(press(8, 2), ElementsAre(testing::_, "light 8 on")); // toggle
    EXPECT_THAT(press(8, 2), ElementsAre(testing::_, "light 8 off"));
    EXPECT_THAT(press(1, 0), ElementsAre(testing::_, "light 1 off"));
    const std::array<bool, 8> expected = { false, false, true, false, false, false, false, false };
    EXPECT_EQ(model.Lights(), expected);

    model.AnswerWithStatus("+ADAR=06", "01");
    press(5, 1);
    EXPECT_EQ(model.Lights(), expected) << "a refused message switches nothing";
}

} // namespace
