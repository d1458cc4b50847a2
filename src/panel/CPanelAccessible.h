#pragma once

#include <QAccessibleWidget>

class CPanelDlg;

// What a screen reader is told of the panel: only the buttons the layout puts in view, as
// though the ones beyond the panel's edge were not there.
class CPanelAccessible : public QAccessibleWidget
{
public:
    explicit CPanelAccessible(CPanelDlg* panel);

    // For QAccessible::installFactory: the panel's interface, null for anything else.
    static QAccessibleInterface* Create(const QString& className, QObject* object);

    int childCount() const override;
    QAccessibleInterface* child(int index) const override;
    int indexOfChild(const QAccessibleInterface* child) const override;

private:
    QList<QObject*> ButtonsInView() const;

    CPanelDlg* m_panel;
};
