#pragma once

#include <sys/types.h>

#include <chrono>
#include <string>
#include <vector>

namespace testsupport {

// A desktop session of a test's own, in its XDG_RUNTIME_DIR: a private session bus, the fake
// StatusNotifierWatcher, an X server (with IceWM's XEmbed tray, if asked) or a headless
// Wayland compositor. Each part is started on request and points this process and the
// programs it starts at itself (DBUS_SESSION_BUS_ADDRESS, DISPLAY, WAYLAND_DISPLAY), so start
// it before the QApplication. Everything stops, last first, with the object, or with the
// test process should that die first.
class CTestDesktop
{
public:
    CTestDesktop() = default;
    ~CTestDesktop();
    CTestDesktop(const CTestDesktop&) = delete;
    CTestDesktop& operator=(const CTestDesktop&) = delete;

    // False when the part did not start: Problem() says why, and Missing() whether it is
    // because its program is not installed.
    bool StartSessionBus();
    bool StartTrayWatcher(bool withHost); // on the session bus started before
    bool StartX11(bool withXEmbedTray);
    bool StartWayland();

    // The service of the next item that registers with the watcher, or "" if none does in time.
    std::string NextTrayItem(std::chrono::seconds timeout);

    const std::string& Problem() const { return m_problem; }
    bool Missing() const { return m_missing; }

private:
    struct Child
    {
        pid_t pid = -1;
        int output = -1; // the read end of the pipe the child writes its answers to
    };

    // Starts argv[0] with the pipe on descriptor answerFd and the rest of its output in logFile
    // (inherited when empty).
    bool Spawn(const std::vector<std::string>& argv, int answerFd, const std::string& logFile);
    std::string ReadLine(int fd, std::chrono::milliseconds timeout);
    bool Fail(const std::string& problem);

    std::vector<Child> m_children;
    int m_watcherOutput = -1;
    std::string m_problem;
    bool m_missing = false;
};

} // namespace testsupport
