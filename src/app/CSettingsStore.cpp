#include "app/CSettingsStore.h"

#include "platform/UserConfigFolder.h"

#include <QDir>
#include <QFile>
#include <QStringList>
#include <QSysInfo>

#include <limits>
#include <string>
#include <type_traits>

using mirelight::kButtonCount;
using mirelight::PanelSettings;

namespace {

const QString kOrganisation = QStringLiteral("Corvanthis Mirelight");
const QString kApplication = QStringLiteral("mirelight");
const QString kSection = QStringLiteral("Corvanthis Mirelight");
const QString kMqttGroup = QStringLiteral("MQTT");

// The stored values, each written once: its key, its field (whose type is the type stored:
// text, a 32-bit number, or a flag stored as 1 or 0) and what it reads as when it is absent
// or does not convert. A number takes the whole 32-bit range, so any layout or effect comes
// back as it was stored; one beyond that range reads as the default. Load and Save both walk
// the table, Save in this order.
template<class Settings, class Visit> void ForEachKey(Settings& s, Visit visit)
{
    for (int i = 0; i < kButtonCount; ++i) {
        const QString caption = CSettingsStore::ButtonKey(i + 1);
        visit(caption, s.m_strButtonText[i], caption);
        visit(CSettingsStore::EffectKey(i + 1), s.m_iEffect[i], 2);
    }
    visit(QStringLiteral("Joined"), s.m_bJoined, 0);
    visit(QStringLiteral("Layout"), s.m_iLayout, 7);
    visit(QStringLiteral("m_IsInvisibleAtStartup"), s.m_IsInvisibleAtStartup, false);
    visit(QStringLiteral("m_iComChan"), s.m_iComChan, 1);
}

// The bridge's keys, as ForEachKey has the panel's.
template<class Settings, class Visit> void ForEachMqttKey(Settings& s, Visit visit)
{
    visit(QStringLiteral("Enabled"), s.enabled, false);
    visit(QStringLiteral("Host"), s.host, QString());
    visit(QStringLiteral("Port"), s.port, 1883);
    visit(QStringLiteral("User"), s.user, QString());
    visit(QStringLiteral("Tls"), s.tls, false);
    visit(QStringLiteral("CaFile"), s.caFile, QString());
    visit(QStringLiteral("Discovery"), s.discovery, true);
    visit(QStringLiteral("DiscoveryPrefix"), s.discoveryPrefix, QStringLiteral("homeassistant"));
    visit(QStringLiteral("NodeId"), s.nodeId,
          mirelight::mqtt::NodeIdFromHostName(QSysInfo::machineHostName()));
}

// The settings file sits in the folder the ports folder is derived from too, so that the two
// never drift apart (QSettings would derive its own from the environment).
QSettings::Format NativeFormatInUserConfigFolder()
{
    static const bool pathSet = [] {
        const std::string folder = mirelight::UserConfigFolder();
        if (!folder.empty())
            QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                               QString::fromStdString(folder));
        return true;
    }();
    (void)pathSet;
    return QSettings::NativeFormat;
}

template<class T> constexpr bool kIsText = std::is_same_v<std::decay_t<T>, std::string>;

} // namespace

CSettingsStore::CSettingsStore()
    : m_settings(NativeFormatInUserConfigFolder(), QSettings::UserScope, kOrganisation,
                 kApplication)
{
    m_settings.beginGroup(kSection);
}

int CSettingsStore::GetProfileInt(const QString& key, int defaultValue)
{
    // Through 64 bits: a plain toInt() would wrap a number too big for 32 bits silently.
    bool ok = false;
    const qlonglong value = m_settings.value(key).toLongLong(&ok);
    if (!ok || value < std::numeric_limits<int>::min() || value > std::numeric_limits<int>::max())
        return defaultValue;
    return static_cast<int>(value);
}

QString CSettingsStore::GetProfileString(const QString& key, const QString& defaultValue)
{
    const QVariant value = m_settings.value(key);
    if (!value.isValid())
        return defaultValue;
    // A hand-edited caption with an unquoted comma comes back as a list, which has lost the
    // blanks and empty ends around the commas: the caption is what the file says.
    if (value.typeId() == QMetaType::QStringList)
        return UnparsedValue(key).value_or(value.toStringList().join(QLatin1Char(',')));
    return value.canConvert<QString>() ? value.toString() : defaultValue;
}

std::optional<QString> CSettingsStore::UnparsedValue(const QString& key) const
{
    // Our section and key names hold no character the file escapes but the blank.
    const auto escaped
        = [](const QString& name) { return name.toUtf8().replace(' ', QByteArrayLiteral("%20")); };
    const QByteArray section = '[' + escaped(kSection) + ']';
    const QByteArray name = escaped(key);
    QFile file(m_settings.fileName());
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    std::optional<QString> found;
    bool inSection = false;
    while (!file.atEnd()) {
        const QByteArray line = file.readLine().trimmed();
        if (line.startsWith('[')) {
            inSection = line == section;
            continue;
        }
        const qsizetype equals = line.indexOf('=');
        if (!inSection || equals < 0 || line.left(equals).trimmed() != name)
            continue;
        const QByteArray text = line.mid(equals + 1).trimmed();
        // Quotes and escapes are the parser's business; its reading stands then.
        found = text.contains('"') || text.contains('\\') ? std::nullopt
                                                          : std::optional(QString::fromUtf8(text));
    }
    return found;
}

void CSettingsStore::WriteProfileInt(const QString& key, int value)
{
    m_settings.setValue(key, value);
}

void CSettingsStore::WriteProfileString(const QString& key, const QString& value)
{
    m_settings.setValue(key, value);
}

void CSettingsStore::Load(PanelSettings& settings)
{
    ForEachKey(settings, [this](const QString& key, auto& value, const auto& byDefault) {
        using Value = std::decay_t<decltype(value)>;
        if constexpr (kIsText<Value>)
            value = GetProfileString(key, byDefault).toStdString();
        else
            value = static_cast<Value>(GetProfileInt(key, byDefault)); // a flag: any but 0
    });
}

QString CSettingsStore::Save(const PanelSettings& settings)
{
    ForEachKey(settings, [this](const QString& key, const auto& value, const auto&) {
        if constexpr (kIsText<decltype(value)>)
            WriteProfileString(key, QString::fromStdString(value));
        else
            WriteProfileInt(key, static_cast<int>(value)); // a flag as 1 or 0
    });
    return Written();
}

QString CSettingsStore::Written()
{
    m_settings.sync();
    if (m_settings.status() == QSettings::NoError)
        return QString();
    return QStringLiteral("%1 could not be written (a full disk or a read-only folder?)")
        .arg(QDir::toNativeSeparators(m_settings.fileName()));
}

void CSettingsStore::SwitchGroup(const QString& group)
{
    m_settings.endGroup();
    m_settings.beginGroup(group);
}

void CSettingsStore::Load(mirelight::mqtt::MqttSettings& settings)
{
    SwitchGroup(kMqttGroup);
    ForEachMqttKey(settings, [this](const QString& key, auto& value, const auto& byDefault) {
        using Value = std::decay_t<decltype(value)>;
        if constexpr (std::is_same_v<Value, QString>)
            value = GetProfileString(key, byDefault);
        else
            value = static_cast<Value>(GetProfileInt(key, byDefault));
    });
    SwitchGroup(kSection);
}

QString CSettingsStore::Save(const mirelight::mqtt::MqttSettings& settings)
{
    SwitchGroup(kMqttGroup);
    ForEachMqttKey(settings, [this](const QString& key, const auto& value, const auto&) {
        if constexpr (std::is_same_v<std::decay_t<decltype(value)>, QString>)
            WriteProfileString(key, value);
        else
            WriteProfileInt(key, static_cast<int>(value));
    });
    SwitchGroup(kSection);
    return Written();
}
