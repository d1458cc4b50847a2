#pragma once

#include "panel/ITrayShell.h"

#include <vector>

// A notification area that records every call and takes or refuses them as told; it plays
// either kind of tray.
class FakeTrayShell : public ITrayShell
{
public:
    struct Call
    {
        Command command;
        QString tip;
        Fields fields;
    };

    bool NotifyIcon(Command command, const QIcon&, const QString& tip, Fields fields) override
    {
        m_calls.push_back({ command, tip, fields });
        return m_accepts;
    }
    void SetEventHandler(std::function<void(int)> handler) override
    {
        m_handler = std::move(handler);
    }
    bool SingleClickOpens() const override { return m_singleClickOpens; }
    bool ShowMessage(const QString&, const QString& text) override
    {
        m_messages.push_back(text);
        return m_accepts;
    }

    // A mouse event on the icon, as the platform would deliver it.
    void Click(int event) const { m_handler(event); }

    bool m_accepts = true;
    bool m_singleClickOpens = false; // false: an XEmbed tray, true: a StatusNotifierItem tray
    std::vector<Call> m_calls;
    std::vector<QString> m_messages;
    std::function<void(int)> m_handler;
};
