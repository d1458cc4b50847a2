#pragma once

#include <QApplication>
#include <QWidget>
#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace testsupport {

// The control with template id id ("IDC_<id>") of a dialog; a failure is recorded without one.
template<class T> T* Control(QWidget* dialog, int id)
{
    T* control = dialog->findChild<T*>(QStringLiteral("IDC_%1").arg(id));
    EXPECT_NE(control, nullptr) << "control " << id;
    return control;
}

// Calls action from a timer once condition holds (the event loop runs meanwhile, also inside
// the dongle's waits). A failure is recorded when it does not hold within timeoutMs.
void WhenTrue(std::function<bool()> condition, std::function<void()> action, int timeoutMs = 5000);

// Calls action with the next modal widget of type T to come up, from a timer inside the
// modal loop, so that a test can drive a dialog's exec(). A failure is recorded when none
// comes up within timeoutMs.
void WhenModalWidget(const QMetaObject& type, std::function<void(QWidget*)> action, int timeoutMs);

template<class T> void WhenModal(std::function<void(T*)> action, int timeoutMs = 5000)
{
    WhenModalWidget(
        T::staticMetaObject, [action](QWidget* widget) { action(static_cast<T*>(widget)); },
        timeoutMs);
}

// As WhenModal, but for every modal widget of type T that comes up while the returned object
// lives, and without a time-out: none need come up.
std::unique_ptr<QObject> WheneverModalWidget(const QMetaObject& type,
                                             std::function<void(QWidget*)> action);

template<class T>
[[nodiscard]] std::unique_ptr<QObject> WheneverModal(std::function<void(T*)> action)
{
    return WheneverModalWidget(T::staticMetaObject,
                               [action](QWidget* widget) { action(static_cast<T*>(widget)); });
}

// The ids of the count controls that Tab visits from first on, first included.
QList<int> TabOrder(QWidget* first, int count);

} // namespace testsupport
