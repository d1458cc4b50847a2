#pragma once

namespace mirelight {

// Shows the wait cursor for as long as it lives, so that every path out of an operation
// restores the cursor. Host is whatever shows it: the dongle's host or a dialog's.
template<class Host> class CWaitCursor
{
public:
    explicit CWaitCursor(Host& host) : m_host(host) { m_host.SetWaitCursor(true); }
    ~CWaitCursor() { m_host.SetWaitCursor(false); }
    CWaitCursor(const CWaitCursor&) = delete;
    CWaitCursor& operator=(const CWaitCursor&) = delete;

private:
    Host& m_host;
};

} // namespace mirelight
