#include "app/CUserSettings.h"
#include "dialogs/CConnectionsDlg.h"
#include "dialogs/CSetMac.h"
#include "link/CommandLines.h"
#include "outlets/CCommandServer.h"
#include "panel/CPanelDlg.h"
#include "platform/CTerminationSignals.h"
#include "support/FakeTrayShell.h"
#include "support/ModalDriver.h"
#include "support/QtPrinters.h"

#include "CBriskoSim.h"

#include <QContextMenuEvent>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QLocalSocket>
#include <QMenu>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>
#include <qpa/qwindowsysteminterface.h>

#include <algorithm>
#include <csignal>

using mirelight::CBriskoModel;
using mirelight::CBriskoSim;
using testsupport::WhenTrue;

namespace {

constexpr long kCom = 6;

// A left click as the window system delivers it: queued, not sent straight to the widget.
void ClickThroughTheWindowSystem(QWidget* button)
{
    QWidget* window = button->window();
    const QPointF local = button->mapTo(window, button->rect().center());
    const QPointF global = button->mapToGlobal(button->rect().center());
    using WSI = QWindowSystemInterface;
    WSI::handleMouseEvent<WSI::AsynchronousDelivery>(window->windowHandle(), local, global,
                                                     Qt::LeftButton, Qt::LeftButton,
                                                     QEvent::MouseButtonPress);
    WSI::handleMouseEvent<WSI::AsynchronousDelivery>(window->windowHandle(), local, global,
                                                     Qt::NoButton, Qt::LeftButton,
                                                     QEvent::MouseButtonRelease);
}

std::ptrdiff_t IndexOf(const std::vector<std::string>& requests, const std::string& prefix)
{
    const auto found = std::find_if(requests.begin(), requests.end(),
                                    [&](const std::string& r) { return r.rfind(prefix, 0) == 0; });
    return found == requests.end() ? -1 : found - requests.begin();
}

class OperationInProgressTest : public testing::Test
{
protected:
    void SetUp() override
    {
        QFile::remove(CSettingsStore().FileName());
        CSettingsStore().WriteProfileInt(QStringLiteral("m_iComChan"), kCom);
        // The network search is never answered: it runs its full ten seconds.
        m_sim.Configure([](CBriskoModel& m) { m.LeaveUnanswered("+NNDR"); });
        ASSERT_TRUE(m_sim.Start()) << m_sim.LastError();
    }

    // Starts a join once the panel is up, which is once start-up has connected; during() runs
    // once the join's network search is under way.
    void JoinWhenShown(const std::function<void()>& during)
    {
        WhenTrue([this] { return m_panel.isVisible(); },
                 [this] {
                     EXPECT_EQ(m_sim.Requests().size(), 12u);
                     EXPECT_EQ(m_panel.Commands().Status(),
                               QStringLiteral("Brisko detected on COM6:"));
                     QTimer::singleShot(0, &m_panel, [this] { m_panel.Dongle().Join(); });
                 });
        WhenTrue([this] { return m_sim.Requests().size() == 14; }, during);
    }

    CBriskoSim m_sim { kCom };
    FakeTrayShell m_shell;
    CUserSettings m_settings;
    CPanelDlg m_panel { &m_shell, &m_settings };
};

TEST_F(OperationInProgressTest,
       TheLoopRunsDuringASearchWhileClicksCommandsAndOperationsWaitForItsEnd)
{
    CCommandServer commands(m_panel.Commands());
    ASSERT_TRUE(commands.Listen());
    QProcess press; // another start of the program, as a keyboard shortcut starts it
    QElapsedTimer posted;
    qint64 handledAfterMs = -1;
    bool clickedDuringJoin = true;
    QObject::connect(m_panel.Button(0), &QPushButton::clicked, &m_panel,
                     [&] { clickedDuringJoin = QApplication::overrideCursor() != nullptr; });
    JoinWhenShown([&] {
        posted.start();
        QMetaObject::invokeMethod(
            &m_panel, [&] { handledAfterMs = posted.elapsed(); }, Qt::QueuedConnection);
        ClickThroughTheWindowSystem(m_panel.Button(0));
        m_panel.Dongle().Rejoin(); // asked for by something other than the user
        press.start(QStringLiteral(MIRELIGHT_EXE),
                    { QStringLiteral("--press"), QStringLiteral("2") });
        WhenTrue([&] { return m_sim.Lights()[0] && m_sim.Lights()[1]; },
                 [&] { m_panel.ExitProgram(); }, 30000);
    });
    m_panel.DoModal();

    // Answered at once in fact; the margin is for a loaded machine, far below the search.
    EXPECT_GE(handledAfterMs, 0);
    EXPECT_LT(handledAfterMs, 1000);
    EXPECT_FALSE(clickedDuringJoin);
    const std::vector<std::string> requests = m_sim.Requests();
    const auto search = IndexOf(requests, "+NNDR");
    const auto rejoin = IndexOf(requests, "+NJNR=01");
    const auto message = IndexOf(requests, "+ADAR=06");
    ASSERT_GE(search, 0);
    EXPECT_GT(rejoin, search);
    EXPECT_GT(message, rejoin);
    EXPECT_FALSE(m_sim.Lights()[2]); // the button clicked and the one pressed, no other
    ASSERT_TRUE(QTest::qWaitFor([&] { return press.state() == QProcess::NotRunning; }, 30000));
    EXPECT_EQ(press.exitCode(), 0);
    EXPECT_EQ(press.readAllStandardOutput(), QByteArray("Message F0 sent for button 2\n"));
}

TEST_F(OperationInProgressTest, PressesOfClientsThatHaveGoneAreDroppedAndWaitingPressesAreBounded)
{
    CCommandServer commands(m_panel.Commands());
    ASSERT_TRUE(commands.Listen());
    const auto press = [](const QByteArray& request, QLocalSocket& client) {
        client.connectToServer(CCommandServer::SocketPath());
        EXPECT_TRUE(client.waitForConnected(10000));
        client.write(request);
        EXPECT_TRUE(client.waitForBytesWritten(10000));
    };
    const auto answer = [](QLocalSocket& client) {
        (void)QTest::qWaitFor([&] { return client.canReadLine(); }, 10000);
        return client.readLine();
    };
    std::vector<std::unique_ptr<QLocalSocket>> waiting;
    QByteArray refused;
    // A click held back during the search is handled before the presses queued behind it.
    std::ptrdiff_t sentBeforeTheClick = -1;
    QObject::connect(m_panel.Button(2), &QPushButton::clicked, &m_panel, [&] {
        const std::vector<std::string> requests = m_sim.Requests();
        sentBeforeTheClick
            = std::count_if(requests.begin(), requests.end(),
                            [](const std::string& r) { return r.starts_with("+ADAR"); });
    });
    JoinWhenShown([&] {
        for (int i = 0; i < 40; ++i) { // gone as soon as they have asked
            QLocalSocket gone;
            press("press 1\n", gone);
        }
        // Each answer takes the server's loop round at least twice: by the second, every
        // client that went before has been seen to go.
        for (int i = 0; i < 2; ++i) {
            QLocalSocket status;
            press("status\n", status);
            EXPECT_TRUE(answer(status).startsWith("ok "));
        }
        for (int i = 0; i < CCommandSurface::kMaxRemotePresses; ++i)
            press("press 2\n", *waiting.emplace_back(std::make_unique<QLocalSocket>()));
        QLocalSocket oneTooMany;
        press("press 2\n", oneTooMany);
        refused = answer(oneTooMany);
        ClickThroughTheWindowSystem(m_panel.Button(2)); // after the waits that take input
        // The presses wait for the search, which goes on once this returns.
        WhenTrue(
            [&] {
                return std::all_of(waiting.begin(), waiting.end(),
                                   [](auto& c) { return c->canReadLine(); });
            },
            [&] { m_panel.ExitProgram(); }, 30000);
    });
    m_panel.DoModal();

    EXPECT_EQ(refused, QByteArray("busy too many presses waiting\n"));
    for (auto& client : waiting)
        EXPECT_TRUE(client->readLine().startsWith("ok Message F0 sent for button 2"));
    const std::vector<std::string> requests = m_sim.Requests();
    const auto sent = [&](int button) {
        std::string line = mirelight::commands::ButtonMessage(button, 2);
        line.pop_back(); // the "\r"
        return std::count(requests.begin(), requests.end(), line);
    };
    EXPECT_EQ(sent(1), 0);
    EXPECT_EQ(sent(2), CCommandSurface::kMaxRemotePresses);
    EXPECT_EQ(sentBeforeTheClick, 0);
}

TEST_F(OperationInProgressTest, ACancelledAddressAtStartUpEndsTheProgramWithoutShowingIt)
{
    CSettingsStore().WriteProfileInt(QStringLiteral("Joined"), 1); // no second question
    m_sim.Configure([](CBriskoModel& m) { m.SetMacMissing(true); });
    int questions = 0;
    testsupport::WhenModal<CSetMac>([&](CSetMac* setMac) {
        ++questions;
        setMac->reject();
    });
    EXPECT_EQ(m_panel.DoModal(), CPanelDlg::IDCANCEL);
    EXPECT_EQ(m_panel.windowHandle(), nullptr); // made when a widget is first shown: never
    EXPECT_EQ(m_panel.Commands().Status(), QStringLiteral("Couldn't find Brisko on COM6:"));
    EXPECT_FALSE(m_panel.Dongle().IsPortOpen());
    EXPECT_EQ(questions, 1);
}

// The program ends then too, but the user reads the Connections dialog's status first.
TEST_F(OperationInProgressTest, ACancelledAddressInConnectionsEndsTheProgramOnceThatDialogCloses)
{
    bool stayedOpen = false;
    QString status;
    WhenTrue([this] { return m_panel.isVisible(); },
             [&] {
                 m_sim.Configure([](CBriskoModel& m) { m.SetMacMissing(true); });
                 testsupport::WhenModal<CConnectionsDlg>([&](CConnectionsDlg* dialog) {
                     testsupport::WhenModal<CSetMac>([](CSetMac* setMac) { setMac->reject(); });
                     QTest::mouseClick(testsupport::Control<QPushButton>(dialog, 1011),
                                       Qt::LeftButton);
                     QCoreApplication::processEvents(); // where a queued close would come
                     stayedOpen = dialog->isVisible();
                     status = testsupport::Control<QLabel>(dialog, 1008)->text();
                     dialog->reject();
                 });
                 QTimer::singleShot(0, &m_panel,
                                    [this] { m_panel.OnSysCommand(CPanelDlg::IDM_CONNECTIONS); });
             });
    EXPECT_EQ(m_panel.DoModal(), CPanelDlg::IDCANCEL);
    EXPECT_TRUE(stayedOpen);
    EXPECT_EQ(status, QStringLiteral("Couldn't find Brisko on COM6:"));
}

TEST_F(OperationInProgressTest, ASignalClosesEverythingWithinASecondFromAnyState)
{
    const auto modal = [] { return QApplication::activeModalWidget(); };
    const auto menu = [] { return qobject_cast<QMenu*>(QApplication::activePopupWidget()); };
    // How the user left the program when the session ended: what opens it, and when it is.
    const struct
    {
        const char* name;
        std::function<void(CPanelDlg&)> open;
        std::function<bool()> isOpen;
    } rows[] = {
        { "message box over Connections",
          [](CPanelDlg& p) {
              testsupport::WhenModal<CConnectionsDlg>([](CConnectionsDlg* d) {
                  testsupport::Control<QLineEdit>(d, 1010)->setText(QStringLiteral("x"));
                  d->accept();
              });
              p.OnSysCommand(CPanelDlg::IDM_CONNECTIONS);
          },
          [&] { return qobject_cast<QMessageBox*>(modal()) != nullptr; } },
        { "menu by a right click on a button",
          [](CPanelDlg& p) {
              QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(5, 5),
                                      p.Button(2)->mapToGlobal(QPoint(5, 5)));
              QApplication::sendEvent(p.Button(2), &event);
          },
          [&] { return menu() != nullptr; } },
        { "menu by Shift+F10",
          [](CPanelDlg& p) { QTest::keyClick(p.Button(0), Qt::Key_F10, Qt::ShiftModifier); },
          [&] { return menu() != nullptr; } },
        { "join searching", [](CPanelDlg& p) { p.Dongle().Join(); },
          [] { return QApplication::overrideCursor() != nullptr; } },
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        CPanelDlg panel(&m_shell, &m_settings);
        CTerminationSignals termination([&panel] { panel.ExitFromAnyState(); }, [] {});
        QElapsedTimer sinceSignal;
        WhenTrue([&] { return panel.isVisible(); },
                 [&] { QTimer::singleShot(0, &panel, [&] { row.open(panel); }); });
        WhenTrue(row.isOpen, [&] {
            sinceSignal.start();
            ::raise(SIGTERM);
        });
        QTimer::singleShot(30000, &panel, [&panel] { panel.ExitProgram(); }); // it never opened
        EXPECT_EQ(panel.DoModal(), CPanelDlg::IDCANCEL);
        EXPECT_LT(sinceSignal.elapsed(), 1000);
        EXPECT_EQ(modal(), nullptr);
        EXPECT_EQ(menu(), nullptr);
    }
}

TEST(TerminationSignals, IgnoredSignalsStayIgnoredAndTheFormerHandlingComesBack)
{
    static int s_interrupts = 0;
    ::signal(SIGHUP, SIG_IGN);
    ::signal(SIGINT, [](int) { ++s_interrupts; });
    int ends = 0;
    {
        CTerminationSignals termination([&] { ++ends; }, [] {});
        ::raise(SIGHUP); // as under nohup: not an end
        ::raise(SIGINT);
        EXPECT_TRUE(QTest::qWaitFor([&] { return ends == 1; }));
        QTest::qWait(50);
    }
    EXPECT_EQ(ends, 1);
    EXPECT_EQ(s_interrupts, 0);
    ::raise(SIGINT);
    EXPECT_EQ(s_interrupts, 1);
    struct sigaction hangUp
    {
    };
    ::sigaction(SIGHUP, nullptr, &hangUp);
    EXPECT_EQ(hangUp.sa_handler, SIG_IGN);
}

TEST(MacAddressQuestion, ComesWithoutTheWaitCursorWhichReturnsAfterIt)
{
    FakeTrayShell shell;
    CPanelDlg panel(&shell);
    panel.SetWaitCursor(true); // as a join inside a rejoin would
    panel.SetWaitCursor(true);
    bool cursorOverQuestion = true;
    testsupport::WhenModal<CSetMac>([&](CSetMac* dialog) {
        cursorOverQuestion = QApplication::overrideCursor() != nullptr;
        dialog->reject();
    });
    std::string digits;
    EXPECT_FALSE(panel.AskMacAddress(digits));
    EXPECT_FALSE(cursorOverQuestion);
    ASSERT_NE(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
    panel.SetWaitCursor(false);
    panel.SetWaitCursor(false);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

} // namespace
