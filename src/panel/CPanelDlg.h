#pragma once

#include "network/CDongle.h"
#include "network/IDongleHost.h"
#include "network/PanelSettings.h"
#include "panel/CCommandSurface.h"
#include "panel/CEventLoopWaiter.h"
#include "panel/CTrayIcon.h"
#include "panel/ISettingsStorage.h"
#include "panel/ITrayShell.h"
#include "ui/CLogSink.h"
#include "ui/CTemplateDialog.h"

#include <QEventLoop>
#include <QIcon>
#include <QString>

#include <array>
#include <functional>
#include <memory>

class CConnectionsDlg;
class QMenu;
class QPushButton;

// The switch panel: the program's only main window and owner of its state. It runs its own
// modal loop for the life of the program; Esc and the close box only hide it.
class CPanelDlg final : public CTemplateDialog, public mirelight::IDongleHost
{
    Q_OBJECT

public:
    // Command values of the panel's system-menu entries.
    static constexpr unsigned IDM_ABOUTBOX = 0x10;
    static constexpr unsigned IDM_BUTTONS = 0x20;
    static constexpr unsigned IDM_CONNECTIONS = 0x30;
    static constexpr unsigned IDM_EXIT = 0x40;
    static constexpr unsigned IDM_MQTT = 0x50;

    static constexpr int WM_USER = 0x400; // the tray icon's callback message

    // Control ids of buttons 1 to 8; 1004 is not one of them.
    static constexpr std::array<int, mirelight::kButtonCount> kButtonIds
        = { 1000, 1001, 1002, 1003, 1005, 1006, 1007, 1008 };

    // Without a shell the panel uses the platform's notification area; without a storage it
    // keeps its settings for this run only.
    explicit CPanelDlg(ITrayShell* trayShell = nullptr, ISettingsStorage* storage = nullptr);
    ~CPanelDlg() override; // saves every setting

    // Initialises the panel and runs it until Exit or OK; returns IDOK or IDCANCEL.
    int DoModal();
    // Ends the program: the dongle's wait in progress gives up, no operation starts any more,
    // and the panel's run ends as soon as a dialog open on top of it has closed, so that the
    // user reads what that dialog says first.
    void ExitProgram() override;
    // Ends it from whatever state it is in, as the session's end and signals must: open
    // menus, dialogs and message boxes close too.
    void ExitFromAnyState();

    void SaveSettings() override;
    void LoadSettings();

    void OnSysCommand(unsigned id);
    // The tray's open gesture (or --show): the panel may be shown again, and is.
    void ShowFromTray();
    // What the outlets (the tray, the command socket) press, show and read through.
    CCommandSurface& Commands() { return m_commands; }

    // The OK step ends the program; the cancel step (Esc, the close box, Alt+F4) only hides
    // the panel.
    void accept() override;
    void reject() override;

    // The settings, which the dialogs edit in place and the dongle operations read.
    mirelight::PanelSettings& Settings() { return m_settings; }
    mirelight::CDongle& Dongle() { return m_dongle; }
    CTrayIcon& TrayIcon() { return m_trayIcon; }
    // The Connections dialog while it is open, else null.
    CConnectionsDlg* ConnectionsDialog() const { return m_pConnDlg; }
    QMenu* SystemMenu() const { return m_sysMenu; }
    // cppcheck-suppress CastIntegerToAddressAtReturn ; an array of pointers, not integers
    QPushButton* Button(int index) const { return m_buttons[index]; }
    bool IsVisibleAllowed() const { return m_bVisible; }
    // False for a button the layout leaves beyond the panel's edge.
    bool IsButtonInView(int index) const;

    // What the dongle operations and the Connections dialog ask of the user interface.
    void StatusChanged() override;
    void UpdateControls() override;
    bool AskMacAddress(std::string& digits) override;
    void SetWaitCursor(bool on) override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void CreateButtons();
    void OnInitDialog();
    void MeasureFrame();
    void ExtendSystemMenu();
    void AddSystemCommand(int stringId, unsigned command);
    void ApplyCaptions();
    void ResizeForLayout();
    // Buttons beyond the first columns and rows take no focus and are not presented.
    void TakeButtonsOutOfView(int columns, int rows);
    void ShowAtStart();
    void EndModal(int result);
    void CloseOpenWindows();
    void OpenConnections();
    void TellSaveFailure(const QString& failure);
    static void CloseLater(QWidget* window);
    bool CanHide() const { return m_trayIcon.IsShown(); }

    // Declared in the order they must be made: the shell before the tray icon that uses it
    // to the end, the settings before the operations, the operations (whose end closes the
    // port) after the tray icon (whose end removes it from the notification area).
    std::unique_ptr<ITrayShell> m_ownTrayShell;
    QIcon m_hIcon;
    CTrayIcon m_trayIcon;
    mirelight::PanelSettings m_settings;
    ISettingsStorage* m_storage;
    CEventLoopWaiter m_waiter;
    mirelight::CDongle m_dongle { *this, m_settings, &m_waiter, &CLogSink::Link(),
                                  &CLogSink::Dongle() };
    CCommandSurface m_commands { m_dongle, m_settings };
    CConnectionsDlg* m_pConnDlg = nullptr;
    int m_cyFrame = 0;
    int m_cxFrame = 0;
    QMenu* m_sysMenu = nullptr;
    std::array<QPushButton*, mirelight::kButtonCount> m_buttons {};
    bool m_bVisible = false; // false: every paint hides the panel
    bool m_closingEverything = false; // the program is ending: every window closes
    int m_waitCursors = 0; // wait cursors asked for and not yet taken back

    QEventLoop m_modalLoop;
    bool m_modalEnded = false;
    int m_modalResult = IDCANCEL;
};
