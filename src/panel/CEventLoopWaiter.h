#pragma once

#include "link/IWaiter.h"

#include <QObject>

class QEventLoop;

// Waits for the dongle with the event loop running, so that the windows keep painting and
// the program keeps answering the desktop (compositor pings, the tray, signals) however long
// the dongle takes. Clicks and keys are held back by Qt meanwhile and handled after the
// operation, in order, as if the window had been blocked.
class CEventLoopWaiter : public QObject, public mirelight::IWaiter
{
    Q_OBJECT

public:
    bool WaitUntil(const std::function<bool()>& ready, Clock::time_point deadline) override;
    void Wake() override; // any thread
    bool Defer(const std::function<void()>& next) override;

    // The program is ending: the wait in progress, and every later one, gives up at once.
    void Abort();

private:
    void QuitWait();

    QEventLoop* m_loop = nullptr; // of the wait in progress
    bool m_aborted = false;
};
