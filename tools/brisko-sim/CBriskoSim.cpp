#include "CBriskoSim.h"

#include "platform/linux/ComPortPath.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <poll.h>
#include <string_view>
#include <sys/eventfd.h>
#include <unistd.h>
#include <utility>

namespace mirelight {

namespace {

// A request this long without its "\r" is noise; it is dropped rather than kept growing.
constexpr std::size_t kMaxRequestLength = 4096;

std::string SystemError(const std::string& what)
{
    return what + ": " + std::strerror(errno);
}

int MillisecondsUntil(std::chrono::steady_clock::time_point when)
{
    if (when == std::chrono::steady_clock::time_point::max())
        return -1;
    const auto left = when - std::chrono::steady_clock::now();
    if (left <= std::chrono::steady_clock::duration::zero())
        return 0;
    return static_cast<int>(std::chrono::ceil<std::chrono::milliseconds>(left).count());
}

// The name posix_openpt gives a pseudo-terminal: /dev/pts/<number>.
bool IsPseudoTerminalPath(std::string_view path)
{
    constexpr std::string_view kFolder = "/dev/pts/";
    const std::string_view number = path.substr(std::min(path.size(), kFolder.size()));
    return path.starts_with(kFolder) && !number.empty()
        && std::all_of(number.begin(), number.end(),
                       [](unsigned char c) { return std::isdigit(c) != 0; });
}

bool IsGone(const std::string& path)
{
    std::error_code error;
    return std::filesystem::symlink_status(path, error).type()
        == std::filesystem::file_type::not_found;
}

// What a simulator that was killed leaves behind: a link to its pseudo-terminal, now gone or
// given to us. Any other entry is the user's.
bool IsLeftover(const std::string& link, const std::string& device)
{
    std::error_code error;
    if (!std::filesystem::is_symlink(std::filesystem::symlink_status(link, error)))
        return false;
    const std::string target = std::filesystem::read_symlink(link, error).string();
    return !error && (target == device || (IsPseudoTerminalPath(target) && IsGone(target)));
}

} // namespace

CBriskoSim::CBriskoSim(long comNumber, LogFunction log)
    : m_iComNumber(comNumber), m_log(std::move(log))
{ }

CBriskoSim::~CBriskoSim()
{
    Stop();
}

bool CBriskoSim::Start()
{
    m_wakeFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (m_wakeFd < 0) {
        m_lastError = SystemError("eventfd");
        return false;
    }
    if (!OpenPseudoTerminal() || !MakeLink()) {
        m_pty.Close();
        return false;
    }
    m_thread = std::thread([this] { Run(); });
    return true;
}

void CBriskoSim::Stop()
{
    {
        std::lock_guard lock(m_mutex);
        m_bStopping = true;
    }
    if (m_thread.joinable()) {
        Wake();
        m_thread.join();
    }
    RemoveLink();
    {
        std::lock_guard lock(m_mutex);
        m_pty.Close();
    }
    if (m_wakeFd >= 0) {
        ::close(m_wakeFd);
        m_wakeFd = -1;
    }
}

std::string CBriskoSim::LastError() const
{
    std::lock_guard lock(m_mutex);
    return m_lastError;
}

bool CBriskoSim::OpenPseudoTerminal()
{
    std::lock_guard lock(m_mutex);
    return m_pty.Open(true, m_lastError);
}

bool CBriskoSim::MakeLink()
{
    const std::string link = LinkPath();
    if (link.empty())
        return Fail("no folder for the ports link: neither XDG_CONFIG_HOME nor HOME is an "
                    "absolute path");
    std::error_code error;
    if (!std::filesystem::create_directories(PortsFolder(), error) && error)
        return Fail(PortsFolder() + ": " + error.message());
    if (IsLeftover(link, DevicePath()))
        std::filesystem::remove(link, error); // the link itself, never its target
    std::filesystem::create_symlink(DevicePath(), link, error); // replaces nothing
    if (error == std::errc::file_exists)
        return Fail(link
                    + " is already there and is left as it is; choose another port with "
                      "--com <another number>");
    if (error)
        return Fail(link + ": " + error.message());
    std::lock_guard lock(m_mutex);
    m_linkPath = link;
    return true;
}

bool CBriskoSim::Fail(const std::string& why)
{
    m_lastError = why;
    return false;
}

void CBriskoSim::RemoveLink()
{
    std::lock_guard lock(m_mutex);
    if (m_linkPath.empty())
        return;
    std::error_code error;
    // Only our own: another simulator may have taken the number over since.
    if (std::filesystem::read_symlink(m_linkPath, error) == m_pty.DevicePath())
        std::filesystem::remove(m_linkPath, error);
    m_linkPath.clear();
}

void CBriskoSim::Configure(const std::function<void(CBriskoModel&)>& change)
{
    std::lock_guard lock(m_mutex);
    change(m_model);
}

void CBriskoSim::SetReading(bool reading)
{
    {
        std::lock_guard lock(m_mutex);
        m_bReading = reading;
    }
    Wake();
}

void CBriskoSim::Send(std::string bytes)
{
    {
        std::lock_guard lock(m_mutex);
        m_scheduled.emplace(Clock::now(), std::move(bytes));
    }
    Wake();
}

std::string CBriskoSim::DevicePath() const
{
    std::lock_guard lock(m_mutex);
    return m_pty.DevicePath();
}

std::string CBriskoSim::LinkPath() const
{
    return ComPortLinkPath(m_iComNumber);
}

std::vector<std::string> CBriskoSim::Requests() const
{
    std::lock_guard lock(m_mutex);
    return m_requests;
}

bool CBriskoSim::WaitForRequests(std::size_t count, std::chrono::milliseconds timeout) const
{
    std::unique_lock lock(m_mutex);
    return m_requestArrived.wait_for(lock, timeout, [&] { return m_requests.size() >= count; });
}

std::vector<std::string> CBriskoSim::Events() const
{
    std::lock_guard lock(m_mutex);
    return m_events;
}

std::array<bool, CBriskoModel::kLights> CBriskoSim::Lights() const
{
    std::lock_guard lock(m_mutex);
    return m_model.Lights();
}

bool CBriskoSim::IsUnplugged() const
{
    std::lock_guard lock(m_mutex);
    return m_bUnplugged;
}

bool CBriskoSim::LineSettings(termios& settings) const
{
    std::lock_guard lock(m_mutex);
    return !m_bUnplugged && m_pty.LineSettings(settings);
}

void CBriskoSim::Wake() const
{
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t n = ::write(m_wakeFd, &one, sizeof one);
}

void CBriskoSim::Run()
{
    for (;;) {
        bool reading = false;
        {
            std::lock_guard lock(m_mutex);
            if (m_bStopping)
                return;
            reading = m_bReading && !m_bUnplugged;
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

CBriskoSim::Clock::time_point CBriskoSim::TakeDueOutputs()
{
    std::lock_guard lock(m_mutex);
    const auto now = Clock::now();
    auto it = m_scheduled.begin();
    for (; it != m_scheduled.end() && it->first <= now; ++it)
        m_outgoing += it->second;
    m_scheduled.erase(m_scheduled.begin(), it);
    return m_scheduled.empty() ? Clock::time_point::max() : m_scheduled.begin()->first;
}

void CBriskoSim::WritePending()
{
    const ssize_t n = ::write(m_pty.Master(), m_outgoing.data(), m_outgoing.size());
    if (n > 0)
        m_outgoing.erase(0, static_cast<std::size_t>(n));
}

void CBriskoSim::ReadRequests()
{
    char buffer[512];
    const ssize_t n = ::read(m_pty.Master(), buffer, sizeof buffer);
    if (n <= 0) {
        if (n < 0 && (errno == EAGAIN || errno == EINTR))
            return;
        Unplug(); // cannot happen while we hold the slave side; never spin on it either
        return;
    }
    for (ssize_t i = 0; i < n; ++i) {
        const char byte = buffer[i];
        if (byte == '\r') {
            HandleRequest(std::exchange(m_incoming, std::string()));
            if (!m_pty.IsOpen())
                return; // unplugged: the rest of the bytes went nowhere
        } else if (byte != '\n') {
            m_incoming.push_back(byte);
            if (m_incoming.size() > kMaxRequestLength)
                m_incoming.clear();
        }
    }
}

void CBriskoSim::HandleRequest(const std::string& request)
{
    SimReaction reaction;
    {
        std::lock_guard lock(m_mutex);
        reaction = m_model.HandleRequest(request);
        const auto now = Clock::now();
        for (SimReaction::Output& output : reaction.outputs)
            m_scheduled.emplace(now + output.delay, std::move(output.bytes));
        m_requests.push_back(request);
        m_events.insert(m_events.end(), reaction.events.begin(), reaction.events.end());
    }
    m_requestArrived.notify_all();
    Log(reaction.events);
    if (reaction.unplug)
        Unplug();
}

void CBriskoSim::Unplug()
{
    RemoveLink();
    m_outgoing.clear();
    std::lock_guard lock(m_mutex);
    m_pty.Close();
    m_scheduled.clear();
    m_bUnplugged = true;
}

void CBriskoSim::Log(const std::vector<std::string>& events)
{
    if (!m_log)
        return;
    for (const std::string& event : events)
        m_log(event);
}

} // namespace mirelight
