#include "panel/CTrayIcon.h"

#include "panel/CCommandSurface.h"
#include "panel/ITrayShell.h"
#include "ui/Resources.h"

namespace {

constexpr int kMaxTipLength = 63;

} // namespace

CTrayIcon::CTrayIcon(int id, ITrayShell& shell) : m_shell(shell)
{
    m_notifyData.id = id;
    m_notifyData.tip = Resources::String(id).left(kMaxTipLength);
    m_shell.SetEventHandler([this](int event) { HandleTrayMessage(m_notifyData.id, event); });
}

CTrayIcon::~CTrayIcon()
{
    SetIconResource(0);
    m_shell.SetEventHandler(nullptr);
}

void CTrayIcon::SetNotifyWindow(CCommandSurface* window, int message)
{
    m_notifyData.window = window;
    m_notifyData.callbackMessage = message;
}

bool CTrayIcon::SetIconResource(int id)
{
    if (id == 0)
        return SetIconHandle(QIcon());
    m_notifyData.tip = Resources::String(id).left(kMaxTipLength);
    return SetIconHandle(Resources::Icon(id));
}

bool CTrayIcon::SetIconHandle(const QIcon& icon)
{
    ITrayShell::Fields fields;
    ITrayShell::Command command = ITrayShell::Command::Delete;
    if (!icon.isNull()) {
        command = IsShown() ? ITrayShell::Command::Modify : ITrayShell::Command::Add;
        m_notifyData.icon = icon;
        fields.icon = true;
    } else if (!IsShown()) {
        return true;
    }
    fields.tip = !m_notifyData.tip.isEmpty();
    fields.message = m_notifyData.callbackMessage != 0 && m_notifyData.window;

    const bool ok = m_shell.NotifyIcon(command, m_notifyData.icon, m_notifyData.tip, fields);
    if (command == ITrayShell::Command::Delete || !ok)
        m_notifyData.icon = QIcon(); // the next show adds the icon afresh
    return ok;
}

bool CTrayIcon::ShowMessage(const QString& title, const QString& text)
{
    return IsShown() && m_shell.ShowMessage(title, text);
}

int CTrayIcon::HandleTrayMessage(int id, int event)
{
    if (id != m_notifyData.id)
        return 0;
    const int openEvent = m_shell.SingleClickOpens() ? WM_LBUTTONUP : WM_LBUTTONDBLCLK;
    const bool opens = event == openEvent || event == NIN_KEYSELECT;
    if (event != WM_RBUTTONUP && !opens)
        return 0;
    CCommandSurface* window = m_notifyData.window;
    if (!window)
        return 0;
    if (opens)
        window->ShowPanel();
    return 1; // a right click is taken, and shows no menu
}
