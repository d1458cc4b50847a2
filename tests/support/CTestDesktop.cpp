#include "support/CTestDesktop.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QElapsedTimer>
#include <QFile>
#include <QLocalSocket>
#include <QStandardPaths>
#include <QThread>

#include <csignal>
#include <sys/prctl.h>

using namespace std::chrono_literals;

namespace testsupport {

namespace {

// Generous: the machine may be busy with a whole parallel suite under the sanitizers.
constexpr auto kStartTimeout = 30s;

QString RuntimeDir()
{
    return qEnvironmentVariable("XDG_RUNTIME_DIR", QStringLiteral("/tmp"));
}

// The end of a log, for a failure message: the log goes with the test's folders.
std::string Tail(const QString& log)
{
    QFile file(log);
    return file.open(QIODevice::ReadOnly) ? "\n" + file.readAll().right(2000).toStdString() : "";
}

} // namespace

CTestDesktop::~CTestDesktop()
{
    for (auto child = m_children.rbegin(); child != m_children.rend(); ++child) {
        (*child)->terminate();
        if (!(*child)->waitForFinished(10000))
            (*child)->kill();
        (*child)->waitForFinished();
    }
}

bool CTestDesktop::Fail(const std::string& problem)
{
    m_problem = problem;
    return false;
}

QProcess* CTestDesktop::Start(const QString& program, const QStringList& arguments,
                              const QString& log)
{
    if (QStandardPaths::findExecutable(program).isEmpty() && !QFile::exists(program)) {
        m_missing = true;
        Fail(program.toStdString() + " is not installed");
        return nullptr;
    }
    auto child = std::make_unique<QProcess>();
    // A test that dies, or is killed for its time-out, takes its desktop along.
    child->setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
    child->setStandardErrorFile(log, QIODevice::Append);
    child->start(program, arguments);
    if (!child->waitForStarted()) {
        Fail(program.toStdString() + " did not start");
        return nullptr;
    }
    m_children.push_back(std::move(child));
    return m_children.back().get();
}

QString CTestDesktop::ReadLine(QProcess* child, std::chrono::milliseconds timeout)
{
    QElapsedTimer clock;
    clock.start();
    while (!child->canReadLine() && clock.elapsed() < timeout.count()
           && child->waitForReadyRead(static_cast<int>(timeout.count() - clock.elapsed()))) { }
    return child->canReadLine() ? QString::fromUtf8(child->readLine()).trimmed() : QString();
}

bool CTestDesktop::StartSessionBus()
{
    // A bus of our own with nothing to activate: no desktop service of the machine joins in.
    const QString config = RuntimeDir() + QStringLiteral("/session-bus.conf");
    QFile file(config);
    if (!file.open(QIODevice::WriteOnly))
        return Fail("cannot write " + config.toStdString());
    file.write("<busconfig><type>session</type><listen>unix:path=" + RuntimeDir().toUtf8()
               + "/bus</listen><auth>EXTERNAL</auth><policy context=\"default\">"
                 "<allow send_destination=\"*\" eavesdrop=\"true\"/>"
                 "<allow eavesdrop=\"true\"/><allow own=\"*\"/></policy></busconfig>");
    file.close();
    QProcess* bus = Start(QStringLiteral("dbus-daemon"),
                          { QStringLiteral("--nofork"), QStringLiteral("--config-file=") + config,
                            QStringLiteral("--print-address=1") },
                          RuntimeDir() + QStringLiteral("/bus.log"));
    const QString address = bus ? ReadLine(bus, kStartTimeout) : QString();
    if (address.isEmpty())
        return bus && Fail("dbus-daemon gave no address");
    qputenv("DBUS_SESSION_BUS_ADDRESS", address.toUtf8());
    return true;
}

bool CTestDesktop::StartTrayWatcher(bool withHost)
{
    m_watcher = Start(QStringLiteral(FAKE_TRAY_WATCHER_EXE),
                      withHost ? QStringList() : QStringList { QStringLiteral("--without-host") },
                      RuntimeDir() + QStringLiteral("/watcher.log"));
    return m_watcher
        && (ReadLine(m_watcher, kStartTimeout) == QLatin1String("ready")
            || Fail("the fake StatusNotifierWatcher did not start"));
}

bool CTestDesktop::StartX11(bool withXEmbedTray)
{
    const QString log = RuntimeDir() + QStringLiteral("/x11.log");
    QProcess* x11
        = Start(QStringLiteral("Xvfb"),
                { QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"),
                  QStringLiteral("0"), QStringLiteral("1024x768x24"), QStringLiteral("-nolisten"),
                  QStringLiteral("tcp") },
                log);
    const QString display = x11 ? ReadLine(x11, kStartTimeout) : QString();
    if (display.isEmpty())
        return x11 && Fail("Xvfb did not start:" + Tail(log));
    qputenv("DISPLAY", (QLatin1Char(':') + display).toUtf8());
    // IceWM owns the XEmbed tray selection once it has started; Qt sees when.
    return !withXEmbedTray || Start(QStringLiteral("icewm"), {}, log);
}

bool CTestDesktop::StartWayland()
{
    const QString socket = QStringLiteral("wayland-mirelight-test");
    const QString log = RuntimeDir() + QStringLiteral("/weston.log");
    QProcess* weston
        = Start(QStringLiteral("weston"),
                { QStringLiteral("--backend=headless-backend.so"),
                  QStringLiteral("--socket=") + socket, QStringLiteral("--idle-time=0") },
                log);
    if (!weston)
        return false;
    QElapsedTimer clock;
    clock.start();
    QLocalSocket probe;
    for (;;) {
        probe.connectToServer(RuntimeDir() + QLatin1Char('/') + socket);
        if (probe.waitForConnected(100))
            break;
        if (weston->state() != QProcess::Running || clock.elapsed() > 30000)
            return Fail("weston did not start:" + Tail(log));
        QThread::msleep(20);
    }
    qputenv("WAYLAND_DISPLAY", socket.toUtf8());
    return true;
}

bool CTestDesktop::StartSecretService()
{
    // The keyrings are made in this test's folders, never the user's: XDG_DATA_HOME may be set.
    const QString folder = RuntimeDir() + QStringLiteral("/keyrings");
    qputenv("XDG_DATA_HOME", folder.toUtf8());
    const QString log = RuntimeDir() + QStringLiteral("/keyring.log");
    QProcess* keyring = Start(QStringLiteral("gnome-keyring-daemon"),
                              { QStringLiteral("--foreground"), QStringLiteral("--unlock"),
                                QStringLiteral("--components=secrets"),
                                QStringLiteral("--control-directory=") + folder },
                              log);
    if (!keyring)
        return false;
    // The password on standard input makes and unlocks the login keyring.
    keyring->write("mirelight-test");
    keyring->waitForBytesWritten();
    keyring->closeWriteChannel();
    QElapsedTimer clock;
    clock.start();
    const auto registered = [] {
        return QDBusConnection::sessionBus().interface()->isServiceRegistered(
            QStringLiteral("org.freedesktop.secrets"));
    };
    while (!registered()) {
        if (keyring->state() != QProcess::Running
            || clock.elapsed() > std::chrono::milliseconds(kStartTimeout).count())
            return Fail("gnome-keyring-daemon did not start:" + Tail(log));
        QThread::msleep(20);
    }
    return true;
}

std::string CTestDesktop::NextTrayItem(std::chrono::seconds timeout)
{
    return m_watcher ? ReadLine(m_watcher, timeout).toStdString() : std::string();
}

} // namespace testsupport
