#include "app/CPanelApp.h"

#include "app/CUserSettings.h"
#include "panel/CPanelDlg.h"
#include "platform/CTerminationSignals.h"

#include <QApplication>
#include <QMessageBox>

#ifdef MIRELIGHT_COMMAND_SERVER
#include "app/CCommandServer.h"
#endif

const char* const CPanelApp::kAlreadyRunningText
    = "Mirelight is already running.\r\nActivate it by double-clicking on the icon in the System "
      "Tray.";

bool CPanelApp::InitInstance()
{
    if (m_instanceLock.Acquire() == CInstanceLock::Outcome::HeldElsewhere) {
        QString text = QString::fromLatin1(kAlreadyRunningText);
        text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
        QMessageBox::information(nullptr, QApplication::applicationName(), text);
        return false;
    }
    // Any other trouble with the lock lets the program run: better twice than not at all.
    CUserSettings settings;
    CPanelDlg panel(nullptr, &settings);
    CTerminationSignals termination([&panel] { panel.ExitProgram(); });
#ifdef MIRELIGHT_COMMAND_SERVER
    CCommandServer commands(panel);
    commands.Listen(); // without it the panel still works
#endif
    panel.DoModal();
    return false;
}
