#include "panel/CEventLoopWaiter.h"

#include "link/PausedWait.h"

#include <QEventLoop>
#include <QTimer>

bool CEventLoopWaiter::WaitUntil(const std::function<bool()>& ready, Clock::time_point deadline)
{
    QEventLoop loop;
    QTimer timeout;
    timeout.setSingleShot(true);
    timeout.setTimerType(Qt::PreciseTimer);
    connect(&timeout, &QTimer::timeout, &loop, &QEventLoop::quit);
    QEventLoop* outer = std::exchange(m_loop, &loop);
    // A wake meant for an earlier wait may end this loop early: look again and go on.
    while (!ready() && !m_aborted) {
        const auto left = mirelight::TimeLeft(deadline);
        if (left == std::chrono::milliseconds::zero())
            break;
        timeout.start(left);
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    }
    m_loop = outer;
    return ready();
}

void CEventLoopWaiter::Wake()
{
    QMetaObject::invokeMethod(this, &CEventLoopWaiter::QuitWait, Qt::QueuedConnection);
}

bool CEventLoopWaiter::Defer(const std::function<void()>& next)
{
    // Posted after the input the waits held back, which the loop delivers first.
    QTimer::singleShot(0, this, next);
    return true;
}

void CEventLoopWaiter::Abort()
{
    m_aborted = true;
    QuitWait();
}

void CEventLoopWaiter::QuitWait()
{
    if (m_loop)
        m_loop->quit();
}
