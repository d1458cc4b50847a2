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
#include <QTextStream>
#include <gtest/gtest.h>

#include <csignal>

using testsupport::ProcessEventsUntil;
using testsupport::WhenModal;

namespace {

// Whether process pid holds an flock, read from /proc/locks so that looking never takes
// the lock away from it.
bool HoldsFlock(qint64 pid)
{
    QFile locks(QStringLiteral("/proc/locks"));
    if (!locks.open(QIODevice::ReadOnly | QIODevice::Text))
        return false;
    const QString needle = QStringLiteral(" %1 ").arg(pid);
    for (const QString& line : QTextStream(&locks).readAll().split(QLatin1Char('\n'))) {
        if (line.contains(QStringLiteral("FLOCK")) && line.contains(needle))
            return true;
    }
    return false;
}

QByteArray ReadAll(const QString& name)
{
    QFile file(name);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

TEST(SingleInstance, SecondStartShowsTheMessageAndTouchesNoSettingsUntilTheFirstDies)
{
    CSettingsStore().WriteProfileInt(QStringLiteral("m_iComChan"), 0); // no dongle to look for
    const QString settingsFile = CSettingsStore().FileName();
    const QByteArray settingsBefore = ReadAll(settingsFile);
    const QDateTime writtenBefore = QFileInfo(settingsFile).lastModified();

    QProcess first;
    first.start(QStringLiteral(MIRELIGHT_EXE), {});
    ASSERT_TRUE(first.waitForStarted());
    ASSERT_TRUE(ProcessEventsUntil([&] { return HoldsFlock(first.processId()); }, 10000));

    QString title;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    WhenModal<QMessageBox>([&](QMessageBox* box) {
        title = box->windowTitle();
        text = box->text();
        icon = box->icon();
        box->button(QMessageBox::Ok)->click();
    });
    CPanelApp second;
    EXPECT_FALSE(second.InitInstance());
    EXPECT_EQ(title, QStringLiteral("mirelight"));
    EXPECT_EQ(text,
              QStringLiteral("Mirelight is already running.\nActivate it by "
                             "double-clicking on the icon in the System Tray."));
    EXPECT_EQ(icon, QMessageBox::Information);
    EXPECT_EQ(ReadAll(settingsFile), settingsBefore);
    EXPECT_EQ(QFileInfo(settingsFile).lastModified(), writtenBefore);

    // Killed outright, the first instance leaves nothing behind that blocks the next start.
    ::kill(static_cast<pid_t>(first.processId()), SIGKILL);
    ASSERT_TRUE(first.waitForFinished());
    CInstanceLock next;
    EXPECT_EQ(next.Acquire(), CInstanceLock::Outcome::Acquired);
}

TEST(SingleInstance, LockIsPerProcessHolderAndReleasedWithTheObject)
{
    auto held = std::make_unique<CInstanceLock>();
    ASSERT_EQ(held->Acquire(), CInstanceLock::Outcome::Acquired);
    CInstanceLock other;
    EXPECT_EQ(other.Acquire(), CInstanceLock::Outcome::HeldElsewhere);
    held.reset();
    EXPECT_EQ(other.Acquire(), CInstanceLock::Outcome::Acquired);
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
    const QString workingFolder = QDir::currentPath();

    const QString path = CInstanceLock::LockFilePath();
    EXPECT_TRUE(path.startsWith(QDir::homePath() + QLatin1Char('/'))) << path.toStdString();
    CInstanceLock held;
    ASSERT_EQ(held.Acquire(), CInstanceLock::Outcome::Acquired);
    EXPECT_EQ(CInstanceLock().Acquire(), CInstanceLock::Outcome::HeldElsewhere);
    EXPECT_FALSE(
        QFile::exists(QDir(workingFolder).filePath(QStringLiteral("Mirelight Mutex.lock"))));

    // No folder at all: the program runs unguarded rather than not at all.
    qputenv("HOME", QFile::encodeName(runtimeFile));
    qunsetenv("XDG_DATA_HOME");
    EXPECT_EQ(CInstanceLock::LockFilePath(), QString());
    EXPECT_EQ(CInstanceLock().Acquire(), CInstanceLock::Outcome::Unavailable);
}

} // namespace
