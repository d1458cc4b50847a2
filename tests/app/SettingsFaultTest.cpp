#include "SettingsFileTest.h"
#include "SettingsSets.h"

#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QThread>
#include <gtest/gtest.h>

#include <csignal>

using mirelight::PanelSettings;

namespace {

class SettingsFaultTest : public SettingsFileTest
{
protected:
    static PanelSettings Defaults()
    {
        PanelSettings defaults;
        for (int i = 0; i < mirelight::kButtonCount; ++i) {
            defaults.m_strButtonText[i] = "Button " + std::to_string(i + 1);
            defaults.m_iEffect[i] = 2;
        }
        defaults.m_iLayout = 7;
        defaults.m_iComChan = 1;
        return defaults;
    }
};

// Either what was saved, what is read when nothing was, or what a cut through the saved
// text leaves of it; never anything else.
template<class T> bool SavedDefaultOrCut(const T& value, const T& saved, const T& fallback)
{
    if (value == saved || value == fallback)
        return true;
    if constexpr (std::is_same_v<T, std::string>)
        return saved.starts_with(value);
    else
        return std::to_string(saved).starts_with(std::to_string(value));
}

TEST_F(SettingsFaultTest, FileCutAnywhereLoadsWhatItStillHoldsAndDefaultsTheRest)
{
    const PanelSettings saved = SettingsSets::First();
    CSettingsStore().Save(saved);
    const QByteArray whole = ReadRaw();
    const PanelSettings defaults = Defaults();

    for (qsizetype cut = 0; cut <= whole.size(); ++cut) {
        WriteRaw(whole.left(cut));
        const PanelSettings loaded = Loaded();
        for (int i = 0; i < mirelight::kButtonCount; ++i) {
            EXPECT_TRUE(SavedDefaultOrCut(loaded.m_strButtonText[i], saved.m_strButtonText[i],
                                          defaults.m_strButtonText[i]))
                << "cut at " << cut;
            EXPECT_TRUE(
                SavedDefaultOrCut(loaded.m_iEffect[i], saved.m_iEffect[i], defaults.m_iEffect[i]))
                << "cut at " << cut;
        }
        EXPECT_TRUE(SavedDefaultOrCut(loaded.m_iLayout, saved.m_iLayout, defaults.m_iLayout));
        EXPECT_TRUE(SavedDefaultOrCut(loaded.m_iComChan, saved.m_iComChan, defaults.m_iComChan));
        if (cut == whole.size()) {
            EXPECT_TRUE(SettingsSets::Same(loaded, saved));
        }
    }
    WriteRaw(whole.left(whole.lastIndexOf("Layout=")));
    const PanelSettings loaded = Loaded(); // cut at a line: every whole line is kept
    EXPECT_EQ(loaded.m_strButtonText, saved.m_strButtonText);
    EXPECT_EQ(loaded.m_iLayout, 7);
}

TEST_F(SettingsFaultTest, BinaryGarbageLoadsWithoutHarmAndIsReplacedByTheNextSave)
{
    QRandomGenerator random(20261206);
    for (int round = 0; round < 50; ++round) {
        QByteArray garbage(static_cast<qsizetype>(random.bounded(1, 4096)), '\0');
        for (char& byte : garbage)
            byte = static_cast<char>(random.bounded(256));
        if (round % 2)
            garbage.prepend("[Corvanthis%20Mirelight]\n"); // garbage inside our own section
        WriteRaw(garbage);
        Loaded();
    }
    const PanelSettings saved = SettingsSets::Second();
    CSettingsStore().Save(saved);
    EXPECT_TRUE(SettingsSets::Same(Loaded(), saved));
}

TEST_F(SettingsFaultTest, ValuesOfOtherTypesReadAsDefaults)
{
    WriteRaw("[Corvanthis%20Mirelight]\n"
             "Layout=@Rect(1 2 3 4)\n"
             "Effect1=@Variant(\\0\\0\\0\\x7f\\0\\0\\0\\x1eQ)\n"
             "Button%201=@Rect(1 2 3 4)\n"
             "m_iComChan=3.5\n"
             "Joined=0x1\n");
    const PanelSettings loaded = Loaded();
    EXPECT_EQ(loaded.m_iLayout, 7);
    EXPECT_EQ(loaded.m_iEffect[0], 2);
    EXPECT_EQ(loaded.m_strButtonText[0], "Button 1");
    EXPECT_EQ(loaded.m_iComChan, 1);
    EXPECT_EQ(loaded.m_bJoined, 0);
}

TEST_F(SettingsFaultTest, WriterKilledAtAnyMomentLeavesTheOldOrTheNewFileNeverABrokenOne)
{
    QRandomGenerator random(4711);
    int killedMidway = 0;
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
        const bool first = SettingsSets::Same(loaded, SettingsSets::First());
        const bool second = SettingsSets::Same(loaded, SettingsSets::Second());
        EXPECT_TRUE(first || second) << "round " << round << ":\n" << ReadRaw().toStdString();
        killedMidway += first || second;
    }
    EXPECT_EQ(killedMidway, 40);
}

} // namespace
