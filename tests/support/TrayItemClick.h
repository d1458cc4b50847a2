#pragma once

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCall>

#include <string>

namespace testsupport {

// What a desktop's tray does when the user clicks a StatusNotifierItem ("Activate"),
// right-clicks it ("ContextMenu") or middle-clicks it ("SecondaryActivate"). Asynchronous:
// the item answers on its GUI thread, which may be the caller's.
inline QDBusPendingCall ClickTrayItem(const QDBusConnection& bus, const std::string& service,
                                      const char* method)
{
    QDBusMessage call = QDBusMessage::createMethodCall(
        QString::fromStdString(service), QStringLiteral("/StatusNotifierItem"),
        QStringLiteral("org.kde.StatusNotifierItem"), QString::fromLatin1(method));
    call << 10 << 10;
    return bus.asyncCall(call);
}

} // namespace testsupport
