#pragma once

#include <QAccessible>
#include <initializer_list>
#include <utility>
#include <vector>

// Keeps the accessibility events Qt sends while it lives, as the platform's bridge passes them
// on to a screen reader that listens.
class CAccessibleEvents
{
public:
    CAccessibleEvents();
    ~CAccessibleEvents();
    CAccessibleEvents(const CAccessibleEvents&) = delete;
    CAccessibleEvents& operator=(const CAccessibleEvents&) = delete;

    // The events of those types kept for the object since the last Clear, in order.
    std::vector<QAccessible::Event> Of(const QObject* object,
                                       std::initializer_list<QAccessible::Event> types) const;
    void Clear() { m_events.clear(); }

private:
    static void Keep(QAccessibleEvent* event);

    std::vector<std::pair<const QObject*, QAccessible::Event>> m_events;
};
