#pragma once

#include <QObject>
#include <QStringList>

// Stands in for a desktop's StatusNotifierWatcher. With a host registered (a desktop's tray
// showing the items), Qt shows its tray icons as StatusNotifierItems. Prints each item's
// service as it registers.
class CFakeTrayWatcher : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierWatcher")
    Q_PROPERTY(QStringList RegisteredStatusNotifierItems READ RegisteredStatusNotifierItems)
    Q_PROPERTY(bool IsStatusNotifierHostRegistered READ IsStatusNotifierHostRegistered)
    Q_PROPERTY(int ProtocolVersion READ ProtocolVersion)

public:
    explicit CFakeTrayWatcher(bool hostRegistered) : m_hostRegistered(hostRegistered) { }

    QStringList RegisteredStatusNotifierItems() const { return m_items; }
    bool IsStatusNotifierHostRegistered() const { return m_hostRegistered; }
    int ProtocolVersion() const { return 0; }

public Q_SLOTS:
    void RegisterStatusNotifierItem(const QString& service);
    void RegisterStatusNotifierHost(const QString& service);

Q_SIGNALS:
    void StatusNotifierItemRegistered(const QString& service);
    void StatusNotifierItemUnregistered(const QString& service); // items stay: tests are short
    void StatusNotifierHostRegistered();

private:
    QStringList m_items;
    bool m_hostRegistered;
};
