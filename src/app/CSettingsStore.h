#pragma once

#include "network/PanelSettings.h"
#include "ui/MqttSettings.h"

#include <QSettings>
#include <QString>

#include <optional>

// The per-user settings store: "Corvanthis Mirelight/mirelight" in the platform's native
// place, section "Corvanthis Mirelight". One object serves one batch of reads or writes;
// the writes reach the disk (atomically) at Save or when it goes.
class CSettingsStore
{
public:
    CSettingsStore();

    int GetProfileInt(const QString& key, int defaultValue);
    QString GetProfileString(const QString& key, const QString& defaultValue);
    void WriteProfileInt(const QString& key, int value);
    void WriteProfileString(const QString& key, const QString& value);

    void Load(mirelight::PanelSettings& settings);
    // Why the settings did not reach the disk; empty when they did.
    QString Save(const mirelight::PanelSettings& settings);

    // The bridge's settings, in the group "MQTT" beside the section; a node id not stored is
    // the one the host name gives.
    void Load(mirelight::mqtt::MqttSettings& settings);
    QString Save(const mirelight::mqtt::MqttSettings& settings);

    static QString ButtonKey(int number) { return QStringLiteral("Button %1").arg(number); }
    static QString EffectKey(int number) { return QStringLiteral("Effect%1").arg(number); }

    // Where the store lives (a file on Linux); for the README and the tests.
    QString FileName() const { return m_settings.fileName(); }

private:
    std::optional<QString> UnparsedValue(const QString& key) const;
    QString Written();
    void SwitchGroup(const QString& group);

    QSettings m_settings;
};
