#include "app/CTerminationSignals.h"

#include <QSocketNotifier>

#include <fcntl.h>
#include <unistd.h>

namespace {

// The handler may only write to a pipe; the notifier reads it on the event loop.
int g_signalPipe[2] = { -1, -1 };

} // namespace

CTerminationSignals::CTerminationSignals(std::function<void()> onTerminate)
    : m_onTerminate(std::move(onTerminate))
{
    if (::pipe2(g_signalPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return; // the program still runs; a signal then ends it the default way
    m_notifier = new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &CTerminationSignals::OnReadable);

    struct sigaction action
    {
    };
    action.sa_handler = &CTerminationSignals::OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (std::size_t i = 0; i < kSignals.size(); ++i) {
        struct sigaction current
        {
        };
        ::sigaction(kSignals[i], nullptr, &current);
        if (current.sa_handler == SIG_IGN)
            continue;
        m_bHandled[i] = ::sigaction(kSignals[i], &action, &m_previous[i]) == 0;
    }
}

CTerminationSignals::~CTerminationSignals()
{
    for (std::size_t i = 0; i < kSignals.size(); ++i) {
        if (m_bHandled[i])
            ::sigaction(kSignals[i], &m_previous[i], nullptr);
    }
    if (!m_notifier)
        return;
    delete m_notifier;
    ::close(g_signalPipe[0]);
    ::close(g_signalPipe[1]);
    g_signalPipe[0] = g_signalPipe[1] = -1;
}

void CTerminationSignals::OnSignal(int signal)
{
    const char byte = static_cast<char>(signal);
    [[maybe_unused]] const ssize_t written = ::write(g_signalPipe[1], &byte, 1);
}

void CTerminationSignals::OnReadable()
{
    char bytes[16];
    while (::read(g_signalPipe[0], bytes, sizeof bytes) > 0) { }
    m_onTerminate();
}
