#pragma once

// What the Connections dialog asks of the window that opened it (the panel), so that it can
// be built without one.
class IDialogHost
{
public:
    virtual ~IDialogHost() = default;

    // The settings were edited in place: store them and show them.
    virtual void SaveSettings() = 0;
    // The wait cursor over the program's windows while on; the calls nest.
    virtual void SetWaitCursor(bool on) = 0;
};
