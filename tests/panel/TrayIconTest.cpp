#include "app/Resources.h"
#include "panel/CPanelDlg.h"
#include "panel/CTrayIcon.h"
#include "support/FakeTrayShell.h"

#include <gtest/gtest.h>

#include <tuple>

using Command = ITrayShell::Command;

namespace {

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
