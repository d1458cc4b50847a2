// The simulator on its pseudo-terminal, driven through the program's link.

#include "CBriskoSim.h"
#include "link/CDongleLink.h"
#include "link/ComPortPath.h"
#include "link/CommandLines.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <mutex>

using mirelight::BindCompletion;
using mirelight::CBriskoModel;
using mirelight::CBriskoSim;
using mirelight::CDongleLink;
using testing::Contains;
using testing::ElementsAre;
using namespace std::chrono_literals;
namespace commands = mirelight::commands;
namespace fs = std::filesystem;

namespace {

using Clock = std::chrono::steady_clock;

long MillisecondsSince(Clock::time_point start)
{
    return static_cast<long>(
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
}

class IgnoredStatus final : public mirelight::IStatusSink
{
public:
    void ReportStatus(const std::string&) override { }
};

constexpr long kCom = 9;

class BriskoSim : public testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_sim.Start()) << m_sim.LastError();
        ASSERT_TRUE(m_link.Open(kCom));
    }

    std::vector<std::string> Logged()
    {
        std::lock_guard lock(m_logMutex);
        return m_logged;
    }

    std::mutex m_logMutex;
    std::vector<std::string> m_logged;
    CBriskoSim m_sim { kCom, [this](const std::string& event) {
                          std::lock_guard lock(m_logMutex);
                          m_logged.push_back(event);
                      } };
    IgnoredStatus m_status;
    CDongleLink m_link { m_status };
};

TEST(BriskoSimLink, LinksItselfAsComNReplacingAStaleLinkAndRemovesItWhenStopped)
{
    fs::create_directories(mirelight::PortsFolder());
    const std::string link = mirelight::PortsFolder() + "/COM4";
    fs::create_symlink("/nonexistent/ttyUSB9", link); // left behind by a crash
    {
        CBriskoSim sim(4);
        ASSERT_TRUE(sim.Start()) << sim.LastError();
        EXPECT_EQ(sim.LinkPath(), link);
        EXPECT_EQ(fs::read_symlink(link), sim.DevicePath());
        EXPECT_EQ(mirelight::ResolveComPort(4), link);
    }
    EXPECT_FALSE(fs::exists(fs::symlink_status(link)));
}

TEST_F(BriskoSim, LogsEveryRequestAndLightChange)
{
    ASSERT_TRUE(m_link.Exchange(commands::VersionRequest(), { "+DVRC" }, 1500, 868));
    ASSERT_TRUE(m_link.Exchange(commands::ButtonMessage(2, 1), { "+ADAC" }, 1500, 1678));
    EXPECT_THAT(m_sim.Requests(),
                ElementsAre("+DVRR", commands::ButtonMessage(2, 1).substr(0, 72)));
    EXPECT_TRUE(m_sim.Lights()[1]);
    EXPECT_THAT(Logged(), Contains("request +DVRR"));
    EXPECT_THAT(Logged(), Contains("light 2 on"));
}

TEST_F(BriskoSim, ARequestWrittenInPiecesIsOneRequest)
{
    ASSERT_TRUE(m_link.SendCommand("+DV"));
    EXPECT_FALSE(m_sim.WaitForRequests(1, 50ms));
    ASSERT_TRUE(m_link.SendCommand("RR\r"));
    EXPECT_TRUE(m_sim.WaitForRequests(1, 1s));
    EXPECT_THAT(m_sim.Requests(), ElementsAre("+DVRR"));
}

TEST_F(BriskoSim, AnswersAndBindIndicationsKeepTheirDelays)
{
    m_sim.Configure([](CBriskoModel& m) {
        m.SetAnswerDelay(150ms);
        m.SetBindCompletion(BindCompletion::Completed, 300ms);
    });
    const auto start = Clock::now();
    ASSERT_TRUE(m_link.Exchange(commands::BindRequest(2), { "+ADAC" }, 1500, 1322));
    EXPECT_GE(MillisecondsSince(start), 150);
    const auto indication = m_link.AwaitAnswer({ "+ADAI" }, 6000);
    ASSERT_TRUE(indication);
    EXPECT_TRUE(commands::HasBindSuccessStatus(*indication));
    EXPECT_GE(MillisecondsSince(start), 450);
}

TEST_F(BriskoSim, StoppingUnderAnOpenPortLooksLikeAnUnpluggedDevice)
{
    m_sim.Stop();
    ASSERT_TRUE(m_link.WaitForLine(1500));
    EXPECT_EQ(m_link.LineState(), 4);
    EXPECT_FALSE(fs::exists(fs::symlink_status(m_sim.LinkPath())));
}

} // namespace
