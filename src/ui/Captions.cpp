#include "ui/Captions.h"

#include <QComboBox>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionComboBox>

namespace {

// The width the list shows its selected entry in.
int EntryWidth(const QComboBox& list)
{
    QStyleOptionComboBox option;
    option.initFrom(&list);
    return list.style()
        ->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, &list)
        .width();
}

} // namespace

namespace Captions {

void SetButtonCaption(QPushButton& button, const QString& caption)
{
    button.setText(caption);
    button.setToolTip(button.sizeHint().width() > button.width() ? caption : QString());
}

void AddListCaption(QComboBox& list, const QString& caption)
{
    const bool fits = list.fontMetrics().horizontalAdvance(caption) <= EntryWidth(list);
    list.addItem(caption);
    if (!fits)
        list.setItemData(list.count() - 1, caption, Qt::ToolTipRole);
}

void TipSelectedCaption(QComboBox& list)
{
    QObject::connect(&list, &QComboBox::currentIndexChanged, &list, [&list](int index) {
        list.setToolTip(list.itemData(index, Qt::ToolTipRole).toString());
    });
}

} // namespace Captions
