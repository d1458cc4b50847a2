#include "dialogs/CConnectionsDlg.h"

#include "network/CDongle.h"
#include "network/CWaitCursor.h"
#include "network/IDongleHost.h"
#include "platform/SerialPortList.h"
#include "ui/CStatusField.h"
#include "ui/Captions.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>

CConnectionsDlg::CConnectionsDlg(mirelight::PanelSettings& settings, mirelight::CDongle& dongle,
                                 mirelight::IDongleHost& host, QWidget* parent)
    : CTemplateDialog(parent, QStringLiteral("Connections..."), 259, 215), m_settings(settings),
      m_dongle(dongle), m_host(host)
{
    CreateControls();
}

void CConnectionsDlg::CreateControls()
{
    // Added in template order, which is also the tab order.
    QPushButton* close = AddButton(IDOK, QStringLiteral("Close"), { 12, 188, 50, 16 });
    close->setDefault(true);
    connect(close, &QPushButton::clicked, this, &CConnectionsDlg::accept);
    m_join = AddButton(IDC_JOIN, QStringLiteral("Join"), { 12, 106, 50, 14 });
    connect(m_join, &QPushButton::clicked, this, &CConnectionsDlg::OnJoin);
    m_joinPrompt = AddLabel(IDC_JOIN_PROMPT, QString(), { 12, 84, 233, 18 });
    m_bind = AddButton(IDC_BIND, QStringLiteral("Bind"), { 121, 150, 50, 14 });
    connect(m_bind, &QPushButton::clicked, this, &CConnectionsDlg::OnBind);
    m_bindPrompt = AddLabel(IDC_BIND_PROMPT,
                            QStringLiteral("To bind or unbind a button, select the button and "
                                           "press Bind"),
                            { 12, 135, 208, 8 });
    m_buttonList = AddDropDown(IDC_BUTTON_LIST, {}, 12, 151, 106);
    Captions::TipSelectedCaption(*m_buttonList);
    // Each prompt names the field below it for a screen reader.
    m_bindPrompt->setBuddy(m_buttonList);
    AddLabel(1006, QStringLiteral("To close this box, press Close."), { 15, 174, 143, 8 });
    QLabel* statusHeading = AddLabel(1007, QStringLiteral("Network status"), { 12, 7, 184, 8 });
    m_status = AddStatusField(IDC_STATUS, { 12, 20, 232, 10 });
    statusHeading->setBuddy(m_status);
    m_comPrompt = AddLabel(IDC_COM_PROMPT, QString(), { 12, 38, 232, 17 });
    m_comPort = AddEdit(IDC_COM_PORT, { 12, 61, 40, 14 });
    m_comPrompt->setBuddy(m_comPort);
    // Only the user's edits count: writing the box from the members emits no textEdited.
    connect(m_comPort, &QLineEdit::textEdited, this, &CConnectionsDlg::OnComPortEdited);
    QPushButton* connectButton
        = AddButton(IDC_CONNECT, QStringLiteral("Connect"), { 56, 61, 50, 14 });
    connect(connectButton, &QPushButton::clicked, this, &CConnectionsDlg::OnConnect);
    m_rejoin = AddButton(IDC_REJOIN, QStringLiteral("Rejoin"), { 69, 106, 50, 14 });
    connect(m_rejoin, &QPushButton::clicked, this, &CConnectionsDlg::OnRejoin);
}

int CConnectionsDlg::exec()
{
    {
        mirelight::CWaitCursor wait(m_host);
        // KEPT: the controls are written twice, first with port 0 and no status; only the
        // second shows.
        DoDataExchange(false);
        for (const std::string& caption : m_settings.m_strButtonText)
            Captions::AddListCaption(*m_buttonList, QString::fromStdString(caption));
        m_buttonList->setCurrentIndex(m_dongle.BindButton());
        m_iComPort = m_settings.m_iComChan;
        m_strNetStatus = QString::fromStdString(m_dongle.Status());
        DoDataExchange(false);
        ShowFailureReason();
        UpdateControls();
        // Which numbers there are to choose from, as the system has them now.
        m_comPort->setToolTip(
            QString::fromStdString(mirelight::SerialPortListText(mirelight::ListSerialPorts())));
    }
    return QDialog::exec();
}

std::optional<int> CConnectionsDlg::LeadingInteger(const QString& text)
{
    static const QRegularExpression leading(QStringLiteral(R"(^\s*([+-]?\d+))"));
    const QRegularExpressionMatch match = leading.match(text);
    if (!match.hasMatch())
        return std::nullopt;
    bool ok = false;
    const int value = match.captured(1).toInt(&ok); // a number beyond 32 bits is no integer
    return ok ? std::optional<int>(value) : std::nullopt;
}

bool CConnectionsDlg::DoDataExchange(bool saveAndValidate)
{
    if (!saveAndValidate) {
        m_comPort->setText(QString::number(m_iComPort));
        m_status->setText(m_strNetStatus);
        return true;
    }
    const std::optional<int> port = LeadingInteger(m_comPort->text());
    if (!port) {
        QMessageBox::warning(this, QApplication::applicationName(),
                             QStringLiteral("Please enter an integer."));
        m_comPort->setFocus();
        m_comPort->selectAll();
        return false;
    }
    m_iComPort = *port;
    m_strNetStatus = m_status->text();
    return true;
}

void CConnectionsDlg::UpdateControls()
{
    const bool connected = m_dongle.IsPortOpen();
    const bool onNetwork = connected && m_settings.m_bJoined && m_dongle.IsNetworkUp();

    m_comPrompt->setText(connected ? QStringLiteral("You are already connected to Brisko, but if "
                                                    "you wish to connect to a different Brisko, "
                                                    "enter the COM port:")
                                   : QStringLiteral("To connect to Brisko, enter its COM port "
                                                    "number:"));
    if (onNetwork)
        m_joinPrompt->setText(
            QStringLiteral("You are joined to an existing network.  To join a new "
                           "one, press Join or rejoin a different old one, press "
                           "Rejoin."));
    else if (connected)
        m_joinPrompt->setText(QStringLiteral("To join to a new network that is ready to accept "
                                             "Mirelight, press Join.  To attempt to rejoin an old "
                                             "network press rejoin:"));
    else
        m_joinPrompt->setText(QStringLiteral("To join to a new network that is ready to accept "
                                             "Mirelight, press Join:"));

    m_join->setEnabled(connected);
    m_joinPrompt->setEnabled(connected);
    m_rejoin->setEnabled(connected);
    m_buttonList->setEnabled(onNetwork);
    m_bind->setEnabled(onNetwork);
    m_bindPrompt->setEnabled(onNetwork);
}

void CConnectionsDlg::OnStatusChanged()
{
    m_strNetStatus = QString::fromStdString(m_dongle.Status());
    DoDataExchange(false);
    ShowFailureReason();
}

// The status texts stay as they are; why a failure happened is where someone debugging real
// hardware looks next: the status field's tooltip.
void CConnectionsDlg::ShowFailureReason()
{
    QStringList reasons { QString::fromStdString(m_dongle.FailureReason()), m_saveFailure };
    reasons.removeAll(QString());
    m_status->SetReason(reasons.join(QLatin1Char('\n')));
}

void CConnectionsDlg::ShowSaveFailure(const QString& failure)
{
    m_saveFailure = failure;
    ShowFailureReason();
}

void CConnectionsDlg::OnComPortEdited()
{
    DoDataExchange(true); // a box without an integer keeps the last number
    m_settings.m_iComChan = m_iComPort;
    m_host.SaveSettings();
}

void CConnectionsDlg::OnConnect()
{
    m_dongle.Connect();
    UpdateControls();
}

void CConnectionsDlg::OnJoin()
{
    m_dongle.Join();
}

void CConnectionsDlg::OnRejoin()
{
    m_dongle.Rejoin();
    UpdateControls();
}

void CConnectionsDlg::OnBind()
{
    mirelight::CWaitCursor wait(m_host); // from the start: over the exchange's warning too
    DoDataExchange(true); // its outcome does not stop the bind
    m_dongle.Bind(m_buttonList->currentIndex());
}

void CConnectionsDlg::accept()
{
    // KEPT: two exchanges: a box without an integer warns twice and the dialog stays open,
    // the port stored is the last integer accepted.
    DoDataExchange(true);
    m_settings.m_iComChan = m_iComPort;
    if (DoDataExchange(true))
        QDialog::accept();
}
