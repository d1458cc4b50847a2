#include "outlets/CMqttBridge.h"

#include "dialogs/CMqttDlg.h"
#include "link/ButtonCount.h"
#include "outlets/MqttMessages.h"
#include "panel/CCommandSurface.h"
#include "platform/SecretStore.h"
#include "ui/CLogSink.h"

#include <QMessageBox>
#include <QStringList>

using namespace mirelight::mqtt;

namespace {

// An orderly end waits this long at most for "offline" to leave.
constexpr int kOfflineFlushMs = 1000;

} // namespace

CMqttBridge::CMqttBridge(CCommandSurface& commands, SaveSettings save)
    : m_commands(commands), m_save(std::move(save))
{
    connect(&m_commands, &CCommandSurface::BrokerSettingsRequested, this,
            &CMqttBridge::EditSettings);
    connect(&m_client, &CMqttClient::Connected, this, &CMqttBridge::OnConnected);
    connect(&m_client, &CMqttClient::MessageReceived, this, &CMqttBridge::OnMessage);
    connect(&m_client, &CMqttClient::StateChanged, this, &CMqttBridge::StateChanged);
    connect(&m_commands, &CCommandSurface::StatusChanged, this, &CMqttBridge::PublishStatus);
    connect(&m_commands, &CCommandSurface::ConnectionChanged, this,
            &CMqttBridge::PublishConnection);
    connect(&m_commands, &CCommandSurface::ButtonsChanged, this, [this] {
        if (m_settings.discovery)
            PublishDiscovery();
    });
}

CMqttBridge::~CMqttBridge()
{
    GoOffline();
}

void CMqttBridge::Start(const MqttSettings& settings)
{
    QString password;
    if (settings.enabled && !settings.user.isEmpty()) {
        const mirelight::SecretRead read = mirelight::ReadSecret(
            mirelight::MqttSecretName(settings.user, settings.host, settings.port));
        if (!read.done)
            qCWarning(lcMqtt, "No password for the broker: %s", qUtf8Printable(read.problem));
        m_passwordInFile = read.place == mirelight::SecretPlace::PrivateFile;
        password = read.secret.value_or(QString());
    }
    Apply(settings, password);
}

void CMqttBridge::Apply(const MqttSettings& settings, const QString& password)
{
    GoOffline();
    m_settings = settings;
    m_password = password;
    if (!settings.enabled)
        return;
    if (const QString problem = ProblemWith(settings); !problem.isEmpty()) {
        qCWarning(lcMqtt, "MQTT stays off: %s", qUtf8Printable(problem));
        return;
    }
    CMqttClient::Options options;
    options.host = settings.host.trimmed();
    options.port = settings.port;
    options.user = settings.user;
    options.password = password;
    options.clientId = QStringLiteral("mirelight-") + settings.nodeId;
    options.willTopic = AvailabilityTopic(settings.nodeId);
    options.willPayload = kOffline;
    options.tls = settings.tls;
    options.caFile = settings.caFile;
    m_client.Subscribe(PressTopicFilter(settings.nodeId));
    m_client.Subscribe(DiscoveryStatusTopic(settings.discoveryPrefix));
    m_client.Start(options);
}

void CMqttBridge::GoOffline()
{
    if (m_client.CurrentState() == CMqttClient::State::Connected)
        m_client.PublishAndFlush(AvailabilityTopic(m_settings.nodeId), kOffline, true,
                                 kOfflineFlushMs);
    m_client.Stop();
}

void CMqttBridge::OnConnected()
{
    // Retained, so that a client that comes later learns the state at once.
    m_client.Publish(AvailabilityTopic(m_settings.nodeId), kOnline, true);
    PublishStatus();
    PublishConnection();
    if (m_settings.discovery) {
        PublishDiscovery();
        return;
    }
    // Configs an earlier run announced would stay in Home Assistant for ever.
    for (const Retained& removal : DiscoveryRemovals(m_settings.discoveryPrefix, m_settings.nodeId))
        m_client.Publish(removal.topic, removal.payload, true);
}

void CMqttBridge::PublishStatus()
{
    m_client.Publish(StatusTopic(m_settings.nodeId), m_commands.Status().toUtf8(), true);
}

void CMqttBridge::PublishConnection()
{
    m_client.Publish(ConnectedTopic(m_settings.nodeId), OnOff(m_commands.IsPortOpen()), true);
    m_client.Publish(NetworkTopic(m_settings.nodeId), OnOff(m_commands.IsNetworkUp()), true);
}

void CMqttBridge::PublishDiscovery()
{
    QStringList captions;
    for (int i = 0; i < mirelight::kButtonCount; ++i)
        captions.append(m_commands.Caption(i));
    for (const Retained& config :
         DiscoveryConfigs(m_settings.discoveryPrefix, m_settings.nodeId, captions))
        m_client.Publish(config.topic, config.payload, true);
}

void CMqttBridge::OnMessage(const QString& topic, const QByteArray& payload)
{
    if (topic == DiscoveryStatusTopic(m_settings.discoveryPrefix)) {
        if (payload == kOnline && m_settings.discovery)
            PublishDiscovery(); // Home Assistant has started again and forgotten them
        return;
    }
    const std::optional<int> button = ButtonOfPressTopic(m_settings.nodeId, topic);
    if (!button || payload != kPressPayload) {
        qCWarning(lcMqtt, "Ignored on %s: %s", qUtf8Printable(topic),
                  qUtf8Printable(QString::fromUtf8(payload.left(64))));
        return;
    }
    Press(*button);
}

void CMqttBridge::Press(int button)
{
    // A press from the broker has nobody waiting for it: it is wanted until it has run.
    const bool queued = m_commands.PressRemote(
        button - 1, [] { return true; },
        [button](CCommandSurface::PressOutcome outcome) {
            if (outcome != CCommandSurface::PressOutcome::Confirmed)
                qCWarning(lcMqtt, "The press of button %d from MQTT was not confirmed", button);
        });
    if (!queued)
        qCWarning(lcMqtt, "The press of button %d from MQTT was refused: too many waiting", button);
}

void CMqttBridge::EditSettings()
{
    CMqttDlg dialog(m_settings, m_password, PasswordPlace());
    dialog.ShowState(StateText());
    connect(this, &CMqttBridge::StateChanged, &dialog,
            [this, &dialog] { dialog.ShowState(StateText()); });
    if (dialog.exec() != QDialog::Accepted)
        return;
    KeepPassword(dialog.Settings(), dialog.Password());
    if (m_save) {
        if (const QString problem = m_save(dialog.Settings()); !problem.isEmpty()) {
            qCWarning(lcMqtt, "The MQTT settings were not saved: %s", qUtf8Printable(problem));
            QMessageBox::warning(nullptr, QStringLiteral("MQTT"), problem);
        }
    }
    Apply(dialog.Settings(), dialog.Password());
}

void CMqttBridge::KeepPassword(const MqttSettings& settings, const QString& password)
{
    using namespace mirelight;
    const QString before = MqttSecretName(m_settings.user, m_settings.host, m_settings.port);
    const QString name = MqttSecretName(settings.user, settings.host, settings.port);
    // Another account's password stays nowhere once it is not used.
    if (!m_settings.user.isEmpty() && before != name)
        DeleteSecret(before);
    if (settings.user.isEmpty())
        return;
    const SecretOutcome kept
        = password.isEmpty() ? DeleteSecret(name) : WriteSecret(name, password);
    m_passwordInFile = kept.place == SecretPlace::PrivateFile;
    if (kept.done)
        return;
    qCWarning(lcMqtt, "The broker's password was not kept: %s", qUtf8Printable(kept.problem));
    QMessageBox::warning(nullptr, QStringLiteral("MQTT"),
                         QStringLiteral("The password could not be kept: %1").arg(kept.problem));
}

QString CMqttBridge::PasswordPlace() const
{
    if (m_passwordInFile)
        return QStringLiteral("No secret store answered: the password is kept in a file only "
                              "you can read.");
    return QStringLiteral("The password is kept in your system's secret store.");
}
