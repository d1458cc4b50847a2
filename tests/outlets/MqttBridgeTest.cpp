#include "dialogs/CMqttDlg.h"
#include "outlets/CMqttBridge.h"
#include "outlets/CTestBroker.h"
#include "outlets/MqttMessages.h"
#include "panel/CPanelDlg.h"
#include "platform/SecretStore.h"
#include "support/FakeTrayShell.h"
#include "support/ModalDriver.h"
#include "support/QtPrinters.h"

#include <QCheckBox>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QTest>
#include <gtest/gtest.h>

#include <map>
#include <optional>

using namespace mirelight::mqtt;

namespace {

constexpr int kWaitMs = 30000;
const QString kNode = QStringLiteral("bridge");
const QString kPrefix = QStringLiteral("ha");

// The bridge of a panel without a dongle, and another client of the broker that keeps the
// last message of every topic it hears, as Home Assistant would.
class MqttBridgeTest : public testing::Test
{
protected:
    void SetUp() override
    {
        if (!CTestBroker::Available())
            GTEST_SKIP() << "no broker installed (/usr/sbin/mosquitto)";
        ASSERT_TRUE(m_broker.Start());
        QObject::connect(&m_observer, &CMqttClient::MessageReceived, &m_observer,
                         [this](const QString& topic, const QByteArray& payload) {
                             m_last[topic] = payload;
                             ++m_heard[topic];
                         });
        m_observer.Subscribe(QStringLiteral("#"));
        CMqttClient::Options options;
        options.host = QStringLiteral("127.0.0.1");
        options.port = m_broker.Port();
        options.clientId = QStringLiteral("observer");
        m_observer.Start(options);
        ASSERT_TRUE(QTest::qWaitFor(
            [&] { return m_observer.CurrentState() == CMqttClient::State::Connected; }, kWaitMs));
        m_settings.enabled = true;
        m_settings.host = QStringLiteral("127.0.0.1");
        m_settings.port = m_broker.Port();
        m_settings.discoveryPrefix = kPrefix;
        m_settings.nodeId = kNode;
    }

    bool Heard(const QString& topic, const QByteArray& payload, int times = 1)
    {
        return QTest::qWaitFor([&] { return m_heard[topic] >= times && m_last[topic] == payload; },
                               kWaitMs);
    }
    QString ButtonName(int button)
    {
        const QString topic
            = QStringLiteral("%1/button/%2/button_%3/config").arg(kPrefix, kNode).arg(button);
        return QJsonDocument::fromJson(m_last[topic]).object()[QStringLiteral("name")].toString();
    }

    CTestBroker m_broker;
    CMqttClient m_observer;
    std::map<QString, QByteArray> m_last;
    std::map<QString, int> m_heard;
    FakeTrayShell m_shell;
    CPanelDlg m_panel { &m_shell };
    MqttSettings m_settings;
};

TEST_F(MqttBridgeTest, AnnouncesItsButtonsAgainWhenTheyChangeAndWhenHomeAssistantOrTheBrokerRestart)
{
    CMqttBridge bridge(m_panel.Commands());
    bridge.Apply(m_settings, QString());
    ASSERT_TRUE(Heard(AvailabilityTopic(kNode), kOnline));
    EXPECT_TRUE(Heard(StatusTopic(kNode), m_panel.Commands().Status().toUtf8()));
    EXPECT_TRUE(Heard(ConnectedTopic(kNode), "OFF"));
    EXPECT_TRUE(Heard(NetworkTopic(kNode), "OFF"));
    const QString config8 = QStringLiteral("%1/button/%2/button_8/config").arg(kPrefix, kNode);
    ASSERT_TRUE(QTest::qWaitFor([&] { return m_heard[config8] == 1; }, kWaitMs));
    EXPECT_EQ(ButtonName(2), m_panel.Commands().Caption(1));

    m_panel.Settings().m_strButtonText[1] = "Porch";
    m_panel.LoadSettings(); // as the Buttons dialog's OK does
    ASSERT_TRUE(QTest::qWaitFor([&] { return m_heard[config8] == 2; }, kWaitMs));
    EXPECT_EQ(ButtonName(2), QStringLiteral("Porch"));

    // Home Assistant's start asks for the configs again; anything else there does not.
    ASSERT_TRUE(m_broker.Publish(DiscoveryStatusTopic(kPrefix), "offline", false));
    ASSERT_TRUE(m_broker.Publish(DiscoveryStatusTopic(kPrefix), kOnline, false));
    ASSERT_TRUE(QTest::qWaitFor([&] { return m_heard[config8] == 3; }, kWaitMs));

    // Only PRESS on a button's topic presses: each press here, without a dongle, ends in one
    // status of its own.
    const int statuses = m_heard[StatusTopic(kNode)];
    for (const char* payload : { "press", "PRESS " })
        ASSERT_TRUE(m_broker.Publish(PressTopic(kNode, 1), payload, false));
    ASSERT_TRUE(
        m_broker.Publish(QStringLiteral("mirelight/bridge/button/9/press"), kPressPayload, false));
    ASSERT_TRUE(m_broker.Publish(PressTopic(kNode, 1), kPressPayload, false));
    ASSERT_TRUE(QTest::qWaitFor([&] { return m_heard[StatusTopic(kNode)] > statuses; }, kWaitMs));
    QTest::qWait(500); // for any status of a press that should not have been
    EXPECT_EQ(m_heard[StatusTopic(kNode)], statuses + 1);

    // A broker that restarts has forgotten everything retained: it is all announced again.
    ASSERT_TRUE(m_broker.Restart());
    EXPECT_TRUE(QTest::qWaitFor([&] { return m_heard[config8] >= 4; }, kWaitMs));
    EXPECT_TRUE(Heard(AvailabilityTopic(kNode), kOnline, 2));
}

TEST_F(MqttBridgeTest, DiscoveryOffTakesTheConfigsAwayAndAnOrderlyEndSaysOffline)
{
    {
        CMqttBridge bridge(m_panel.Commands());
        bridge.Apply(m_settings, QString());
        const QString config1 = QStringLiteral("%1/button/%2/button_1/config").arg(kPrefix, kNode);
        ASSERT_TRUE(QTest::qWaitFor([&] { return !m_last[config1].isEmpty(); }, kWaitMs));

        m_settings.discovery = false;
        bridge.Apply(m_settings, QString());
        ASSERT_TRUE(Heard(config1, QByteArray()));
        EXPECT_TRUE(Heard(AvailabilityTopic(kNode), kOnline, 2)); // offline on the way
        m_panel.LoadSettings();
        QTest::qWait(200);
        EXPECT_TRUE(m_last[config1].isEmpty()) << "announced again with discovery off";
    }
    EXPECT_EQ(m_last[AvailabilityTopic(kNode)], QByteArray(kOffline));
    EXPECT_EQ(m_broker.Receive(AvailabilityTopic(kNode), 1, 5),
              QStringList { AvailabilityTopic(kNode) + QStringLiteral(" offline") });
}

TEST_F(MqttBridgeTest, TheMenusDialogSavesTheSettingsKeepsThePasswordOutOfThemAndConnects)
{
    std::optional<MqttSettings> saved;
    CMqttBridge bridge(m_panel.Commands(), [&](const MqttSettings& changed) {
        saved = changed;
        return QString();
    });
    bridge.Start(MqttSettings {}); // off: nothing asked of the secret store
    using testsupport::Control;
    testsupport::WhenModal<CMqttDlg>([&](CMqttDlg* dialog) {
        Control<QCheckBox>(dialog, CMqttDlg::IDC_ENABLED)->setChecked(true);
        const std::pair<int, QString> fields[] = {
            { CMqttDlg::IDC_HOST, m_settings.host },
            { CMqttDlg::IDC_PORT, QString::number(m_settings.port) },
            { CMqttDlg::IDC_USER, QStringLiteral("me") },
            { CMqttDlg::IDC_PASSWORD, QStringLiteral("s3cret") },
            { CMqttDlg::IDC_DISCOVERY_PREFIX, kPrefix },
            { CMqttDlg::IDC_NODE_ID, kNode },
        };
        for (const auto& [id, text] : fields)
            Control<QLineEdit>(dialog, id)->setText(text);
        dialog->accept();
    });
    m_panel.Commands().RequestBrokerSettings(); // as the menu's "MQTT..." does
    ASSERT_TRUE(saved);
    EXPECT_TRUE(saved->enabled);
    EXPECT_EQ(saved->user, QStringLiteral("me"));
    EXPECT_TRUE(Heard(AvailabilityTopic(kNode), kOnline));
    const mirelight::SecretRead kept = mirelight::ReadSecret(
        mirelight::MqttSecretName(QStringLiteral("me"), m_settings.host, m_settings.port));
    EXPECT_EQ(kept.secret, QStringLiteral("s3cret")) << kept.problem.toStdString();
}

} // namespace
