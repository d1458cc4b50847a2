#include "CBriskoSim.h"

#include "platform/linux/ComPortPath.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <string_view>
#include <utility>

namespace mirelight {

namespace {

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
    : m_comNumber(comNumber), m_log(std::move(log))
{ }

CBriskoSim::~CBriskoSim()
{
    Stop();
}

bool CBriskoSim::Start()
{
    if (!m_loop.Open(m_lastError) || !MakeLink()) {
        m_loop.Stop();
        return false;
    }
    m_loop.Start();
    return true;
}

void CBriskoSim::Stop()
{
    RemoveLink(); // first, so that the program never finds the link without its device
    m_loop.Stop();
}

std::string CBriskoSim::LastError() const
{
    std::lock_guard lock(m_mutex);
    return m_lastError;
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
    if (std::filesystem::read_symlink(m_linkPath, error) == m_loop.DevicePath())
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
    m_loop.SetReading(reading);
}

void CBriskoSim::Send(std::string bytes)
{
    m_loop.Schedule(Clock::now(), std::move(bytes));
}

std::string CBriskoSim::DevicePath() const
{
    return m_loop.DevicePath();
}

std::string CBriskoSim::LinkPath() const
{
    return ComPortLinkPath(m_comNumber);
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

std::array<bool, CBriskoModel::kLights> CBriskoSim::Lights() const
{
    std::lock_guard lock(m_mutex);
    return m_model.Lights();
}

bool CBriskoSim::IsUnplugged() const
{
    return m_loop.IsHungUp();
}

bool CBriskoSim::LineSettings(termios& settings) const
{
    return m_loop.LineSettings(settings);
}

bool CBriskoSim::HandleRequest(const std::string& request)
{
    SimReaction reaction;
    {
        std::lock_guard lock(m_mutex);
        reaction = m_model.HandleRequest(request);
        const auto now = Clock::now();
        for (SimReaction::Output& output : reaction.outputs)
            m_loop.Schedule(now + output.delay, std::move(output.bytes));
        m_requests.push_back(request);
    }
    m_requestArrived.notify_all();
    Log(reaction.events);
    if (reaction.unplug)
        RemoveLink(); // before the device goes, as when it is pulled out
    return !reaction.unplug;
}

void CBriskoSim::Log(const std::vector<std::string>& events)
{
    if (!m_log)
        return;
    for (const std::string& event : events)
        m_log(event);
}

} // namespace mirelight
