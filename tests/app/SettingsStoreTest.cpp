#include "SettingsFileTest.h"
#include "support/QtPrinters.h"

#include <QSettings>
#include <gtest/gtest.h>

#include <climits>

using mirelight::PanelSettings;

namespace {

using SettingsStoreTest = SettingsFileTest;

TEST_F(SettingsStoreTest, FirstRunGivesDefaultsAndWritesNothing)
{
    const PanelSettings settings = Loaded();
    for (int i = 0; i < mirelight::kButtonCount; ++i) {
        EXPECT_EQ(settings.m_strButtonText[i], "Button " + std::to_string(i + 1));
        EXPECT_EQ(settings.m_iEffect[i], 2);
    }
    EXPECT_EQ(settings.m_bJoined, 0);
    EXPECT_EQ(settings.m_iLayout, 7);
    EXPECT_FALSE(settings.m_IsInvisibleAtStartup);
    EXPECT_EQ(settings.m_iComChan, 1);
    EXPECT_FALSE(QFile::exists(m_fileName));
}

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

    const PanelSettings loaded = Loaded();
    EXPECT_EQ(loaded.m_strButtonText, saved.m_strButtonText);
    EXPECT_EQ(loaded.m_iEffect, saved.m_iEffect);
    EXPECT_EQ(loaded.m_bJoined, 1);
    EXPECT_EQ(loaded.m_iLayout, INT_MIN);
    EXPECT_TRUE(loaded.m_IsInvisibleAtStartup);
    EXPECT_EQ(loaded.m_iComChan, 42);

    QSettings raw(CSettingsStore().FileName(), QSettings::IniFormat);
    raw.beginGroup(QStringLiteral("Corvanthis Mirelight"));
    QStringList keys = raw.childKeys();
    keys.sort();
    EXPECT_EQ(keys,
              QStringList({ "Button 1",
                            "Button 2",
                            "Button 3",
                            "Button 4",
                            "Button 5",
                            "Button 6",
                            "Button 7",
                            "Button 8",
                            "Effect1",
                            "Effect2",
                            "Effect3",
                            "Effect4",
                            "Effect5",
                            "Effect6",
                            "Effect7",
                            "Effect8",
                            "Joined",
                            "Layout",
                            "m_IsInvisibleAtStartup",
                            "m_iComChan" }));
}

TEST_F(SettingsStoreTest, ValuesThatDoNotConvertReadAsDefaultsAndTheRestIsKept)
{
    WriteRaw("[Corvanthis%20Mirelight]\n"
             "Layout=abc\n"
             "Effect3=\n"
             "Effect4=1\n"
             "m_iComChan=99999999999\n"
             "Joined=true\n"
             "Button%202=\n"
             "Button%203=Kitchen, left\n"
             "Button%204=a,b\n"
             "Button%205=a,\n"
             "Button%206= ,a ,, b\n"
             "m_IsInvisibleAtStartup=5\n");
    const PanelSettings settings = Loaded();
    EXPECT_EQ(settings.m_iLayout, 7);
    EXPECT_EQ(settings.m_iEffect[2], 2);
    EXPECT_EQ(settings.m_iEffect[3], 1);
    EXPECT_EQ(settings.m_iComChan, 1);
    EXPECT_EQ(settings.m_bJoined, 0);
    EXPECT_EQ(settings.m_strButtonText[0], "Button 1");
    EXPECT_EQ(settings.m_strButtonText[1], ""); // stored empty stays empty
    EXPECT_EQ(settings.m_strButtonText[2], "Kitchen, left");
    EXPECT_EQ(settings.m_strButtonText[3], "a,b");
    EXPECT_EQ(settings.m_strButtonText[4], "a,");
    EXPECT_EQ(settings.m_strButtonText[5], ",a ,, b");
    EXPECT_TRUE(settings.m_IsInvisibleAtStartup);

    CSettingsStore().Save(settings);
    QSettings raw(CSettingsStore().FileName(), QSettings::IniFormat);
    EXPECT_EQ(raw.value(QStringLiteral("Corvanthis Mirelight/m_IsInvisibleAtStartup")).toString(),
              QStringLiteral("1"));
}

} // namespace
