// fake-tray-watcher [--without-host]: owns org.kde.StatusNotifierWatcher on the session bus
// until it is killed. Prints "ready" once it owns the name, then each registered item's
// service. Without a host, the watcher is there but no tray shows the items.
#include "CFakeTrayWatcher.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusError>

#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    QDBusConnection bus = QDBusConnection::sessionBus();
    CFakeTrayWatcher watcher(
        !QCoreApplication::arguments().contains(QStringLiteral("--without-host")));
    const auto exported = QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllSignals
        | QDBusConnection::ExportAllProperties;
    if (!bus.registerObject(QStringLiteral("/StatusNotifierWatcher"), &watcher, exported)
        || !bus.registerService(QStringLiteral("org.kde.StatusNotifierWatcher"))) {
        std::fprintf(stderr, "fake-tray-watcher: %s\n", qPrintable(bus.lastError().message()));
        return 1;
    }
    std::printf("ready\n");
    std::fflush(stdout);
    return QCoreApplication::exec();
}
