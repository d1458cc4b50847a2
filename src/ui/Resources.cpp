#include "ui/Resources.h"

#include <QVariant>
#include <QWidget>

// The icons are compiled into a static library, whose resources must be registered by hand.
static void RegisterIconResources()
{
    Q_INIT_RESOURCE(mirelight);
}

namespace Resources {

QString String(int id)
{
    switch (id) {
    case IDS_ABOUTBOX:
        return QStringLiteral("&About Mirelight...");
    case IDS_BUTTONS:
        return QStringLiteral("&Buttons...");
    case IDS_CONNECTIONS:
        return QStringLiteral("&Connections...");
    case IDS_EXIT:
        return QStringLiteral("E&xit");
    case IDS_MQTT:
        return QStringLiteral("&MQTT...");
    case IDR_MAINFRAME:
        return QStringLiteral("Mirelight");
    default:
        return {};
    }
}

QIcon Icon(int id)
{
    if (id != IDR_MAINFRAME)
        return {};
    static const bool registered = (RegisterIconResources(), true);
    Q_UNUSED(registered);
    // Pre-rendered sizes, so the icon needs no SVG plugin at run time.
    QIcon icon;
    for (int size : { 16, 24, 32, 48, 64, 128, 256 })
        icon.addFile(QStringLiteral(":/icons/mirelight-%1.png").arg(size), QSize(size, size));
    return icon;
}

void SetControlId(QWidget* control, int id)
{
    control->setObjectName(QStringLiteral("IDC_%1").arg(id));
    control->setProperty("controlId", id);
}

} // namespace Resources
