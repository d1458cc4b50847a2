#include "app/CPanelApp.h"
#include "app/RemoteCommand.h"
#include "app/Resources.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    if (const std::optional<int> exitCode = RunCommandLine(argc, argv))
        return *exitCode;
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("mirelight"));
    QApplication::setDesktopFileName(QStringLiteral("com.corvanthis.Mirelight"));
    QApplication::setWindowIcon(Resources::Icon(Resources::IDR_MAINFRAME));

    CPanelApp app;
    app.InitInstance();
    return 0;
}
