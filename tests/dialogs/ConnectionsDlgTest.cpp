#include "app/CUserSettings.h"
#include "dialogs/CAboutDlg.h"
#include "dialogs/CButtonsDlg.h"
#include "dialogs/CConnectionsDlg.h"
#include "dialogs/CMqttDlg.h"
#include "dialogs/CSetMac.h"
#include "panel/CPanelDlg.h"
#include "support/CAccessibleEvents.h"
#include "support/FakeTrayShell.h"
#include "support/ModalDriver.h"
#include "support/QtPrinters.h"

#include "CBriskoSim.h"
#include "platform/linux/ComPortPath.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QToolTip>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>

using mirelight::CBriskoSim;
using testsupport::Control;
using testsupport::WhenModal;

namespace {

constexpr long kCom = 5;

const QString kNotConnectedPortText
    = QStringLiteral("To connect to Brisko, enter its COM port number:");
const QString kConnectedPortText = QStringLiteral(
    "You are already connected to Brisko, but if you wish to connect to a different Brisko, "
    "enter the COM port:");
const QString kNotConnectedJoinText
    = QStringLiteral("To join to a new network that is ready to accept Mirelight, press Join:");
const QString kConnectedJoinText
    = QStringLiteral("To join to a new network that is ready to accept Mirelight, press Join.  To "
                     "attempt to rejoin an old network press rejoin:");

class ConnectionsDlgTest : public testing::Test
{
protected:
    void SetUp() override
    {
        QFile::remove(CSettingsStore().FileName());
        m_panel.LoadSettings();
        m_panel.Settings().m_iComChan = kCom;
        m_panel.Settings().m_strButtonText[3] = "Lamp";
    }

    // Runs the dialog from the panel's menu, as the user opens it; steps drive it.
    void Run(const std::function<void(CConnectionsDlg*)>& steps)
    {
        WhenModal<CConnectionsDlg>([&](CConnectionsDlg* dialog) {
            EXPECT_EQ(m_panel.ConnectionsDialog(), dialog);
            steps(dialog);
        });
        m_panel.OnSysCommand(CPanelDlg::IDM_CONNECTIONS);
        EXPECT_EQ(m_panel.ConnectionsDialog(), nullptr);
    }

    // Answers every message box with OK while the returned object lives, keeping its text.
    std::unique_ptr<QObject> AnswerMessageBoxes()
    {
        return testsupport::WheneverModal<QMessageBox>([this](QMessageBox* box) {
            m_boxTexts.append(box->text());
            m_boxUnderWaitCursor.append(QApplication::overrideCursor() != nullptr);
            box->button(QMessageBox::Ok)->click();
        });
    }

    static QString Text(QWidget* dialog, int id) { return Control<QLabel>(dialog, id)->text(); }
    static bool Enabled(QWidget* dialog, int id)
    {
        return Control<QWidget>(dialog, id)->isEnabled();
    }

    FakeTrayShell m_tray;
    CUserSettings m_settings;
    CPanelDlg m_panel { &m_tray, &m_settings };
    QStringList m_boxTexts;
    QList<bool> m_boxUnderWaitCursor;
};

// A dialog's title, then the texts it shows on its labels, buttons and lists ("[entry|entry]"),
// in the order they were made.
QStringList Texts(QWidget* dialog)
{
    QStringList texts { dialog->windowTitle() };
    for (QWidget* widget : dialog->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (!widget->isVisibleTo(dialog))
            continue;
        if (auto* label = qobject_cast<QLabel*>(widget); label && !label->text().isEmpty())
            texts << label->text();
        if (auto* button = qobject_cast<QAbstractButton*>(widget))
            texts << button->text();
        if (auto* list = qobject_cast<QComboBox*>(widget); list && list->count() > 0) {
            QStringList entries;
            for (int i = 0; i < list->count(); ++i)
                entries << list->itemText(i);
            texts << "[" + entries.join(u'|') + "]";
        }
    }
    return texts;
}

TEST_F(ConnectionsDlgTest, EveryDialogsTextsAndTheTabOrderOfConnections)
{
    QStringList connections;
    QList<int> tabOrder;
    Run([&](CConnectionsDlg* dialog) {
        connections = Texts(dialog);
        tabOrder = testsupport::TabOrder(Control<QPushButton>(dialog, 1), 8);
        dialog->reject();
    });
    EXPECT_EQ(tabOrder, QList<int>({ 1, 1023, 1002, 1004, 1008, 1010, 1011, 1024 }));
    const QString effects = "[Off|On|Toggle]";
    const std::pair<QStringList, QString> rows[] = {
        { connections,
          "Connections...;Close;Join;" + kNotConnectedJoinText
              + ";Bind;To bind or unbind a button, select the button and press Bind;[Button 1|"
                "Button 2|Button 3|Lamp|Button 5|Button 6|Button 7|Button 8];To close this box, "
                "press Close.;Network status;"
              + kNotConnectedPortText + ";Connect;Rejoin" },
        { Texts(std::make_unique<CSetMac>().get()),
          "Set MAC Address;OK;Cancel;The MAC address of the Brisko must be set;Enter the MAC "
          "address provided with Brisko as 16 hex digits" },
        { Texts(std::make_unique<CAboutDlg>().get()),
          "About Mirelight;Mirelight Version 1.0;Copyright (C) 2026 Corvanthis;OK;"
          "www.corvanthis.example;Compile date:;Compile date:" },
        { Texts(std::make_unique<CButtonsDlg>(m_panel.Settings()).get()),
          "Buttons...;Close;Button Text;Effect;Button 1;Button 2;Button 3;Button 4;Button 5;"
          "Button 6;Button 7;Button 8;"
              + QStringList(8, effects).join(u';')
              + ";Layout;[1 button|2 x 1 buttons|1 x 2 buttons|2 x 2 buttons|1 x 3 buttons|2 x 3 "
                "buttons|1 x 4 buttons|2 x 4 buttons];Initialize in TaskBar" },
    };
    for (const auto& [texts, expected] : rows)
        EXPECT_EQ(texts.join(u';'), expected);
}

// The name a screen reader gives a control: that of the label linked to it, else its own (Qt
// on Linux names a list by its selected entry, and its label only through that link).
QString SpokenName(QWidget* control)
{
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(control);
    const auto labels = accessible->relations(QAccessible::Label);
    return labels.isEmpty() ? accessible->text(QAccessible::Name)
                            : labels.first().first->text(QAccessible::Name);
}

// "id=name" of every control of a dialog that Tab reaches, by id.
QString SpokenNames(QWidget* dialog)
{
    QStringList names;
    for (QWidget* widget : dialog->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (widget->focusPolicy() & Qt::TabFocus)
            names << QStringLiteral("%1=%2")
                         .arg(widget->property("controlId").toInt())
                         .arg(SpokenName(widget));
    }
    names.sort();
    return names.join(u';');
}

TEST_F(ConnectionsDlgTest, EveryControlOfEveryDialogHasANameAScreenReaderSpeaks)
{
    QString connections;
    Run([&](CConnectionsDlg* dialog) {
        connections = SpokenNames(dialog);
        dialog->reject();
    });
    QStringList buttons = { QStringLiteral("1=Close"), QStringLiteral("1020=Layout"),
                            QStringLiteral("1021=Initialize in TaskBar") };
    for (int i = 0; i < mirelight::kButtonCount; ++i) {
        buttons << QStringLiteral("%1=Button %2").arg(CButtonsDlg::kCaptionIds[i]).arg(i + 1);
        buttons
            << QStringLiteral("%1=Effect of Button %2").arg(CButtonsDlg::kEffectIds[i]).arg(i + 1);
    }
    buttons.sort();
    CMqttDlg mqtt { mirelight::mqtt::MqttSettings(), QString(), QString() };
    mqtt.ShowState(QStringLiteral("Not connected")); // as its owner does before it opens
    const std::pair<QString, QString> rows[] = {
        { connections,
          "1002=Bind;1004=To bind or unbind a button, select the button and press Bind;"
          "1008=Network status;1010="
              + kNotConnectedPortText + ";1011=Connect;1023=Join;1024=Rejoin;1=Close" },
        { SpokenNames(std::make_unique<CSetMac>().get()),
          "1022=Enter the MAC address provided with Brisko as 16 hex digits;1=OK;2=Cancel" },
        { SpokenNames(std::make_unique<CAboutDlg>().get()), "1=OK" },
        { SpokenNames(&mqtt),
          "1101=Connect to an MQTT broker;1102=Host:;1103=Port:;1104=User name:;1105=Password:;"
          "1106=Use TLS;1107=CA file (empty: the system's);1108=Announce the buttons to Home "
          "Assistant;1109=Prefix:;1110=Node id:;1112=Not connected;1=Close;2=Cancel" },
        { SpokenNames(std::make_unique<CButtonsDlg>(m_panel.Settings()).get()),
          buttons.join(u';') },
    };
    for (const auto& [names, expected] : rows)
        EXPECT_EQ(names, expected);
}

// The shown labels of a dialog that leave the dialog or that their text does not fit, with why.
QStringList LabelsCutOff(QWidget* dialog)
{
    QStringList cut;
    for (QLabel* label : dialog->findChildren<QLabel*>()) {
        if (!label->isVisibleTo(dialog))
            continue;
        const int needed = label->wordWrap() ? label->heightForWidth(label->width())
                                             : label->sizeHint().height();
        if (!dialog->rect().contains(label->geometry()))
            cut << dialog->windowTitle() + ": out: " + label->text();
        if ((!label->wordWrap() && label->sizeHint().width() > label->width())
            || needed > label->height())
            cut << dialog->windowTitle() + ": too small: " + label->text();
    }
    return cut;
}

// Run once for each scale factor a desktop may have (QT_SCALE_FACTOR), each state of the
// Connections dialog with the prompts it shows then.
TEST_F(ConnectionsDlgTest, EveryLabelOfEveryDialogFitsItAndItsText)
{
    CBriskoSim sim(kCom);
    ASSERT_TRUE(sim.Start()) << sim.LastError();
    sim.Configure([](mirelight::CBriskoModel& m) { m.SetNetworkId("5E21"); });
    QStringList cut;
    Run([&](CConnectionsDlg* dialog) {
        cut << LabelsCutOff(dialog);
        QTest::mouseClick(Control<QPushButton>(dialog, 1011), Qt::LeftButton);
        cut << LabelsCutOff(dialog);
        QTest::mouseClick(Control<QPushButton>(dialog, 1023), Qt::LeftButton);
        EXPECT_TRUE(Enabled(dialog, 1002)) << "on a network";
        cut << LabelsCutOff(dialog);
        dialog->reject();
    });
    cut << LabelsCutOff(std::make_unique<CSetMac>().get())
        << LabelsCutOff(std::make_unique<CAboutDlg>().get())
        << LabelsCutOff(std::make_unique<CButtonsDlg>(m_panel.Settings()).get())
        << LabelsCutOff(std::make_unique<CMqttDlg>(
                            mirelight::mqtt::MqttSettings(), QString(),
                            QStringLiteral("No secret store answered: the password is kept in "
                                           "a file only you can read."))
                            .get());
    EXPECT_EQ(cut, QStringList());
}

TEST_F(ConnectionsDlgTest, ClosedConnectedAndJoinedShowTheirStateAndTheBoundButtonStaysSelected)
{
    const auto answering = AnswerMessageBoxes();
    CBriskoSim sim(kCom);
    ASSERT_TRUE(sim.Start()) << sim.LastError();
    sim.Configure([](mirelight::CBriskoModel& m) { m.SetNetworkId("5E21"); });
    const std::string tooLong = "The reading lamp beside the sofa in the living room";
    m_panel.Settings().m_strButtonText[6] = tooLong;
    Run([&](CConnectionsDlg* dialog) {
        EXPECT_EQ(Text(dialog, 1009), kNotConnectedPortText);
        EXPECT_EQ(Text(dialog, 1001), kNotConnectedJoinText);
        for (int id : { 1023, 1001, 1024, 1004, 1002, 1003 })
            EXPECT_FALSE(Enabled(dialog, id)) << id;
        for (int id : { 1, 1010, 1011, 1008 })
            EXPECT_TRUE(Enabled(dialog, id)) << id;
        EXPECT_EQ(Control<QLineEdit>(dialog, 1010)->text(), QStringLiteral("5"));
        QComboBox* list = Control<QComboBox>(dialog, 1004);
        ASSERT_EQ(list->count(), 8);
        EXPECT_EQ(list->itemText(3), QStringLiteral("Lamp"));
        EXPECT_EQ(list->itemText(6), QString::fromStdString(tooLong));
        EXPECT_EQ(list->itemData(6, Qt::ToolTipRole), QString::fromStdString(tooLong));
        EXPECT_EQ(list->itemData(3, Qt::ToolTipRole), QVariant());
        EXPECT_EQ(list->currentIndex(), 0);
        QTest::mouseClick(Control<QPushButton>(dialog, 1011), Qt::LeftButton);
        EXPECT_EQ(Text(dialog, 1008), QStringLiteral("Brisko detected on COM5:"));
        EXPECT_EQ(Text(dialog, 1009), kConnectedPortText);
        EXPECT_EQ(Text(dialog, 1001), kConnectedJoinText);
        for (int id : { 1023, 1001, 1024 })
            EXPECT_TRUE(Enabled(dialog, id)) << id;
        for (int id : { 1004, 1002, 1003 })
            EXPECT_FALSE(Enabled(dialog, id)) << id; // not on a network yet
        QTest::mouseClick(Control<QPushButton>(dialog, 1023), Qt::LeftButton);
        EXPECT_EQ(Text(dialog, 1008), QStringLiteral("Successfully joined network 215E"));
        EXPECT_EQ(Text(dialog, 1001),
                  QStringLiteral("You are joined to an existing network.  To join a new one, press "
                                 "Join or rejoin a different old one, press Rejoin."));
        for (int id : { 1004, 1002, 1003 })
            EXPECT_TRUE(Enabled(dialog, id)) << id;

        Control<QComboBox>(dialog, 1004)->setCurrentIndex(3);
        Control<QLineEdit>(dialog, 1010)->setText(QStringLiteral("x")); // Bind warns, goes on
        QTest::mouseClick(Control<QPushButton>(dialog, 1002), Qt::LeftButton);
        EXPECT_EQ(Text(dialog, 1008), QStringLiteral("Bind succeeded"));
        EXPECT_EQ(m_boxUnderWaitCursor, QList<bool> { true }) << "Bind's wait cursor comes first";
        EXPECT_EQ(Control<QLineEdit>(dialog, 1010)->text(), QStringLiteral("5")) << "a report";
        Control<QComboBox>(dialog, 1004)->setCurrentIndex(6); // chosen, not bound
        EXPECT_EQ(Control<QComboBox>(dialog, 1004)->toolTip(), QString::fromStdString(tooLong));
        dialog->reject();
    });
    EXPECT_EQ(CSettingsStore().GetProfileInt(QStringLiteral("Joined"), 0), 1);
    Run([&](CConnectionsDlg* dialog) {
        EXPECT_EQ(Control<QComboBox>(dialog, 1004)->currentIndex(), 3);
        QTest::mouseClick(Control<QPushButton>(dialog, 1024), Qt::LeftButton);
        EXPECT_EQ(Text(dialog, 1008), QStringLiteral("Network rejoined"));
        EXPECT_TRUE(Enabled(dialog, 1002));
        dialog->reject();
    });
}

TEST_F(ConnectionsDlgTest, TheStatusTooltipSaysWhyAPortWouldNotOpenAndNothingOnceItDid)
{
    CBriskoSim sim(kCom);
    ASSERT_TRUE(sim.Start()) << sim.LastError();
    const int holder = ::open(sim.DevicePath().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_EQ(::flock(holder, LOCK_EX | LOCK_NB), 0); // another program holds the port
    const std::string regularFile = mirelight::ComPortLinkPath(62);
    ASSERT_EQ(::close(::open(regularFile.c_str(), O_CREAT | O_WRONLY, 0600)), 0);
    const struct
    {
        int port;
        QString reason;
    } cases[] = {
        { 57, QStringLiteral("no such device") },
        { 62, QStringLiteral("not a terminal") },
        { kCom, QStringLiteral("held by another program (PID %1)").arg(::getpid()) },
    };
    CAccessibleEvents events;
    Run([&](CConnectionsDlg* dialog) {
        // The port box lists the ports there are to choose from as the dialog opens.
        EXPECT_TRUE(
            Control<QLineEdit>(dialog, 1010)
                ->toolTip()
                .contains(
                    QStringLiteral("\nCOM5: %1\n").arg(QString::fromStdString(sim.DevicePath()))));
        QLabel* status = Control<QLabel>(dialog, 1008);
        for (const auto& c : cases) {
            m_panel.Settings().m_iComChan = c.port;
            events.Clear();
            QTest::mouseClick(Control<QPushButton>(dialog, 1011), Qt::LeftButton);
            EXPECT_EQ(status->text(), QStringLiteral("Couldn't open COM%1:").arg(c.port));
            EXPECT_EQ(status->toolTip(), c.reason);
            // The status's text is its name, the reason its description.
            const auto changes = { QAccessible::NameChanged, QAccessible::DescriptionChanged };
            EXPECT_EQ(events.Of(status, changes), std::vector(changes));
        }
        // From the keyboard: the field is reached, its reason shows and its text is copied.
        ASSERT_TRUE(QTest::qWaitForWindowActive(dialog));
        Control<QLineEdit>(dialog, 1010)->setFocus();
        QTest::keyPress(dialog->focusWidget(), Qt::Key_Backtab);
        EXPECT_EQ(QApplication::focusWidget(), status);
        QTest::keyRelease(status, Qt::Key_Backtab); // to where the focus is now, as a keyboard's
        EXPECT_TRUE(QToolTip::isVisible());
        EXPECT_EQ(QToolTip::text(), cases[2].reason);
        QTest::keyClick(status, Qt::Key_Home);
        QTest::keyClick(status, Qt::Key_End, Qt::ShiftModifier);
        EXPECT_EQ(status->selectedText(), status->text());
        // A save that failed joins the reason while it lasts.
        m_panel.Commands().NotifySaveOutcome(QStringLiteral("disk full"));
        EXPECT_EQ(status->toolTip(), cases[2].reason + QStringLiteral("\ndisk full"));
        EXPECT_EQ(QToolTip::text(), status->toolTip()) << "shown again to the keyboard's user";
        m_panel.Commands().NotifySaveOutcome(QString());
        ::close(holder);
        QTest::mouseClick(Control<QPushButton>(dialog, 1011), Qt::LeftButton);
        EXPECT_EQ(status->text(), QStringLiteral("Brisko detected on COM5:"));
        EXPECT_EQ(status->toolTip(), QString());
        dialog->reject();
    });
}

TEST_F(ConnectionsDlgTest, EveryAcceptedPortEditIsStoredAtOnceAndEscapeKeepsIt)
{
    const auto answering = AnswerMessageBoxes();
    Run([&](CConnectionsDlg* dialog) {
        QLineEdit* port = Control<QLineEdit>(dialog, 1010);
        port->setFocus();
        QTest::keyClick(port, Qt::Key_Backspace); // the box is empty: no integer
        EXPECT_EQ(m_boxTexts, QStringList({ QStringLiteral("Please enter an integer.") }));
        EXPECT_EQ(m_panel.Settings().m_iComChan, kCom);
        QTest::keyClicks(port, QStringLiteral("7"));
        EXPECT_EQ(m_panel.Settings().m_iComChan, 7);
        EXPECT_EQ(CSettingsStore().GetProfileInt(QStringLiteral("m_iComChan"), 0), 7);
        QTest::keyClicks(port, QStringLiteral("x")); // "7x" still begins with 7
        EXPECT_EQ(m_boxTexts.size(), 1);
        QTest::keyClick(port, Qt::Key_Escape);
    });
    EXPECT_EQ(m_panel.Settings().m_iComChan, 7);
}

TEST_F(ConnectionsDlgTest, CloseWithoutAnIntegerWarnsForEachExchangeAndStaysOpen)
{
    const auto answering = AnswerMessageBoxes();
    bool stayedOpen = false;
    Run([&](CConnectionsDlg* dialog) {
        Control<QLineEdit>(dialog, 1010)->setText(QStringLiteral("COM3"));
        Control<QPushButton>(dialog, 1)->click();
        stayedOpen = dialog->isVisible();
        Control<QLineEdit>(dialog, 1010)->setText(QStringLiteral(" 12 "));
        Control<QPushButton>(dialog, 1)->click();
    });
    EXPECT_TRUE(stayedOpen);
    EXPECT_EQ(m_boxTexts.size(), 2);
    EXPECT_EQ(m_panel.Settings().m_iComChan, 12);
}

TEST(ConnectionsDlgPortBox, TakesTheIntegerTheTextBeginsWith)
{
    EXPECT_EQ(CConnectionsDlg::LeadingInteger(QStringLiteral("3")), 3);
    EXPECT_EQ(CConnectionsDlg::LeadingInteger(QStringLiteral("  12abc")), 12);
    EXPECT_EQ(CConnectionsDlg::LeadingInteger(QStringLiteral("-4")), -4);
    EXPECT_EQ(CConnectionsDlg::LeadingInteger(QStringLiteral("+5")), 5);
    EXPECT_EQ(CConnectionsDlg::LeadingInteger(QString()), std::nullopt);
    EXPECT_EQ(CConnectionsDlg::LeadingInteger(QStringLiteral("-")), std::nullopt);
    EXPECT_EQ(CConnectionsDlg::LeadingInteger(QStringLiteral("COM3")), std::nullopt);
    EXPECT_EQ(CConnectionsDlg::LeadingInteger(QStringLiteral("99999999999")), std::nullopt);
}

} // namespace
