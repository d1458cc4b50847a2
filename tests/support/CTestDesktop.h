#pragma once

#include <QProcess>
#include <QString>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

namespace testsupport {

// A desktop session of a test's own, in its XDG_RUNTIME_DIR: a private session bus, the fake
// StatusNotifierWatcher, an X server (with IceWM's XEmbed tray, if asked) or a headless
// Wayland compositor, gnome-keyring's Secret Service. Each part is started on request and points
// this process and the programs it starts at itself (DBUS_SESSION_BUS_ADDRESS, DISPLAY,
// WAYLAND_DISPLAY), so start it before the QApplication. Everything stops, last first, with the
// object, or with the test process should that die first.
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
    // On the session bus started before, with a keyring of its own, unlocked.
    bool StartSecretService();

    // The service of the next item that registers with the watcher, or "" if none does in time.
    std::string NextTrayItem(std::chrono::seconds timeout);

    const std::string& Problem() const { return m_problem; }
    bool Missing() const { return m_missing; }

private:
    // Starts program; what it prints on stdout is read with ReadLine, the rest goes to log.
    QProcess* Start(const QString& program, const QStringList& arguments, const QString& log);
    static QString ReadLine(QProcess* child, std::chrono::milliseconds timeout);
    bool Fail(const std::string& problem);

    std::vector<std::unique_ptr<QProcess>> m_children;
    QProcess* m_watcher = nullptr;
    std::string m_problem;
    bool m_missing = false;
};

} // namespace testsupport
