// The link against the simulated dongle over a real pseudo-terminal: what only a real
// device node can show (exclusive open, line settings, stalled writes, CPU use), and which
// device COM n is.

#include "CBriskoSim.h"
#include "CScriptedPort.h"
#include "link/CDongleLink.h"
#include "link/CommandLines.h"
#include "platform/linux/ComPortPath.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <thread>
#include <tuple>
#include <unistd.h>

using mirelight::CBriskoModel;
using Kind = mirelight::PortFailure::Kind;
using testing::ElementsAre;
using testing::IsEmpty;
using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;
namespace commands = mirelight::commands;

namespace {

constexpr long kCom = 5;

class LinkOverPseudoTerminal : public testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(m_sim.Start()) << m_sim.LastError(); }

    mirelight::CBriskoSim m_sim { kCom }; // outlives the link: the program lets go first
    RecordingStatus m_status;
    mirelight::CDongleLink m_link { m_status };
};

TEST_F(LinkOverPseudoTerminal, FailedOpensAreQuickAndHarmlessAndAnOpenSetsTheDongleLineSettings)
{
    // Another program holds the device by its lock, without the exclusive flag.
    const int holder = ::open(m_sim.DevicePath().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_EQ(::flock(holder, LOCK_EX | LOCK_NB), 0);
    // Beside the settings, the user's links (the simulator's among them) name the devices.
    const std::string folder = mirelight::PortsFolder();
    ASSERT_EQ(folder, std::string(std::getenv("XDG_CONFIG_HOME")) + "/Corvanthis Mirelight/ports");
    std::filesystem::create_symlink("/dev/null", folder + "/COM0");
    EXPECT_EQ(mirelight::ResolveComPort(0), "");
    const std::string plainFile = folder + "/notes.txt";
    ASSERT_EQ(::close(::open(plainFile.c_str(), O_CREAT | O_WRONLY, 0600)), 0);
    const struct
    {
        long com;
        std::string target;
        Kind kind;
    } links[] = {
        { 71, "/dev/null", Kind::NotATerminal },
        { 72, plainFile, Kind::NotATerminal },
        // Unplugged: a ttyUSB2, ttyACM2 or ttyS2 there may be is not the user's dongle.
        { 3, "/nonexistent/device", Kind::NoSuchDevice },
        // Known by its number, with or without a terminal behind it (there is none in CI).
        { 74, "/dev/tty", Kind::TerminalInUse },
    };

    const auto start = Clock::now();
    EXPECT_FALSE(m_link.Open(kCom)) << "held by another program";
    int exclusive = -1;
    ASSERT_EQ(::ioctl(holder, TIOCGEXCL, &exclusive), 0);
    EXPECT_EQ(exclusive, 0) << "the failed open left the exclusive flag behind";
    for (const auto& row : links) {
        const std::string link = folder + "/COM" + std::to_string(row.com);
        std::filesystem::create_symlink(row.target, link);
        EXPECT_EQ(mirelight::ResolveComPort(row.com), link);
        EXPECT_FALSE(m_link.Open(row.com)) << row.target;
        EXPECT_EQ(m_link.TakeFailure().kind, row.kind) << row.target;
    }
    EXPECT_LT(Clock::now() - start, 1s);

    // What the device sent before the link had it answers nothing of the link's.
    m_sim.Send("+DVRC=STALE\r\n");
    int pending = 0;
    for (int i = 0; i < 500 && pending == 0; ++i) {
        std::this_thread::sleep_for(10ms);
        ::ioctl(holder, FIONREAD, &pending);
    }
    ASSERT_GT(pending, 0);
    ::flock(holder, LOCK_UN); // free again
    ASSERT_TRUE(m_link.Open(kCom));
    termios settings {};
    ASSERT_TRUE(m_sim.LineSettings(settings));
    EXPECT_EQ(cfgetispeed(&settings), B38400);
    EXPECT_EQ(cfgetospeed(&settings), B38400);
    EXPECT_EQ(settings.c_cflag & (CSIZE | PARENB | CSTOPB | CRTSCTS), tcflag_t(CS8));
    EXPECT_EQ(settings.c_lflag & (ICANON | ECHO | ISIG), 0u);
    EXPECT_EQ(settings.c_iflag & (IXON | IXOFF | ICRNL | INLCR | IGNCR | ISTRIP), 0u);
    EXPECT_EQ(settings.c_oflag & OPOST, 0u);
    const auto version = m_link.Exchange(commands::VersionRequest(), { commands::kVersionConfirm },
                                         commands::kAnswerTimeout, commands::kVersionCode);
    EXPECT_THAT(version.value_or(""), testing::StartsWith("+DVRC=0B400112"));
    EXPECT_THAT(m_status.texts, IsEmpty());
    ::close(holder);
}

// What a program sets on a line, speeds included (they are in c_cflag too).
auto SettingsOf(const termios& line)
{
    return std::tuple(line.c_iflag, line.c_oflag, line.c_cflag, line.c_lflag,
                      std::to_array(line.c_cc));
}

TEST_F(LinkOverPseudoTerminal, ATerminalIsLeftAsItWasFoundAndOneInUseIsNotTouched)
{
    termios found {}, held {}, left {};
    ASSERT_TRUE(m_sim.LineSettings(found));
    ASSERT_TRUE(m_link.Open(kCom));
    ASSERT_TRUE(m_sim.LineSettings(held));
    ASSERT_NE(SettingsOf(held), SettingsOf(found)) << "the open changed nothing to give back";
    m_link.ClosePort();
    ASSERT_TRUE(m_sim.LineSettings(left));
    EXPECT_EQ(SettingsOf(left), SettingsOf(found));

    // A stale link: a session of its own (a new terminal window) has taken the pseudo-terminal
    // as its controlling terminal since.
    int ready[2], done[2];
    ASSERT_EQ(::pipe(ready), 0);
    ASSERT_EQ(::pipe(done), 0);
    const std::string device = m_sim.DevicePath();
    const pid_t session = ::fork();
    if (session == 0) {
        const bool leader = ::setsid() >= 0;
        const int fd = ::open(device.c_str(), O_RDWR | O_NOCTTY);
        const char taken = leader && fd >= 0 && ::ioctl(fd, TIOCSCTTY, 0) == 0;
        [[maybe_unused]] ssize_t n = ::write(ready[1], &taken, 1);
        ::close(done[1]);
        n = ::read(done[0], &n, 1); // until the test closes its end
        ::_exit(0);
    }
    ::close(ready[1]);
    ::close(done[0]);
    char taken = 0;
    ASSERT_EQ(::read(ready[0], &taken, 1), 1);
    ASSERT_TRUE(taken);
    EXPECT_FALSE(m_link.Open(kCom));
    EXPECT_EQ(m_link.TakeFailure().kind, Kind::TerminalInUse);
    ASSERT_TRUE(m_sim.LineSettings(left));
    EXPECT_EQ(SettingsOf(left), SettingsOf(found));
    ::close(done[1]);
    ::close(ready[0]);
    ::waitpid(session, nullptr, 0);
}

// The fault matrix relies on it to put other lines between a bind's two answers.
TEST_F(LinkOverPseudoTerminal, TheSimulatedDongleAnswersAsLateAsScripted)
{
    m_sim.Configure([](CBriskoModel& m) {
        m.SetAnswerDelay(150ms);
        m.SetBindCompletion(mirelight::BindCompletion::Failed, 300ms);
    });
    ASSERT_TRUE(m_link.Open(kCom));
    const auto start = Clock::now();
    ASSERT_TRUE(m_link.Exchange(commands::BindRequest(2), { "+ADAC" }, 1500, 1322));
    EXPECT_GE(Clock::now() - start, 150ms);
    EXPECT_TRUE(m_link.AwaitAnswer({ "+ADAI" }, 6000));
    EXPECT_GE(Clock::now() - start, 450ms);
}

// Counts the waits it is asked for, and lets them pass.
struct CountingWaiter final : mirelight::IWaiter
{
    bool WaitUntil(const std::function<bool()>& ready, Clock::time_point end) override
    {
        ++waits;
        std::this_thread::sleep_until(end);
        return ready();
    }
    void Wake() override { }
    int waits = 0;
};

TEST_F(LinkOverPseudoTerminal, AWriteTheDeviceNeverTakesIsAWriteFailureAndWaitsThroughTheWaiter)
{
    m_sim.SetReading(false);
    CountingWaiter waiter; // the event loop of a user interface runs while a write waits
    m_status.comChan = kCom;
    mirelight::CDongleLink link(m_status, &waiter);
    ASSERT_TRUE(link.Open(kCom));
    const std::string line = commands::BindRequest(0);
    int written = 0;
    while (written < 10000 && link.SendCommand(line))
        ++written;
    EXPECT_GT(waiter.waits, 0);
    EXPECT_GT(written, 10) << "the pseudo-terminal buffers a good many lines first";
    EXPECT_LT(written, 10000);
    EXPECT_THAT(m_status.texts, ElementsAre("Write failure to COM5:"));
    EXPECT_FALSE(link.IsOpen());
}

TEST_F(LinkOverPseudoTerminal, IdleWithAnUnreleasedLinePendingUsesNoCpu)
{
    ASSERT_TRUE(m_link.Open(kCom));
    m_sim.Send("+ZDOI=0012\r\n+ZDOI=0013\r\n");
    ASSERT_TRUE(m_link.WaitForLine(1500)); // delivered and left unreleased; more is waiting
    const std::clock_t before = std::clock(); // CPU time of the whole process
    std::this_thread::sleep_for(500ms);
    EXPECT_LT(std::clock() - before, CLOCKS_PER_SEC / 40) << "a thread is spinning";
}

} // namespace
