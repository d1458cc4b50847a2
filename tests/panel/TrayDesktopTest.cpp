// The tray icon on Qt's real XEmbed tray (IceWM's, under Xvfb). Qt picks the kind of tray
// once per process, so each case brings up a desktop of its own before its QApplication
// (CTest runs every case in a process of its own). A StatusNotifierWatcher without a host
// leaves Qt on the XEmbed tray. The end-to-end test covers the StatusNotifierItem tray.
#include "panel/CPanelDlg.h"
#include "support/CTestDesktop.h"

#include <QApplication>
#include <QSystemTrayIcon>
#include <QTest>
#include <gtest/gtest.h>

using testsupport::CTestDesktop;

namespace {

constexpr int kTimeoutMs = 30000; // a loaded machine, the sanitizers

class TrayOnX11 : public testing::TestWithParam<bool> // with a watcher that has no host
{
};

TEST_P(TrayOnX11, OnlyADoubleClickOnTheXEmbedIconShowsThePanel)
{
    CTestDesktop session;
    const bool started = session.StartSessionBus() && session.StartX11(true)
        && (!GetParam() || session.StartTrayWatcher(false));
    if (!started && session.Missing())
        GTEST_SKIP() << session.Problem();
    ASSERT_TRUE(started) << session.Problem();

    qputenv("QT_QPA_PLATFORM", "xcb");
    int argc = 1;
    char name[] = "mirelight";
    char* argv[] = { name, nullptr };
    QApplication application(argc, argv);
    ASSERT_TRUE(
        QTest::qWaitFor([] { return QSystemTrayIcon::isSystemTrayAvailable(); }, kTimeoutMs));

    CPanelDlg panel; // with the platform's own tray
    ASSERT_TRUE(panel.TrayIcon().IsShown());
    QWidget* icon = nullptr;
    for (QWidget* widget : QApplication::allWidgets())
        icon = widget->inherits("QSystemTrayIconSys") ? widget : icon;
    ASSERT_TRUE(icon) << "Qt put up no XEmbed icon";
    for (Qt::MouseButton button : { Qt::RightButton, Qt::MiddleButton, Qt::LeftButton })
        QTest::mouseClick(icon, button);
    EXPECT_FALSE(panel.isVisible());
    QTest::mouseDClick(icon, Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return panel.isVisible(); }, kTimeoutMs));
    EXPECT_TRUE(QTest::qWaitForWindowActive(&panel, kTimeoutMs)); // X11 lets it come forward
}

INSTANTIATE_TEST_SUITE_P(, TrayOnX11, testing::Values(false, true), [](const auto& row) {
    return row.param ? "WatcherWithoutHost" : "NoWatcher";
});

} // namespace
