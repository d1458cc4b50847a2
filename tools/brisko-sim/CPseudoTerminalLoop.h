#pragma once

#include "CPseudoTerminal.h"
#include "IRequestHandler.h"

#include <map>
#include <mutex>
#include <string>
#include <termios.h>
#include <thread>

namespace mirelight {

// The dongle's end of a pseudo-terminal, served by a thread of its own: what arrives is cut
// into requests at "\r" for the handler, which answers by scheduling bytes.
//
// Every public member is thread-safe. The thread never spins: it blocks in poll() on the
// pseudo-terminal, a wake-up descriptor and the time of the next scheduled output.
class CPseudoTerminalLoop
{
public:
    using Clock = IRequestHandler::Clock;

    explicit CPseudoTerminalLoop(IRequestHandler& handler) : m_handler(handler) { }
    ~CPseudoTerminalLoop(); // Stop()
    CPseudoTerminalLoop(const CPseudoTerminalLoop&) = delete;
    CPseudoTerminalLoop& operator=(const CPseudoTerminalLoop&) = delete;

    // Makes the pseudo-terminal; false, with error set, when that fails.
    bool Open(std::string& error);
    // Starts serving what Open() made.
    void Start();
    // Stops serving and closes the pseudo-terminal. Idempotent.
    void Stop();

    // Sends bytes once due is reached, after those due before them (equal times keep their
    // order).
    void Schedule(Clock::time_point due, std::string bytes);
    // false: requests are left unread, so that the other side's writes back up and stall.
    void SetReading(bool reading);

    std::string DevicePath() const; // the slave side, for the program to open
    // The line settings the program has put on its side; false once closed.
    bool LineSettings(termios& settings) const;
    // True once the handler let the device go away, or the pseudo-terminal failed.
    bool IsHungUp() const;

private:
    void Run();
    void Wake() const;
    Clock::time_point TakeDueOutputs(); // returns the time of the next one, or max()
    void WritePending();
    void ReadRequests();
    void HangUp();

    IRequestHandler& m_handler;
    std::thread m_thread;
    CPseudoTerminal m_pty; // opened and closed under m_mutex
    int m_wakeFd = -1;

    // Loop thread only.
    std::string m_incoming; // the request being received
    std::string m_outgoing; // bytes due, not yet taken by the pseudo-terminal

    mutable std::mutex m_mutex; // guards everything below
    bool m_stopping = false;
    bool m_reading = true;
    bool m_hungUp = false;
    std::multimap<Clock::time_point, std::string> m_scheduled;
};

} // namespace mirelight
