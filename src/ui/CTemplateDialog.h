#pragma once

#include "ui/CDialogUnits.h"

#include <QDialog>
#include <QString>
#include <QStringList>

class CStatusField;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

// A dialog laid out as its template says: a fixed size and control rectangles in dialog
// units of its font, each control named after its template id ("IDC_1010") so that tests
// can find it. Controls added in template order get the template's tab order.
class CTemplateDialog : public QDialog
{
    Q_OBJECT

public:
    // The template ids of the OK (or Close) and Cancel buttons; the panel's modal run returns
    // them too.
    static constexpr int IDOK = 1;
    static constexpr int IDCANCEL = 2;

    struct DluRect
    {
        int x, y, width, height;
    };

protected:
    CTemplateDialog(QWidget* parent, const QString& title, int widthDlu, int heightDlu);

    QPushButton* AddButton(int id, const QString& text, DluRect where);
    // A static text; one two lines high wraps, one line too long for its rectangle widens it
    // (and the dialog, if need be). Id 0 for a text nobody addresses.
    QLabel* AddLabel(int id, const QString& text, DluRect where);
    QLineEdit* AddEdit(int id, DluRect where);
    // A selection-only list; its closed height is the style's, not the template's.
    QComboBox* AddDropDown(int id, const QStringList& items, int x, int y, int width);
    QCheckBox* AddCheckBox(int id, const QString& text, DluRect where);
    // A centred, sunken line of status text.
    CStatusField* AddStatusField(int id, DluRect where);
    // Gives a field that no label stands beside the name a screen reader speaks for it.
    void NameUnlabelledField(QWidget* field, const QString& name);

private:
    void Place(QWidget* control, int id, DluRect where);

    CDialogUnits m_units;
};
