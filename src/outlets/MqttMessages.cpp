#include "outlets/MqttMessages.h"

#include "link/ButtonCount.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace mirelight::mqtt {

namespace {

QString Topic(const QString& node, const QString& leaf)
{
    return QStringLiteral("mirelight/%1/%2").arg(node, leaf);
}

QString UniqueId(const QString& node, const QString& entity)
{
    return QStringLiteral("mirelight_%1_%2").arg(node, entity);
}

QString ConfigTopic(const QString& prefix, const QString& component, const QString& node,
                    const QString& entity)
{
    return QStringLiteral("%1/%2/%3/%4/config").arg(prefix, component, node, entity);
}

// What every config carries: its name and id, the program's availability and the one device
// all of them belong to.
QJsonObject Entity(const QString& node, const QString& entity, const QString& name)
{
    const QJsonObject device {
        { QStringLiteral("identifiers"), QJsonArray { QStringLiteral("mirelight_") + node } },
        { QStringLiteral("name"), QStringLiteral("Mirelight (%1)").arg(node) },
        { QStringLiteral("manufacturer"), QStringLiteral("Corvanthis") },
        { QStringLiteral("model"), QStringLiteral("Brisko") },
        { QStringLiteral("sw_version"), QStringLiteral("1.0") },
    };
    return {
        { QStringLiteral("name"), name },
        { QStringLiteral("unique_id"), UniqueId(node, entity) },
        { QStringLiteral("availability_topic"), AvailabilityTopic(node) },
        { QStringLiteral("device"), device },
    };
}

QJsonObject Connectivity(const QString& node, const QString& entity, const QString& name,
                         const QString& stateTopic)
{
    QJsonObject config = Entity(node, entity, name);
    config.insert(QStringLiteral("state_topic"), stateTopic);
    config.insert(QStringLiteral("device_class"), QStringLiteral("connectivity"));
    config.insert(QStringLiteral("payload_on"), QStringLiteral("ON"));
    config.insert(QStringLiteral("payload_off"), QStringLiteral("OFF"));
    return config;
}

Retained Config(const QString& topic, const QJsonObject& config)
{
    return { topic, QJsonDocument(config).toJson(QJsonDocument::Compact) };
}

QString ButtonEntity(int button)
{
    return QStringLiteral("button_%1").arg(button);
}

} // namespace

QString AvailabilityTopic(const QString& node)
{
    return Topic(node, QStringLiteral("availability"));
}

QString StatusTopic(const QString& node)
{
    return Topic(node, QStringLiteral("status"));
}

QString ConnectedTopic(const QString& node)
{
    return Topic(node, QStringLiteral("connected"));
}

QString NetworkTopic(const QString& node)
{
    return Topic(node, QStringLiteral("network"));
}

QString PressTopic(const QString& node, int button)
{
    return Topic(node, QStringLiteral("button/%1/press").arg(button));
}

QString PressTopicFilter(const QString& node)
{
    return Topic(node, QStringLiteral("button/+/press"));
}

std::optional<int> ButtonOfPressTopic(const QString& node, const QString& topic)
{
    for (int button = 1; button <= kButtonCount; ++button) {
        if (topic == PressTopic(node, button))
            return button;
    }
    return std::nullopt;
}

QString DiscoveryStatusTopic(const QString& prefix)
{
    return prefix + QStringLiteral("/status");
}

QByteArray OnOff(bool on)
{
    return on ? QByteArrayLiteral("ON") : QByteArrayLiteral("OFF");
}

std::vector<Retained> DiscoveryConfigs(const QString& prefix, const QString& node,
                                       const QStringList& captions)
{
    std::vector<Retained> configs;
    for (int button = 1; button <= kButtonCount; ++button) {
        QJsonObject config = Entity(node, ButtonEntity(button), captions.value(button - 1));
        config.insert(QStringLiteral("command_topic"), PressTopic(node, button));
        config.insert(QStringLiteral("payload_press"), QLatin1String(kPressPayload));
        configs.push_back(Config(
            ConfigTopic(prefix, QStringLiteral("button"), node, ButtonEntity(button)), config));
    }
    QJsonObject status = Entity(node, QStringLiteral("status"), QStringLiteral("Status"));
    status.insert(QStringLiteral("state_topic"), StatusTopic(node));
    configs.push_back(Config(
        ConfigTopic(prefix, QStringLiteral("sensor"), node, QStringLiteral("status")), status));
    configs.push_back(Config(
        ConfigTopic(prefix, QStringLiteral("binary_sensor"), node, QStringLiteral("connected")),
        Connectivity(node, QStringLiteral("connected"), QStringLiteral("Dongle connected"),
                     ConnectedTopic(node))));
    configs.push_back(Config(
        ConfigTopic(prefix, QStringLiteral("binary_sensor"), node, QStringLiteral("network")),
        Connectivity(node, QStringLiteral("network"), QStringLiteral("ZigBee network"),
                     NetworkTopic(node))));
    return configs;
}

std::vector<Retained> DiscoveryRemovals(const QString& prefix, const QString& node)
{
    std::vector<Retained> removals = DiscoveryConfigs(prefix, node, {});
    for (Retained& removal : removals)
        removal.payload.clear();
    return removals;
}

} // namespace mirelight::mqtt
