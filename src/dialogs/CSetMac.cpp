#include "dialogs/CSetMac.h"

#include "app/CDialogUnits.h"
#include "app/Resources.h"

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
    : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Set MAC Address"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                   | Qt::WindowCloseButtonHint);
    const CDialogUnits units(font());

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    Resources::SetControlId(ok, 1);
    ok->setDefault(true);
    units.Place(ok, 95, 63, 50, 14);
    connect(ok, &QPushButton::clicked, this, &CSetMac::OnOK);

    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    Resources::SetControlId(cancel, 2);
    cancel->setAutoDefault(false);
    units.Place(cancel, 155, 63, 50, 14);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

    m_editMacAddress = new QLineEdit(this);
    Resources::SetControlId(m_editMacAddress, IDC_MAC_ADDRESS);
    units.Place(m_editMacAddress, 7, 33, 141, 14);

    units.Place(new QLabel(QStringLiteral("The MAC address of the Brisko must be set"), this), 7, 7,
                141, 8);
    units.Place(new QLabel(QStringLiteral("Enter the MAC address provided with Brisko as 16 hex "
                                          "digits"),
                           this),
                7, 17, 196, 8);
    setFixedSize(units.Size(212, 84));
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
