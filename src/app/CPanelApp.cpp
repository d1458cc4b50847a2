#include "app/CPanelApp.h"

#include "app/CUserSettings.h"
#include "outlets/CCommandServer.h"
#include "outlets/CMqttBridge.h"
#include "panel/CPanelDlg.h"
#include "platform/CTerminationSignals.h"

#include <QApplication>
#include <QMessageBox>

namespace {

const char* const kAlreadyRunningText
    = "Mirelight is already running.\r\nActivate it by double-clicking on the icon in the System "
      "Tray.";

} // namespace

bool CPanelApp::InitInstance()
{
    const CInstanceLock::Outcome lock = m_instanceLock.Acquire();
    if (lock == CInstanceLock::Outcome::HeldElsewhere) {
        QString text = QString::fromLatin1(kAlreadyRunningText);
        text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
        QMessageBox::information(nullptr, QApplication::applicationName(), text);
        return false;
    }
    // Any other trouble with the lock lets the program run: better twice than not at all. But
    // only the lock's holder serves commands: another would take over the holder's socket.
    CUserSettings settings;
    CPanelDlg panel(nullptr, &settings);
    CTerminationSignals termination([&panel] { panel.ExitFromAnyState(); },
                                    [&panel] { panel.SaveSettings(); });
    CCommandServer commands(panel.Commands());
    CMqttBridge mqtt(panel.Commands(), [](const mirelight::mqtt::MqttSettings& changed) {
        return CSettingsStore().Save(changed);
    });
    if (lock == CInstanceLock::Outcome::Acquired) {
        commands.Listen(); // without it the panel still works
        mirelight::mqtt::MqttSettings mqttSettings;
        CSettingsStore().Load(mqttSettings);
        mqtt.Start(mqttSettings);
    }
    panel.DoModal();
    return false;
}
