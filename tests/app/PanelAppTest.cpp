#include "app/CInstanceLock.h"
#include "app/CPanelApp.h"
#include "app/CSettingsStore.h"
#include "support/IsolatedEnvironment.h"
#include "support/ModalDriver.h"
#include "support/QtPrinters.h"

#include <QAbstractButton>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMessageBox>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>
#include <gtest/gtest.h>

#include <csignal>

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

    QProcess first;
    first.start(QStringLiteral(MIRELIGHT_EXE), {});
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

TEST(SingleInstance, WithoutAUsableRuntimeFolderTheLockGoesToTheUsersDataOrNowhere)
{
    // A runtime "folder" that is a file is of no use, nor is Qt's own stand-in below a temporary
    // "folder" that is a file; the working folder must not stand in for them.
    const QString runtimeFile = QDir(QString::fromStdString(testsupport::RuntimeDir()))
                                    .filePath(QStringLiteral("not-a-folder"));
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

} // namespace
