#include "app/CCommandServer.h"
#include "app/CSettingsStore.h"
#include "panel/CPanelDlg.h"
#include "support/FakeTrayShell.h"
#include "support/ModalDriver.h"
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
    // instance hung up without one, or "(still open)" when it did neither.
    static QString Ask(const QByteArray& bytes)
    {
        QLocalSocket client;
        client.connectToServer(CCommandServer::SocketPath());
        EXPECT_TRUE(client.waitForConnected(10000));
        client.write(bytes);
        const auto answered = [&] {
            return client.canReadLine() || client.state() == QLocalSocket::UnconnectedState;
        };
        (void)QTest::qWaitFor(answered, 10000);
        if (client.canReadLine())
            return QString::fromUtf8(client.readLine());
        return answered() ? QStringLiteral("(closed)") : QStringLiteral("(still open)");
    }

    CBriskoSim m_sim { kCom };
    FakeTrayShell m_shell;
    CPanelDlg m_panel { &m_shell };
    CCommandServer m_server { m_panel };
};

TEST_F(CommandServerTest, BadTooLongOrStalledRequestsGetNothingDoneAndTheNextIsAnswered)
{
    EXPECT_EQ(Ask(QByteArray("press 1\0\n", 9)), QStringLiteral("error unknown request\n"));
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
    testsupport::WhenTrue([&] { return m_sim.Requests().back().starts_with("+NNDR"); },
                          [&] {
                              press.start(QStringLiteral(MIRELIGHT_EXE),
                                          { QStringLiteral("--press"), QStringLiteral("2") });
                              // The search finds a network a little later, while the press waits
                              // for it.
                              QTimer::singleShot(1000, &press, [&] {
                                  m_sim.Send("+NNDC=000B19C41A2B00124B0001A2B3C4\r\n");
                              });
                          },
                          30000);
    m_panel.Dongle().Join(); // and the press queued behind it
    ASSERT_TRUE(QTest::qWaitFor([&] { return press.state() == QProcess::NotRunning; }, 30000));
    EXPECT_EQ(press.exitCode(), 0);
    EXPECT_EQ(press.readAllStandardOutput(), QByteArray("Message F0 sent for button 2\n"));
    const std::vector<std::string> requests = m_sim.Requests();
    const auto message = std::ranges::find_if(
        requests, [](const std::string& r) { return r.starts_with("+ADAR=06"); });
    ASSERT_NE(message, requests.end());
    EXPECT_TRUE((message - 1)->starts_with("+NJNR=00")); // right after the join
}

} // namespace
