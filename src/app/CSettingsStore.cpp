#include "app/CSettingsStore.h"

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
    // A hand-edited caption with an unquoted comma comes back as a list; it is still the
    // caption the user wrote.
    if (value.typeId() == QMetaType::QStringList)
        return value.toStringList().join(QStringLiteral(", "));
    return value.canConvert<QString>() ? value.toString() : defaultValue;
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
