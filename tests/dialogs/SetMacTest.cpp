#include "dialogs/CSetMac.h"
#include "support/ModalDriver.h"
#include "support/QtPrinters.h"

#include <QAbstractButton>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

using testsupport::Control;
using testsupport::WhenModal;

namespace {

TEST(SetMacValidation, OnlySixteenHexDigitsPass)
{
    for (const char* wrong : { "", "0123456789ABCDE", "0123456789ABCDEF0", "01 23 45 67 89 AB",
                               "01-23-45-67-89-AB", "0123:4567:89AB:CD", "0123456789ABCDEG",
                               " 123456789ABCDEF", "0123456789ABCDE ", "0123456789ABCDE\xC3\xA9" })
        EXPECT_FALSE(CSetMac::IsValidMacAddress(QString::fromUtf8(wrong))) << wrong;
    EXPECT_TRUE(CSetMac::IsValidMacAddress(QStringLiteral("0123456789ABCDEF")));
    EXPECT_TRUE(CSetMac::IsValidMacAddress(QStringLiteral("0123456789abcDEF")));
}

TEST(SetMacDialog, WrongAddressIsRefusedWithAWarningAndStaysAsTyped)
{
    QString warning;
    QString title;
    QString keptText;
    bool stillOpen = false;
    WhenModal<CSetMac>([&](CSetMac* dialog) {
        EXPECT_EQ(dialog->focusWidget(), Control<QLineEdit>(dialog, 1022));
        QTest::keyClicks(Control<QLineEdit>(dialog, 1022), QStringLiteral("01-23-45-67-89-AB"));
        WhenModal<QMessageBox>([&, dialog](QMessageBox* box) {
            warning = box->text();
            title = box->windowTitle();
            EXPECT_EQ(box->icon(), QMessageBox::Warning);
            box->button(QMessageBox::Ok)->click();
            QTimer::singleShot(0, dialog, [&, dialog] {
                stillOpen = dialog->isVisible();
                keptText = Control<QLineEdit>(dialog, 1022)->text();
                Control<QLineEdit>(dialog, 1022)->setText(QStringLiteral("0123456789abcDEF"));
                QTest::keyClick(Control<QLineEdit>(dialog, 1022), Qt::Key_Return); // Enter is OK
            });
        });
        Control<QPushButton>(dialog, 1)->click();
    });
    CSetMac dialog;
    EXPECT_EQ(dialog.exec(), QDialog::Accepted);
    EXPECT_EQ(warning, QStringLiteral("The MAC address must be 16 hex digits."));
    EXPECT_EQ(title, QStringLiteral("mirelight"));
    EXPECT_TRUE(stillOpen);
    EXPECT_EQ(keptText, QStringLiteral("01-23-45-67-89-AB"));
    EXPECT_EQ(dialog.m_strMacAddress, QStringLiteral("0123456789abcDEF"));
}

TEST(SetMacDialog, CancelEscapeAndTheCloseBoxRefuseEvenAValidAddress)
{
    const std::vector<std::function<void(CSetMac*)>> ways = {
        [](CSetMac* dialog) { Control<QPushButton>(dialog, 2)->click(); },
        [](CSetMac* dialog) {
            Control<QPushButton>(dialog, 2)
                ->setFocus(); // Return goes to the focused button, not to OK
            QTest::keyClick(Control<QPushButton>(dialog, 2), Qt::Key_Return);
        },
        [](CSetMac* dialog) { QTest::keyClick(Control<QLineEdit>(dialog, 1022), Qt::Key_Escape); },
        [](CSetMac* dialog) { dialog->close(); },
    };
    for (const auto& cancel : ways) {
        WhenModal<CSetMac>([&](CSetMac* dialog) {
            Control<QLineEdit>(dialog, 1022)->setText(QStringLiteral("0123456789ABCDEF"));
            cancel(dialog);
        });
        CSetMac dialog;
        EXPECT_EQ(dialog.exec(), QDialog::Rejected);
    }
}

} // namespace
