#include "app/CUserSettings.h"
#include "dialogs/CAboutDlg.h"
#include "dialogs/CButtonsDlg.h"
#include "panel/CPanelDlg.h"
#include "panel/CTrayIcon.h"
#include "support/CAccessibleEvents.h"
#include "support/FakeTrayShell.h"
#include "support/ModalDriver.h"
#include "support/QtPrinters.h"
#include "ui/Resources.h"

#include <QAccessible>
#include <QApplication>
#include <QDir>
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
#include <climits>
#include <gtest/gtest.h>
#include <qpa/qwindowsysteminterface.h>
#include <tuple>

using testsupport::WhenModal;
using Command = ITrayShell::Command;

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
    CUserSettings m_settings;
};

// The number of the panel's button that object is ("1" to "8"), else nothing.
QString ButtonNumber(const CPanelDlg& panel, const QObject* object)
{
    for (int i = 0; i < mirelight::kButtonCount; ++i)
        if (object == panel.Button(i))
            return QString(QChar(u'1' + i));
    return {};
}

// The buttons that Tab visits, once round the panel's focus chain.
QString TabChain(CPanelDlg& panel)
{
    QString chain;
    for (QWidget* widget = panel.nextInFocusChain(); widget != &panel;
         widget = widget->nextInFocusChain()) {
        if (widget->focusPolicy() & Qt::TabFocus)
            chain += ButtonNumber(panel, widget);
    }
    return chain;
}

// The buttons a screen reader finds in the panel, each where the panel says it is.
QString PresentedButtons(CPanelDlg& panel)
{
    QString presented;
    QAccessibleInterface* panelInterface = QAccessible::queryAccessibleInterface(&panel);
    for (int i = 0; i < panelInterface->childCount(); ++i) {
        QAccessibleInterface* child = panelInterface->child(i);
        EXPECT_EQ(panelInterface->indexOfChild(child), i);
        presented += ButtonNumber(panel, child->object());
    }
    return presented;
}

QString ButtonsWhollyInside(const CPanelDlg& panel)
{
    QString inside;
    for (int i = 0; i < mirelight::kButtonCount; ++i)
        if (panel.rect().contains(panel.Button(i)->geometry()))
            inside += QChar(u'1' + i);
    return inside;
}

TEST_F(PanelTest, TheLayoutShowsItsButtonsOnlyTheyTakeTheFocusAndAnyStoredValueFitsTheScreen)
{
    CPanelDlg panel(&m_shell, &m_settings);
    panel.LoadSettings(); // the default layout: two columns of four
    panel.Button(7)->setFocus(); // a focus the next layout leaves beyond the edge moves on
    const QSize button = panel.Button(7)->size();
    EXPECT_EQ(panel.size(), QSize((button.width() + 1) * 2 + 2, button.height() * 4 + 1));
    const int screenHeight = QApplication::primaryScreen()->availableGeometry().height();
    // Layout, then the buttons wholly inside the panel.
    const std::pair<int, const char*> rows[] = {
        { 0, "1" },
        { 1, "12" },
        { 2, "13" },
        { 3, "1234" },
        { 4, "135" },
        { 5, "123456" },
        { 6, "1357" },
        { 7, "12345678" },
        { -1, "12" },
        { 9, "12345678" },
        { INT_MAX, "12345678" },
        { INT_MIN, "" },
    };
    CAccessibleEvents events;
    QString shownBefore = ButtonsWhollyInside(panel);
    for (const auto& [layout, visible] : rows) {
        Store(QStringLiteral("Layout"), layout);
        events.Clear();
        panel.LoadSettings();
        const QString shown = ButtonsWhollyInside(panel);
        EXPECT_EQ(shown, QString::fromLatin1(visible)) << layout;
        EXPECT_EQ(TabChain(panel), shown) << layout;
        EXPECT_EQ(PresentedButtons(panel), shown) << layout;
        // A screen reader is told to read the buttons again only when others are in view.
        EXPECT_EQ(events.Of(&panel, { QAccessible::ObjectReorder }).size(),
                  shown == shownBefore ? 0U : 1U)
            << layout;
        shownBefore = shown;
        EXPECT_EQ(ButtonNumber(panel, panel.focusWidget()), shown.left(1)) << layout;
        EXPECT_GE(panel.height(), 1) << layout;
        EXPECT_LE(panel.height(), screenHeight) << layout;
    }

    // A screen too short for the last row: that row, cut off by the edge, stays reachable.
    QScreen* screen = QApplication::primaryScreen();
    const QRect full = screen->geometry();
    const QRect available = screen->availableGeometry();
    const QRect shortScreen(available.topLeft(), QSize(available.width(), button.height() * 3 + 9));
    QWindowSystemInterface::handleScreenGeometryChange(screen, shortScreen, shortScreen);
    QWindowSystemInterface::flushWindowSystemEvents();
    Store(QStringLiteral("Layout"), 7);
    panel.LoadSettings();
    EXPECT_EQ(ButtonsWhollyInside(panel), QStringLiteral("123456"));
    EXPECT_EQ(TabChain(panel), QStringLiteral("12345678"));
    QWindowSystemInterface::handleScreenGeometryChange(screen, full, available);
    QWindowSystemInterface::flushWindowSystemEvents();
}

TEST_F(PanelTest, StartsWithStoredCaptionsAndStatusAndRemovesItsIconAtTheEnd)
{
    CSettingsStore().WriteProfileString(QStringLiteral("Button 3"), QStringLiteral("Lamp"));
    CSettingsStore().WriteProfileString(QStringLiteral("Button 4"), QString());
    const QString tooLong = QStringLiteral("The reading lamp beside the sofa in the living room");
    CSettingsStore().WriteProfileString(QStringLiteral("Button 5"), tooLong);
    {
        CPanelDlg panel(&m_shell, &m_settings);
        const int result = RunPanel(panel, [&] {
            EXPECT_TRUE(panel.isVisible());
            EXPECT_EQ(panel.Commands().Status(),
                      QStringLiteral("Couldn't open COM0:")); // start-up connected
            EXPECT_FALSE(panel.windowIcon().pixmap(16, 16).isNull());
            EXPECT_EQ(panel.Button(0)->text(), QStringLiteral("Button 1"));
            EXPECT_EQ(panel.Button(2)->text(), QStringLiteral("Lamp"));
            EXPECT_EQ(panel.Button(3)->text(), QString());
            // Cut off by the button's edge as it stands, and whole in the tooltip.
            EXPECT_EQ(panel.Button(4)->text(), tooLong);
            EXPECT_EQ(panel.Button(4)->toolTip(), tooLong);
            EXPECT_EQ(panel.Button(2)->toolTip(), QString());
            EXPECT_EQ(panel.findChild<QPushButton*>(QStringLiteral("IDC_1008")), panel.Button(7));
            EXPECT_EQ(panel.findChild<QPushButton*>(QStringLiteral("IDC_1004")), nullptr);
        });
        EXPECT_EQ(result, CPanelDlg::IDCANCEL);
        EXPECT_FALSE(panel.isVisible());
        EXPECT_TRUE(m_shell.m_calls.size() == 1); // the icon stays until the panel goes
    }
    EXPECT_EQ(m_shell.m_calls.back().command, ITrayShell::Command::Delete);
}

TEST_F(PanelTest, SystemMenuHasTheCommandsInOrderAboutShowsTheBuildTimeAndExitEnds)
{
    CPanelDlg panel(&m_shell, &m_settings);
    QString shown;
    QTimer::singleShot(0, &panel, [&] {
        QStringList entries;
        for (const QAction* action : panel.SystemMenu()->actions())
            entries << QStringLiteral("%1 %2").arg(action->text()).arg(action->data().toUInt());
        EXPECT_EQ(
            entries,
            QStringList({ QStringLiteral("&MQTT... 80"), QStringLiteral(" 0"),
                          QStringLiteral("E&xit 64"), QStringLiteral(" 0"),
                          QStringLiteral("&Buttons... 32"), QStringLiteral("&Connections... 48"),
                          QStringLiteral("&About Mirelight... 16") }));
        WhenModal<CAboutDlg>([&](CAboutDlg* about) {
            shown = about->findChild<QLabel*>(QStringLiteral("IDC_1024"))->text();
            about->accept();
        });
        panel.SystemMenu()->actions().at(6)->trigger();
        panel.SystemMenu()->actions().at(2)->trigger();
    });
    EXPECT_EQ(panel.DoModal(), CPanelDlg::IDCANCEL);
    // "Apr  5 2007 15:07:12": a one-digit day is padded with a space.
    EXPECT_TRUE(
        QRegularExpression(QStringLiteral(R"(^[A-Z][a-z]{2} [ 123]\d \d{4} \d\d:\d\d:\d\d$)"))
            .match(shown)
            .hasMatch())
        << shown.toStdString();
}

TEST_F(PanelTest, EscAndCloseBoxOnlyHideAndPaintKeepsItHiddenUntilTheTrayDoubleClick)
{
    CPanelDlg panel(&m_shell, &m_settings);
    bool stillRunning = false;
    RunPanel(panel, [&] {
        QTest::keyClick(panel.Button(0), Qt::Key_Escape);
        EXPECT_FALSE(panel.isVisible());
        EXPECT_FALSE(panel.IsVisibleAllowed());

        panel.show(); // something else shows it: its paint hides it again
        EXPECT_TRUE(QTest::qWaitFor([&] { return !panel.isVisible(); }));

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

TEST_F(PanelTest, WithoutANotificationAreaThePanelMinimisesInsteadOfHiding)
{
    m_shell.m_accepts = false;
    Store(QStringLiteral("m_IsInvisibleAtStartup"), 1);
    CPanelDlg panel(&m_shell, &m_settings);
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
    CPanelDlg panel(&m_shell, &m_settings);
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

TEST_F(PanelTest, AFailedSaveIsToldOnceKeepsWhatTheUserChoseAndASaveThatWorksClearsIt)
{
    CPanelDlg panel(&m_shell, &m_settings);
    // A folder where the settings file belongs: no write replaces it, not even root's.
    const QString file = CSettingsStore().FileName();
    QFile::remove(file);
    ASSERT_TRUE(QDir().mkpath(file));
    RunPanel(panel, [&] {
        panel.Settings().m_strButtonText[0] = "Porch";
        panel.SaveSettings();
        panel.SaveSettings();
        EXPECT_EQ(panel.Button(0)->text(), QStringLiteral("Porch"));
        ASSERT_EQ(m_shell.m_messages.size(), 1u);
        EXPECT_TRUE(m_shell.m_messages[0].contains(QDir::toNativeSeparators(file)));
        EXPECT_EQ(panel.Commands().SaveFailure().isEmpty(), false);

        ASSERT_TRUE(QDir(file).removeRecursively());
        panel.SaveSettings();
        EXPECT_TRUE(panel.Commands().SaveFailure().isEmpty());
        EXPECT_EQ(CSettingsStore().GetProfileString(QStringLiteral("Button 1"), QString()),
                  QStringLiteral("Porch"));
    });
}

TEST_F(PanelTest, CaptionsTypedInTheButtonsDialogStayWhenTheirSaveFails)
{
    // Whatever the store would read back after a failed save is not what the user chose.
    struct FailingStorage final : ISettingsStorage
    {
        void Load(mirelight::PanelSettings& settings) override
        {
            settings.m_strButtonText.fill("lost");
        }
        QString Save(const mirelight::PanelSettings&) override { return QStringLiteral("gone"); }
    } storage;
    CPanelDlg panel(&m_shell, &storage);
    RunPanel(panel, [&] {
        WhenModal<CButtonsDlg>([](CButtonsDlg* dialog) {
            dialog->findChild<QLineEdit*>(QStringLiteral("IDC_1005"))
                ->setText(QStringLiteral("Porch"));
            dialog->accept();
        });
        panel.OnSysCommand(CPanelDlg::IDM_BUTTONS);
        EXPECT_EQ(panel.Button(0)->text(), QStringLiteral("Porch"));
    });
}

TEST(TrayIcon, AddsOnceThenModifiesDeletesAndAddsAfreshAfterARemovalOrARefusal)
{
    FakeTrayShell shell;
    {
        CTrayIcon unused(Resources::IDR_MAINFRAME, shell);
        EXPECT_TRUE(unused.SetIconHandle(QIcon())); // never shown: removed without a call
        EXPECT_EQ(unused.HandleTrayMessage(Resources::IDR_MAINFRAME, CTrayIcon::WM_LBUTTONDBLCLK),
                  0); // no window to tell
    }
    EXPECT_TRUE(shell.m_calls.empty());
    shell.m_accepts = false;
    CPanelDlg panel(&shell); // puts its icon up as it is created, here in vain
    EXPECT_FALSE(panel.TrayIcon().IsShown());
    shell.m_accepts = true;
    const auto set = [&](int id) {
        EXPECT_TRUE(panel.TrayIcon().SetIconResource(id));
        return shell.m_calls.back().command;
    };
    EXPECT_EQ(set(Resources::IDR_MAINFRAME), Command::Add);
    EXPECT_EQ(set(Resources::IDR_MAINFRAME), Command::Modify);
    EXPECT_EQ(set(0), Command::Delete);
    EXPECT_FALSE(panel.TrayIcon().IsShown());
    EXPECT_EQ(set(Resources::IDR_MAINFRAME), Command::Add);
    const FakeTrayShell::Call added = shell.m_calls.back();
    EXPECT_EQ(added.tip, QStringLiteral("Mirelight"));
    EXPECT_TRUE(added.fields.icon && added.fields.tip && added.fields.message);
}

TEST(TrayIcon, OnlyTheTraysOpenGestureOnOurIconShowsThePanel)
{
    // Whether a single click opens, the event, what handling it returns and whether it shows.
    using Row = std::tuple<bool, int, int, bool>;
    const Row rows[] = {
        { false, CTrayIcon::WM_LBUTTONUP, 0, false }, // XEmbed: the first click of a double
        { false, CTrayIcon::WM_RBUTTONUP, 1, false }, // taken, and shows no menu
        { false, CTrayIcon::WM_LBUTTONDBLCLK, 1, true },
        { false, CTrayIcon::NIN_KEYSELECT, 1, true }, // Windows: chosen from the keyboard
        { true, CTrayIcon::WM_LBUTTONDBLCLK, 0, false }, // StatusNotifierItem
        { true, CTrayIcon::WM_MBUTTONUP, 0, false },
        { true, CTrayIcon::WM_RBUTTONUP, 1, false },
        { true, CTrayIcon::WM_LBUTTONUP, 1, true },
    };
    for (const auto& [singleClickOpens, event, result, shows] : rows) {
        SCOPED_TRACE(testing::Message() << singleClickOpens << " " << event);
        FakeTrayShell shell;
        shell.m_singleClickOpens = singleClickOpens;
        CPanelDlg panel(&shell);
        ASSERT_FALSE(panel.isVisible());
        EXPECT_EQ(panel.TrayIcon().HandleTrayMessage(999, event), 0);
        EXPECT_EQ(panel.TrayIcon().HandleTrayMessage(Resources::IDR_MAINFRAME, event), result);
        EXPECT_EQ(panel.isVisible(), shows);
        EXPECT_EQ(panel.IsVisibleAllowed(), shows);
    }
}

} // namespace
