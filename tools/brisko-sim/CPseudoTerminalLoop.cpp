#include "CPseudoTerminalLoop.h"

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <poll.h>
#include <string_view>
#include <sys/eventfd.h>
#include <unistd.h>
#include <utility>

namespace mirelight {

namespace {

// A request this long without its "\r" is noise; it is dropped rather than kept growing.
constexpr std::size_t kMaxRequestLength = 4096;

int MillisecondsUntil(std::chrono::steady_clock::time_point when)
{
    if (when == std::chrono::steady_clock::time_point::max())
        return -1;
    const auto left = when - std::chrono::steady_clock::now();
    if (left <= std::chrono::steady_clock::duration::zero())
        return 0;
    return static_cast<int>(std::chrono::ceil<std::chrono::milliseconds>(left).count());
}

} // namespace

CPseudoTerminalLoop::~CPseudoTerminalLoop()
{
    Stop();
}

bool CPseudoTerminalLoop::Open(std::string& error)
{
    m_wakeFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (m_wakeFd < 0) {
        error = std::string("eventfd: ") + std::strerror(errno);
        return false;
    }
    std::lock_guard lock(m_mutex);
    return m_pty.Open(error);
}

void CPseudoTerminalLoop::Start()
{
    m_thread = std::thread([this] { Run(); });
}

void CPseudoTerminalLoop::Stop()
{
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    if (m_thread.joinable()) {
        Wake();
        m_thread.join();
    }
    {
        std::lock_guard lock(m_mutex);
        m_pty.Close();
    }
    if (m_wakeFd >= 0) {
        ::close(m_wakeFd);
        m_wakeFd = -1;
    }
}

void CPseudoTerminalLoop::Schedule(Clock::time_point due, std::string bytes)
{
    {
        std::lock_guard lock(m_mutex);
        m_scheduled.emplace(due, std::move(bytes));
    }
    Wake();
}

void CPseudoTerminalLoop::SetReading(bool reading)
{
    {
        std::lock_guard lock(m_mutex);
        m_reading = reading;
    }
    Wake();
}

std::string CPseudoTerminalLoop::DevicePath() const
{
    std::lock_guard lock(m_mutex);
    return m_pty.DevicePath();
}

bool CPseudoTerminalLoop::LineSettings(termios& settings) const
{
    std::lock_guard lock(m_mutex);
    return m_pty.LineSettings(settings);
}

bool CPseudoTerminalLoop::IsHungUp() const
{
    std::lock_guard lock(m_mutex);
    return m_hungUp;
}

void CPseudoTerminalLoop::Wake() const
{
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t n = ::write(m_wakeFd, &one, sizeof one);
}

void CPseudoTerminalLoop::Run()
{
    for (;;) {
        bool reading = false;
        {
            std::lock_guard lock(m_mutex);
            if (m_stopping)
                return;
            reading = m_reading && !m_hungUp;
        }
        const Clock::time_point next = TakeDueOutputs();
        pollfd fds[2] = { { m_wakeFd, POLLIN, 0 }, { m_pty.Master(), 0, 0 } };
        if (reading)
            fds[1].events |= POLLIN;
        if (!m_outgoing.empty())
            fds[1].events |= POLLOUT;
        const nfds_t count = m_pty.IsOpen() ? 2 : 1;
        if (::poll(fds, count, MillisecondsUntil(next)) < 0 && errno != EINTR)
            return;
        if (fds[0].revents & POLLIN) {
            std::uint64_t value;
            [[maybe_unused]] const ssize_t n = ::read(m_wakeFd, &value, sizeof value);
        }
        if (fds[1].revents & POLLOUT)
            WritePending();
        if (fds[1].revents & (POLLIN | POLLHUP | POLLERR))
            ReadRequests();
    }
}

CPseudoTerminalLoop::Clock::time_point CPseudoTerminalLoop::TakeDueOutputs()
{
    std::lock_guard lock(m_mutex);
    const auto now = Clock::now();
    auto it = m_scheduled.begin();
    for (; it != m_scheduled.end() && it->first <= now; ++it)
        m_outgoing += it->second;
    m_scheduled.erase(m_scheduled.begin(), it);
    return m_scheduled.empty() ? Clock::time_point::max() : m_scheduled.begin()->first;
}

void CPseudoTerminalLoop::WritePending()
{
    const ssize_t n = ::write(m_pty.Master(), m_outgoing.data(), m_outgoing.size());
    const Clock::time_point written = Clock::now();
    if (n <= 0)
        return;
    m_outgoing.erase(0, static_cast<std::size_t>(n));
    if (m_outgoing.empty())
        m_handler.OutputWritten(written);
}

void CPseudoTerminalLoop::ReadRequests()
{
    char buffer[512];
    const ssize_t n = ::read(m_pty.Master(), buffer, sizeof buffer);
    const Clock::time_point arrival = Clock::now();
    if (n <= 0) {
        if (n < 0 && (errno == EAGAIN || errno == EINTR))
            return;
        HangUp(); // cannot happen while we hold the slave side; never spin on it either
        return;
    }
    for (const char byte : std::string_view(buffer, static_cast<std::size_t>(n))) {
        if (byte == '\n')
            continue;
        if (m_incoming.empty())
            m_handler.RequestBegan(arrival);
        if (byte != '\r') {
            m_incoming.push_back(byte);
            if (m_incoming.size() > kMaxRequestLength)
                m_incoming.clear();
        } else if (!m_handler.HandleRequest(std::exchange(m_incoming, std::string()))) {
            HangUp();
            return; // the rest of the bytes go nowhere
        }
    }
}

void CPseudoTerminalLoop::HangUp()
{
    m_outgoing.clear();
    std::lock_guard lock(m_mutex);
    m_pty.Close();
    m_scheduled.clear();
    m_hungUp = true;
}

} // namespace mirelight
