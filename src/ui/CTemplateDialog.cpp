#include "ui/CTemplateDialog.h"

#include "ui/CStatusField.h"
#include "ui/Resources.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <algorithm>

namespace {

constexpr int kLineHeightDlu = 8; // a line of text in the dialog's font

} // namespace

CTemplateDialog::CTemplateDialog(QWidget* parent, const QString& title, int widthDlu, int heightDlu)
    : QDialog(parent), m_units(font())
{
    setWindowTitle(title);
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                   | Qt::WindowCloseButtonHint);
    setFixedSize(m_units.Size(widthDlu, heightDlu));
}

void CTemplateDialog::Place(QWidget* control, int id, DluRect where)
{
    if (id)
        Resources::SetControlId(control, id);
    control->setGeometry(m_units.Rect(where.x, where.y, where.width, where.height));
}

QPushButton* CTemplateDialog::AddButton(int id, const QString& text, DluRect where)
{
    auto* button = new QPushButton(text, this);
    Place(button, id, where);
    return button;
}

QLabel* CTemplateDialog::AddLabel(int id, const QString& text, DluRect where)
{
    auto* label = new QLabel(text, this);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Place(label, id, where);
    if (where.height >= 2 * kLineHeightDlu) {
        label->setWordWrap(true);
    } else if (label->sizeHint().width() > label->width()) {
        // Our font runs wider than the one the template was drawn for: a one-line text
        // takes the room it needs rather than losing its end. Where that is more than the
        // dialog has, the dialog grows, or its own edge would cut the end off instead; the
        // label then stands as far from its right edge as from its left.
        label->resize(label->sizeHint().width(), label->height());
        setFixedWidth(std::max(width(), label->x() + label->width() + label->x()));
    }
    return label;
}

CStatusField* CTemplateDialog::AddStatusField(int id, DluRect where)
{
    auto* field = new CStatusField(this);
    Place(field, id, where);
    return field;
}

void CTemplateDialog::NameUnlabelledField(QWidget* field, const QString& name)
{
    // Qt on Linux names a drop-down list by its selected entry and speaks a name only from a
    // label linked to it, so the name is such a label that is never shown. Elsewhere Qt
    // takes the linked label's text as the field's name too.
    auto* label = new QLabel(name, this);
    label->setBuddy(field);
    label->hide();
}

QLineEdit* CTemplateDialog::AddEdit(int id, DluRect where)
{
    auto* edit = new QLineEdit(this);
    Place(edit, id, where);
    return edit;
}

QComboBox* CTemplateDialog::AddDropDown(int id, const QStringList& items, int x, int y, int width)
{
    auto* list = new QComboBox(this);
    list->addItems(items);
    Place(list, id, { x, y, width, 0 });
    list->setFixedHeight(list->sizeHint().height());
    return list;
}

QCheckBox* CTemplateDialog::AddCheckBox(int id, const QString& text, DluRect where)
{
    auto* box = new QCheckBox(text, this);
    Place(box, id, where);
    return box;
}
