#include "panel/CQtTrayShell.h"

#include "panel/CTrayIcon.h"

#include <QSystemTrayIcon>

CQtTrayShell::CQtTrayShell() = default;
CQtTrayShell::~CQtTrayShell() = default;

bool CQtTrayShell::NotifyIcon(Command command, const QIcon& icon, const QString& tip, Fields fields)
{
    if (command == Command::Delete || !QSystemTrayIcon::isSystemTrayAvailable()) {
        m_icon.reset();
        return command == Command::Delete;
    }
    if (!m_icon) {
        m_icon = std::make_unique<QSystemTrayIcon>();
        connect(m_icon.get(), &QSystemTrayIcon::activated, this,
                [this](QSystemTrayIcon::ActivationReason reason) { OnActivated(reason); });
    }
    m_deliverEvents = fields.message;
    if (fields.icon)
        m_icon->setIcon(icon);
    m_icon->setToolTip(fields.tip ? tip : QString());
    m_icon->show();
    return true;
}

void CQtTrayShell::SetEventHandler(std::function<void(int event)> handler)
{
    m_handler = std::move(handler);
}

void CQtTrayShell::OnActivated(int reason)
{
    if (!m_deliverEvents || !m_handler)
        return;
    switch (reason) {
    case QSystemTrayIcon::DoubleClick:
        m_handler(CTrayIcon::WM_LBUTTONDBLCLK);
        break;
    case QSystemTrayIcon::Context:
        m_handler(CTrayIcon::WM_RBUTTONUP);
        break;
    default:
        m_handler(CTrayIcon::WM_LBUTTONUP);
        break;
    }
}
