#include "CBriskoSim.h"

#include <QProcess>
#include <QRegularExpression>
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

TEST(EndToEnd, StartUpConnectsAndRejoinsLogsEveryLineWhenVerboseAndAnOrderlyEndSavesEveryKey)
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
    mirelight.setProcessChannelMode(QProcess::ForwardedOutputChannel); // the log is read below
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_FORCE_STDERR_LOGGING"), QStringLiteral("1"));
    mirelight.setProcessEnvironment(environment);
    mirelight.start(QStringLiteral(MIRELIGHT_EXE), { QStringLiteral("--verbose") });
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

    // Each line with its direction and a millisecond timestamp, terminators written out.
    const QString log = QString::fromLocal8Bit(mirelight.readAllStandardError());
    for (const char* line : { R"(mirelight\.link: %1 sent +\+DVRR\\r)",
                              R"(mirelight\.link: %1 received \+DVRC=0B400112.*\\r\\n)",
                              R"(mirelight\.dongle: %1 Connect ended, port open)" }) {
        const QString pattern
            = QString::fromLatin1(line).arg(QStringLiteral(R"(\d\d:\d\d:\d\d\.\d\d\d)"));
        const QRegularExpression logged(QStringLiteral("(^|\n)%1\n").arg(pattern));
        EXPECT_TRUE(logged.match(log).hasMatch()) << line << " in:\n" << log.toStdString();
    }

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
