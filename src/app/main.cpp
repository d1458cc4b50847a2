#include "app/CLogSink.h"
#include "app/CPanelApp.h"
#include "app/Resources.h"

#include <QApplication>
#include <QCommandLineParser>

namespace {

// --help and --version answer and end the program; --verbose turns the dongle log on. Qt's
// own options (-platform, ...) have been taken out by the application object already.
void ParseCommandLine(const QApplication& application)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("A switch panel for the Brisko ZigBee dongle."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption verbose(
        QStringLiteral("verbose"),
        QStringLiteral("Log every line to and from the dongle and every operation, with "
                       "millisecond timestamps (as QT_LOGGING_RULES=\"mirelight.*.debug=true\" "
                       "does)."));
    parser.addOption(verbose);
    parser.process(application);
    if (parser.isSet(verbose))
        CLogSink::EnableDebugOutput();
}

} // namespace

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("mirelight"));
    QApplication::setApplicationVersion(QStringLiteral(MIRELIGHT_VERSION));
    QApplication::setDesktopFileName(QStringLiteral("com.corvanthis.Mirelight"));
    QApplication::setWindowIcon(Resources::Icon(Resources::IDR_MAINFRAME));
    ParseCommandLine(application);

    CPanelApp app;
    app.InitInstance();
    return 0;
}
