#include "dialogs/CAboutDlg.h"

#include "app/CDialogUnits.h"
#include "app/Resources.h"

#include <QLabel>
#include <QPushButton>

CAboutDlg::CAboutDlg(QWidget* parent)
    : QDialog(parent)
{
    setWindowTitle(QStringLiteral("About Mirelight"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                   | Qt::WindowCloseButtonHint);
    const CDialogUnits units(font());

    auto* icon = new QLabel(this);
    const QRect iconRect = units.Rect(11, 12, 21, 20);
    const int side = std::min(iconRect.width(), iconRect.height());
    icon->setPixmap(Resources::Icon(Resources::IDR_MAINFRAME).pixmap(side, side));
    icon->setGeometry(iconRect);

    units.Place(new QLabel(QStringLiteral("Mirelight Version 1.0"), this), 40, 11, 119, 8);
    units.Place(new QLabel(QStringLiteral("Copyright (C) 2026 Corvanthis"), this), 40, 27, 119, 8);

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    Resources::SetControlId(ok, 1);
    ok->setDefault(true);
    units.Place(ok, 178, 7, 50, 16);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);

    units.Place(new QLabel(QStringLiteral("www.corvanthis.example"), this), 40, 43, 119, 8);
    units.Place(new QLabel(QStringLiteral("Compile date:"), this), 39, 57, 119, 8);
    m_compileDate = new QLabel(QStringLiteral("Compile date:"), this);
    Resources::SetControlId(m_compileDate, IDC_COMPILE_DATE);
    units.Place(m_compileDate, 39, 72, 119, 8);

    setFixedSize(units.Size(235, 90));
}

int CAboutDlg::exec()
{
    m_compileDate->setText(m_strCompileDate);
    return QDialog::exec();
}
