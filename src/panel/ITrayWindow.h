#pragma once

// The window that the tray icon's open gesture brings back (the panel).
class ITrayWindow
{
public:
    virtual ~ITrayWindow() = default;

    virtual void ShowFromTray() = 0;
};
