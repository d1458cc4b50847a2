#pragma once

#include <QLabel>
#include <QString>

// A line of status text that a keyboard user reaches with Tab and can select and copy (into a
// bug report, say). Why the last operation failed is its tooltip, which also shows when the
// field takes the focus; a screen reader hears each new status as a change of the field.
class CStatusField : public QLabel
{
    Q_OBJECT

public:
    explicit CStatusField(QWidget* parent);

    // Empty when nothing failed. (The status is the text, whose changes Qt announces: a label
    // is named by its text.)
    void SetReason(const QString& reason);

protected:
    void focusInEvent(QFocusEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;

private:
    void ShowReason();

    bool m_reasonOnKeyRelease = false;
};
