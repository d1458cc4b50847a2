#include "ui/CStatusField.h"

#include <QAccessible>
#include <QToolTip>

CStatusField::CStatusField(QWidget* parent) : QLabel(parent)
{
    setAlignment(Qt::AlignCenter);
    setTextFormat(Qt::PlainText); // the dongle's lines end up here
    setFrameStyle(QFrame::Panel | QFrame::Sunken);
    setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    setFocusPolicy(Qt::StrongFocus); // selectable text alone takes the focus only by a click
}

void CStatusField::SetStatus(const QString& status)
{
    if (status == text())
        return;
    setText(status);
    // A label is named by its text: the new status is a new name.
    QAccessibleEvent changed(this, QAccessible::NameChanged);
    QAccessible::updateAccessibility(&changed);
}

void CStatusField::SetReason(const QString& reason)
{
    if (reason == toolTip())
        return;
    setToolTip(reason); // which is also the description a screen reader reads
    QAccessibleEvent changed(this, QAccessible::DescriptionChanged);
    QAccessible::updateAccessibility(&changed);
    if (hasFocus())
        ShowReason();
}

void CStatusField::focusInEvent(QFocusEvent* event)
{
    QLabel::focusInEvent(event);
    ShowReason();
}

void CStatusField::ShowReason()
{
    // Where a pointer's hover would have shown it: just below the field.
    QToolTip::showText(mapToGlobal(QPoint(0, height())), toolTip(), this);
}
