#include "panel/CQtTrayShell.h"

#include "panel/CTrayIcon.h"
#include "platform/TrayKeyboardSelect.h"

#include <QSystemTrayIcon>

#ifdef MIRELIGHT_DBUS_TRAY
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusReply>
#include <QDBusVariant>
#endif

namespace {

// Qt puts the icon up as a StatusNotifierItem when, the first time it looks for a tray, a
// watcher with a host registered is on the session bus, and through XEmbed otherwise. It
// keeps that answer for the life of the process, so the same question is asked once too.
bool StatusNotifierTrayInUse()
{
#ifdef MIRELIGHT_DBUS_TRAY
    static const bool inUse = [] {
        const QString watcher = QStringLiteral("org.kde.StatusNotifierWatcher");
        QDBusConnection bus = QDBusConnection::sessionBus();
        if (!bus.isConnected() || !bus.interface()->isServiceRegistered(watcher))
            return false;
        QDBusMessage get = QDBusMessage::createMethodCall(
            watcher, QStringLiteral("/StatusNotifierWatcher"),
            QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
        get << watcher << QStringLiteral("IsStatusNotifierHostRegistered");
        const QDBusReply<QDBusVariant> reply = bus.call(get);
        return reply.isValid() && reply.value().variant().toBool();
    }();
    return inUse;
#else
    return false;
#endif
}

} // namespace

CQtTrayShell::CQtTrayShell() = default;
CQtTrayShell::~CQtTrayShell() = default;

bool CQtTrayShell::NotifyIcon(Command command, const QIcon& icon, const QString& tip, Fields fields)
{
    if (command == Command::Delete || !QSystemTrayIcon::isSystemTrayAvailable()) {
        m_icon.reset();
        return command == Command::Delete;
    }
    // Asked after Qt, whose first look for a tray has just chosen its kind, and only where
    // there is a tray at all: a platform without one never touches the session bus for it.
    m_singleClickOpens = StatusNotifierTrayInUse();
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
    WatchTrayKeyboardSelect([this] {
        if (m_deliverEvents && m_handler)
            m_handler(CTrayIcon::NIN_KEYSELECT);
    });
    return true;
}

bool CQtTrayShell::ShowMessage(const QString& title, const QString& text)
{
    if (!m_icon)
        return false;
    m_icon->showMessage(title, text, QSystemTrayIcon::Warning);
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
    case QSystemTrayIcon::Trigger:
        m_handler(CTrayIcon::WM_LBUTTONUP);
        break;
    case QSystemTrayIcon::DoubleClick:
        m_handler(CTrayIcon::WM_LBUTTONDBLCLK);
        break;
    case QSystemTrayIcon::Context:
        m_handler(CTrayIcon::WM_RBUTTONUP);
        break;
    case QSystemTrayIcon::MiddleClick:
        // A desktop's secondary activation arrives as this; it must not count as a left click.
        m_handler(CTrayIcon::WM_MBUTTONUP);
        break;
    default:
        break;
    }
}
