#include "app/CSettingsStore.h"
#include "dialogs/CAboutDlg.h"
#include "dialogs/CButtonsDlg.h"
#include "panel/CPanelDlg.h"
#include "support/FakeTrayShell.h"
#include "support/ModalDriver.h"
#include "support/QtPrinters.h"

#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QSettings>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <climits>

using testsupport::ProcessEventsUntil;
using testsupport::WhenModal;

namespace {

class PanelTest : public testing::Test
{
protected:
    void SetUp() override
    {
        QFile::remove(CSettingsStore().FileName());
        Store(QStringLiteral("m_iComChan"), 0); // no dongle: start-up connects to nothing
    }

    static void Store(const QString& key, int value)
    {
        CSettingsStore().WriteProfileInt(key, value);
    }

    static QStringList StoredKeys()
    {
        QSettings raw(CSettingsStore().FileName(), QSettings::IniFormat);
        raw.beginGroup(QStringLiteral("Corvanthis Mirelight"));
        return raw.childKeys();
    }

    // Runs the panel's modal loop, doing steps inside it, then Exit.
    static int RunPanel(CPanelDlg& panel, const std::function<void()>& steps)
    {
        QTimer::singleShot(0, &panel, [&] {
            steps();
            panel.ExitProgram();
        });
        return panel.DoModal();
    }

    FakeTrayShell m_shell;
};

struct LayoutCase
{
    int layout;
    int columns;
    qint64 rows;
};

class PanelLayoutTest : public PanelTest, public testing::WithParamInterface<LayoutCase>
{
};

TEST_P(PanelLayoutTest, ClientAreaFollowsButtonEightAndTheLayout)
{
    const LayoutCase& c = GetParam();
    Store(QStringLiteral("Layout"), c.layout);
    CPanelDlg panel(&m_shell);
    panel.LoadSettings();

    const QSize button = panel.Button(7)->size();
    const QRect screen = QApplication::primaryScreen()->availableGeometry();
    const qint64 height = std::clamp<qint64>(button.height() * c.rows + 1, 1, screen.height());
    EXPECT_EQ(panel.width(), (button.width() + 1) * c.columns + 2);
    EXPECT_EQ(panel.height(), height);
}

INSTANTIATE_TEST_SUITE_P(
    EveryLayout, PanelLayoutTest,
    testing::Values(LayoutCase { 0, 1, 1 }, LayoutCase { 1, 2, 1 }, LayoutCase { 2, 1, 2 },
                    LayoutCase { 3, 2, 2 }, LayoutCase { 4, 1, 3 }, LayoutCase { 5, 2, 3 },
                    LayoutCase { 6, 1, 4 }, LayoutCase { 7, 2, 4 }, LayoutCase { -1, 2, 1 },
                    LayoutCase { 9, 2, 5 }, LayoutCase { INT_MAX, 2, 1073741824 },
                    LayoutCase { INT_MIN, 1, -1073741823 }),
    [](const testing::TestParamInfo<LayoutCase>& param) {
        const int layout = param.param.layout;
        return (layout < 0 ? "Minus" + std::to_string(-static_cast<long long>(layout))
                           : std::to_string(layout));
    });

TEST_F(PanelTest, DefaultLayoutShowsAllEightButtonsAndLayoutZeroOnlyTheFirst)
{
    CPanelDlg panel(&m_shell);
    panel.LoadSettings();
    const QRect client = panel.rect();
    for (int i = 0; i < 8; ++i)
        EXPECT_TRUE(client.contains(panel.Button(i)->geometry())) << "button " << i + 1;

    Store(QStringLiteral("Layout"), 0);
    panel.LoadSettings();
    EXPECT_TRUE(panel.rect().contains(panel.Button(0)->geometry()));
    for (int i = 1; i < 8; ++i)
        EXPECT_FALSE(panel.rect().contains(panel.Button(i)->geometry())) << "button " << i + 1;

    Store(QStringLiteral("Layout"), 2); // one column of two: buttons 1 and 3
    panel.LoadSettings();
    EXPECT_TRUE(panel.rect().contains(panel.Button(2)->geometry()));
    EXPECT_FALSE(panel.rect().contains(panel.Button(1)->geometry()));
}

TEST_F(PanelTest, StartsWithStoredCaptionsAndStatusAndSavesEveryKeyOnExit)
{
    CSettingsStore().WriteProfileString(QStringLiteral("Button 3"), QStringLiteral("Lamp"));
    CSettingsStore().WriteProfileString(QStringLiteral("Button 4"), QString());
    {
        CPanelDlg panel(&m_shell);
        const int result = RunPanel(panel, [&] {
            EXPECT_TRUE(panel.isVisible());
            EXPECT_EQ(panel.Status(), QStringLiteral("Couldn't open COM0:")); // start-up connected
            EXPECT_FALSE(panel.windowIcon().pixmap(16, 16).isNull());
            EXPECT_EQ(panel.Button(0)->text(), QStringLiteral("Button 1"));
            EXPECT_EQ(panel.Button(2)->text(), QStringLiteral("Lamp"));
            EXPECT_EQ(panel.Button(3)->text(), QString());
            EXPECT_EQ(panel.findChild<QPushButton*>(QStringLiteral("IDC_1008")), panel.Button(7));
            EXPECT_EQ(panel.findChild<QPushButton*>(QStringLiteral("IDC_1004")), nullptr);
        });
        EXPECT_EQ(result, CPanelDlg::IDCANCEL);
        EXPECT_FALSE(panel.isVisible());
        EXPECT_TRUE(m_shell.m_calls.size() == 1); // the icon stays until the panel goes
    }
    EXPECT_EQ(StoredKeys().size(), 20);
    EXPECT_EQ(m_shell.m_calls.back().command, ITrayShell::Command::Delete);
}

TEST_F(PanelTest, SystemMenuHasTheFourCommandsInOrder)
{
    CPanelDlg panel(&m_shell);
    RunPanel(panel, [&] {
        const QList<QAction*> actions = panel.SystemMenu()->actions();
        ASSERT_EQ(actions.size(), 5);
        EXPECT_EQ(actions[0]->text(), QStringLiteral("E&xit"));
        EXPECT_EQ(actions[0]->data().toUInt(), 0x40u);
        EXPECT_TRUE(actions[1]->isSeparator());
        EXPECT_EQ(actions[2]->text(), QStringLiteral("&Buttons..."));
        EXPECT_EQ(actions[2]->data().toUInt(), 0x20u);
        EXPECT_EQ(actions[3]->text(), QStringLiteral("&Connections..."));
        EXPECT_EQ(actions[3]->data().toUInt(), 0x30u);
        EXPECT_EQ(actions[4]->text(), QStringLiteral("&About Mirelight..."));
        EXPECT_EQ(actions[4]->data().toUInt(), 0x10u);
    });
}

TEST_F(PanelTest, RightClickOnAButtonAndShiftF10OpenTheSystemMenu)
{
    CPanelDlg panel(&m_shell);
    int opened = 0;
    auto closeMenuWhenOpen = [&] {
        QTimer::singleShot(0, &panel, [&] {
            ProcessEventsUntil([&] { return QApplication::activePopupWidget() != nullptr; }, 2000);
            opened += QApplication::activePopupWidget() == panel.SystemMenu();
            panel.SystemMenu()->close();
        });
    };
    RunPanel(panel, [&] {
        closeMenuWhenOpen();
        QContextMenuEvent rightClick(QContextMenuEvent::Mouse, QPoint(5, 5),
                                     panel.Button(2)->mapToGlobal(QPoint(5, 5)));
        QApplication::sendEvent(panel.Button(2), &rightClick);
        closeMenuWhenOpen();
        QTest::keyClick(panel.Button(0), Qt::Key_F10, Qt::ShiftModifier);
    });
    EXPECT_EQ(opened, 2);
}

TEST_F(PanelTest, EscAndCloseBoxOnlyHideAndPaintKeepsItHiddenUntilTheTrayDoubleClick)
{
    CPanelDlg panel(&m_shell);
    bool stillRunning = false;
    RunPanel(panel, [&] {
        QTest::keyClick(panel.Button(0), Qt::Key_Escape);
        EXPECT_FALSE(panel.isVisible());
        EXPECT_FALSE(panel.IsVisibleAllowed());

        panel.show(); // something else shows it: its paint hides it again
        EXPECT_TRUE(ProcessEventsUntil([&] { return !panel.isVisible(); }, 2000));

        m_shell.Click(CTrayIcon::WM_LBUTTONDBLCLK);
        EXPECT_TRUE(panel.isVisible());
        QApplication::processEvents();
        EXPECT_TRUE(panel.isVisible());

        panel.close();
        EXPECT_FALSE(panel.isVisible());
        stillRunning = true;
    });
    EXPECT_TRUE(stillRunning);
    EXPECT_EQ(m_shell.m_calls.size(), 1u); // hiding keeps the tray icon
}

TEST_F(PanelTest, StartsHiddenWithOnlyTheTrayIcon)
{
    Store(QStringLiteral("m_IsInvisibleAtStartup"), 1);
    CPanelDlg panel(&m_shell);
    RunPanel(panel, [&] {
        QApplication::processEvents();
        EXPECT_FALSE(panel.isVisible());
        EXPECT_TRUE(panel.TrayIcon().IsShown());
        EXPECT_EQ(panel.Status(), QStringLiteral("Couldn't open COM0:")); // start-up connected
        m_shell.Click(CTrayIcon::WM_LBUTTONDBLCLK);
        EXPECT_TRUE(panel.isVisible());
    });
}

TEST_F(PanelTest, WithoutANotificationAreaThePanelMinimisesInsteadOfHiding)
{
    m_shell.m_accepts = false;
    Store(QStringLiteral("m_IsInvisibleAtStartup"), 1);
    CPanelDlg panel(&m_shell);
    RunPanel(panel, [&] {
        EXPECT_TRUE(panel.isVisible());
        EXPECT_TRUE(panel.isMinimized());
        panel.showNormal();
        QTest::keyClick(panel.Button(0), Qt::Key_Escape);
        EXPECT_TRUE(panel.isVisible());
        EXPECT_TRUE(panel.isMinimized());
        QApplication::processEvents();
        EXPECT_TRUE(panel.isVisible()); // no paint hides it either
    });
}

TEST_F(PanelTest, ButtonsDialogClosedByEscStillRewritesEveryKeyAndReapplies)
{
    Store(QStringLiteral("m_IsInvisibleAtStartup"), 5);
    CPanelDlg panel(&m_shell);
    RunPanel(panel, [&] {
        Store(QStringLiteral("Layout"), 1); // behind the panel's back: the reload applies it
        WhenModal<CButtonsDlg>([](CButtonsDlg* dialog) {
            dialog->findChild<QLineEdit*>(QStringLiteral("IDC_1005"))->setText(QStringLiteral("x"));
            QTest::keyClick(dialog, Qt::Key_Escape);
        });
        panel.OnSysCommand(CPanelDlg::IDM_BUTTONS);
        EXPECT_EQ(StoredKeys().size(), 20);
        EXPECT_EQ(CSettingsStore().GetProfileInt(QStringLiteral("m_IsInvisibleAtStartup"), -1), 1);
        EXPECT_EQ(CSettingsStore().GetProfileInt(QStringLiteral("Layout"), -1), 7);
        EXPECT_EQ(panel.Button(0)->text(), QStringLiteral("Button 1"));
        EXPECT_TRUE(panel.rect().contains(panel.Button(7)->geometry()));
    });
}

TEST_F(PanelTest, AboutCommandShowsTheBuildDateAndTime)
{
    CPanelDlg panel(&m_shell);
    QString shown;
    RunPanel(panel, [&] {
        WhenModal<CAboutDlg>([&](CAboutDlg* about) {
            shown = about->findChild<QLabel*>(QStringLiteral("IDC_1024"))->text();
            about->accept();
        });
        panel.SystemMenu()->actions().at(4)->trigger();
    });
    // "Apr  5 2007 15:07:12": a one-digit day is padded with a space.
    EXPECT_TRUE(
        QRegularExpression(QStringLiteral(R"(^[A-Z][a-z]{2} [ 123]\d \d{4} \d\d:\d\d:\d\d$)"))
            .match(shown)
            .hasMatch())
        << shown.toStdString();
}

TEST_F(PanelTest, ExitFromTheMenuEndsTheRun)
{
    CPanelDlg panel(&m_shell);
    QTimer::singleShot(0, &panel, [&] { panel.SystemMenu()->actions().at(0)->trigger(); });
    EXPECT_EQ(panel.DoModal(), CPanelDlg::IDCANCEL);
}

} // namespace
