#pragma once

#include <QIcon>
#include <QString>

class CCommandSurface;
class ITrayShell;

// The program's icon in the notification area for the lifetime of the panel. The tray's open
// gesture on it (a double click, or a single click where the tray reports no double clicks)
// and choosing it from the keyboard bring a hidden panel back; every other click is ignored.
class CTrayIcon
{
public:
    // The mouse events a notification arrives with.
    static constexpr int WM_LBUTTONUP = 0x202;
    static constexpr int WM_LBUTTONDBLCLK = 0x203;
    static constexpr int WM_RBUTTONUP = 0x205;
    static constexpr int WM_MBUTTONUP = 0x208;
    static constexpr int NIN_KEYSELECT = 0x401; // the icon chosen from the keyboard: opens too

    CTrayIcon(int id, ITrayShell& shell);
    ~CTrayIcon();
    CTrayIcon(const CTrayIcon&) = delete;
    CTrayIcon& operator=(const CTrayIcon&) = delete;

    // What the open gesture shows: the panel, through the commands every outlet uses.
    void SetNotifyWindow(CCommandSurface* window, int message);
    bool SetIconResource(int id);
    // Adds, changes or removes the icon; true when the notification area took the change.
    bool SetIconHandle(const QIcon& icon);
    // 1 when the notification was for this icon and was handled, else 0.
    int HandleTrayMessage(int id, int event);

    bool IsShown() const { return !m_notifyData.icon.isNull(); }
    // A passing message from the icon; false when there is no icon to carry it.
    bool ShowMessage(const QString& title, const QString& text);

private:
    struct NotifyData
    {
        int id = 0;
        CCommandSurface* window = nullptr;
        int callbackMessage = 0;
        QIcon icon; // null while nothing is in the notification area
        QString tip;
    } m_notifyData;

    ITrayShell& m_shell;
};
