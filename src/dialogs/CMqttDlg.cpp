#include "dialogs/CMqttDlg.h"

#include "ui/CStatusField.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>

namespace {

constexpr int kFieldX = 70; // where the fields begin, right of their prompts
constexpr int kFieldWidth = 143;

} // namespace

CMqttDlg::CMqttDlg(mirelight::mqtt::MqttSettings settings, QString password,
                   const QString& passwordPlace, QWidget* parent)
    : CTemplateDialog(parent, QStringLiteral("MQTT"), 220, 198), m_settings(std::move(settings)),
      m_password(std::move(password))
{
    CreateControls(passwordPlace);
    ShowValues();
    UpdateControls();
}

void CMqttDlg::AddPrompt(const QString& text, QWidget* field, DluRect where)
{
    AddLabel(0, text, where)->setBuddy(field);
}

void CMqttDlg::CreateControls(const QString& passwordPlace)
{
    // Added in template order, which is also the tab order; a prompt comes after its field
    // only because setBuddy needs the field.
    m_enabled
        = AddCheckBox(IDC_ENABLED, QStringLiteral("Connect to an MQTT broker"), { 7, 7, 206, 10 });
    m_host = AddEdit(IDC_HOST, { kFieldX, 20, kFieldWidth, 14 });
    AddPrompt(QStringLiteral("Host:"), m_host, { 7, 23, 60, 8 });
    m_port = AddEdit(IDC_PORT, { kFieldX, 36, 40, 14 });
    m_port->setInputMethodHints(Qt::ImhDigitsOnly);
    AddPrompt(QStringLiteral("Port:"), m_port, { 7, 39, 60, 8 });
    m_user = AddEdit(IDC_USER, { kFieldX, 52, kFieldWidth, 14 });
    AddPrompt(QStringLiteral("User name:"), m_user, { 7, 55, 60, 8 });
    m_passwordEdit = AddEdit(IDC_PASSWORD, { kFieldX, 68, kFieldWidth, 14 });
    m_passwordEdit->setEchoMode(QLineEdit::Password);
    AddPrompt(QStringLiteral("Password:"), m_passwordEdit, { 7, 71, 60, 8 });
    m_tls = AddCheckBox(IDC_TLS, QStringLiteral("Use TLS"), { 7, 86, 60, 10 });
    m_caFile = AddEdit(IDC_CA_FILE, { kFieldX, 84, kFieldWidth, 14 });
    // The check box beside it is its prompt, so the field says itself what it holds.
    const QString caFile = QStringLiteral("CA file (empty: the system's)");
    m_caFile->setPlaceholderText(caFile);
    NameUnlabelledField(m_caFile, caFile);
    m_caFile->setToolTip(caFile);
#ifdef Q_OS_WIN
    // The Windows build links a libmosquitto without TLS; the stored choice stays as it was.
    const QString noTls = QStringLiteral("TLS is not available in the Windows build.");
    m_tls->setToolTip(noTls);
    m_caFile->setToolTip(noTls);
#endif
    m_discovery
        = AddCheckBox(IDC_DISCOVERY, QStringLiteral("Announce the buttons to Home Assistant"),
                      { 7, 102, 206, 10 });
    m_discoveryPrefix = AddEdit(IDC_DISCOVERY_PREFIX, { kFieldX, 114, kFieldWidth, 14 });
    AddPrompt(QStringLiteral("Prefix:"), m_discoveryPrefix, { 17, 117, 50, 8 });
    m_nodeId = AddEdit(IDC_NODE_ID, { kFieldX, 130, kFieldWidth, 14 });
    AddPrompt(QStringLiteral("Node id:"), m_nodeId, { 7, 133, 60, 8 });
    QLabel* place = AddLabel(IDC_PASSWORD_PLACE, passwordPlace, { 7, 148, 206, 16 });
    place->setTextFormat(Qt::PlainText);
    // Reached with Tab, so that a broker's error text can be read and copied from the keyboard.
    m_state = AddStatusField(IDC_STATE, { 7, 164, 206, 10 });
    m_state->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    QPushButton* close = AddButton(IDOK, QStringLiteral("Close"), { 108, 177, 50, 14 });
    close->setDefault(true);
    connect(close, &QPushButton::clicked, this, &CMqttDlg::accept);
    QPushButton* cancel = AddButton(IDCANCEL, QStringLiteral("Cancel"), { 163, 177, 50, 14 });
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

    connect(m_tls, &QCheckBox::toggled, this, &CMqttDlg::UpdateControls);
    connect(m_discovery, &QCheckBox::toggled, this, &CMqttDlg::UpdateControls);
}

void CMqttDlg::ShowValues()
{
    m_enabled->setChecked(m_settings.enabled);
    m_host->setText(m_settings.host);
    m_port->setText(QString::number(m_settings.port));
    m_user->setText(m_settings.user);
    m_passwordEdit->setText(m_password);
    m_tls->setChecked(m_settings.tls);
    m_caFile->setText(m_settings.caFile);
    m_discovery->setChecked(m_settings.discovery);
    m_discoveryPrefix->setText(m_settings.discoveryPrefix);
    m_nodeId->setText(m_settings.nodeId);
}

mirelight::mqtt::MqttSettings CMqttDlg::ReadValues() const
{
    mirelight::mqtt::MqttSettings read = m_settings;
    read.enabled = m_enabled->isChecked();
    read.host = m_host->text().trimmed();
    bool isNumber = false;
    read.port = m_port->text().toInt(&isNumber);
    if (!isNumber)
        read.port = 0; // out of range, so the port's own message is the one shown
    read.user = m_user->text();
    read.tls = m_tls->isChecked();
    read.caFile = m_caFile->text();
    read.discovery = m_discovery->isChecked();
    read.discoveryPrefix = m_discoveryPrefix->text();
    read.nodeId = m_nodeId->text();
    return read;
}

void CMqttDlg::UpdateControls()
{
#ifdef Q_OS_WIN
    m_tls->setEnabled(false);
    m_caFile->setEnabled(false);
#else
    m_caFile->setEnabled(m_tls->isChecked());
#endif
    m_discoveryPrefix->setEnabled(m_discovery->isChecked());
}

void CMqttDlg::ShowState(const QString& text)
{
    m_state->setText(text);
}

void CMqttDlg::accept()
{
    const mirelight::mqtt::MqttSettings read = ReadValues();
    const QString problem = mirelight::mqtt::ProblemWith(read);
    if (!problem.isEmpty()) {
        QMessageBox::warning(this, QStringLiteral("MQTT"), problem);
        return;
    }
    m_settings = read;
    m_password = m_passwordEdit->text();
    QDialog::accept();
}
