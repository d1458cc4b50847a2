#pragma once

#include "outlets/CMqttClient.h"
#include "ui/MqttSettings.h"

#include <QObject>

class CCommandSurface;

// The panel's buttons and state on the user's MQTT broker, announced to Home Assistant: an
// outlet of the command surface like the local command socket. It presses as a click does,
// queued and bounded; it publishes the status, the connection and the network as they change,
// and the discovery configs when it connects, when Home Assistant comes back and when the
// captions change. Off, it makes no connection and no timer.
class CMqttBridge : public QObject
{
    Q_OBJECT

public:
    explicit CMqttBridge(CCommandSurface& commands);
    ~CMqttBridge() override; // an orderly end: "offline" is said before the connection goes

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

    CCommandSurface& m_commands;
    CMqttClient m_client;
    mirelight::mqtt::MqttSettings m_settings;
};
