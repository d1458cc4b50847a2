#pragma once

#include "ui/CTemplateDialog.h"

#include <QString>

class QLineEdit;

// Asks for the dongle's MAC address as 16 hexadecimal digits; OK closes it only then.
class CSetMac : public CTemplateDialog
{
    Q_OBJECT

public:
    static constexpr int IDC_MAC_ADDRESS = 1022;

    explicit CSetMac(QWidget* parent = nullptr);

    int exec() override; // empty box with the focus in it, then the modal run

    // Exactly 16 characters, each 0-9, a-f or A-F; nothing trimmed.
    static bool IsValidMacAddress(const QString& text);

    QString m_strMacAddress;

private:
    void OnOK();

    QLineEdit* m_editMacAddress = nullptr;
};
