#pragma once

#include "ui/CTemplateDialog.h"
#include "ui/MqttSettings.h"

#include <QString>

class CStatusField;
class QCheckBox;
class QLineEdit;

// The MQTT bridge's settings and the password for its broker. Close takes them only when they
// can be used (the user is told otherwise and the dialog stays open); Cancel and Esc leave the
// caller's. While open it shows the connection's state as its owner reports it.
class CMqttDlg : public CTemplateDialog
{
    Q_OBJECT

public:
    static constexpr int IDC_ENABLED = 1101;
    static constexpr int IDC_HOST = 1102;
    static constexpr int IDC_PORT = 1103;
    static constexpr int IDC_USER = 1104;
    static constexpr int IDC_PASSWORD = 1105;
    static constexpr int IDC_TLS = 1106;
    static constexpr int IDC_CA_FILE = 1107;
    static constexpr int IDC_DISCOVERY = 1108;
    static constexpr int IDC_DISCOVERY_PREFIX = 1109;
    static constexpr int IDC_NODE_ID = 1110;
    static constexpr int IDC_PASSWORD_PLACE = 1111;
    static constexpr int IDC_STATE = 1112;

    // passwordPlace says where the password is kept, in words for the user.
    CMqttDlg(mirelight::mqtt::MqttSettings settings, QString password, const QString& passwordPlace,
             QWidget* parent = nullptr);

    void accept() override; // Close, or Enter

    // After exec() returned Accepted: what the user set; otherwise what the caller gave.
    const mirelight::mqtt::MqttSettings& Settings() const { return m_settings; }
    const QString& Password() const { return m_password; }

public slots:
    // The bridge's connection state, in words for the user.
    void ShowState(const QString& text);

private:
    void CreateControls(const QString& passwordPlace);
    void ShowValues();
    mirelight::mqtt::MqttSettings ReadValues() const;
    void UpdateControls();
    // A label beside its field, which it names for a screen reader.
    void AddPrompt(const QString& text, QWidget* field, DluRect where);

    mirelight::mqtt::MqttSettings m_settings;
    QString m_password;
    QCheckBox* m_enabled = nullptr;
    QLineEdit* m_host = nullptr;
    QLineEdit* m_port = nullptr;
    QLineEdit* m_user = nullptr;
    QLineEdit* m_passwordEdit = nullptr;
    QCheckBox* m_tls = nullptr;
    QLineEdit* m_caFile = nullptr;
    QCheckBox* m_discovery = nullptr;
    QLineEdit* m_discoveryPrefix = nullptr;
    QLineEdit* m_nodeId = nullptr;
    CStatusField* m_state = nullptr;
};
