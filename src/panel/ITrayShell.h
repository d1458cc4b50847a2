#pragma once

#include <QIcon>
#include <QString>

#include <functional>

// The notification area as the tray icon sees it: one call that adds, changes or removes the
// icon, the mouse events on it, and which of them is the tray's gesture for "open".
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
    // True where the tray reports only single activations (a StatusNotifierItem tray never
    // reports a double click), so a single left click is what opens; else the double click.
    virtual bool SingleClickOpens() const = 0;
    // A passing message from the icon (a balloon or a desktop notification); false where no
    // icon is shown to carry it.
    virtual bool ShowMessage(const QString& title, const QString& text) = 0;
};
