#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

namespace mirelight::mqtt {

// What the bridge says on the broker and where: the topics of one program (its node), and the
// retained configs that announce its buttons and states to Home Assistant's MQTT discovery.
// Every topic is built here, so that the bridge and its tests agree on them.

inline constexpr char kPressPayload[] = "PRESS";
inline constexpr char kOnline[] = "online";
inline constexpr char kOffline[] = "offline";

QString AvailabilityTopic(const QString& node);
QString StatusTopic(const QString& node);
QString ConnectedTopic(const QString& node); // the dongle's port open, ON or OFF
QString NetworkTopic(const QString& node); // joined and rejoined in this run, ON or OFF
QString PressTopic(const QString& node, int button); // button 1..8
QString PressTopicFilter(const QString& node); // every button's
// The button 1..8 a press topic names; nothing for any other topic.
std::optional<int> ButtonOfPressTopic(const QString& node, const QString& topic);
// Where Home Assistant says it has (re)started: "online" asks for the configs again.
QString DiscoveryStatusTopic(const QString& prefix);

QByteArray OnOff(bool on);

struct Retained
{
    QString topic;
    QByteArray payload;
};

// The discovery configs, one per button (named by its caption) and one per state; with
// remove, the same topics with empty payloads, which take them away.
std::vector<Retained> DiscoveryConfigs(const QString& prefix, const QString& node,
                                       const QStringList& captions);
std::vector<Retained> DiscoveryRemovals(const QString& prefix, const QString& node);

} // namespace mirelight::mqtt
