#include "app/CCommandServer.h"
#include "app/CommandRequest.h"
#include "panel/CPanelDlg.h"
#include "support/FakeTrayShell.h"
#include "support/QtPrinters.h"

#include <QFileInfo>
#include <QLocalSocket>
#include <QTest>
#include <gtest/gtest.h>

using mirelight::remote::ParseRequest;
using mirelight::remote::RequestLine;

namespace {

TEST(CommandRequest, OnlyTheThreeFormsExactlyAreRequestsAndTheirLinesReadBack)
{
    for (const char* line : { "press 1", "press 8", "show", "status" }) {
        const auto request = ParseRequest(line);
        ASSERT_TRUE(request) << line;
        EXPECT_EQ(RequestLine(*request), std::string(line) + '\n');
    }
    for (const char* line : { "press 0", "press 9", "press 12", "press  1", "press x", "press",
                              "Show", "show ", "", "status\r" })
        EXPECT_FALSE(ParseRequest(line)) << line;
    EXPECT_EQ(ParseRequest("press 5")->button, 5);
}

class CommandServerTest : public testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(m_server.Listen()); }

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

} // namespace
