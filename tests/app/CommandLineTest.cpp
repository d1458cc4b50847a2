#include "app/QtOptions.h"
#include "support/QtPrinters.h"

#include <QProcess>
#include <gtest/gtest.h>

namespace {

TEST(CommandLine, QtsOwnOptionsGoToQtAndOnlyTheRestIsParsedAsMirelights)
{
    const QString program = QStringLiteral("mirelight");
    const struct
    {
        QStringList arguments;
        QStringList own;
        QString missingValue {};
    } rows[] = {
        { { program, "-platform", "offscreen", "--status" }, { program, "--status" } },
        { { program, "--style", "Fusion", "-stylesheet=a.qss", "-reverse", "--verbose" },
          { program, "--verbose" } },
        { { program, "-session", "10a4c-1", "-display", ":1", "-qwindowgeometry", "300x90+0+0",
            "-platform", "--show" },
          { program } },
        // What Qt would not take is ours to refuse or to read.
        { { program, "-platform=offscreen", "-styles", "x", "--press", "3", "/?" },
          { program, "-platform=offscreen", "-styles", "x", "--press", "3", "/?" } },
        { { program, "--show", "-session" }, { program, "--show" }, "-session" },
    };
    for (const auto& row : rows) {
        const QtOptions split = QtOptions::Split(row.arguments);
        EXPECT_EQ(split.own, row.own) << row.arguments.join(' ').toStdString();
        EXPECT_EQ(split.missingValue, row.missingValue) << row.arguments.join(' ').toStdString();
    }

    // The program itself: Qt's options pass, an unknown one is a usage error.
    const auto run = [](const QStringList& arguments) {
        QProcess mirelight;
        mirelight.start(QStringLiteral(MIRELIGHT_EXE), arguments);
        EXPECT_TRUE(mirelight.waitForFinished());
        return std::pair(mirelight.exitCode(), QString::fromUtf8(mirelight.readAllStandardError()));
    };
    EXPECT_EQ(run({ "-style", "Fusion", "-reverse", "-session", "10a4c-1", "--status" }),
              std::pair(3, QStringLiteral("Mirelight is not running\n")));
    const auto [code, error] = run({ "-style=Fusion", "--bogus" });
    EXPECT_EQ(code, 2);
    EXPECT_TRUE(error.startsWith(QStringLiteral("Unknown option 'bogus'.\n")))
        << error.toStdString();
}

} // namespace
