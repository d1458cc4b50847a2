#include "app/CCommandServer.h"
#include "app/CSettingsStore.h"
#include "panel/CPanelDlg.h"
#include "support/FakeTrayShell.h"
#include "support/QtPrinters.h"

#include "CBriskoSim.h"

#include <QFile>
#include <QFileInfo>
#include <QLocalSocket>
#include <QProcess>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <algorithm>

using mirelight::CBriskoModel;
using mirelight::CBriskoSim;

namespace {

constexpr long kCom = 7;

class CommandServerTest : public testing::Test
{
protected:
    void SetUp() override
    {
        QFile::remove(CSettingsStore().FileName());
        CSettingsStore().WriteProfileInt(QStringLiteral("m_iComChan"), kCom);
        m_panel.LoadSettings();
        ASSERT_TRUE(m_server.Listen());
    }

    // Sends bytes as a client would and returns the answer line, or "(closed)" when the
    // instance hung up without one.
    static QString Ask(const QByteArray& bytes)
    {
        QLocalSocket client;
        client.connectToServer(CCommandServer::SocketPath());
        EXPECT_TRUE(client.waitForConnected(2000));
        client.write(bytes);
        (void)QTest::qWaitFor(
            [&] {
                return client.canReadLine() || client.state() == QLocalSocket::UnconnectedState;
            },
            10000);
        return client.canReadLine() ? QString::fromUtf8(client.readLine())
                                    : QStringLiteral("(closed)");
    }

    CBriskoSim m_sim { kCom };
    FakeTrayShell m_shell;
    CPanelDlg m_panel { &m_shell };
    CCommandServer m_server { m_panel };
};

TEST_F(CommandServerTest, BadTooLongOrStalledRequestsGetNothingDoneAndTheNextIsAnswered)
{
    EXPECT_EQ(Ask("garbage\n"), QStringLiteral("error unknown request\n"));
    EXPECT_EQ(Ask(QByteArray("\0\xff press 1\n", 12)), QStringLiteral("error unknown request\n"));
    EXPECT_EQ(Ask(QByteArray(200, 'x')), QStringLiteral("error request too long\n"));
    EXPECT_EQ(Ask("pre"), QStringLiteral("(closed)")); // the rest never comes
    EXPECT_EQ(Ask("status\n"),
              QStringLiteral("ok closed not-joined ") + m_panel.Status() + QLatin1Char('\n'));
    // Only the user gets in: the socket is not for the group or others.
    const QFile::Permissions others = QFile::ReadGroup | QFile::WriteGroup | QFile::ExeGroup
        | QFile::ReadOther | QFile::WriteOther | QFile::ExeOther;
    EXPECT_FALSE(QFileInfo(CCommandServer::SocketPath()).permissions() & others);
}

TEST_F(CommandServerTest, APressDuringAJoinRunsAfterItAndTheCommandPrintsItsOutcome)
{
    m_sim.Configure([](CBriskoModel& m) { m.LeaveUnanswered("+NNDR"); });
    ASSERT_TRUE(m_sim.Start()) << m_sim.LastError();
    m_panel.Dongle().Connect();
    QProcess press;
    QTimer searching;
    QObject::connect(&searching, &QTimer::timeout, &searching, [&] {
        if (m_sim.Requests().back().rfind("+NNDR", 0) != 0)
            return;
        searching.stop();
        press.start(QStringLiteral(MIRELIGHT_EXE),
                    { QStringLiteral("--press"), QStringLiteral("2") });
        // The search finds a network a little later, while the press waits for it.
        QTimer::singleShot(1000, &press,
                           [&] { m_sim.Send("+NNDC=000B19C41A2B00124B0001A2B3C4\r\n"); });
    });
    searching.start(10);
    m_panel.Dongle().Join(); // and the press queued behind it
    ASSERT_TRUE(QTest::qWaitFor([&] { return press.state() == QProcess::NotRunning; }, 30000));
    EXPECT_EQ(press.exitCode(), 0);
    EXPECT_EQ(press.readAllStandardOutput(), QByteArray("Message F0 sent for button 2\n"));
    const std::vector<std::string> requests = m_sim.Requests();
    const auto message = std::find_if(requests.begin(), requests.end(), [](const std::string& r) {
        return r.rfind("+ADAR=06", 0) == 0;
    });
    ASSERT_NE(message, requests.end());
    EXPECT_EQ((message - 1)->rfind("+NJNR=00", 0), 0u); // right after the join
}

} // namespace
