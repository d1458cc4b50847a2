// The tray icon through Qt's real trays. Qt picks the kind of tray once per process, so
// each case brings up a desktop of its own before its QApplication (CTest runs every case
// in a process of its own): a private session bus and Xvfb, with IceWM's XEmbed tray or the
// fake StatusNotifierWatcher standing in for the desktop's tray. A watcher without a host
// leaves Qt on the XEmbed tray. The end-to-end test covers the tray under Wayland.
#include "panel/CPanelDlg.h"
#include "support/CTestDesktop.h"
#include "support/TrayItemClick.h"

#include <QApplication>
#include <QSystemTrayIcon>
#include <QTest>
#include <gtest/gtest.h>

using namespace std::chrono_literals;
using testsupport::ClickTrayItem;
using testsupport::CTestDesktop;

namespace {

constexpr int kTimeoutMs = 30000; // a loaded machine, the sanitizers

enum class Watcher { None, WithoutHost, WithHost };

struct Desktop
{
    const char* name;
    Watcher watcher; // with a host: a StatusNotifierItem tray, else IceWM's XEmbed tray
    friend void PrintTo(const Desktop& desktop, std::ostream* out) { *out << desktop.name; }
};

class TrayOnDesktop : public testing::TestWithParam<Desktop>
{
};

QWidget* XEmbedIcon()
{
    for (QWidget* widget : QApplication::allWidgets())
        if (widget->inherits("QSystemTrayIconSys"))
            return widget;
    return nullptr;
}

TEST_P(TrayOnDesktop, TheTraysOpenGestureShowsThePanelAndNoOtherClickDoes)
{
    static bool applicationMade = false;
    if (std::exchange(applicationMade, true))
        GTEST_SKIP() << "Qt keeps its choice of tray: run one case per process, as CTest does";
    const Desktop& desktop = GetParam();
    CTestDesktop session;
    const bool statusNotifierTray = desktop.watcher == Watcher::WithHost;
    const bool started = session.StartSessionBus() && session.StartX11(!statusNotifierTray)
        && (desktop.watcher == Watcher::None || session.StartTrayWatcher(statusNotifierTray));
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
    ASSERT_FALSE(panel.isVisible());
    if (statusNotifierTray) {
        const std::string item = session.NextTrayItem(30s);
        ASSERT_FALSE(item.empty()) << "no item registered with the watcher";
        for (const char* method : { "ContextMenu", "SecondaryActivate" }) {
            QDBusPendingCall answered = ClickTrayItem(QDBusConnection::sessionBus(), item, method);
            ASSERT_TRUE(QTest::qWaitFor([&] { return answered.isFinished(); }, kTimeoutMs));
            EXPECT_FALSE(answered.isError()) << method;
            EXPECT_FALSE(panel.isVisible()) << method;
        }
        ClickTrayItem(QDBusConnection::sessionBus(), item, "Activate");
    } else {
        QWidget* icon = XEmbedIcon();
        ASSERT_TRUE(icon) << "Qt put up no XEmbed icon";
        for (Qt::MouseButton button : { Qt::RightButton, Qt::MiddleButton, Qt::LeftButton })
            QTest::mouseClick(icon, button);
        EXPECT_FALSE(panel.isVisible());
        QTest::mouseDClick(icon, Qt::LeftButton);
    }
    ASSERT_TRUE(QTest::qWaitFor([&] { return panel.isVisible(); }, kTimeoutMs));
    EXPECT_TRUE(panel.IsVisibleAllowed());
    EXPECT_TRUE(QTest::qWaitForWindowExposed(&panel, kTimeoutMs));
    EXPECT_TRUE(QTest::qWaitForWindowActive(&panel, kTimeoutMs)); // X11 lets it come forward
}

INSTANTIATE_TEST_SUITE_P(, TrayOnDesktop,
                         testing::Values(Desktop { "X11XEmbed", Watcher::None },
                                         Desktop { "X11XEmbedWatcherWithoutHost",
                                                   Watcher::WithoutHost },
                                         Desktop { "X11StatusNotifier", Watcher::WithHost }),
                         [](const auto& row) { return std::string(row.param.name); });

} // namespace
