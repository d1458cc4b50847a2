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

// Every field in one line, so that one comparison shows which one differs.
QString Fields(const MqttSettings& s)
{
    const auto n = [](int value) { return QString::number(value); };
    return QStringLiteral("%1|%2|%3|%4|%5|%6|%7|%8|%9")
        .arg(n(s.enabled), s.host, n(s.port), s.user, n(s.tls), s.caFile, n(s.discovery),
             s.discoveryPrefix, s.nodeId);
}

TEST(MqttDialog, CloseWithBadInputWarnsAndStaysOpen)
{
    const char* port = "The port must be a number from 1 to 65535.";
    // The field, its text and a part of the warning that names what is wrong.
    const std::tuple<int, const char*, const char*> rows[]
        = { { CMqttDlg::IDC_PORT, "0", port },
            { CMqttDlg::IDC_PORT, "65536", port },
            { CMqttDlg::IDC_PORT, "x", port },
            { CMqttDlg::IDC_HOST, "", "host name" },
            { CMqttDlg::IDC_NODE_ID, "My PC", "node id" },
            { CMqttDlg::IDC_DISCOVERY_PREFIX, "ha/#", "discovery prefix" } };
    MqttSettings usable;
    usable.enabled = true;
    usable.host = QStringLiteral("broker.local");
    usable.nodeId = QStringLiteral("desk");
    constexpr int kStillOpen = 42; // the result only a dialog still open after the box takes
    for (const auto& [id, text, warned] : rows) {
        QString warning;
        WhenModal<CMqttDlg>([&](CMqttDlg* dialog) {
            Control<QLineEdit>(dialog, id)->setText(QString::fromUtf8(text));
            WhenModal<QMessageBox>([&, dialog](QMessageBox* box) {
                warning = box->windowTitle() + QLatin1Char(':') + box->text();
                box->button(QMessageBox::Ok)->click();
                QTimer::singleShot(0, dialog, [dialog] { dialog->done(kStillOpen); });
            });
            Control<QPushButton>(dialog, CTemplateDialog::IDOK)->click();
        });
        CMqttDlg dialog(usable, QString(), QString());
        EXPECT_EQ(dialog.exec(), kStillOpen) << text;
        EXPECT_TRUE(warning.startsWith(QStringLiteral("MQTT:"))
                    && warning.contains(QString::fromUtf8(warned)))
            << text << ": " << warning.toStdString();
    }
}

TEST(MqttDialog, CloseTakesTheEditsCancelAndEscapeKeepTheCallersStateIsShown)
{
    MqttSettings original;
    original.nodeId = QStringLiteral("desk");
#ifdef Q_OS_WIN
    const char* tls = "0"; // the box cannot be changed there and the stored choice stays
#else
    const char* tls = "1";
#endif
    bool prefixEnabledWithoutDiscovery = true;
    WhenModal<CMqttDlg>([&](CMqttDlg* dialog) {
        for (int box : { CMqttDlg::IDC_ENABLED, CMqttDlg::IDC_TLS, CMqttDlg::IDC_DISCOVERY })
            Control<QCheckBox>(dialog, box)->click();
        const std::pair<int, const char*> edits[]
            = { { CMqttDlg::IDC_HOST, "broker.local" },   { CMqttDlg::IDC_PORT, "8883" },
                { CMqttDlg::IDC_USER, "panel" },          { CMqttDlg::IDC_PASSWORD, "s3cret" },
                { CMqttDlg::IDC_CA_FILE, "/etc/ca.pem" }, { CMqttDlg::IDC_DISCOVERY_PREFIX, "ha" },
                { CMqttDlg::IDC_NODE_ID, "desk-2" } };
        for (const auto& [id, text] : edits)
            Control<QLineEdit>(dialog, id)->setText(QString::fromUtf8(text));
        prefixEnabledWithoutDiscovery
            = Control<QLineEdit>(dialog, CMqttDlg::IDC_DISCOVERY_PREFIX)->isEnabled();
        QTest::keyClick(Control<QLineEdit>(dialog, CMqttDlg::IDC_NODE_ID), Qt::Key_Return);
    });
    CMqttDlg dialog(original, QStringLiteral("old"), QString());
    dialog.ShowState(QStringLiteral("Connected to broker.local:1883"));
    EXPECT_EQ(Control<QLabel>(&dialog, CMqttDlg::IDC_STATE)->text(),
              QStringLiteral("Connected to broker.local:1883"));
    EXPECT_EQ(Control<QLineEdit>(&dialog, CMqttDlg::IDC_PASSWORD)->echoMode(), QLineEdit::Password);
    ASSERT_EQ(dialog.exec(), QDialog::Accepted);
    EXPECT_EQ(Fields(dialog.Settings()),
              QStringLiteral("1|broker.local|8883|panel|%1|/etc/ca.pem|0|ha|desk-2")
                  .arg(QString::fromUtf8(tls)));
    EXPECT_EQ(dialog.Password(), QStringLiteral("s3cret"));
    EXPECT_FALSE(prefixEnabledWithoutDiscovery);

    for (const bool escape : { true, false }) {
        WhenModal<CMqttDlg>([&](CMqttDlg* open) {
            Control<QLineEdit>(open, CMqttDlg::IDC_HOST)->setText(QStringLiteral("other"));
            Control<QLineEdit>(open, CMqttDlg::IDC_PASSWORD)->setText(QStringLiteral("new"));
            if (escape)
                QTest::keyClick(Control<QLineEdit>(open, CMqttDlg::IDC_HOST), Qt::Key_Escape);
            else
                Control<QPushButton>(open, CTemplateDialog::IDCANCEL)->click();
        });
        CMqttDlg cancelled(original, QStringLiteral("old"), QString());
        EXPECT_EQ(cancelled.exec(), QDialog::Rejected);
        EXPECT_EQ(Fields(cancelled.Settings()), Fields(original));
        EXPECT_EQ(cancelled.Password(), QStringLiteral("old"));
    }
}

} // namespace
