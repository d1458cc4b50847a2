#include "app/CSettingsStore.h"
#include "dialogs/CSetMac.h"
#include "panel/CPanelDlg.h"
#include "support/FakeTrayShell.h"
#include "support/ModalDriver.h"
#include "support/QtPrinters.h"

#include "CBriskoSim.h"

#include <QEvent>
#include <QFile>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

using mirelight::CBriskoModel;
using mirelight::CBriskoSim;
using testsupport::WhenModal;
using testsupport::WhenTrue;

namespace {

constexpr long kCom = 4;

class ShowCounter : public QObject
{
public:
    bool eventFilter(QObject*, QEvent* event) override
    {
        m_count += event->type() == QEvent::Show;
        return false;
    }
    int m_count = 0;
};

class PanelStartUpTest : public testing::Test
{
protected:
    void SetUp() override
    {
        QFile::remove(CSettingsStore().FileName());
        CSettingsStore().WriteProfileInt(QStringLiteral("m_iComChan"), kCom);
        ASSERT_TRUE(m_sim.Start()) << m_sim.LastError();
    }

    CBriskoSim m_sim { kCom };
    FakeTrayShell m_shell;
};

TEST_F(PanelStartUpTest, ConnectsToTheStoredPortBeforeThePanelIsShown)
{
    CPanelDlg panel(&m_shell);
    std::size_t requestsWhenShown = 0;
    WhenTrue([&] { return panel.isVisible(); },
             [&] {
                 requestsWhenShown = m_sim.Requests().size();
                 panel.ExitProgram();
             });
    panel.DoModal();
    EXPECT_EQ(requestsWhenShown, 12u);
    EXPECT_EQ(panel.Status(), QStringLiteral("Brisko detected on COM4:"));
}

TEST_F(PanelStartUpTest, CancelledAddressEndsTheProgramBeforeThePanelShowsAndStillSaves)
{
    CSettingsStore().WriteProfileInt(QStringLiteral("Joined"), 1); // no second question
    m_sim.Configure([](CBriskoModel& m) { m.SetMacMissing(true); });
    int questions = 0;
    WhenModal<CSetMac>([&](CSetMac* setMac) {
        ++questions;
        setMac->reject();
    });
    ShowCounter shows;
    {
        CPanelDlg panel(&m_shell);
        panel.installEventFilter(&shows);
        EXPECT_EQ(panel.DoModal(), CPanelDlg::IDCANCEL);
        EXPECT_FALSE(panel.isVisible());
        EXPECT_EQ(panel.Status(), QStringLiteral("Couldn't find Brisko on COM4:"));
        EXPECT_FALSE(panel.Dongle().IsPortOpen());
    }
    EXPECT_EQ(shows.m_count, 0);
    EXPECT_EQ(questions, 1);
    EXPECT_EQ(CSettingsStore().GetProfileString(QStringLiteral("Button 8"), QString()),
              QStringLiteral("Button 8"));
}

} // namespace
