#include "dialogs/CAboutDlg.h"

#include "ui/Resources.h"

#include <QLabel>
#include <QPushButton>

#include <algorithm>

CAboutDlg::CAboutDlg(QWidget* parent)
    : CTemplateDialog(parent, QStringLiteral("About Mirelight"), 235, 90)
{
    QLabel* icon = AddLabel(0, QString(), { 11, 12, 21, 20 });
    const int side = std::min(icon->width(), icon->height());
    icon->setPixmap(Resources::Icon(Resources::IDR_MAINFRAME).pixmap(side, side));

    AddLabel(0, QStringLiteral("Mirelight Version 1.0"), { 40, 11, 119, 8 });
    AddLabel(0, QStringLiteral("Copyright (C) 2026 Corvanthis"), { 40, 27, 119, 8 });
    QPushButton* ok = AddButton(IDOK, QStringLiteral("OK"), { 178, 7, 50, 16 });
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    AddLabel(0, QStringLiteral("www.corvanthis.example"), { 40, 43, 119, 8 });
    AddLabel(0, QStringLiteral("Compile date:"), { 39, 57, 119, 8 });
    m_compileDate = AddLabel(IDC_COMPILE_DATE, QStringLiteral("Compile date:"), { 39, 72, 119, 8 });
}

int CAboutDlg::exec()
{
    m_compileDate->setText(m_strCompileDate);
    return QDialog::exec();
}
