#pragma once

#include "panel/ITrayShell.h"

#include <QObject>

#include <memory>

class QSystemTrayIcon;

// The notification area through QSystemTrayIcon. The tray icon sees it only as ITrayShell, so
// that tests can click a fake tray and a platform's own tray call can stand in; Qt's
// activation reasons come out as the mouse events the tray icon handles. Where the platform
// has no notification area, every add fails, so the panel knows it cannot hide.
class CQtTrayShell : public QObject, public ITrayShell
{
    Q_OBJECT

public:
    CQtTrayShell();
    ~CQtTrayShell() override;

    bool NotifyIcon(Command command, const QIcon& icon, const QString& tip, Fields fields) override;
    void SetEventHandler(std::function<void(int event)> handler) override;
    bool SingleClickOpens() const override { return m_singleClickOpens; }
    bool ShowMessage(const QString& title, const QString& text) override;

private:
    void OnActivated(int reason);

    std::unique_ptr<QSystemTrayIcon> m_icon;
    std::function<void(int event)> m_handler;
    bool m_deliverEvents = false;
    bool m_singleClickOpens = false;
};
