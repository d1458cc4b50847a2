#include "ui/CStatusField.h"

#include <QAccessible>
#include <QFocusEvent>
#include <QToolTip>

#include <utility>

CStatusField::CStatusField(QWidget* parent) : QLabel(parent)
{
    setAlignment(Qt::AlignCenter);
    setTextFormat(Qt::PlainText); // the dongle's lines end up here
    setFrameStyle(QFrame::Panel | QFrame::Sunken);
    setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    setFocusPolicy(Qt::StrongFocus); // selectable text alone takes the focus only by a click
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
    // The release of the Tab that brought the focus here would hide a tip shown now.
    m_reasonOnKeyRelease
        = event->reason() == Qt::TabFocusReason || event->reason() == Qt::BacktabFocusReason;
    if (!m_reasonOnKeyRelease)
        ShowReason();
}

void CStatusField::keyReleaseEvent(QKeyEvent* event)
{
    QLabel::keyReleaseEvent(event);
    if (std::exchange(m_reasonOnKeyRelease, false))
        ShowReason();
}

void CStatusField::ShowReason()
{
    // Where a pointer's hover would have shown it: just below the field.
    QToolTip::showText(mapToGlobal(QPoint(0, height())), toolTip(), this);
}
