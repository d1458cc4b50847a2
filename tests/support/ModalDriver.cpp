#include "support/ModalDriver.h"

#include <QElapsedTimer>
#include <QTimer>
#include <gtest/gtest.h>

namespace testsupport {

void WhenTrue(std::function<bool()> condition, std::function<void()> action, int timeoutMs)
{
    auto* timer = new QTimer(qApp);
    QElapsedTimer clock;
    clock.start();
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, qApp, [=] {
        const bool holds = condition();
        if (!holds && clock.elapsed() < timeoutMs)
            return;
        timer->stop();
        timer->deleteLater();
        if (holds)
            action();
        else
            ADD_FAILURE() << "the awaited state did not come within " << timeoutMs << " ms";
    });
    timer->start();
}

void WhenModalWidget(std::function<bool(QWidget*)> matches, std::function<void(QWidget*)> action,
                     int timeoutMs)
{
    const auto modal = [matches] {
        QWidget* widget = QApplication::activeModalWidget();
        return widget && widget->isVisible() && matches(widget) ? widget : nullptr;
    };
    WhenTrue([modal] { return modal() != nullptr; }, [modal, action] { action(modal()); },
             timeoutMs);
}

QList<int> TabOrder(QWidget* first, int count)
{
    QList<int> order;
    for (QWidget* widget = first; order.size() < count; widget = widget->nextInFocusChain()) {
        if (widget->focusPolicy() & Qt::TabFocus)
            order.append(widget->property("controlId").toInt());
    }
    return order;
}

} // namespace testsupport
