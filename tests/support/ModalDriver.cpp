#include "support/ModalDriver.h"

#include <QElapsedTimer>
#include <QTimer>
#include <gtest/gtest.h>

namespace testsupport {

namespace {

constexpr int kPollMs = 10;

// The active modal widget when it is shown and of type, else null.
QWidget* ShownModal(const QMetaObject& type)
{
    QWidget* widget = QApplication::activeModalWidget();
    return widget && widget->isVisible() && widget->metaObject()->inherits(&type) ? widget
                                                                                  : nullptr;
}

} // namespace

void WhenTrue(std::function<bool()> condition, std::function<void()> action, int timeoutMs)
{
    auto* timer = new QTimer(qApp);
    QElapsedTimer clock;
    clock.start();
    timer->setInterval(kPollMs);
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

void WhenModalWidget(const QMetaObject& type, std::function<void(QWidget*)> action, int timeoutMs)
{
    const QMetaObject* wanted = &type;
    WhenTrue([wanted] { return ShownModal(*wanted) != nullptr; },
             [wanted, action] { action(ShownModal(*wanted)); }, timeoutMs);
}

std::unique_ptr<QObject> WheneverModalWidget(const QMetaObject& type,
                                             std::function<void(QWidget*)> action)
{
    auto timer = std::make_unique<QTimer>();
    QObject::connect(timer.get(), &QTimer::timeout, timer.get(), [wanted = &type, action] {
        if (QWidget* widget = ShownModal(*wanted))
            action(widget);
    });
    timer->start(kPollMs);
    return timer;
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
