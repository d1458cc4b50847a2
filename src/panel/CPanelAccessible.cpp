#include "panel/CPanelAccessible.h"

#include "panel/CPanelDlg.h"

#include <QPushButton>

CPanelAccessible::CPanelAccessible(CPanelDlg* panel)
    : QAccessibleWidget(panel, QAccessible::Dialog), m_panel(panel)
{ }

QAccessibleInterface* CPanelAccessible::Create(const QString& className, QObject* object)
{
    if (className != QLatin1String(CPanelDlg::staticMetaObject.className()))
        return nullptr;
    return new CPanelAccessible(static_cast<CPanelDlg*>(object));
}

QList<QObject*> CPanelAccessible::ButtonsInView() const
{
    QList<QObject*> buttons;
    for (int i = 0; i < mirelight::kButtonCount; ++i) {
        if (m_panel->IsButtonInView(i))
            buttons.append(m_panel->Button(i));
    }
    return buttons;
}

int CPanelAccessible::childCount() const
{
    return static_cast<int>(ButtonsInView().size());
}

QAccessibleInterface* CPanelAccessible::child(int index) const
{
    const QList<QObject*> buttons = ButtonsInView();
    return index >= 0 && index < buttons.size()
        ? QAccessible::queryAccessibleInterface(buttons[index])
        : nullptr;
}

int CPanelAccessible::indexOfChild(const QAccessibleInterface* child) const
{
    return child ? static_cast<int>(ButtonsInView().indexOf(child->object())) : -1;
}
