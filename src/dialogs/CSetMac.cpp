#include "dialogs/CSetMac.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>

#include <algorithm>

namespace {

constexpr int kMacDigits = 16;

bool IsHexDigit(QChar c)
{
    const char16_t u = c.unicode();
    return (u >= u'0' && u <= u'9') || (u >= u'a' && u <= u'f') || (u >= u'A' && u <= u'F');
}

} // namespace

CSetMac::CSetMac(QWidget* parent)
    : CTemplateDialog(parent, QStringLiteral("Set MAC Address"), 212, 84)
{
    QPushButton* ok = AddButton(IDOK, QStringLiteral("OK"), { 95, 63, 50, 14 });
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &CSetMac::OnOK);
    QPushButton* cancel = AddButton(IDCANCEL, QStringLiteral("Cancel"), { 155, 63, 50, 14 });
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    m_editMacAddress = AddEdit(IDC_MAC_ADDRESS, { 7, 33, 141, 14 });
    AddLabel(0, QStringLiteral("The MAC address of the Brisko must be set"), { 7, 7, 141, 8 });
    AddLabel(0, QStringLiteral("Enter the MAC address provided with Brisko as 16 hex digits"),
             { 7, 17, 196, 8 })
        ->setBuddy(m_editMacAddress); // the line just above the box says what goes in it
}

int CSetMac::exec()
{
    m_editMacAddress->setText(m_strMacAddress);
    m_editMacAddress->setFocus();
    return QDialog::exec();
}

bool CSetMac::IsValidMacAddress(const QString& text)
{
    return text.size() == kMacDigits && std::all_of(text.begin(), text.end(), IsHexDigit);
}

void CSetMac::OnOK()
{
    m_strMacAddress = m_editMacAddress->text();
    if (!IsValidMacAddress(m_strMacAddress)) {
        QMessageBox::warning(this, QApplication::applicationName(),
                             QStringLiteral("The MAC address must be 16 hex digits."));
        return;
    }
    accept();
}
