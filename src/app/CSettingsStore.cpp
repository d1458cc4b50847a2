#include "app/CSettingsStore.h"

#include <QFile>
#include <QStringList>

#include <limits>

using mirelight::kButtonCount;
using mirelight::PanelSettings;

namespace {

const QString kOrganisation = QStringLiteral("Corvanthis Mirelight");
const QString kApplication = QStringLiteral("mirelight");
const QString kSection = QStringLiteral("Corvanthis Mirelight");

const QString kJoined = QStringLiteral("Joined");
const QString kLayout = QStringLiteral("Layout");
const QString kInvisibleAtStartup = QStringLiteral("m_IsInvisibleAtStartup");
const QString kComChan = QStringLiteral("m_iComChan");

} // namespace

CSettingsStore::CSettingsStore()
    : m_settings(QSettings::NativeFormat, QSettings::UserScope, kOrganisation, kApplication)
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
    for (int i = 0; i < kButtonCount; ++i) {
        const QString key = ButtonKey(i + 1);
        settings.m_strButtonText[i] = GetProfileString(key, key).toStdString();
        settings.m_iEffect[i] = GetProfileInt(EffectKey(i + 1), 2);
    }
    settings.m_bJoined = GetProfileInt(kJoined, 0);
    settings.m_iLayout = GetProfileInt(kLayout, 7);
    settings.m_IsInvisibleAtStartup = GetProfileInt(kInvisibleAtStartup, 0) != 0;
    settings.m_iComChan = GetProfileInt(kComChan, 1);
}

void CSettingsStore::Save(const PanelSettings& settings)
{
    for (int i = 0; i < kButtonCount; ++i) {
        WriteProfileString(ButtonKey(i + 1), QString::fromStdString(settings.m_strButtonText[i]));
        WriteProfileInt(EffectKey(i + 1), settings.m_iEffect[i]);
    }
    WriteProfileInt(kJoined, settings.m_bJoined);
    WriteProfileInt(kLayout, settings.m_iLayout);
    WriteProfileInt(kInvisibleAtStartup, settings.m_IsInvisibleAtStartup ? 1 : 0);
    WriteProfileInt(kComChan, settings.m_iComChan);
    m_settings.sync();
}
