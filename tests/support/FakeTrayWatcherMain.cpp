// fake-tray-watcher [--without-host]: stands in for a desktop's StatusNotifierWatcher on the
// session bus until it is killed. Prints "ready" once it owns the name, then each registered
// item's service. With a host registered (a desktop's tray showing the items), Qt shows its
// tray icons as StatusNotifierItems; without one, the watcher is there but no tray shows them.
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusError>
#include <QObject>
#include <QStringList>

#include <cstdio>

class CFakeTrayWatcher : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierWatcher")
    Q_PROPERTY(QStringList RegisteredStatusNotifierItems MEMBER m_items)
    Q_PROPERTY(bool IsStatusNotifierHostRegistered MEMBER m_hostRegistered)
    Q_PROPERTY(int ProtocolVersion MEMBER m_protocolVersion)

public:
    explicit CFakeTrayWatcher(bool hostRegistered) : m_hostRegistered(hostRegistered) { }

public Q_SLOTS:
    void RegisterStatusNotifierItem(const QString& service)
    {
        m_items.append(service);
        std::printf("%s\n", qPrintable(service));
        std::fflush(stdout);
        Q_EMIT StatusNotifierItemRegistered(service);
    }
    void RegisterStatusNotifierHost(const QString&) { Q_EMIT StatusNotifierHostRegistered(); }

Q_SIGNALS:
    void StatusNotifierItemRegistered(const QString& service);
    void StatusNotifierItemUnregistered(const QString& service); // items stay: tests are short
    void StatusNotifierHostRegistered();

private:
    QStringList m_items;
    bool m_hostRegistered;
    int m_protocolVersion = 0;
};

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

#include "FakeTrayWatcherMain.moc"
