#include "dialogs/CMqttDlg.h"
#include "support/ModalDriver.h"
#include "support/QtPrinters.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

using mirelight::mqtt::MqttSettings;
using testsupport::Control;
using testsupport::WhenModal;

namespace {

MqttSettings Usable()
{
    MqttSettings settings;
    settings.enabled = true;
    settings.host = QStringLiteral("broker.local");
    settings.nodeId = QStringLiteral("desk");
    return settings;
}

void ExpectSame(const MqttSettings& got, const MqttSettings& wanted)
{
    EXPECT_EQ(got.enabled, wanted.enabled);
    EXPECT_EQ(got.host, wanted.host);
    EXPECT_EQ(got.port, wanted.port);
    EXPECT_EQ(got.user, wanted.user);
    EXPECT_EQ(got.tls, wanted.tls);
    EXPECT_EQ(got.caFile, wanted.caFile);
    EXPECT_EQ(got.discovery, wanted.discovery);
    EXPECT_EQ(got.discoveryPrefix, wanted.discoveryPrefix);
    EXPECT_EQ(got.nodeId, wanted.nodeId);
}

TEST(MqttDialog, CloseWithBadInputWarnsAndStaysOpen)
{
    const QString port = QStringLiteral("The port must be a number from 1 to 65535.");
    const struct
    {
        int id;
        const char* text;
        QString warning;
    } rows[] = {
        { CMqttDlg::IDC_PORT, "0", port },
        { CMqttDlg::IDC_PORT, "65536", port },
        { CMqttDlg::IDC_PORT, "x", port },
        { CMqttDlg::IDC_HOST, " ", QStringLiteral("Enter the broker's host name or address.") },
        { CMqttDlg::IDC_NODE_ID, "My PC",
          QStringLiteral("The node id may hold only the letters a to z, digits, _ and -.") },
        { CMqttDlg::IDC_DISCOVERY_PREFIX, "ha/#",
          QStringLiteral("The discovery prefix must be a topic such as homeassistant, without + "
                         "or # and without an empty level.") },
    };
    for (const auto& row : rows) {
        QString warning;
        QString title;
        bool stillOpen = false;
        WhenModal<CMqttDlg>([&](CMqttDlg* dialog) {
            Control<QLineEdit>(dialog, row.id)->setText(QString::fromUtf8(row.text));
            WhenModal<QMessageBox>([&, dialog](QMessageBox* box) {
                warning = box->text();
                title = box->windowTitle();
                box->button(QMessageBox::Ok)->click();
                QTimer::singleShot(0, dialog, [&, dialog] {
                    stillOpen = dialog->isVisible();
                    dialog->reject();
                });
            });
            Control<QPushButton>(dialog, CTemplateDialog::IDOK)->click();
        });
        CMqttDlg dialog(Usable(), QString(), QString());
        EXPECT_EQ(dialog.exec(), QDialog::Rejected) << row.text;
        EXPECT_EQ(warning, row.warning) << row.text;
        EXPECT_EQ(title, QStringLiteral("MQTT"));
        EXPECT_TRUE(stillOpen) << row.text;
    }
}

TEST(MqttDialog, CloseTakesTheEditsCancelAndEscapeKeepTheCallers)
{
    MqttSettings edited;
    edited.enabled = true;
    edited.host = QStringLiteral("broker.local");
    edited.port = 8883;
    edited.user = QStringLiteral("panel");
#ifndef Q_OS_WIN // there the box cannot be changed and the stored choice stays
    edited.tls = true;
#endif
    edited.caFile = QStringLiteral("/etc/ca.pem");
    edited.discovery = false;
    edited.discoveryPrefix = QStringLiteral("ha");
    edited.nodeId = QStringLiteral("desk-2");
    const MqttSettings original;

    bool prefixEnabledWithoutDiscovery = true;
    WhenModal<CMqttDlg>([&](CMqttDlg* dialog) {
        Control<QCheckBox>(dialog, CMqttDlg::IDC_ENABLED)->click();
        QTest::keyClicks(Control<QLineEdit>(dialog, CMqttDlg::IDC_HOST), edited.host);
        Control<QLineEdit>(dialog, CMqttDlg::IDC_PORT)->setText(QStringLiteral("8883"));
        QTest::keyClicks(Control<QLineEdit>(dialog, CMqttDlg::IDC_USER), edited.user);
        Control<QLineEdit>(dialog, CMqttDlg::IDC_PASSWORD)->setText(QStringLiteral("s3cret"));
        Control<QCheckBox>(dialog, CMqttDlg::IDC_TLS)->click();
        Control<QLineEdit>(dialog, CMqttDlg::IDC_CA_FILE)->setText(edited.caFile);
        Control<QLineEdit>(dialog, CMqttDlg::IDC_DISCOVERY_PREFIX)->setText(edited.discoveryPrefix);
        Control<QCheckBox>(dialog, CMqttDlg::IDC_DISCOVERY)->click();
        prefixEnabledWithoutDiscovery
            = Control<QLineEdit>(dialog, CMqttDlg::IDC_DISCOVERY_PREFIX)->isEnabled();
        Control<QLineEdit>(dialog, CMqttDlg::IDC_NODE_ID)->setText(edited.nodeId);
        QTest::keyClick(Control<QLineEdit>(dialog, CMqttDlg::IDC_NODE_ID), Qt::Key_Return);
    });
    MqttSettings start = original;
    start.nodeId = QStringLiteral("desk");
    CMqttDlg dialog(start, QStringLiteral("old"), QString());
    EXPECT_EQ(Control<QLineEdit>(&dialog, CMqttDlg::IDC_PASSWORD)->echoMode(), QLineEdit::Password);
    ASSERT_EQ(dialog.exec(), QDialog::Accepted);
    ExpectSame(dialog.Settings(), edited);
    EXPECT_EQ(dialog.Password(), QStringLiteral("s3cret"));
    EXPECT_FALSE(prefixEnabledWithoutDiscovery);

    for (const auto key : { Qt::Key_Escape, Qt::Key_unknown }) {
        WhenModal<CMqttDlg>([&](CMqttDlg* open) {
            Control<QLineEdit>(open, CMqttDlg::IDC_HOST)->setText(QStringLiteral("other"));
            Control<QLineEdit>(open, CMqttDlg::IDC_PASSWORD)->setText(QStringLiteral("new"));
            if (key == Qt::Key_Escape)
                QTest::keyClick(Control<QLineEdit>(open, CMqttDlg::IDC_HOST), key);
            else
                Control<QPushButton>(open, CTemplateDialog::IDCANCEL)->click();
        });
        CMqttDlg cancelled(original, QStringLiteral("old"), QString());
        EXPECT_EQ(cancelled.exec(), QDialog::Rejected);
        ExpectSame(cancelled.Settings(), original);
        EXPECT_EQ(cancelled.Password(), QStringLiteral("old"));
    }
}

TEST(MqttDialog, ShowsTheStateAndThePasswordsPlace)
{
    const QString place = QStringLiteral("The password is kept in the desktop's secret store.");
    CMqttDlg dialog(Usable(), QString(), place);
    dialog.ShowState(QStringLiteral("Connected to broker.local:1883"));
    EXPECT_EQ(Control<QLabel>(&dialog, CMqttDlg::IDC_STATE)->text(),
              QStringLiteral("Connected to broker.local:1883"));
    EXPECT_EQ(Control<QLabel>(&dialog, CMqttDlg::IDC_PASSWORD_PLACE)->text(), place);
}

} // namespace
