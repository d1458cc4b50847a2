#include "CInstantDongle.h"

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

namespace mirelight {

CInstantDongle::~CInstantDongle()
{
    Stop();
}

bool CInstantDongle::Start()
{
    m_wakeFd = ::eventfd(0, EFD_CLOEXEC);
    if (m_wakeFd < 0) {
        m_lastError = std::string("eventfd: ") + std::strerror(errno);
        return false;
    }
    // Blocking on purpose: the dongle thread reads only after poll() said there is input, and
    // an answer is far smaller than what the pseudo-terminal buffers.
    if (!m_pty.Open(false, m_lastError))
        return false;
    m_thread = std::thread([this] { Run(); });
    return true;
}

void CInstantDongle::Stop()
{
    if (m_thread.joinable()) {
        ::eventfd_write(m_wakeFd, 1);
        m_thread.join();
    }
    Close();
}

void CInstantDongle::Send(std::string_view bytes)
{
    WriteAll(bytes);
}

std::vector<CInstantDongle::Duration> CInstantDongle::ReactionTimes() const
{
    std::lock_guard lock(m_timesMutex);
    return m_reactionTimes;
}

void CInstantDongle::Close()
{
    m_pty.Close();
    if (m_wakeFd >= 0)
        ::close(m_wakeFd);
    m_wakeFd = -1;
}

void CInstantDongle::Run()
{
    pollfd watched[] = { { m_pty.Master(), POLLIN, 0 }, { m_wakeFd, POLLIN, 0 } };
    for (;;) {
        const int ready = ::poll(watched, 2, -1);
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready < 0 || watched[1].revents != 0 || !ReadRequests())
            return;
    }
}

bool CInstantDongle::ReadRequests()
{
    char buffer[512];
    const ssize_t count = ::read(m_pty.Master(), buffer, sizeof buffer);
    const Clock::time_point arrival = Clock::now();
    if (count < 0)
        return errno == EINTR;
    for (const char byte : std::string_view(buffer, static_cast<std::size_t>(count))) {
        if (m_incoming.empty())
            NoteFirstByte(arrival);
        if (byte != '\r') {
            m_incoming += byte;
            continue;
        }
        Answer(m_incoming);
        m_incoming.clear();
    }
    return count > 0;
}

void CInstantDongle::NoteFirstByte(Clock::time_point arrival)
{
    // A request that was already here before the answer went out is no reaction to it.
    if (m_answered && arrival > *m_answered) {
        std::lock_guard lock(m_timesMutex);
        m_reactionTimes.push_back(arrival - *m_answered);
    }
    m_answered.reset();
}

void CInstantDongle::Answer(std::string_view request)
{
    std::string answer;
    for (const SimReaction::Output& output : m_model.HandleRequest(request).outputs)
        answer += output.bytes;
    WriteAll(answer);
    m_answered = Clock::now();
}

void CInstantDongle::WriteAll(std::string_view bytes)
{
    std::lock_guard lock(m_writeMutex);
    while (!bytes.empty()) {
        const ssize_t written = ::write(m_pty.Master(), bytes.data(), bytes.size());
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return; // the pseudo-terminal failed; the program's wait will time out
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
}

} // namespace mirelight
