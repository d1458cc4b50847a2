#include "platform/CTerminationSignals.h"

#include <QSocketNotifier>

#include <array>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {

// The handler may only write to a pipe; the notifier reads it on the event loop.
int g_signalPipe[2] = { -1, -1 };

constexpr std::array<int, 3> kSignals = { SIGTERM, SIGINT, SIGHUP };

void OnSignal(int signal)
{
    // The interrupted code may be about to read errno of its own call; a full pipe's EAGAIN
    // must not become it.
    const int interruptedErrno = errno;
    const char byte = static_cast<char>(signal);
    [[maybe_unused]] const ssize_t written = ::write(g_signalPipe[1], &byte, 1);
    errno = interruptedErrno;
}

} // namespace

class CTerminationSignals::CHandlers
{
public:
    explicit CHandlers(std::function<void()> onTerminate);
    ~CHandlers();
    CHandlers(const CHandlers&) = delete;
    CHandlers& operator=(const CHandlers&) = delete;

private:
    void OnReadable();

    std::function<void()> m_onTerminate;
    std::array<struct sigaction, kSignals.size()> m_previous {};
    std::array<bool, kSignals.size()> m_handled {};
    std::unique_ptr<QSocketNotifier> m_notifier;
};

CTerminationSignals::CHandlers::CHandlers(std::function<void()> onTerminate)
    : m_onTerminate(std::move(onTerminate))
{
    if (::pipe2(g_signalPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return; // the program still runs; a signal then ends it the default way
    m_notifier = std::make_unique<QSocketNotifier>(g_signalPipe[0], QSocketNotifier::Read);
    QObject::connect(m_notifier.get(), &QSocketNotifier::activated, m_notifier.get(),
                     [this] { OnReadable(); });

    struct sigaction action
    {
    };
    action.sa_handler = &OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (std::size_t i = 0; i < kSignals.size(); ++i) {
        struct sigaction current
        {
        };
        ::sigaction(kSignals[i], nullptr, &current);
        if (current.sa_handler == SIG_IGN)
            continue;
        m_handled[i] = ::sigaction(kSignals[i], &action, &m_previous[i]) == 0;
    }
}

CTerminationSignals::CHandlers::~CHandlers()
{
    for (std::size_t i = 0; i < kSignals.size(); ++i) {
        if (m_handled[i])
            ::sigaction(kSignals[i], &m_previous[i], nullptr);
    }
    if (!m_notifier)
        return;
    m_notifier.reset();
    ::close(g_signalPipe[0]);
    ::close(g_signalPipe[1]);
    g_signalPipe[0] = g_signalPipe[1] = -1;
}

void CTerminationSignals::CHandlers::OnReadable()
{
    char bytes[16];
    while (::read(g_signalPipe[0], bytes, sizeof bytes) > 0) { }
    m_onTerminate();
}

// A signal leaves the program its own way out, which saves.
CTerminationSignals::CTerminationSignals(std::function<void()> onTerminate,
                                         const std::function<void()>& /*saveNow*/)
    : m_handlers(std::make_unique<CHandlers>(std::move(onTerminate)))
{ }

CTerminationSignals::~CTerminationSignals() = default;
