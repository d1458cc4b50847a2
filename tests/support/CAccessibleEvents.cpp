#include "support/CAccessibleEvents.h"

#include <algorithm>

#include <QtGui/private/qguiapplication_p.h>
#include <qpa/qplatformaccessibility.h>
#include <qpa/qplatformintegration.h>

namespace {

CAccessibleEvents* g_keeper = nullptr;

void SetListening(bool listening)
{
    QGuiApplicationPrivate::platformIntegration()->accessibility()->setActive(listening);
}

} // namespace

CAccessibleEvents::CAccessibleEvents()
{
    g_keeper = this;
    QAccessible::installUpdateHandler(&CAccessibleEvents::Keep);
    SetListening(true);
}

CAccessibleEvents::~CAccessibleEvents()
{
    SetListening(false);
    QAccessible::installUpdateHandler(nullptr);
    g_keeper = nullptr;
}

void CAccessibleEvents::Keep(QAccessibleEvent* event)
{
    g_keeper->m_events.emplace_back(event->object(), event->type());
}

std::vector<QAccessible::Event>
CAccessibleEvents::Of(const QObject* object, std::initializer_list<QAccessible::Event> types) const
{
    std::vector<QAccessible::Event> events;
    for (const auto& [source, type] : m_events) {
        if (source == object && std::ranges::find(types, type) != types.end())
            events.push_back(type);
    }
    return events;
}
