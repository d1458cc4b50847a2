#include "support/ModalDriver.h"

#include <QElapsedTimer>
#include <QTimer>
#include <gtest/gtest.h>

namespace testsupport {

void WhenModalWidget(std::function<bool(QWidget*)> matches, std::function<void(QWidget*)> action,
                     int timeoutMs)
{
    auto* timer = new QTimer(qApp);
    QElapsedTimer clock;
    clock.start();
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, qApp, [=] {
        QWidget* modal = QApplication::activeModalWidget();
        const bool found = modal && modal->isVisible() && matches(modal);
        if (!found && clock.elapsed() < timeoutMs)
            return;
        timer->stop();
        timer->deleteLater();
        if (found)
            action(modal);
        else
            ADD_FAILURE() << "no matching modal widget came up within " << timeoutMs << " ms";
    });
    timer->start();
}

bool ProcessEventsUntil(const std::function<bool()>& condition, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    while (!condition() && clock.elapsed() < timeoutMs)
        QApplication::processEvents(QEventLoop::AllEvents, 10);
    return condition();
}

} // namespace testsupport
