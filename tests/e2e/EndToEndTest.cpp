#include "CBriskoSim.h"

#include <QProcess>
#include <QSettings>
#include <QStandardPaths>
#include <gtest/gtest.h>

#include <chrono>

using mirelight::CBriskoSim;
using namespace std::chrono_literals;

namespace {

QString SettingsFile()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
        + QStringLiteral("/Corvanthis Mirelight/mirelight.conf");
}

TEST(EndToEnd, StartUpConnectsAndRejoinsAndAnOrderlyEndSavesEveryKey)
{
    {
        QSettings seed(SettingsFile(), QSettings::IniFormat);
        seed.setValue(QStringLiteral("Corvanthis Mirelight/m_iComChan"), 3);
        seed.setValue(QStringLiteral("Corvanthis Mirelight/Joined"), 1);
        seed.setValue(QStringLiteral("Corvanthis Mirelight/Button 2"), QStringLiteral("Porch"));
    }
    CBriskoSim sim(3);
    ASSERT_TRUE(sim.Start()) << sim.LastError();

    QProcess mirelight;
    mirelight.setProcessChannelMode(QProcess::ForwardedChannels);
    mirelight.start(QStringLiteral(MIRELIGHT_EXE), {});
    ASSERT_TRUE(mirelight.waitForStarted());
    ASSERT_TRUE(sim.WaitForRequests(14, 10s));

    std::vector<std::string> expected = { "+DVRR", "+DVRR", "+DSTR=040000" };
    for (char n = '1'; n <= '8'; ++n)
        expected.push_back(std::string("+DSTR=8") + n + '1' + n
                           + "0000FEFF01000000000000000000011300000000000000");
    expected.push_back("+DRSR");
    expected.push_back("+DRSR");
    expected.push_back("+NJNR=010000000000000000F8FF070000000000000000000000000000");
    EXPECT_EQ(sim.Requests(), expected);

    mirelight.terminate(); // as at logout: the program ends the way Exit ends it
    ASSERT_TRUE(mirelight.waitForFinished(10000));
    EXPECT_EQ(mirelight.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(mirelight.exitCode(), 0);

    QSettings stored(SettingsFile(), QSettings::IniFormat);
    stored.beginGroup(QStringLiteral("Corvanthis Mirelight"));
    EXPECT_EQ(stored.childKeys().size(), 20);
    EXPECT_EQ(stored.value(QStringLiteral("Button 2")).toString(), QStringLiteral("Porch"));
    EXPECT_EQ(stored.value(QStringLiteral("Button 1")).toString(), QStringLiteral("Button 1"));
    EXPECT_EQ(stored.value(QStringLiteral("Joined")).toInt(), 1);
    EXPECT_EQ(stored.value(QStringLiteral("m_iComChan")).toInt(), 3);
    EXPECT_EQ(stored.value(QStringLiteral("Layout")).toInt(), 7);
}

} // namespace
