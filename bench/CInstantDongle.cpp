#include "CInstantDongle.h"

namespace mirelight {

CInstantDongle::~CInstantDongle()
{
    Stop();
}

bool CInstantDongle::Start()
{
    if (!m_loop.Open(m_lastError))
        return false;
    m_loop.Start();
    return true;
}

void CInstantDongle::Stop()
{
    m_loop.Stop();
}

void CInstantDongle::Send(std::string_view bytes)
{
    m_loop.Schedule(Clock::now(), std::string(bytes));
}

std::vector<CInstantDongle::Duration> CInstantDongle::ReactionTimes() const
{
    std::lock_guard lock(m_timesMutex);
    return m_reactionTimes;
}

bool CInstantDongle::HandleRequest(const std::string& request)
{
    std::string answer;
    for (const SimReaction::Output& output : m_model.HandleRequest(request).outputs)
        answer += output.bytes;
    m_answerDue = !answer.empty();
    m_loop.Schedule(Clock::now(), std::move(answer));
    return true;
}

void CInstantDongle::RequestBegan(Clock::time_point arrival)
{
    // A request that was already here before the answer went out is no reaction to it.
    if (m_answered && arrival > *m_answered) {
        std::lock_guard lock(m_timesMutex);
        m_reactionTimes.push_back(arrival - *m_answered);
    }
    m_answered.reset();
}

void CInstantDongle::OutputWritten(Clock::time_point written)
{
    if (m_answerDue)
        m_answered = written;
    m_answerDue = false;
}

} // namespace mirelight
