// The link against the simulated dongle over a real pseudo-terminal: what only a real
// device node can show (exclusive open, line settings, stalled writes, hang-ups, CPU use).

#include "CBriskoSim.h"
#include "RecordingStatus.h"
#include "link/CDongleLink.h"
#include "link/ComPortPath.h"
#include "link/CommandLines.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <thread>
#include <unistd.h>

using mirelight::CBriskoModel;
using mirelight::CBriskoSim;
using mirelight::CDongleLink;
using testing::ElementsAre;
using testing::IsEmpty;
using namespace std::chrono_literals;
namespace commands = mirelight::commands;

namespace {

using Clock = std::chrono::steady_clock;

long MillisecondsSince(Clock::time_point start)
{
    return static_cast<long>(
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
}

constexpr long kCom = 5;

class LinkOverPseudoTerminal : public testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(m_sim.Start()) << m_sim.LastError(); }

    std::optional<std::string> AskVersion()
    {
        return m_link.Exchange(commands::VersionRequest(),
                               { commands::kVersionConfirm, commands::kErrorIndication },
                               commands::kAnswerTimeout, commands::kVersionCode);
    }

    CBriskoSim m_sim { kCom }; // outlives the link: the program lets go of the port first
    RecordingStatus m_status;
    CDongleLink m_link { m_status };
};

TEST_F(LinkOverPseudoTerminal, OpensComNWithTheDongleLineSettingsAndExchangesLines)
{
    ASSERT_TRUE(m_link.Open(kCom));
    const auto answer = AskVersion();
    ASSERT_TRUE(answer);
    EXPECT_TRUE(commands::HasBriskoModelCode(*answer));
    EXPECT_THAT(m_sim.Requests(), ElementsAre("+DVRR"));

    termios settings {};
    ASSERT_TRUE(m_sim.LineSettings(settings));
    EXPECT_EQ(cfgetispeed(&settings), B38400);
    EXPECT_EQ(cfgetospeed(&settings), B38400);
    EXPECT_EQ(settings.c_cflag & (CSIZE | PARENB | CSTOPB | CRTSCTS), tcflag_t(CS8));
    EXPECT_EQ(settings.c_lflag & (ICANON | ECHO | ISIG), 0u);
    EXPECT_EQ(settings.c_iflag & (IXON | IXOFF | ICRNL | INLCR | IGNCR), 0u);
    EXPECT_EQ(settings.c_oflag & OPOST, 0u);
}

TEST_F(LinkOverPseudoTerminal, APortHeldMissingOrNoTerminalFailsAtOnceAndIsLeftAsItWas)
{
    // Another program holds the device by its lock, without the exclusive flag.
    const int holder = ::open(m_sim.DevicePath().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_EQ(::flock(holder, LOCK_EX | LOCK_NB), 0);
    const std::string folder = mirelight::PortsFolder();
    std::filesystem::create_symlink("/dev/null", folder + "/COM71");
    ASSERT_EQ(::close(::open((folder + "/COM72").c_str(), O_CREAT | O_WRONLY, 0600)), 0);

    const auto start = Clock::now();
    EXPECT_FALSE(m_link.Open(kCom)) << "held by another program";
    int exclusive = -1;
    ASSERT_EQ(::ioctl(holder, TIOCGEXCL, &exclusive), 0);
    EXPECT_EQ(exclusive, 0) << "the failed open left the exclusive flag behind";
    EXPECT_FALSE(m_link.Open(kCom + 70)) << "no such port";
    EXPECT_FALSE(m_link.Open(71)) << "/dev/null";
    EXPECT_FALSE(m_link.Open(72)) << "a regular file";
    EXPECT_LT(MillisecondsSince(start), 500);

    ::close(holder);
    EXPECT_TRUE(m_link.Open(kCom)) << "free again once the holder let go";
}

TEST_F(LinkOverPseudoTerminal, APortWeMayNotOpenFailsAtOnce)
{
    if (::geteuid() == 0)
        GTEST_SKIP() << "root may open anything; this case needs an ordinary user";
    const std::string forbidden = mirelight::PortsFolder() + "/COM79";
    ASSERT_EQ(::close(::open(forbidden.c_str(), O_CREAT | O_WRONLY, 0)), 0);
    const auto start = Clock::now();
    EXPECT_FALSE(m_link.Open(79));
    EXPECT_LT(MillisecondsSince(start), 500);
}

TEST_F(LinkOverPseudoTerminal, ClosingAndReopeningThePortKeepsWorking)
{
    for (int connection = 0; connection < 3; ++connection) {
        ASSERT_TRUE(m_link.Open(kCom)) << "connection " << connection;
        EXPECT_TRUE(AskVersion()) << "connection " << connection;
    }
    m_link.ClosePort();
    ASSERT_TRUE(m_link.Open(kCom));
    EXPECT_TRUE(AskVersion());
    EXPECT_EQ(m_sim.Requests().size(), 4u);
    EXPECT_THAT(m_status.texts, IsEmpty());
}

TEST_F(LinkOverPseudoTerminal, DeliversLinesAsTheDongleSendsThem)
{
    ASSERT_TRUE(m_link.Open(kCom));
    m_sim.Send("\r\n\x80 high\r\n" + std::string(598, 'A') + "\r\n+DSTC=00");
    EXPECT_EQ(m_link.AwaitAnswer({}, 1500), "\x80 high\r\n");
    EXPECT_EQ(m_link.AwaitAnswer({}, 1500), std::string(511, 'A'));
    EXPECT_EQ(m_link.AwaitAnswer({}, 1500), std::string(87, 'A') + "\r\n");
    EXPECT_FALSE(m_link.WaitForLine(1)) << "a line without its LF is not complete";
    m_sim.Send("\r\n");
    EXPECT_EQ(m_link.AwaitAnswer({}, 1500), "+DSTC=00\r\n");
}

TEST_F(LinkOverPseudoTerminal, GarbageAndUnrelatedLinesBeforeTheAnswerAreSkipped)
{
    m_sim.Configure([](CBriskoModel& m) {
        m.SendBefore("+DVRR", CBriskoModel::GarbageLines());
        m.SendBefore("+DVRR", CBriskoModel::UnrelatedLine());
    });
    ASSERT_TRUE(m_link.Open(kCom));
    const auto answer = AskVersion();
    ASSERT_TRUE(answer);
    EXPECT_TRUE(commands::HasName(*answer, commands::kVersionConfirm));
}

TEST_F(LinkOverPseudoTerminal, AnUnansweredRequestTimesOutAfterSixteenPeriods)
{
    m_sim.Configure([](CBriskoModel& m) { m.LeaveUnanswered("+DVRR"); });
    ASSERT_TRUE(m_link.Open(kCom));
    const auto start = Clock::now();
    EXPECT_FALSE(AskVersion());
    const long elapsed = MillisecondsSince(start);
    EXPECT_GE(elapsed, 1550);
    EXPECT_LE(elapsed, 1900);
    EXPECT_THAT(m_status.texts, ElementsAre("Brisko communications error 868"));
    EXPECT_FALSE(m_link.IsOpen());
}

TEST_F(LinkOverPseudoTerminal, AWriteTheDeviceNeverTakesIsAWriteFailure)
{
    m_sim.SetReading(false);
    ASSERT_TRUE(m_link.Open(kCom));
    const std::string line = commands::BindRequest(0);
    int written = 0;
    while (written < 10000 && m_link.SendCommand(line))
        ++written;
    EXPECT_GT(written, 10) << "the pseudo-terminal buffers a good many lines first";
    EXPECT_LT(written, 10000);
    EXPECT_THAT(m_status.texts, ElementsAre("Write failure to COM5:"));
    EXPECT_FALSE(m_link.IsOpen());
}

TEST_F(LinkOverPseudoTerminal, AnUnpluggedDeviceEndsTheReaderAndCannotBeReopened)
{
    m_sim.Configure([](CBriskoModel& m) { m.UnplugAt("+DRSR"); });
    ASSERT_TRUE(m_link.Open(kCom));
    ASSERT_TRUE(m_link.SendCommand(commands::ResetRequest()));
    ASSERT_TRUE(m_link.WaitForLine(1500));
    EXPECT_EQ(m_link.LineState(), 4);
    EXPECT_EQ(m_link.Line(), "");
    EXPECT_TRUE(m_sim.IsUnplugged());

    EXPECT_FALSE(m_link.Open(kCom));
    EXPECT_FALSE(std::filesystem::exists(m_sim.LinkPath()));
}

double ProcessCpuMilliseconds()
{
    timespec now {};
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

TEST_F(LinkOverPseudoTerminal, IdleWithAnUnreleasedLinePendingUsesNoCpu)
{
    ASSERT_TRUE(m_link.Open(kCom));
    m_sim.Send("+ZDOI=0012\r\n+ZDOI=0013\r\n");
    ASSERT_TRUE(m_link.WaitForLine(1500)); // delivered and left unreleased; more is waiting
    const double before = ProcessCpuMilliseconds();
    std::this_thread::sleep_for(500ms);
    EXPECT_LT(ProcessCpuMilliseconds() - before, 25.0) << "a thread is spinning";
}

} // namespace
