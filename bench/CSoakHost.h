#pragma once

#include "network/IDongleHost.h"

// The user interface as far as the soak needs one: nothing to show, no MAC address to give.
class CSoakHost : public mirelight::IDongleHost
{
public:
    void StatusChanged() override { }
    void UpdateControls() override { }
    bool AskMacAddress(std::string&) override { return false; }
    void ExitProgram() override { }
    void SaveSettings() override { }
    void SetWaitCursor(bool) override { }
};
