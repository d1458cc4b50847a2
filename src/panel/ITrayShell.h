#pragma once

#include <QIcon>
#include <QString>

#include <functional>

// The notification area as the tray icon sees it: one call that adds, changes or removes the
// icon, and the mouse events on it.
class ITrayShell
{
public:
    enum class Command { Add, Modify, Delete };
    struct Fields
    {
        bool icon = false;
        bool tip = false;
        bool message = false; // deliver mouse events
    };

    virtual ~ITrayShell() = default;

    // True when the notification area took the change.
    virtual bool NotifyIcon(Command command, const QIcon& icon, const QString& tip, Fields fields)
        = 0;
    // Receives the mouse events (WM_LBUTTONDBLCLK style values) on the icon.
    virtual void SetEventHandler(std::function<void(int event)> handler) = 0;
};
