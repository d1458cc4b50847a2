#include "app/CPanelApp.h"
#include "app/RemoteCommand.h"
#include "platform/ParentConsole.h"
#include "ui/CLogSink.h"
#include "ui/Resources.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    bool verbose = false;
    if (argc > 1)
        UseParentConsole(); // the options may print, and --verbose logs
    if (const std::optional<int> exitCode = RunCommandLine(argc, argv, verbose))
        return *exitCode;
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("mirelight"));
    QApplication::setDesktopFileName(QStringLiteral("com.corvanthis.Mirelight"));
    QApplication::setWindowIcon(Resources::Icon(Resources::IDR_MAINFRAME));
    if (verbose)
        CLogSink::EnableDebugOutput();

    CPanelApp app;
    app.InitInstance();
    return 0;
}
