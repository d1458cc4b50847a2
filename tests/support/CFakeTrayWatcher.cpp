#include "CFakeTrayWatcher.h"

#include <cstdio>

CFakeTrayWatcher::CFakeTrayWatcher(const QDBusConnection& bus, bool hostRegistered)
    : m_hostRegistered(hostRegistered),
      m_owners(QString(), bus, QDBusServiceWatcher::WatchForUnregistration)
{
    connect(&m_owners, &QDBusServiceWatcher::serviceUnregistered, this,
            [this](const QString& service) {
                m_owners.removeWatchedService(service);
                if (m_items.removeAll(service) > 0)
                    Q_EMIT StatusNotifierItemUnregistered(service);
            });
}

void CFakeTrayWatcher::RegisterStatusNotifierItem(const QString& service)
{
    if (m_items.contains(service))
        return;
    m_items.append(service);
    m_owners.addWatchedService(service);
    std::printf("%s\n", qPrintable(service));
    std::fflush(stdout);
    Q_EMIT StatusNotifierItemRegistered(service);
}

void CFakeTrayWatcher::RegisterStatusNotifierHost(const QString&)
{
    Q_EMIT StatusNotifierHostRegistered();
}
