#include "app/CPanelApp.h"
#include "app/CSettingsStore.h"
#include "outlets/CCommandServer.h"
#include "outlets/RemoteProtocol.h"
#include "panel/CPanelDlg.h"
#include "platform/CInstanceLock.h"
#include "platform/RuntimeFiles.h"
#include "platform/linux/PrivateFolder.h"
#include "support/FakeTrayShell.h"
#include "support/ModalDriver.h"
#include "support/QtPrinters.h"

#include <QAbstractButton>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalSocket>
#include <QMessageBox>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QTest>
#include <csignal>
#include <cstring>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

using mirelight::remote::FormatAnswer;
using mirelight::remote::FormatRequest;
using mirelight::remote::ParseAnswer;
using mirelight::remote::ParseRequest;

namespace {

// Whether process pid holds an flock, read from /proc/locks so that looking never takes
// the lock away from it.
bool HoldsFlock(qint64 pid)
{
    QFile locks(QStringLiteral("/proc/locks"));
    const QRegularExpression held(QStringLiteral("FLOCK .* %1 ").arg(pid));
    return locks.open(QIODevice::ReadOnly)
        && held.match(QString::fromLatin1(locks.readAll())).hasMatch();
}

bool IsSticky(const QString& path)
{
    struct stat info
    {
    };
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 && (info.st_mode & S_ISVTX);
}

// How "mirelight --status" ends in that environment: 0 when an instance answered.
int StatusExitCode(const QProcessEnvironment& environment
                   = QProcessEnvironment::systemEnvironment())
{
    QProcess status;
    status.setProcessEnvironment(environment);
    status.start(QStringLiteral(MIRELIGHT_EXE), { QStringLiteral("--status") });
    EXPECT_TRUE(status.waitForFinished());
    return status.exitCode();
}

TEST(SingleInstance, SecondStartShowsTheMessageAndTouchesNoSettingsUntilTheFirstDies)
{
    CSettingsStore().WriteProfileInt(QStringLiteral("m_iComChan"), 0); // no dongle to look for
    const QString settingsFile = CSettingsStore().FileName();
    const auto settings = [&] {
        QFile file(settingsFile);
        return std::pair(file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray(),
                         QFileInfo(settingsFile).lastModified());
    };
    const auto settingsBefore = settings();

    QProcess first; // Qt's own options start the program as a plain start does
    first.start(QStringLiteral(MIRELIGHT_EXE),
                { "-platform", "offscreen", "-style", "Fusion", "-reverse", "-session", "1a-2" });
    ASSERT_TRUE(first.waitForStarted());
    ASSERT_TRUE(QTest::qWaitFor([&] { return HoldsFlock(first.processId()); }, 10000));

    QString shown;
    testsupport::WhenModal<QMessageBox>([&](QMessageBox* box) {
        shown = box->windowTitle() + QLatin1Char('|') + box->text() + QLatin1Char('|')
            + QString::number(box->icon());
        box->button(QMessageBox::Ok)->click();
    });
    CPanelApp second;
    EXPECT_FALSE(second.InitInstance());
    EXPECT_EQ(shown,
              QStringLiteral("mirelight|Mirelight is already running.\nActivate it by "
                             "double-clicking on the icon in the System Tray.|%1")
                  .arg(QMessageBox::Information));
    EXPECT_EQ(settings(), settingsBefore);

    // Killed outright, the first instance leaves nothing behind that blocks the next start.
    ::kill(static_cast<pid_t>(first.processId()), SIGKILL);
    ASSERT_TRUE(first.waitForFinished());
    EXPECT_EQ(CInstanceLock().Acquire(), CInstanceLock::Outcome::Acquired);
}

TEST(SingleInstance, AStartThatCannotLockLeavesTheFirstInstancesSocketAlone)
{
    CSettingsStore().WriteProfileInt(QStringLiteral("m_iComChan"), 0); // no dongle to look for
    QProcess first;
    first.start(QStringLiteral(MIRELIGHT_EXE), {});
    ASSERT_TRUE(first.waitForStarted());
    ASSERT_TRUE(
        QTest::qWaitFor([] { return QFileInfo::exists(CCommandServer::SocketPath()); }, 10000));
    // Nobody can open the lock file any more; the first instance still holds it.
    const QString lock = CInstanceLock::LockFilePath();
    ASSERT_TRUE(QFile::rename(lock, lock + QStringLiteral(".held")));
    ASSERT_TRUE(QDir().mkdir(lock));

    QProcess second;
    second.start(QStringLiteral(MIRELIGHT_EXE), { QStringLiteral("--verbose") });
    QByteArray log;
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return (log += second.readAllStandardError()).contains("Initialized"); }, 10000));
    second.terminate(); // its end must not take the first one's socket with it
    ASSERT_TRUE(second.waitForFinished());

    EXPECT_EQ(StatusExitCode(), 0);
    first.kill();
    first.waitForFinished();
    QDir().rmdir(lock);
}

TEST(SingleInstance, WithoutAUsableRuntimeFolderTheLockGoesToTheUsersDataOrNowhere)
{
    // A runtime "folder" that is a file is of no use, nor is Qt's own stand-in below a temporary
    // "folder" that is a file; the working folder must not stand in for them.
    const QString runtimeFile
        = QDir(qEnvironmentVariable("XDG_RUNTIME_DIR")).filePath(QStringLiteral("not-a-folder"));
    QFile(runtimeFile).open(QIODevice::WriteOnly);
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtimeFile));
    qputenv("TMPDIR", QFile::encodeName(runtimeFile));

    const QString path = CInstanceLock::LockFilePath();
    EXPECT_TRUE(path.startsWith(QDir::homePath() + QLatin1Char('/'))) << path.toStdString();
    auto held = std::make_unique<CInstanceLock>();
    ASSERT_EQ(held->Acquire(), CInstanceLock::Outcome::Acquired);
    CInstanceLock other;
    EXPECT_EQ(other.Acquire(), CInstanceLock::Outcome::HeldElsewhere);
    held.reset(); // released with the object
    EXPECT_EQ(other.Acquire(), CInstanceLock::Outcome::Acquired);

    // No folder at all: the program runs unguarded rather than not at all.
    qputenv("HOME", QFile::encodeName(runtimeFile));
    qunsetenv("XDG_DATA_HOME");
    EXPECT_EQ(CInstanceLock::LockFilePath(), QString());
    EXPECT_EQ(CInstanceLock().Acquire(), CInstanceLock::Outcome::Unavailable);
}

TEST(SingleInstance, TheRuntimeFolderIsOnlyAnAbsolutePrivateFolderOfTheUsersOwn)
{
    const QDir base(qEnvironmentVariable("XDG_RUNTIME_DIR"));
    const auto folder = [&](const char* name, QFile::Permissions permissions) {
        const QString path = base.filePath(QLatin1String(name));
        QDir().mkpath(path);
        QFile::setPermissions(path, permissions);
        return path;
    };
    const QString own = folder("own", QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    const QString shared = folder("shared",
                                  QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner
                                      | QFile::ReadOther | QFile::ExeOther);
    const QString link = base.filePath(QStringLiteral("link"));
    QFile::link(own, link);
    EXPECT_EQ(FirstPrivateFolder({ QString(), QStringLiteral("relative"),
                                   base.filePath(QStringLiteral("missing")), shared, link, own }),
              own);
    // What lives there is kept through the folder's clean-up, and a socket must fit its address.
    CInstanceLock lock;
    ASSERT_EQ(lock.Acquire(), CInstanceLock::Outcome::Acquired);
    EXPECT_TRUE(IsSticky(CInstanceLock::LockFilePath()));
    EXPECT_TRUE(LocalSocketPathProblem(base.filePath(QString(200, QLatin1Char('x'))))
                    .contains(QStringLiteral("107 bytes")));
    EXPECT_EQ(LocalSocketPathProblem(CCommandServer::SocketPath()), QString());
}

TEST(SingleInstance, ACommandWithoutXdgRuntimeDirReachesTheInstanceOfTheSession)
{
    // As from cron: the instance runs in the desktop's session, the command has no variable.
    const QString runUser = QStringLiteral("/run/user/%1").arg(::geteuid());
    const bool made = !QFileInfo::exists(runUser) && QDir().mkdir(runUser);
    if (made) // as systemd makes it at login
        QFile::setPermissions(runUser, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    if (FirstPrivateFolder({ runUser }).isEmpty())
        GTEST_SKIP() << runUser.toStdString() << " is not this user's own private folder";
    CSettingsStore().WriteProfileInt(QStringLiteral("m_iComChan"), 0); // no dongle to look for
    QProcessEnvironment session = QProcessEnvironment::systemEnvironment();
    session.insert(QStringLiteral("XDG_RUNTIME_DIR"), runUser);
    QProcess first;
    first.setProcessEnvironment(session);
    first.start(QStringLiteral(MIRELIGHT_EXE), {});
    const QString socket = QDir(runUser).filePath(QStringLiteral("Mirelight Commands"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return QFileInfo::exists(socket); }, 10000));

    QProcessEnvironment cron = session;
    cron.remove(QStringLiteral("XDG_RUNTIME_DIR"));
    EXPECT_EQ(StatusExitCode(cron), 0);
    first.kill();
    first.waitForFinished();
    QFile::remove(socket);
    QFile::remove(QDir(runUser).filePath(QStringLiteral("Mirelight Mutex.lock")));
    if (made)
        QDir().rmdir(runUser);
}

TEST(RemoteProtocol, RequestsAndAnswersReadBackAsTheirLinesAndNothingElseIsOne)
{
    for (const char* line : { "press 1", "press 8", "show", "status" }) {
        const auto request = ParseRequest(line);
        ASSERT_TRUE(request) << line;
        EXPECT_EQ(FormatRequest(*request), std::string(line) + '\n');
    }
    for (const char* line : { "press 0", "press 9", "press 12", "press  1", "press x", "press",
                              "Show", "show ", "", "status\r" })
        EXPECT_FALSE(ParseRequest(line)) << line;
    EXPECT_EQ(ParseRequest("press 5")->button, 5);

    using Kind = mirelight::remote::Request::Kind;
    const struct
    {
        Kind kind;
        const char* line;
    } answers[] = { { Kind::Press, "ok Message FF sent for button 1" },
                    { Kind::Press, "failed Brisko communications error 7" },
                    { Kind::Press, "busy too many presses waiting" },
                    { Kind::Show, "ok" },
                    { Kind::Status, "ok open joined Brisko detected on COM3:" },
                    { Kind::Status, "ok closed not-joined " },
                    { Kind::Status, "error unknown request" } };
    for (const auto& [kind, line] : answers) {
        const auto answer = ParseAnswer(kind, line);
        ASSERT_TRUE(answer) << line;
        EXPECT_EQ(FormatAnswer(kind, *answer), std::string(line) + '\n');
    }
    const auto status = ParseAnswer(Kind::Status, "ok open not-joined a b");
    ASSERT_TRUE(status);
    EXPECT_TRUE(status->portOpen);
    EXPECT_FALSE(status->networkUp);
    EXPECT_EQ(status->text, "a b");
    for (const char* line : { "ok opened joined x", "ok open", "fine", "" })
        EXPECT_FALSE(ParseAnswer(Kind::Status, line)) << line;
}

class CommandServerTest : public testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(m_server.Listen()); }

    // Sends bytes as a client would and returns the answer line, or "(closed)" when the
    // instance hung up without one, or "(still open)" when it did neither, or "(not
    // listening)".
    static QString Ask(const QByteArray& bytes)
    {
        QLocalSocket client;
        client.connectToServer(CCommandServer::SocketPath());
        if (!client.waitForConnected(10000))
            return QStringLiteral("(not listening)");
        client.write(bytes);
        const auto answered = [&] {
            return client.canReadLine() || client.state() == QLocalSocket::UnconnectedState;
        };
        (void)QTest::qWaitFor(answered, 10000);
        if (client.canReadLine())
            return QString::fromUtf8(client.readLine());
        return answered() ? QStringLiteral("(closed)") : QStringLiteral("(still open)");
    }

    FakeTrayShell m_shell;
    CPanelDlg m_panel { &m_shell };
    CCommandServer m_server { m_panel.Commands() };
};

TEST_F(CommandServerTest, BadTooLongOrStalledRequestsGetNothingDoneAndTheNextIsAnswered)
{
    EXPECT_EQ(Ask(QByteArray("press 1\0\n", 9)), QStringLiteral("error unknown request\n"));
    EXPECT_EQ(Ask(QByteArray(200, 'x')), QStringLiteral("error request too long\n"));
    EXPECT_EQ(Ask("pre"), QStringLiteral("(closed)")); // the rest never comes
    EXPECT_EQ(Ask("status\n"),
              QStringLiteral("ok closed not-joined ") + m_panel.Commands().Status()
                  + QLatin1Char('\n'));
    // Only the user gets in: the socket is not for the group or others.
    const QFile::Permissions others = QFile::ReadGroup | QFile::WriteGroup | QFile::ExeGroup
        | QFile::ReadOther | QFile::WriteOther | QFile::ExeOther;
    EXPECT_FALSE(QFileInfo(CCommandServer::SocketPath()).permissions() & others);
    EXPECT_TRUE(IsSticky(CCommandServer::SocketPath()));
}

// Connects clients from a child process while this one may open only a few more descriptors,
// so that accepting them runs out; then lets them all go.
void FloodUnderADescriptorLimit(int clients)
{
    const QByteArray path = QFile::encodeName(CCommandServer::SocketPath());
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t child = ::fork();
    if (child == 0) {
        sockaddr_un address {};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, path.constData(), sizeof address.sun_path - 1);
        for (int i = 0; i < clients; ++i) {
            const int client = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK, 0);
            (void)::connect(client, reinterpret_cast<sockaddr*>(&address), sizeof address);
        }
        (void)!::write(ready[1], "x", 1);
        ::pause();
        ::_exit(0);
    }
    char done = 0;
    ASSERT_EQ(::read(ready[0], &done, 1), 1);
    rlimit saved {};
    ::getrlimit(RLIMIT_NOFILE, &saved);
    rlimit low = saved;
    low.rlim_cur = QDir(QStringLiteral("/proc/self/fd")).count() + 2;
    ::setrlimit(RLIMIT_NOFILE, &low);
    QTest::qWait(300); // the server accepts until it can no more
    ::setrlimit(RLIMIT_NOFILE, &saved);
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    ::close(ready[0]);
    ::close(ready[1]);
}

TEST_F(CommandServerTest, ClientsBeyondTheDescriptorsLeaveTheServerListeningAfterwards)
{
    FloodUnderADescriptorLimit(300);
    EXPECT_TRUE(
        QTest::qWaitFor([] { return Ask("status\n").startsWith(QStringLiteral("ok ")); }, 10000));
}

TEST_F(CommandServerTest, AClientBeyondTheLimitIsToldTheInstanceIsBusy)
{
    std::vector<std::unique_ptr<QLocalSocket>> idle(CCommandServer::kMaxClients);
    for (auto& client : idle) {
        client = std::make_unique<QLocalSocket>();
        client->connectToServer(CCommandServer::SocketPath());
        ASSERT_TRUE(client->waitForConnected(10000));
    }
    EXPECT_EQ(Ask("status\n"), QStringLiteral("busy too many clients at once\n"));
}

} // namespace
