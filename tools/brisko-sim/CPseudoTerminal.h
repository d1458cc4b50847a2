#pragma once

#include <string>
#include <termios.h>

namespace mirelight {

// The dongle's side of a pseudo-terminal: the master, plus the slave held open in raw mode so
// that the program can close and reopen its side while the master keeps working.
class CPseudoTerminal
{
public:
    CPseudoTerminal() = default;
    ~CPseudoTerminal() { Close(); }
    CPseudoTerminal(const CPseudoTerminal&) = delete;
    CPseudoTerminal& operator=(const CPseudoTerminal&) = delete;

    // Non-blocking; false, with error set, when the pseudo-terminal cannot be made.
    bool Open(std::string& error);
    // Idempotent; the device path stays known.
    void Close();

    bool IsOpen() const { return m_master >= 0; }
    int Master() const { return m_master; }
    const std::string& DevicePath() const { return m_devicePath; }
    // The line settings the program has put on its side; false once closed.
    bool LineSettings(termios& settings) const;

private:
    int m_master = -1;
    int m_slaveHold = -1;
    std::string m_devicePath;
};

} // namespace mirelight
