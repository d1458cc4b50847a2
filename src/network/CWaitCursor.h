#pragma once

#include "network/IDongleHost.h"

namespace mirelight {

// Shows the wait cursor for as long as it lives, so that every path out of an operation
// restores the cursor.
class CWaitCursor
{
public:
    explicit CWaitCursor(IDongleHost& host) : m_host(host) { m_host.SetWaitCursor(true); }
    ~CWaitCursor() { m_host.SetWaitCursor(false); }
    CWaitCursor(const CWaitCursor&) = delete;
    CWaitCursor& operator=(const CWaitCursor&) = delete;

private:
    IDongleHost& m_host;
};

} // namespace mirelight
