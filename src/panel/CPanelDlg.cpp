#include "panel/CPanelDlg.h"

#include "dialogs/CAboutDlg.h"
#include "dialogs/CButtonsDlg.h"
#include "dialogs/CConnectionsDlg.h"
#include "dialogs/CSetMac.h"
#include "panel/CPanelAccessible.h"
#include "panel/CQtTrayShell.h"
#include "platform/SystemMenu.h"
#include "ui/Captions.h"
#include "ui/Resources.h"

#include <QAccessible>
#include <QApplication>
#include <QContextMenuEvent>
#include <QEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QTimer>

#include <algorithm>

using mirelight::kButtonCount;

namespace {

// Buttons 1 to 8 in dialog units: odd buttons on the left, the last row one unit lower.
constexpr std::array<CTemplateDialog::DluRect, kButtonCount> kButtonRects = { {
    { 1, 0, 74, 22 },
    { 76, 0, 74, 22 },
    { 1, 22, 74, 22 },
    { 76, 22, 74, 22 },
    { 1, 44, 74, 22 },
    { 76, 44, 74, 22 },
    { 1, 67, 74, 22 },
    { 76, 67, 74, 22 },
} };

// A window size along one axis, kept between a one-pixel client area and the screen.
int ClampToScreen(qint64 windowSize, int frame, int available)
{
    const qint64 smallest = frame + 1;
    const qint64 largest = std::max<qint64>(smallest, available);
    return static_cast<int>(std::clamp(windowSize, smallest, largest));
}

// How many cells of a row or column begin inside room pixels, the layout's margin left out.
int CellsInView(int room, int margin, int cell)
{
    return std::max(0, room - margin + cell - 1) / cell;
}

} // namespace

CPanelDlg::CPanelDlg(ITrayShell* trayShell, ISettingsStorage* storage)
    : CTemplateDialog(nullptr, QStringLiteral("Mirelight"), 150, 89),
      m_ownTrayShell(trayShell ? nullptr : std::make_unique<CQtTrayShell>()),
      m_hIcon(Resources::Icon(Resources::IDR_MAINFRAME)),
      m_trayIcon(Resources::IDR_MAINFRAME, trayShell ? *trayShell : *m_ownTrayShell),
      m_storage(storage)
{
    // The main window: in the task bar, with a close box but nothing to minimise or resize. A
    // fixed size alone leaves Windows' sizing frame and the system menu's Size; the hint takes
    // them away (other platforms ignore it).
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                   | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint
                   | Qt::MSWindowsFixedSizeDialogHint);
    static const bool accessibleInstalled
        = (QAccessible::installFactory(&CPanelAccessible::Create), true);
    Q_UNUSED(accessibleInstalled);
    CreateButtons();

    connect(&m_commands, &CCommandSurface::ShowRequested, this, &CPanelDlg::ShowFromTray);
    // Window creation puts the tray icon up, before the opening step runs.
    m_trayIcon.SetNotifyWindow(&m_commands, WM_USER);
    m_trayIcon.SetIconResource(Resources::IDR_MAINFRAME);
}

CPanelDlg::~CPanelDlg()
{
    SaveSettings();
}

void CPanelDlg::CreateButtons()
{
    for (int i = 0; i < kButtonCount; ++i) {
        QPushButton* button = AddButton(kButtonIds[i], QString(), kButtonRects[i]);
        connect(button, &QPushButton::clicked, this, [this, i] { m_commands.Press(i); });
        m_buttons[i] = button;
    }
}

int CPanelDlg::DoModal()
{
    // Hiding the panel must not end the program: it lives on in the tray.
    QApplication::setQuitOnLastWindowClosed(false);
    OnInitDialog();
    if (!m_modalEnded) {
        ShowAtStart();
        // A loop of its own, not QDialog::exec(): hiding a dialog ends its exec(), and the
        // panel hides to the tray and comes back many times in one run. Only EndModal ends it.
        m_modalLoop.exec();
    }
    hide();
    return m_modalResult;
}

void CPanelDlg::OnInitDialog()
{
    MeasureFrame();
    ExtendSystemMenu();
    setWindowIcon(m_hIcon);
    m_dongle.ReportStatus("Initialized");
    LoadSettings();
    m_bVisible = !m_settings.m_IsInvisibleAtStartup;
    m_dongle.Connect();
    if (m_settings.m_bJoined)
        m_dongle.Rejoin();
}

void CPanelDlg::MeasureFrame()
{
    const QRect window = frameGeometry();
    m_cxFrame = window.width() - width();
    m_cyFrame = window.height() - height();
}

void CPanelDlg::ExtendSystemMenu()
{
    m_sysMenu = new QMenu(this);
    m_sysMenu->setObjectName(QStringLiteral("systemMenu"));
    // The bridge's settings come first, so that the program's own commands stay the last ones.
    AddSystemCommand(Resources::IDS_MQTT, IDM_MQTT);
    m_sysMenu->addSeparator();
    AddSystemCommand(Resources::IDS_EXIT, IDM_EXIT);
    m_sysMenu->addSeparator();
    AddSystemCommand(Resources::IDS_BUTTONS, IDM_BUTTONS);
    AddSystemCommand(Resources::IDS_CONNECTIONS, IDM_CONNECTIONS);
    AddSystemCommand(Resources::IDS_ABOUTBOX, IDM_ABOUTBOX);
    // Where the window has a system menu of its own (Windows), the commands are there instead.
    if (AppendToSystemMenu(*this, *m_sysMenu, [this](unsigned id) { OnSysCommand(id); })) {
        delete m_sysMenu;
        m_sysMenu = nullptr;
    }
}

void CPanelDlg::AddSystemCommand(int stringId, unsigned command)
{
    QAction* action = m_sysMenu->addAction(Resources::String(stringId));
    action->setData(command);
    connect(action, &QAction::triggered, this, [this, command] { OnSysCommand(command); });
}

void CPanelDlg::ShowAtStart()
{
    if (CanHide()) {
        if (m_bVisible)
            show();
        return;
    }
    // Without a notification area a hidden panel could never be reached again.
    m_bVisible = true;
    if (m_settings.m_IsInvisibleAtStartup)
        showMinimized();
    else
        show();
}

void CPanelDlg::EndModal(int result)
{
    m_modalResult = result;
    m_modalEnded = true;
    m_modalLoop.exit(result); // takes effect once any dialog open on top has closed
}

void CPanelDlg::ExitProgram()
{
    m_dongle.EndOperations();
    m_waiter.Abort();
    EndModal(IDCANCEL);
}

void CPanelDlg::ExitFromAnyState()
{
    ExitProgram();
    CloseOpenWindows();
}

void CPanelDlg::CloseOpenWindows()
{
    // A dialog that is closed may open another on its way out (the Connections dialog's
    // second check of the port box): whatever shows from now on is closed too.
    if (!m_closingEverything) {
        m_closingEverything = true;
        qApp->installEventFilter(this);
    }
    const QWidgetList windows = QApplication::topLevelWidgets();
    for (QWidget* window : windows) {
        if (window != this && window->isVisible())
            CloseLater(window);
    }
}

void CPanelDlg::CloseLater(QWidget* window)
{
    // Each unwinds its own loop in its own time; the panel's loop ends after them.
    if (auto* dialog = qobject_cast<QDialog*>(window))
        QMetaObject::invokeMethod(dialog, &QDialog::reject, Qt::QueuedConnection);
    else if (window->isWindow() && window->windowType() == Qt::Popup)
        QMetaObject::invokeMethod(window, &QWidget::close, Qt::QueuedConnection);
}

bool CPanelDlg::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::Show && watched != this && watched->isWidgetType())
        CloseLater(static_cast<QWidget*>(watched));
    return false;
}

void CPanelDlg::accept()
{
    EndModal(IDOK);
}

void CPanelDlg::reject()
{
    if (!CanHide()) {
        showMinimized();
        return;
    }
    m_bVisible = false;
    hide();
}

void CPanelDlg::ShowFromTray()
{
    m_bVisible = true;
    show();
    raise();
    activateWindow();
}

void CPanelDlg::paintEvent(QPaintEvent* event)
{
    if (!m_bVisible) {
        // Hidden from outside the paint itself; the tray may have allowed it again by then.
        QTimer::singleShot(0, this, [this] {
            if (!m_bVisible)
                hide();
        });
        return;
    }
    QDialog::paintEvent(event);
}

void CPanelDlg::contextMenuEvent(QContextMenuEvent* event)
{
    if (m_sysMenu)
        m_sysMenu->exec(event->globalPos());
}

void CPanelDlg::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_F10 && event->modifiers() == Qt::ShiftModifier) {
        QWidget* anchor = focusWidget() ? focusWidget() : this;
        QContextMenuEvent menuEvent(QContextMenuEvent::Keyboard, anchor->rect().center(),
                                    anchor->mapToGlobal(anchor->rect().center()));
        contextMenuEvent(&menuEvent);
        return;
    }
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (enter && !qobject_cast<QPushButton*>(focusWidget())) {
        accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void CPanelDlg::OnSysCommand(unsigned id)
{
    switch (id & 0xFFF0) {
    case IDM_ABOUTBOX: {
        CAboutDlg about(this);
        about.m_strCompileDate = QString::asprintf("%s %s", __DATE__, __TIME__);
        about.exec();
        break;
    }
    case IDM_BUTTONS: {
        CButtonsDlg buttons(m_settings, this);
        buttons.exec();
        SaveSettings();
        // Reading back what could not be written would undo the user's changes.
        if (m_commands.SaveFailure().isEmpty())
            LoadSettings();
        break;
    }
    case IDM_CONNECTIONS:
        OpenConnections();
        break;
    case IDM_EXIT:
        ExitProgram();
        break;
    case IDM_MQTT:
        m_commands.RequestBrokerSettings(); // the bridge's own dialog
        break;
    default:
        break;
    }
}

void CPanelDlg::OpenConnections()
{
    CConnectionsDlg connections(m_settings, m_dongle, *this, this);
    connect(&m_commands, &CCommandSurface::StatusChanged, &connections,
            &CConnectionsDlg::OnStatusChanged);
    connect(&m_commands, &CCommandSurface::ConnectionChanged, &connections,
            &CConnectionsDlg::UpdateControls);
    connections.ShowSaveFailure(m_commands.SaveFailure());
    connect(&m_commands, &CCommandSurface::SaveFailureChanged, &connections,
            [this, &connections] { connections.ShowSaveFailure(m_commands.SaveFailure()); });
    m_pConnDlg = &connections;
    connections.exec();
    m_pConnDlg = nullptr;
}

void CPanelDlg::SaveSettings()
{
    const QString failure = m_storage ? m_storage->Save(m_settings) : QString();
    if (!failure.isEmpty() && m_commands.SaveFailure().isEmpty())
        TellSaveFailure(failure);
    m_commands.NotifySaveOutcome(failure);
    ApplyCaptions();
}

void CPanelDlg::TellSaveFailure(const QString& failure)
{
    // Once for a run of failures: every later save would only say it again.
    qCWarning(lcDongle, "Settings not saved: %s", qUtf8Printable(failure));
    const QString text = QStringLiteral("Your settings could not be saved: %1\nMirelight keeps "
                                        "them until it ends and saves them again at the next "
                                        "change.")
                             .arg(failure);
    if (m_trayIcon.ShowMessage(QApplication::applicationName(), text))
        return;
    // No notification area to carry it: a box that waits for nobody.
    auto* box = new QMessageBox(QMessageBox::Warning, QApplication::applicationName(), text,
                                QMessageBox::Ok, isVisible() ? this : nullptr);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setModal(false);
    box->show();
}

void CPanelDlg::LoadSettings()
{
    if (m_storage)
        m_storage->Load(m_settings);
    ApplyCaptions();
    ResizeForLayout();
}

void CPanelDlg::ApplyCaptions()
{
    for (int i = 0; i < kButtonCount; ++i)
        Captions::SetButtonCaption(*m_buttons[i],
                                   QString::fromStdString(m_settings.m_strButtonText[i]));
    m_commands.NotifyButtonsChanged();
}

void CPanelDlg::ResizeForLayout()
{
    // 64-bit throughout: a stored layout can be any 32-bit value.
    const qint64 layout = m_settings.m_iLayout;
    const qint64 columns = layout % 2 != 0 ? 2 : 1;
    const qint64 rows = layout / 2 + 1;
    const QSize button = m_buttons[kButtonCount - 1]->size();
    const qint64 windowWidth = (button.width() + 1) * columns + m_cxFrame + 2;
    const qint64 windowHeight = button.height() * rows + m_cyFrame + 1;

    const QRect available
        = (screen() ? screen() : QApplication::primaryScreen())->availableGeometry();
    setFixedSize(ClampToScreen(windowWidth, m_cxFrame, available.width()) - m_cxFrame,
                 ClampToScreen(windowHeight, m_cyFrame, available.height()) - m_cyFrame);
    TakeButtonsOutOfView(CellsInView(width(), 2, button.width() + 1),
                         CellsInView(height(), 1, button.height()));
}

void CPanelDlg::TakeButtonsOutOfView(int columns, int rows)
{
    // A button beyond the panel's edge is still drawn, cut off, but Tab must not reach it
    // (Space would press what nobody sees) nor a screen reader announce it.
    QPushButton* firstInView = nullptr;
    bool viewChanged = false;
    for (int i = 0; i < kButtonCount; ++i) {
        const bool inView = i % 2 < columns && i / 2 < rows;
        viewChanged = viewChanged || inView != IsButtonInView(i);
        m_buttons[i]->setFocusPolicy(inView ? Qt::StrongFocus : Qt::NoFocus);
        if (inView && !firstInView)
            firstInView = m_buttons[i];
    }
    if (viewChanged) {
        // A screen reader that has read the panel's buttons reads them again.
        QAccessibleEvent reread(this, QAccessible::ObjectReorder);
        QAccessible::updateAccessibility(&reread);
    }
    QWidget* focused = focusWidget();
    if (!focused || focused->focusPolicy() != Qt::NoFocus)
        return;
    if (firstInView)
        firstInView->setFocus();
    else
        focused->clearFocus();
}

bool CPanelDlg::IsButtonInView(int index) const
{
    return m_buttons[index]->focusPolicy() != Qt::NoFocus; // where TakeButtonsOutOfView keeps it
}

void CPanelDlg::StatusChanged()
{
    m_commands.NotifyStatusChanged();
}

void CPanelDlg::UpdateControls()
{
    m_commands.NotifyConnectionChanged();
}

bool CPanelDlg::AskMacAddress(std::string& digits)
{
    // The user has to type here: no wait cursor over the question.
    const int waitCursors = m_waitCursors;
    for (int i = 0; i < waitCursors; ++i)
        SetWaitCursor(false);
    // Over whichever of our windows is active: the panel or the Connections dialog.
    CSetMac setMac(QApplication::activeWindow());
    const bool given = setMac.exec() == QDialog::Accepted;
    for (int i = 0; i < waitCursors; ++i)
        SetWaitCursor(true);
    if (given)
        digits = setMac.m_strMacAddress.toStdString();
    return given;
}

void CPanelDlg::SetWaitCursor(bool on)
{
    if (on) {
        ++m_waitCursors;
        QApplication::setOverrideCursor(Qt::WaitCursor);
    } else {
        --m_waitCursors;
        QApplication::restoreOverrideCursor();
    }
}
