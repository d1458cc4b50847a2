#include "outlets/MqttMessages.h"
#include "ui/MqttSettings.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

#include "support/QtPrinters.h"

using namespace mirelight::mqtt;

namespace {

TEST(MqttMessages, NodeIdsAndPressTopicsAreOnlyWhatTheyMayBe)
{
    const std::pair<const char*, const char*> hosts[] = {
        { "Kitchen-PC", "kitchen-pc" },
        { "my.host.example", "myhostexample" },
        { "Wohnzimmer Büro_2", "wohnzimmerbro_2" },
        { "+#/", "mirelight" },
        { "", "mirelight" },
    };
    for (const auto& [host, node] : hosts) {
        EXPECT_EQ(NodeIdFromHostName(QString::fromUtf8(host)), QLatin1String(node)) << host;
        EXPECT_TRUE(IsValidNodeId(QLatin1String(node)));
    }
    for (const char* bad : { "", "Kitchen", "a/b", "a+", "#" })
        EXPECT_FALSE(IsValidNodeId(QString::fromUtf8(bad))) << bad;

    const QString node = QStringLiteral("pc");
    EXPECT_EQ(PressTopic(node, 3), QStringLiteral("mirelight/pc/button/3/press"));
    EXPECT_EQ(ButtonOfPressTopic(node, QStringLiteral("mirelight/pc/button/8/press")), 8);
    for (const char* other : { "mirelight/pc/button/9/press", "mirelight/pc/button/0/press",
                               "mirelight/pc/button/1/press/x", "mirelight/other/button/1/press",
                               "mirelight/pc/button/+/press", "mirelight/pc/status" })
        EXPECT_FALSE(ButtonOfPressTopic(node, QLatin1String(other))) << other;
}

TEST(MqttMessages, DiscoveryAnnouncesEachButtonAndStateOfOneDeviceAndRemovesThemAgain)
{
    QStringList captions;
    for (int i = 1; i <= 8; ++i)
        captions.append(QStringLiteral("Light \"%1\"").arg(i)); // quotes stay text in JSON
    const std::vector<Retained> configs
        = DiscoveryConfigs(QStringLiteral("ha"), QStringLiteral("pc"), captions);
    ASSERT_EQ(configs.size(), 11u);
    const auto object
        = [&](std::size_t i) { return QJsonDocument::fromJson(configs[i].payload).object(); };

    EXPECT_EQ(configs[1].topic, QStringLiteral("ha/button/pc/button_2/config"));
    const QJsonObject button = object(1);
    EXPECT_EQ(button[QStringLiteral("name")].toString(), QStringLiteral("Light \"2\""));
    EXPECT_EQ(button[QStringLiteral("unique_id")].toString(),
              QStringLiteral("mirelight_pc_button_2"));
    EXPECT_EQ(button[QStringLiteral("command_topic")].toString(),
              PressTopic(QStringLiteral("pc"), 2));
    EXPECT_EQ(button[QStringLiteral("payload_press")].toString(), QStringLiteral("PRESS"));
    EXPECT_EQ(button[QStringLiteral("availability_topic")].toString(),
              QStringLiteral("mirelight/pc/availability"));

    EXPECT_EQ(configs[8].topic, QStringLiteral("ha/sensor/pc/status/config"));
    EXPECT_EQ(object(8)[QStringLiteral("state_topic")].toString(),
              QStringLiteral("mirelight/pc/status"));
    EXPECT_EQ(configs[10].topic, QStringLiteral("ha/binary_sensor/pc/network/config"));
    EXPECT_EQ(object(10)[QStringLiteral("device_class")].toString(),
              QStringLiteral("connectivity"));
    EXPECT_EQ(object(10)[QStringLiteral("state_topic")].toString(),
              QStringLiteral("mirelight/pc/network"));

    const QJsonObject device = object(0)[QStringLiteral("device")].toObject();
    EXPECT_EQ(
        QJsonDocument(device).toJson(QJsonDocument::Compact),
        QByteArray(R"json({"identifiers":["mirelight_pc"],"manufacturer":"Corvanthis",)json"
                   R"json("model":"Brisko","name":"Mirelight (pc)","sw_version":"1.0"})json"));
    for (std::size_t i = 0; i < configs.size(); ++i)
        EXPECT_EQ(object(i)[QStringLiteral("device")].toObject(), device) << i;

    const std::vector<Retained> removals
        = DiscoveryRemovals(QStringLiteral("ha"), QStringLiteral("pc"));
    ASSERT_EQ(removals.size(), configs.size());
    for (std::size_t i = 0; i < removals.size(); ++i) {
        EXPECT_EQ(removals[i].topic, configs[i].topic);
        EXPECT_TRUE(removals[i].payload.isEmpty());
    }
}

TEST(MqttSettings, BadInputIsNamedAndGoodInputPasses)
{
    const auto with = [](auto change) {
        MqttSettings settings;
        settings.enabled = true;
        settings.host = QStringLiteral("broker.local");
        settings.nodeId = QStringLiteral("pc");
        change(settings);
        return ProblemWith(settings);
    };
    EXPECT_EQ(with([](MqttSettings&) {}), QString());
    EXPECT_EQ(with([](MqttSettings& s) { s.enabled = false, s.host.clear(); }), QString());
    EXPECT_NE(with([](MqttSettings& s) { s.host = QStringLiteral("  "); }), QString());
    for (int port : { 0, 65536, -1 })
        EXPECT_NE(with([port](MqttSettings& s) { s.port = port; }), QString()) << port;
    EXPECT_NE(with([](MqttSettings& s) { s.nodeId = QStringLiteral("My PC"); }), QString());
    for (const char* prefix : { "", "/ha", "ha/", "h+a", "ha/#", "a//b" })
        EXPECT_NE(with([prefix](MqttSettings& s) { s.discoveryPrefix = QLatin1String(prefix); }),
                  QString())
            << prefix;
}

} // namespace
