#pragma once

#include <string>

namespace mirelight {

// What the dongle operations need from the user interface. Implemented by the panel.
class IDongleHost
{
public:
    virtual ~IDongleHost() = default;

    // The status text or the connection state changed: refresh the open Connections
    // dialog, if there is one.
    virtual void StatusChanged() = 0;
    // Relabel and enable the open Connections dialog's controls, if there is one.
    virtual void UpdateControls() = 0;
    // Asks the user for the dongle's MAC address (modal). True with 16 hexadecimal digits
    // in digits, false when the user cancelled.
    virtual bool AskMacAddress(std::string& digits) = 0;
    virtual void ExitProgram() = 0;
    virtual void SaveSettings() = 0;
    virtual void SetWaitCursor(bool on) = 0;
};

} // namespace mirelight
