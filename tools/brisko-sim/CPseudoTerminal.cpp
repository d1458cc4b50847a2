#include "CPseudoTerminal.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace mirelight {

bool CPseudoTerminal::Open(std::string& error)
{
    m_master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
    char name[128] = {};
    if (m_master < 0 || ::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0
        || ::ptsname_r(m_master, name, sizeof name) != 0) {
        error = std::string("pseudo-terminal: ") + std::strerror(errno);
        Close();
        return false;
    }
    // Without a slave open, poll() on the master reports a hang-up at once, again and again.
    m_slaveHold = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (m_slaveHold < 0) {
        error = std::string(name) + ": " + std::strerror(errno);
        Close();
        return false;
    }
    // Raw from the start: no echo of our answers back to us before the program has set the
    // line up.
    termios settings {};
    ::tcgetattr(m_slaveHold, &settings);
    ::cfmakeraw(&settings);
    ::tcsetattr(m_slaveHold, TCSANOW, &settings);
    m_devicePath = name;
    return true;
}

void CPseudoTerminal::Close()
{
    for (int* fd : { &m_master, &m_slaveHold }) {
        if (*fd >= 0)
            ::close(*fd);
        *fd = -1;
    }
}

bool CPseudoTerminal::LineSettings(termios& settings) const
{
    return m_slaveHold >= 0 && ::tcgetattr(m_slaveHold, &settings) == 0;
}

} // namespace mirelight
