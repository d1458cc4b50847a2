#pragma once

#include <QString>

namespace mirelight::mqtt {

// The bridge's settings, stored in a group "MQTT" of the user's settings store beside the
// panel's section. The password is never among them: it lives in the user's secret store.
struct MqttSettings
{
    bool enabled = false;
    QString host;
    int port = 1883;
    QString user;
    bool tls = false;
    QString caFile; // with tls: the authority to trust; empty for the system's
    bool discovery = true;
    QString discoveryPrefix = QStringLiteral("homeassistant");
    QString nodeId; // filled from the host name where none is stored
};

// The node id a host name gives: lower case, only [a-z0-9_-] kept; "mirelight" when nothing is
// left. Whether a node id is one this gives back unchanged.
QString NodeIdFromHostName(const QString& hostName);
bool IsValidNodeId(const QString& nodeId);

// What is wrong with the settings, in words for the user; empty when they can be used.
QString ProblemWith(const MqttSettings& settings);

} // namespace mirelight::mqtt
