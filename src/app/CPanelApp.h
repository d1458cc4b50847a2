#pragma once

#include "platform/CInstanceLock.h"

// Start-up: one instance per user, then the switch panel for the life of the program.
class CPanelApp
{
public:
    // Runs the program to its end. Always false: nothing runs after the panel's modal run.
    bool InitInstance();

private:
    CInstanceLock m_instanceLock; // held until the process ends
};
