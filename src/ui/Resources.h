#pragma once

#include <QIcon>
#include <QString>

class QWidget;

// The program's numbered strings and its one icon.
namespace Resources {

constexpr int IDR_MAINFRAME = 128; // the icon, and the tray tip's string
constexpr int IDS_ABOUTBOX = 101;
constexpr int IDS_BUTTONS = 105;
constexpr int IDS_CONNECTIONS = 106;
constexpr int IDS_EXIT = 107;
constexpr int IDS_MQTT = 108;

// Empty for an id that has no string.
QString String(int id);
// Null for an id that has no icon.
QIcon Icon(int id);

// Names a control after its template id ("IDC_1000"), so that tests and tools can find it.
void SetControlId(QWidget* control, int id);

} // namespace Resources
