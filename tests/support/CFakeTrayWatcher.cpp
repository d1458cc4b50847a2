#include "CFakeTrayWatcher.h"

#include <cstdio>

void CFakeTrayWatcher::RegisterStatusNotifierItem(const QString& service)
{
    if (m_items.contains(service))
        return;
    m_items.append(service);
    std::printf("%s\n", qPrintable(service));
    std::fflush(stdout);
    Q_EMIT StatusNotifierItemRegistered(service);
}

void CFakeTrayWatcher::RegisterStatusNotifierHost(const QString&)
{
    Q_EMIT StatusNotifierHostRegistered();
}
