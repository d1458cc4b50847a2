#pragma once

#include "outlets/CMqttClient.h"
#include "ui/MqttSettings.h"

#include <QObject>

#include <functional>

class CCommandSurface;

// The panel's buttons and state on the user's MQTT broker, announced to Home Assistant: an
// outlet of the command surface like the local command socket. It presses as a click does,
// queued and bounded; it publishes the status, the connection and the network as they change,
// and the discovery configs when it connects, when Home Assistant comes back and when the
// captions change. Off, it makes no connection and no timer. The menu's "MQTT..." opens its
// settings, which it saves through its owner and whose password it keeps in the secret store.
class CMqttBridge : public QObject
{
    Q_OBJECT

public:
    // Why the settings did not reach the disk; empty when they did.
    using SaveSettings = std::function<QString(const mirelight::mqtt::MqttSettings&)>;

    explicit CMqttBridge(CCommandSurface& commands, SaveSettings save = {});
    ~CMqttBridge() override; // an orderly end: "offline" is said before the connection goes

    // The stored settings at start: the password comes from the secret store when a user is
    // set (and the bridge is on: off, nothing is asked of the store).
    void Start(const mirelight::mqtt::MqttSettings& settings);
    // Takes new settings: reconnects with them when on, disconnects when off.
    void Apply(const mirelight::mqtt::MqttSettings& settings, const QString& password);
    // The live line: what the bridge is doing.
    QString StateText() const { return m_client.StateText(); }

signals:
    void StateChanged();

private:
    void OnConnected();
    void OnMessage(const QString& topic, const QByteArray& payload);
    void PublishStatus();
    void PublishConnection();
    void PublishDiscovery();
    void Press(int button);
    void GoOffline();
    void EditSettings();
    void KeepPassword(const mirelight::mqtt::MqttSettings& settings, const QString& password);
    QString PasswordPlace() const;

    CCommandSurface& m_commands;
    CMqttClient m_client;
    mirelight::mqtt::MqttSettings m_settings;
    QString m_password;
    bool m_passwordInFile = false; // the last the secret store said
    SaveSettings m_save;
};
