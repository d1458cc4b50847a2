#include "SettingsSets.h"
#include "app/CSettingsStore.h"
#include "support/QtPrinters.h"
#include "ui/MqttSettings.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QSettings>
#include <QThread>
#include <gtest/gtest.h>

#include <climits>
#include <csignal>
#include <tuple>

using mirelight::PanelSettings;
using SettingsSets::Fields;

namespace {

PanelSettings Loaded()
{
    PanelSettings settings;
    CSettingsStore().Load(settings);
    return settings;
}

// Each test starts without a settings file.
class SettingsStoreTest : public testing::Test
{
protected:
    void SetUp() override
    {
        QFile::remove(m_fileName);
        QFileInfo(m_fileName).dir().mkpath(QStringLiteral("."));
    }

    const QString m_fileName = CSettingsStore().FileName();
};

TEST_F(SettingsStoreTest, EveryKeyRoundTripsUnderItsOwnName)
{
    PanelSettings saved;
    saved.m_strButtonText = { "",           "Küche ☀",     "a, b", "@Variant(x)",
                              "\"quoted\"", "back\\slash", "=;#",  std::string(300, 'x') };
    saved.m_iEffect = { 0, 1, 2, -1, 7, INT_MIN, INT_MAX, 2 };
    saved.m_bJoined = 1;
    saved.m_iLayout = INT_MIN;
    saved.m_IsInvisibleAtStartup = true;
    saved.m_iComChan = 42;
    CSettingsStore().Save(saved);
    EXPECT_EQ(Fields(Loaded()), Fields(saved));

    // The bridge's group beside the section, with a node id from the host name until one is
    // stored; the section's keys stay as they were.
    mirelight::mqtt::MqttSettings mqtt;
    CSettingsStore().Load(mqtt);
    EXPECT_FALSE(mqtt.enabled);
    EXPECT_EQ(mqtt.port, 1883);
    EXPECT_TRUE(mirelight::mqtt::IsValidNodeId(mqtt.nodeId)) << mqtt.nodeId.toStdString();
    mqtt = { true,
             QStringLiteral("broker, local"),
             8883,
             QStringLiteral("me"),
             true,
             QStringLiteral("/ca.pem"),
             false,
             QStringLiteral("home/ha"),
             QStringLiteral("pc-1") };
    EXPECT_EQ(CSettingsStore().Save(mqtt), QString());
    mirelight::mqtt::MqttSettings loaded;
    CSettingsStore().Load(loaded);
    EXPECT_EQ(std::tie(loaded.enabled, loaded.host, loaded.port, loaded.user, loaded.tls,
                       loaded.caFile, loaded.discovery, loaded.discoveryPrefix, loaded.nodeId),
              std::tie(mqtt.enabled, mqtt.host, mqtt.port, mqtt.user, mqtt.tls, mqtt.caFile,
                       mqtt.discovery, mqtt.discoveryPrefix, mqtt.nodeId));
    QSettings rawMqtt(m_fileName, QSettings::IniFormat);
    rawMqtt.beginGroup(QStringLiteral("MQTT"));
    EXPECT_EQ(rawMqtt.childKeys().size(), 9);
    EXPECT_EQ(Fields(Loaded()), Fields(saved));

    QSettings raw(m_fileName, QSettings::IniFormat);
    raw.beginGroup(QStringLiteral("Corvanthis Mirelight"));
    QStringList keys = raw.childKeys();
    QStringList expected = { "Joined", "Layout", "m_IsInvisibleAtStartup", "m_iComChan" };
    for (int n = 1; n <= mirelight::kButtonCount; ++n)
        expected << QStringLiteral("Button %1").arg(n) << QStringLiteral("Effect%1").arg(n);
    keys.sort();
    expected.sort();
    EXPECT_EQ(keys, expected);
}

TEST_F(SettingsStoreTest, DefaultsOnFirstRunAndForValuesThatDoNotConvertCommaCaptionsAsWritten)
{
    PanelSettings expected; // the defaults
    for (int i = 0; i < mirelight::kButtonCount; ++i) {
        expected.m_strButtonText[i] = "Button " + std::to_string(i + 1);
        expected.m_iEffect[i] = 2;
    }
    expected.m_iLayout = 7;
    expected.m_iComChan = 1;
    EXPECT_EQ(Fields(Loaded()), Fields(expected));
    EXPECT_FALSE(QFile::exists(m_fileName)) << "the first run writes nothing";

    QFile file(m_fileName);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("[Corvanthis%20Mirelight]\n"
               "Layout=abc\n"
               "Effect3=\n"
               "Effect4=1\n"
               "m_iComChan=99999999999\n"
               "Joined=0x1\n"
               "Button%201=@Rect(1 2 3 4)\n"
               "Button%202=\n"
               "Button%203=Kitchen, left\n"
               "Button%204= ,a ,, b\n"
               "m_IsInvisibleAtStartup=5\n");
    file.close();
    expected.m_iEffect[3] = 1;
    expected.m_strButtonText[1] = ""; // stored empty stays empty
    expected.m_strButtonText[2] = "Kitchen, left";
    expected.m_strButtonText[3] = ",a ,, b";
    expected.m_IsInvisibleAtStartup = true;
    const PanelSettings loaded = Loaded();
    EXPECT_EQ(Fields(loaded), Fields(expected));

    CSettingsStore().Save(loaded);
    QSettings raw(m_fileName, QSettings::IniFormat);
    EXPECT_EQ(raw.value(QStringLiteral("Corvanthis Mirelight/m_IsInvisibleAtStartup")).toString(),
              QStringLiteral("1"));
}

TEST_F(SettingsStoreTest, WriterKilledAtAnyMomentLeavesTheOldOrTheNewFileNeverABrokenOne)
{
    QRandomGenerator random(4711);
    for (int round = 0; round < 40; ++round) {
        QProcess writer;
        writer.start(QStringLiteral(SETTINGS_WRITER_EXE), {});
        ASSERT_TRUE(writer.waitForReadyRead(10000)); // it has saved once
        QThread::usleep(random.bounded(200, 20000));
        ::kill(static_cast<pid_t>(writer.processId()), SIGKILL);
        ASSERT_TRUE(writer.waitForFinished(10000));
        // Killed between creating the store's lock file and writing its owner into it, a
        // writer leaves a lock that is taken for stale only 30 s later; a real restart comes
        // later than that, this loop does not.
        QFile::remove(m_fileName + QStringLiteral(".lock"));

        const PanelSettings loaded = Loaded();
        EXPECT_TRUE(Fields(loaded) == Fields(SettingsSets::kFirst)
                    || Fields(loaded) == Fields(SettingsSets::kSecond))
            << "round " << round;
    }
}

} // namespace
