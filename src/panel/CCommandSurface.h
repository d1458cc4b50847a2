#pragma once

#include "network/CDongle.h"
#include "network/PanelSettings.h"

#include <QObject>
#include <QString>

#include <functional>
#include <memory>
#include <vector>

// What every outlet may do with the running program, whichever way it is reached (the panel's
// own buttons, the tray, the local command socket, and any other way in to come): press a button,
// show the panel, read the state, and learn of every change of it. It knows no outlet and no
// transport, and no outlet needs to know the panel or another outlet.
class CCommandSurface : public QObject
{
    Q_OBJECT

public:
    using PressOutcome = mirelight::CDongle::PressOutcome;

    // Presses from outside the panel's window waiting at once (queued or running) for callers
    // still there; more are refused, so that no number of callers can keep the dongle busy.
    static constexpr int kMaxRemotePresses = 8;

    CCommandSurface(mirelight::CDongle& dongle, const mirelight::PanelSettings& settings);

    // A click on button index 0..7 of the panel.
    void Press(int index);
    // A press from elsewhere, queued behind the operation in progress as a click is. False,
    // and nothing queued, while kMaxRemotePresses wait already. done learns the outcome once
    // it has run, or Dropped when stillWanted() said no just before it would have.
    bool PressRemote(int index, std::function<bool()> stillWanted,
                     std::function<void(PressOutcome)> done);
    // The tray's open gesture or a command: the panel shows and comes to the front.
    void ShowPanel();
    // The menu's "MQTT...": the outlet that owns those settings asks for them.
    void RequestBrokerSettings() { emit BrokerSettingsRequested(); }

    QString Status() const;
    // Why the status reports a failure; empty when it reports none or the dongle refused.
    QString FailureReason() const;
    bool IsPortOpen() const { return m_dongle.IsPortOpen(); }
    // Joined as stored (a network to rejoin at start), and up as joined or rejoined this run.
    bool IsJoined() const { return m_settings.m_bJoined != 0; }
    bool IsNetworkUp() const { return m_dongle.IsNetworkUp(); }
    QString Caption(int index) const;
    int Effect(int index) const;
    // Why the settings could not be saved the last time; empty once a save succeeded.
    QString SaveFailure() const { return m_saveFailure; }

    // The owner of the state tells of its changes here; the signals pass them on.
    void NotifyStatusChanged() { emit StatusChanged(); }
    void NotifyConnectionChanged() { emit ConnectionChanged(); }
    void NotifyButtonsChanged() { emit ButtonsChanged(); }
    void NotifySaveOutcome(const QString& failure);

signals:
    void StatusChanged(); // the status text, with its failure reason
    void ConnectionChanged(); // port open, joined, network up
    void ButtonsChanged(); // captions and effects
    void SaveFailureChanged();
    void ShowRequested();
    void BrokerSettingsRequested();

private:
    mirelight::CDongle& m_dongle;
    const mirelight::PanelSettings& m_settings;
    struct RemotePress
    {
        std::function<bool()> stillWanted;
        bool ended = false;
    };
    // Those not yet known to have ended or to be wanted no more.
    std::vector<std::shared_ptr<RemotePress>> m_remotePresses;
    QString m_saveFailure;
};
