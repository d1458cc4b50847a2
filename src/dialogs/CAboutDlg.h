#pragma once

#include "ui/CTemplateDialog.h"

#include <QString>

class QLabel;

// Name, version, maker and the build date and time of the program.
class CAboutDlg : public CTemplateDialog
{
    Q_OBJECT

public:
    static constexpr int IDC_COMPILE_DATE = 1024;

    explicit CAboutDlg(QWidget* parent = nullptr);

    int exec() override; // shows m_strCompileDate, then the modal run

    QString m_strCompileDate;

private:
    QLabel* m_compileDate = nullptr;
};
