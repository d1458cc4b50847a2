#include "platform/CTerminationSignals.h"

#include <QAbstractNativeEventFilter>
#include <QCoreApplication>
#include <QWindow>

#include "platform/win32/WinApi.h"

// The session's end reaches every top-level window as WM_QUERYENDSESSION and WM_ENDSESSION; a
// hidden window of our own receives them even when the panel has never been shown. Console
// control events (Ctrl+C, a closed console) come on a thread the system starts for them.
class CTerminationSignals::CHandlers final : public QAbstractNativeEventFilter
{
public:
    CHandlers(std::function<void()> onTerminate, std::function<void()> saveNow);
    ~CHandlers() override;
    CHandlers(const CHandlers&) = delete;
    CHandlers& operator=(const CHandlers&) = delete;

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

private:
    static BOOL WINAPI OnConsoleEvent(DWORD event);

    static CHandlers* s_active; // read and written on the user-interface thread only
    std::function<void()> m_onTerminate;
    std::function<void()> m_saveNow;
    QWindow m_sessionWindow;
    HWND m_sessionHandle = nullptr;
    bool m_consoleHandler = false;
};

CTerminationSignals::CHandlers* CTerminationSignals::CHandlers::s_active = nullptr;

CTerminationSignals::CHandlers::CHandlers(std::function<void()> onTerminate,
                                          std::function<void()> saveNow)
    : m_onTerminate(std::move(onTerminate)), m_saveNow(std::move(saveNow))
{
    m_sessionWindow.setTitle(QStringLiteral("Mirelight session")); // for tools that look for it
    m_sessionWindow.create();
    m_sessionHandle = reinterpret_cast<HWND>(m_sessionWindow.winId());
    QCoreApplication::instance()->installNativeEventFilter(this);
    s_active = this;
    // A Ctrl+C that was ignored when the program started (a process group made to ignore it)
    // is never passed to handlers: it stays ignored.
    m_consoleHandler = ::SetConsoleCtrlHandler(&OnConsoleEvent, TRUE) != 0;
}

CTerminationSignals::CHandlers::~CHandlers()
{
    if (m_consoleHandler)
        ::SetConsoleCtrlHandler(&OnConsoleEvent, FALSE);
    s_active = nullptr;
    // Before the window goes: its destruction sends messages.
    QCoreApplication::instance()->removeNativeEventFilter(this);
}

bool CTerminationSignals::CHandlers::nativeEventFilter(const QByteArray& eventType, void* message,
                                                       qintptr* result)
{
    if (eventType != "windows_generic_MSG")
        return false;
    const MSG* msg = static_cast<const MSG*>(message);
    if (msg->hwnd != m_sessionHandle)
        return false;
    if (msg->message == WM_QUERYENDSESSION) {
        // The session may end, or another program may yet cancel its end: the settings are
        // saved now, and the program runs on until the end is certain.
        m_saveNow();
        if (result) // null for a posted message, which this should not be
            *result = TRUE;
        return true;
    }
    if (msg->message == WM_ENDSESSION && msg->wParam) {
        // It ends, and the system ends the process as soon as this returns: what changed since
        // the question is saved, and the way out Exit takes begins. A cancelled end (wParam
        // false) changes nothing.
        m_saveNow();
        m_onTerminate();
    }
    return false;
}

BOOL WINAPI CTerminationSignals::CHandlers::OnConsoleEvent(DWORD event)
{
    QMetaObject::invokeMethod(
        QCoreApplication::instance(),
        [] {
            if (s_active)
                s_active->m_onTerminate();
        },
        Qt::QueuedConnection);
    if (event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT)
        return TRUE; // handled: the program ends in its own time
    // The system ends the process as soon as this returns, before the settings are saved: this
    // thread waits instead, and the program's own exit ends it.
    ::Sleep(INFINITE);
    return TRUE;
}

CTerminationSignals::CTerminationSignals(std::function<void()> onTerminate,
                                         const std::function<void()>& saveNow)
    : m_handlers(std::make_unique<CHandlers>(std::move(onTerminate), saveNow))
{ }

CTerminationSignals::~CTerminationSignals() = default;
