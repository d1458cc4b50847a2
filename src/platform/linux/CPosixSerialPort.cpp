#include "platform/linux/CPosixSerialPort.h"

#include "link/PausedWait.h"
#include "platform/linux/TerminalInUse.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <sstream>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <termios.h>
#include <unistd.h>

namespace mirelight {

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

// How often a write looks whether the driver takes bytes again; only while a write waits.
constexpr auto kWritablePoll = 5ms;

// Results are ignored on purpose: a device that rejects a setting is still worth talking to,
// and the answers (or their absence) tell the rest.
void ApplyLineSettings(int fd)
{
    termios settings {};
    if (::tcgetattr(fd, &settings) == 0) {
        ::cfmakeraw(&settings);
        ::cfsetispeed(&settings, B38400);
        ::cfsetospeed(&settings, B38400);
        settings.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | CSTOPB | CRTSCTS);
        settings.c_cflag |= CS8 | CLOCAL | CREAD;
        settings.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY);
        settings.c_cc[VMIN] = 1;
        settings.c_cc[VTIME] = 0;
        ::tcsetattr(fd, TCSANOW, &settings);
    }
    // WORKAROUND: pseudo-terminals have no modem lines and refuse this; that is fine.
    int lines = TIOCM_DTR | TIOCM_RTS;
    ::ioctl(fd, TIOCMBIC, &lines);
}

// Names the process that holds a lock on the device at path, from the kernel's table of
// locks: one small file, read only when an open has failed. Programs that only set the
// exclusive flag take no lock and stay unnamed.
PortFailure HolderOf(const std::string& path, PortFailure failure)
{
    struct stat node
    {
    };
    if (failure.kind != PortFailure::Kind::HeldByAnotherProgram || ::stat(path.c_str(), &node) != 0)
        return failure;
    char device[64];
    std::snprintf(device, sizeof device, "%02x:%02x:%lu", major(node.st_dev), minor(node.st_dev),
                  static_cast<unsigned long>(node.st_ino));
    std::ifstream locks("/proc/locks");
    std::string line;
    while (std::getline(locks, line)) {
        // "1: FLOCK  ADVISORY  WRITE 4711 00:05:123 0 EOF"; a waiter has "->" after the number.
        std::istringstream fields(line);
        std::string number, type, mode, access, where;
        long pid = 0;
        fields >> number >> type >> mode >> access >> pid >> where;
        if (type != "->" && where == device) {
            failure.holderPid = pid;
            break;
        }
    }
    return failure;
}

// The device at path opened for reading and writing, or -1 with failure saying why. The node
// is checked before the device is opened, through a descriptor that opens nothing (O_PATH): a
// terminal in use never sees us, /dev/tty is known by its number even where no terminal is
// behind it, and the device then opened is that very node, whatever the link says by then.
int OpenDevice(const std::string& path, PortFailure& failure)
{
    const int node = ::open(path.c_str(), O_PATH | O_CLOEXEC);
    if (node < 0) {
        failure = PortFailure::FromOpenError(errno);
        return -1;
    }
    struct stat info
    {
    };
    int fd = -1;
    if (::fstat(node, &info) == 0 && IsTerminalInUse(info)) {
        failure = { PortFailure::Kind::TerminalInUse };
    } else {
        // O_NONBLOCK: neither the open (waiting for carrier) nor a write may block us.
        const std::string sameNode = "/proc/self/fd/" + std::to_string(node);
        fd = ::open(sameNode.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
        if (fd < 0)
            failure = HolderOf(path, PortFailure::FromOpenError(errno));
    }
    ::close(node);
    return fd;
}

} // namespace

std::unique_ptr<CPosixSerialPort> CPosixSerialPort::Open(const std::string& path,
                                                         PortFailure& failure)
{
    const int fd = OpenDevice(path, failure);
    if (fd < 0)
        return nullptr;
    // Nothing on the device changes before it is ours, so a failed open leaves it as it found
    // it (an exclusive flag left behind would keep other programs out until we close).
    auto fail = [&](const PortFailure& why) {
        failure = why;
        ::close(fd);
        return nullptr;
    };
    termios settings {};
    if (::tcgetattr(fd, &settings) != 0) // a regular file, /dev/null: no dongle can be there
        return fail({ PortFailure::Kind::NotATerminal });
    // The flock fails at once when someone holds the port: another Mirelight, or a privileged
    // program that TIOCEXCL would not stop but that plays by the same rule.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0)
        return fail(HolderOf(path, PortFailure::FromOpenError(errno)));
    const int wakeFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (wakeFd < 0)
        return fail({ PortFailure::Kind::SystemError, errno });
    // Keeps other unprivileged openers out from here on.
    ::ioctl(fd, TIOCEXCL);
    ApplyLineSettings(fd);
    ::tcflush(fd, TCIOFLUSH);
    return std::unique_ptr<CPosixSerialPort>(new CPosixSerialPort(fd, wakeFd, settings));
}

CPosixSerialPort::CPosixSerialPort(int fd, int wakeFd, const termios& savedSettings)
    : m_fd(fd), m_wakeFd(wakeFd), m_savedSettings(savedSettings)
{ }

CPosixSerialPort::~CPosixSerialPort()
{
    Close();
}

ISerialPort::ReadResult CPosixSerialPort::Read(std::span<char> buffer, std::size_t& count)
{
    count = 0;
    if (m_fd < 0)
        return ReadResult::Failed;
    for (;;) {
        pollfd fds[2] = { { m_fd, POLLIN, 0 }, { m_wakeFd, POLLIN, 0 } };
        if (::poll(fds, 2, -1) < 0) {
            if (errno == EINTR)
                continue;
            return DeviceGone();
        }
        if (fds[1].revents != 0)
            return ReadResult::Interrupted;
        if (fds[0].revents == 0)
            continue;
        if (fds[0].revents & POLLNVAL)
            return DeviceGone();
        const ssize_t n = ::read(m_fd, buffer.data(), buffer.size());
        if (n > 0) {
            count = static_cast<std::size_t>(n);
            return ReadResult::Data;
        }
        const bool hungUp = (fds[0].revents & (POLLHUP | POLLERR)) != 0;
        if (n < 0 && (errno == EAGAIN || errno == EINTR) && !hungUp)
            continue;
        return DeviceGone(); // end of file, EIO or a hang-up
    }
}

// Lets go of a device that went away at once, not at the next Close: its descriptor would
// keep the dead device's name taken (a USB adapter plugged in again would become ttyUSB1).
ISerialPort::ReadResult CPosixSerialPort::DeviceGone()
{
    std::lock_guard lock(m_fdMutex);
    CloseDevice();
    return ReadResult::Failed;
}

void CPosixSerialPort::InterruptRead()
{
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t n = ::write(m_wakeFd, &one, sizeof one);
}

ISerialPort::WriteResult CPosixSerialPort::Write(std::string_view bytes,
                                                 std::chrono::milliseconds budget,
                                                 const Pause& pause)
{
    std::lock_guard lock(m_fdMutex); // the reader lets go of a device that went away
    if (m_fd < 0)
        return WriteResult::Refused;
    const auto deadline = Clock::now() + budget;
    std::size_t done = 0;
    bool started = false; // once bytes were taken or waited for, a failure is no longer at once
    while (done < bytes.size()) {
        const ssize_t n = ::write(m_fd, bytes.data() + done, bytes.size() - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
            started = true;
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno != EAGAIN)
            return started ? WriteResult::Failed : WriteResult::Refused;
        started = true;
        if (!WaitWritable(deadline, pause))
            return WriteResult::TimedOut;
    }
    return WaitSent(deadline, pause);
}

// The driver has every byte; the line is written once they have left it. tcdrain would wait
// for that without limit (a USB adapter that stops taking bytes holds it for ever), so the
// output queue is watched instead, pausing about as long as the bytes still queued take at
// 38400 baud. This pauses only while a write is in progress: an idle link never wakes.
ISerialPort::WriteResult CPosixSerialPort::WaitSent(Clock::time_point deadline,
                                                    const Pause& pause) const
{
    constexpr auto kByteTime = std::chrono::microseconds(260); // 10 bits at 38400 baud
    for (;;) {
        int queued = 0;
        // A device gone by now had every byte handed to it: the write is done, and the wait
        // for its answer finds out, as it does for a device that goes right after the write.
        if (::ioctl(m_fd, TIOCOUTQ, &queued) != 0 || queued <= 0)
            return WriteResult::Written;
        const auto left = deadline - Clock::now();
        if (left <= Clock::duration::zero())
            return WriteResult::TimedOut;
        const Clock::duration sleep = std::max<Clock::duration>(queued * kByteTime, 1ms);
        pause(Clock::now() + std::min(sleep, left));
    }
}

// True when the driver has room again (or the port has failed, which the next write reports);
// false when the deadline passes first.
bool CPosixSerialPort::WaitWritable(Clock::time_point deadline, const Pause& pause) const
{
    // Looked at without blocking, the pauses between the looks are the caller's.
    const auto writable = [this] {
        pollfd fd { m_fd, POLLOUT, 0 };
        const int ready = ::poll(&fd, 1, 0);
        return ready > 0 || (ready < 0 && errno != EINTR);
    };
    return WaitWithPauses(writable, deadline, kWritablePoll, pause);
}

void CPosixSerialPort::Close()
{
    {
        std::lock_guard lock(m_fdMutex);
        CloseDevice();
    }
    if (m_wakeFd >= 0)
        ::close(m_wakeFd);
    m_wakeFd = -1;
}

void CPosixSerialPort::CloseDevice()
{
    if (m_fd < 0)
        return;
    // WORKAROUND: closing a USB serial port waits up to its closing_wait (30 s by default)
    // for output the device no longer takes; what was not sent by now never will be.
    ::tcflush(m_fd, TCOFLUSH);
    // The next program on the line (a terminal, say) finds it as we did, not raw. A device
    // gone refuses this, and has no settings to keep anyway.
    ::tcsetattr(m_fd, TCSANOW, &m_savedSettings);
    // Leave no exclusive flag behind on a device that someone else still holds open (the
    // simulator does), or our own next open would be refused.
    ::ioctl(m_fd, TIOCNXCL);
    ::close(m_fd); // releases the flock
    m_fd = -1;
}

} // namespace mirelight
