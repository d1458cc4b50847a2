#include "CBriskoSim.h"
#include "outlets/CTestBroker.h"
#include "support/CTestDesktop.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSettings>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTest>
#include <gtest/gtest.h>

#include <csignal>
#include <unistd.h>

#include <chrono>

using mirelight::CBriskoSim;
using testsupport::CTestDesktop;
using namespace std::chrono_literals;

namespace {

QString SettingsFile()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
        + QStringLiteral("/Corvanthis Mirelight/mirelight.conf");
}

struct CommandResult
{
    int exitCode;
    QString output; // stdout, then stderr
};

// Another start of the program, as a keyboard shortcut or a script starts it.
CommandResult RunCommand(const QStringList& arguments, const QString& asUser = QString())
{
    QProcess command;
    if (asUser.isEmpty())
        command.start(QStringLiteral(MIRELIGHT_EXE), arguments);
    else
        command.start(QStringLiteral("runuser"),
                      QStringList { QStringLiteral("-u"), asUser, QStringLiteral("--"),
                                    QStringLiteral(MIRELIGHT_EXE) }
                          + arguments);
    if (!command.waitForFinished(60000))
        return { -1, QStringLiteral("(did not end)") };
    return { command.exitCode(),
             QString::fromUtf8(command.readAllStandardOutput() + command.readAllStandardError()) };
}

// Every thread's sleeps that ended, so far: how often the process woke.
long WakeUps(qint64 pid)
{
    long total = 0;
    const QString tasks = QStringLiteral("/proc/%1/task").arg(pid);
    for (const QString& task : QDir(tasks).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile status(tasks + '/' + task + QStringLiteral("/status"));
        if (!status.open(QIODevice::ReadOnly))
            continue; // a thread that has ended meanwhile
        for (const QByteArray& line : status.readAll().split('\n'))
            if (line.startsWith("voluntary_ctxt_switches:"))
                total += line.mid(line.indexOf(':') + 1).trimmed().toLong();
    }
    return total;
}

class EndToEnd : public testing::TestWithParam<bool> // under Wayland, else offscreen, no tray
{
};

// Under Wayland the program runs as at login: on a desktop with a StatusNotifierItem tray,
// set to start hidden in it, and the tray's click brings the panel up.
TEST_P(EndToEnd, StartUpConnectsAndRejoinsLogsEveryLineWhenVerboseAndAnOrderlyEndSavesEveryKey)
{
    const bool wayland = GetParam();
    CTestDesktop desktop;
    if (wayland) {
        const bool started
            = desktop.StartSessionBus() && desktop.StartWayland() && desktop.StartTrayWatcher(true);
        if (!started && desktop.Missing())
            GTEST_SKIP() << desktop.Problem();
        ASSERT_TRUE(started) << desktop.Problem();
    }
    // A broker set up but the bridge off: nothing may come here.
    QTcpServer broker;
    ASSERT_TRUE(broker.listen(QHostAddress::LocalHost));
    {
        QSettings seed(SettingsFile(), QSettings::IniFormat);
        seed.setValue(QStringLiteral("MQTT/Enabled"), 0);
        seed.setValue(QStringLiteral("MQTT/Host"), QStringLiteral("127.0.0.1"));
        seed.setValue(QStringLiteral("MQTT/Port"), broker.serverPort());
        seed.setValue(QStringLiteral("Corvanthis Mirelight/m_iComChan"), 3);
        seed.setValue(QStringLiteral("Corvanthis Mirelight/Joined"), 1);
        seed.setValue(QStringLiteral("Corvanthis Mirelight/Button 2"), QStringLiteral("Porch"));
        seed.setValue(QStringLiteral("Corvanthis Mirelight/m_IsInvisibleAtStartup"),
                      wayland ? 1 : 0);
    }
    CBriskoSim sim(3);
    ASSERT_TRUE(sim.Start()) << sim.LastError();

    QProcess mirelight;
    mirelight.setProcessChannelMode(QProcess::ForwardedOutputChannel);
    // What it logs, and under Wayland the client's side of the protocol (which windows it
    // shows, and when), in a file.
    QFile errorLog(qEnvironmentVariable("XDG_RUNTIME_DIR") + QStringLiteral("/stderr.log"));
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_FORCE_STDERR_LOGGING"), QStringLiteral("1"));
    if (wayland) {
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("wayland"));
        environment.insert(QStringLiteral("WAYLAND_DEBUG"), QStringLiteral("client"));
        // Qt's Wayland client and Mesa keep their protocol and driver objects until the end,
        // which the leak check would report; the offscreen run leak-checks our code.
        const QString sanitizer = environment.value(QStringLiteral("ASAN_OPTIONS"));
        environment.insert(QStringLiteral("ASAN_OPTIONS"),
                           sanitizer + (sanitizer.isEmpty() ? "" : ":") + "detect_leaks=0");
    }
    mirelight.setProcessEnvironment(environment);
    mirelight.setStandardErrorFile(errorLog.fileName());
    mirelight.start(QStringLiteral(MIRELIGHT_EXE), { QStringLiteral("--verbose") });
    ASSERT_TRUE(mirelight.waitForStarted());
    ASSERT_TRUE(sim.WaitForRequests(14, 10s));

    // Connect's twelve requests (each line is the link tests' business), then the rejoin.
    const std::vector<std::string> requests = sim.Requests();
    ASSERT_EQ(requests.size(), 14u);
    EXPECT_EQ(requests.front(), "+DVRR");
    EXPECT_EQ(requests[11], "+DRSR");
    EXPECT_EQ(requests.back(), "+NJNR=010000000000000000F8FF070000000000000000000000000000");

    if (wayland) {
        const QDBusConnection bus = QDBusConnection::connectToBus(
            qEnvironmentVariable("DBUS_SESSION_BUS_ADDRESS"), QStringLiteral("desktop"));
        const std::string item = desktop.NextTrayItem(30s);
        EXPECT_EQ(bus.interface()->servicePid(QString::fromStdString(item)).value(),
                  static_cast<uint>(mirelight.processId()))
            << "the tray item registered: " << item;

        // What the desktop's tray does on a click, a right click and a middle click.
        const auto click = [&](const char* method) {
            QDBusMessage call = QDBusMessage::createMethodCall(
                QString::fromStdString(item), QStringLiteral("/StatusNotifierItem"),
                QStringLiteral("org.kde.StatusNotifierItem"), QString::fromLatin1(method));
            QDBusPendingCall answered = bus.asyncCall(call << 10 << 10);
            EXPECT_TRUE(QTest::qWaitFor([&] { return answered.isFinished(); }, 30000)) << method;
        };
        click("ContextMenu");
        click("SecondaryActivate");
        ASSERT_TRUE(errorLog.open(QIODevice::ReadOnly));
        QByteArray protocol = errorLog.readAll();
        EXPECT_FALSE(protocol.contains(".get_toplevel(")) << "a window shown before the click";

        click("Activate");
        // The panel is up once the compositor configured its window and a frame was attached.
        const auto shown = [&] {
            protocol += errorLog.readAll();
            const qsizetype titled = protocol.indexOf(".set_title(\"Mirelight\")");
            return titled >= 0 && protocol.indexOf(".ack_configure(", titled) >= 0
                && protocol.indexOf(".attach(wl_buffer@", titled) >= 0;
        };
        EXPECT_TRUE(QTest::qWaitFor(shown, 30000)) << protocol.right(3000).toStdString();
    }

    const CommandResult press = RunCommand({ QStringLiteral("--press"), QStringLiteral("2") });
    EXPECT_EQ(press.output, QStringLiteral("Message F0 sent for button 2\n"));
    EXPECT_EQ(press.exitCode, 0);
    EXPECT_TRUE(sim.Lights()[1]);
    EXPECT_TRUE(RunCommand({ QStringLiteral("--status") })
                    .output.contains(QStringLiteral("\nnetwork: joined\nSerial ports present:\n")
                                     + "COM3: " + QString::fromStdString(sim.DevicePath())));
    if (::geteuid() == 0) {
        // Another user cannot even reach the socket: our runtime folder is ours alone.
        EXPECT_EQ(
            RunCommand({ QStringLiteral("--press"), QStringLiteral("2") }, QStringLiteral("nobody"))
                .exitCode,
            3);
        EXPECT_TRUE(sim.Lights()[1]);
    }

    // At rest with the bridge off: no timer, no connection attempt.
    QTest::qWait(500);
    const long wakeUps = WakeUps(mirelight.processId());
    QTest::qWait(2000);
    EXPECT_EQ(WakeUps(mirelight.processId()) - wakeUps, 0);
    EXPECT_FALSE(broker.hasPendingConnections());

    mirelight.terminate(); // as at logout: the program ends the way Exit ends it
    ASSERT_TRUE(mirelight.waitForFinished(30000));
    EXPECT_EQ(mirelight.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(mirelight.exitCode(), 0);

    // Each line with its direction and a millisecond timestamp, terminators written out.
    QFile finishedLog(errorLog.fileName());
    ASSERT_TRUE(finishedLog.open(QIODevice::ReadOnly));
    const QString log = QString::fromLocal8Bit(finishedLog.readAll());
    for (const char* line : { R"(mirelight\.link: %1 sent +\+DVRR\\r)",
                              R"(mirelight\.link: %1 received \+DVRC=0B400112.*\\r\\n)",
                              R"(mirelight\.dongle: %1 Connect ended, port open)" }) {
        const QString pattern
            = QString::fromLatin1(line).arg(QStringLiteral(R"(\d\d:\d\d:\d\d\.\d\d\d)"));
        const QRegularExpression logged(QStringLiteral("(^|\n)%1\n").arg(pattern));
        EXPECT_TRUE(logged.match(log).hasMatch()) << line;
    }

    QSettings stored(SettingsFile(), QSettings::IniFormat);
    stored.beginGroup(QStringLiteral("Corvanthis Mirelight"));
    EXPECT_EQ(stored.childKeys().size(), 20);
    EXPECT_EQ(stored.value(QStringLiteral("Button 2")).toString(), QStringLiteral("Porch"));
    EXPECT_EQ(stored.value(QStringLiteral("Joined")).toInt(), 1);
    EXPECT_EQ(stored.value(QStringLiteral("m_iComChan")).toInt(), 3);
    EXPECT_EQ(stored.value(QStringLiteral("m_IsInvisibleAtStartup")).toInt(), wayland ? 1 : 0);

    const std::size_t requestsBefore = sim.Requests().size();
    const CommandResult notRunning = RunCommand({ QStringLiteral("--press"), QStringLiteral("1") });
    EXPECT_EQ(notRunning.exitCode, 3);
    EXPECT_EQ(notRunning.output, QStringLiteral("Mirelight is not running\n"));
    EXPECT_EQ(sim.Requests().size(), requestsBefore); // nothing started that connected
}

// With the bridge on, the program is a node on the user's broker: its buttons announced with
// their captions, a press from there switching the light, the status as the program tells it,
// and, killed, offline by its will.
TEST(EndToEndMqtt, AnnouncedPressedOverTheBrokerAndOfflineByTheWillWhenKilled)
{
    if (!CTestBroker::Available())
        GTEST_SKIP() << "no broker installed (/usr/sbin/mosquitto)";
    CTestBroker broker;
    ASSERT_TRUE(broker.Start());
    {
        QSettings seed(SettingsFile(), QSettings::IniFormat);
        seed.setValue(QStringLiteral("Corvanthis Mirelight/m_iComChan"), 3);
        seed.setValue(QStringLiteral("Corvanthis Mirelight/Button 2"), QStringLiteral("Porch"));
        seed.setValue(QStringLiteral("MQTT/Enabled"), 1);
        seed.setValue(QStringLiteral("MQTT/Host"), QStringLiteral("127.0.0.1"));
        seed.setValue(QStringLiteral("MQTT/Port"), broker.Port());
        seed.setValue(QStringLiteral("MQTT/NodeId"), QStringLiteral("e2e"));
    }
    CBriskoSim sim(3);
    ASSERT_TRUE(sim.Start()) << sim.LastError();
    QProcess mirelight;
    mirelight.setProcessChannelMode(QProcess::ForwardedChannels);
    mirelight.start(QStringLiteral(MIRELIGHT_EXE), QStringList());
    ASSERT_TRUE(mirelight.waitForStarted());
    ASSERT_TRUE(sim.WaitForRequests(12, 10s));

    const QString availability = QStringLiteral("mirelight/e2e/availability");
    EXPECT_EQ(broker.Receive(availability, 1, 30), QStringList { availability + " online" });
    const QStringList config
        = broker.Receive(QStringLiteral("homeassistant/button/e2e/button_2/config"), 1, 10);
    ASSERT_EQ(config.size(), 1);
    EXPECT_TRUE(config.front().contains(QStringLiteral("\"name\":\"Porch\"")))
        << config.front().toStdString();

    ASSERT_TRUE(broker.Publish(QStringLiteral("mirelight/e2e/button/2/press"), "PRESS", false));
    EXPECT_TRUE(QTest::qWaitFor([&] { return sim.Lights()[1]; }, 30000));
    const QString status = QStringLiteral("mirelight/e2e/status");
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            return broker.Receive(status, 1, 5)
                == QStringList { status + QStringLiteral(" Message F0 sent for button 2") };
        },
        30000));

    ::kill(static_cast<pid_t>(mirelight.processId()), SIGKILL);
    ASSERT_TRUE(mirelight.waitForFinished(30000));
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            return broker.Receive(availability, 1, 5) == QStringList { availability + " offline" };
        },
        30000));
}

INSTANTIATE_TEST_SUITE_P(, EndToEnd, testing::Bool(), [](const auto& row) {
    return row.param ? "WaylandWithStatusNotifierTray" : "Offscreen";
});

} // namespace
