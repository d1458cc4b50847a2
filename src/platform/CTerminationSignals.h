#pragma once

#include <functional>
#include <memory>

// Turns the session's request to end (logout, shutdown, Ctrl+C, a closed terminal) into an
// orderly end of the program on the user-interface thread, so that the settings are saved on
// the way out. POSIX: SIGTERM, SIGINT and SIGHUP, where a signal ignored when the program
// started (nohup) stays ignored. Windows: the session-end messages and console control events.
class CTerminationSignals
{
public:
    // saveNow is for a system that ends the process without waiting for the program's own way
    // out: Windows, at the session's end, calls it when the end is announced (another program
    // may still cancel it) and again as the end becomes certain, just before onTerminate.
    CTerminationSignals(std::function<void()> onTerminate, const std::function<void()>& saveNow);
    ~CTerminationSignals(); // restores the handling found at the start

    CTerminationSignals(const CTerminationSignals&) = delete;
    CTerminationSignals& operator=(const CTerminationSignals&) = delete;

private:
    class CHandlers; // the platform's own hooks
    std::unique_ptr<CHandlers> m_handlers;
};
