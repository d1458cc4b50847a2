#include "app/Resources.h"
#include "panel/CPanelDlg.h"
#include "panel/CTrayIcon.h"
#include "support/FakeTrayShell.h"

#include <gtest/gtest.h>

using Command = ITrayShell::Command;

namespace {

TEST(TrayIcon, AddsOnceThenModifiesAndDeletesWhenDestroyed)
{
    FakeTrayShell shell;
    CPanelDlg panel(&shell); // puts its icon up as it is created
    ASSERT_EQ(shell.m_calls.size(), 1u);
    EXPECT_EQ(shell.m_calls[0].command, Command::Add);
    EXPECT_EQ(shell.m_calls[0].tip, QStringLiteral("Mirelight"));
    EXPECT_TRUE(shell.m_calls[0].fields.icon);
    EXPECT_TRUE(shell.m_calls[0].fields.tip);
    EXPECT_TRUE(shell.m_calls[0].fields.message);
    EXPECT_TRUE(panel.TrayIcon().IsShown());

    EXPECT_TRUE(panel.TrayIcon().SetIconResource(Resources::IDR_MAINFRAME));
    EXPECT_EQ(shell.m_calls.back().command, Command::Modify);
    EXPECT_TRUE(panel.TrayIcon().SetIconResource(0));
    EXPECT_EQ(shell.m_calls.back().command, Command::Delete);
    EXPECT_FALSE(panel.TrayIcon().IsShown());
    EXPECT_TRUE(panel.TrayIcon().SetIconResource(Resources::IDR_MAINFRAME));
    EXPECT_EQ(shell.m_calls.back().command, Command::Add);
}

TEST(TrayIcon, IconNeverShownIsRemovedWithoutAnyCall)
{
    FakeTrayShell shell;
    {
        CTrayIcon icon(Resources::IDR_MAINFRAME, shell);
        EXPECT_TRUE(icon.SetIconHandle(QIcon()));
        EXPECT_EQ(icon.Tip(), QStringLiteral("Mirelight"));
    }
    EXPECT_TRUE(shell.m_calls.empty());
}

TEST(TrayIcon, FailedAddLeavesNothingShownAndTheNextShowAddsAgain)
{
    FakeTrayShell shell;
    shell.m_accepts = false;
    CTrayIcon icon(Resources::IDR_MAINFRAME, shell);
    EXPECT_FALSE(icon.SetIconResource(Resources::IDR_MAINFRAME));
    EXPECT_FALSE(icon.IsShown());
    EXPECT_FALSE(shell.m_calls.back().fields.message); // no window to deliver to yet
    shell.m_accepts = true;
    EXPECT_TRUE(icon.SetIconResource(Resources::IDR_MAINFRAME));
    EXPECT_EQ(shell.m_calls.back().command, Command::Add);
}

TEST(TrayIcon, OnlyTheTraysOpenGestureOnOurIconShowsThePanel)
{
    struct Row
    {
        bool singleClickOpens;
        int event;
        int result;
        bool shows;
    };
    const Row rows[] = {
        { false, CTrayIcon::WM_LBUTTONUP, 0, false }, // XEmbed: the first click of a double
        { false, CTrayIcon::WM_RBUTTONUP, 1, false }, // taken, and shows no menu
        { false, CTrayIcon::WM_LBUTTONDBLCLK, 1, true },
        { true, CTrayIcon::WM_LBUTTONDBLCLK, 0, false }, // StatusNotifierItem
        { true, CTrayIcon::WM_MBUTTONUP, 0, false },
        { true, CTrayIcon::WM_RBUTTONUP, 1, false },
        { true, CTrayIcon::WM_LBUTTONUP, 1, true },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << row.singleClickOpens << " " << row.event);
        FakeTrayShell shell;
        shell.m_singleClickOpens = row.singleClickOpens;
        CPanelDlg panel(&shell);
        ASSERT_FALSE(panel.isVisible());
        EXPECT_EQ(panel.TrayIcon().HandleTrayMessage(999, row.event), 0);
        EXPECT_EQ(panel.TrayIcon().HandleTrayMessage(Resources::IDR_MAINFRAME, row.event),
                  row.result);
        EXPECT_EQ(panel.isVisible(), row.shows);
        EXPECT_EQ(panel.IsVisibleAllowed(), row.shows);
    }
}

TEST(TrayIcon, WithoutAWindowNotificationsAreIgnored)
{
    FakeTrayShell shell;
    CTrayIcon icon(Resources::IDR_MAINFRAME, shell);
    EXPECT_EQ(icon.HandleTrayMessage(Resources::IDR_MAINFRAME, CTrayIcon::WM_LBUTTONDBLCLK), 0);
}

} // namespace
