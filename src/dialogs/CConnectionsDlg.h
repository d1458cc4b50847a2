#pragma once

#include "network/PanelSettings.h"
#include "ui/CTemplateDialog.h"

#include <QString>

#include <optional>

namespace mirelight {
class CDongle;
class IDongleHost;
} // namespace mirelight
class CStatusField;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

// The COM port, connecting, joining and rejoining a network, binding a button, and the
// status of it all. Its buttons start the dongle operations; it shows every report while open
// (whoever opens it connects the reports to OnStatusChanged and UpdateControls).
class CConnectionsDlg : public CTemplateDialog
{
    Q_OBJECT

public:
    static constexpr int IDC_JOIN_PROMPT = 1001;
    static constexpr int IDC_BIND = 1002;
    static constexpr int IDC_BIND_PROMPT = 1003;
    static constexpr int IDC_BUTTON_LIST = 1004;
    static constexpr int IDC_STATUS = 1008;
    static constexpr int IDC_COM_PROMPT = 1009;
    static constexpr int IDC_COM_PORT = 1010;
    static constexpr int IDC_CONNECT = 1011;
    static constexpr int IDC_JOIN = 1023;
    static constexpr int IDC_REJOIN = 1024;

    CConnectionsDlg(mirelight::PanelSettings& settings, mirelight::CDongle& dongle,
                    mirelight::IDongleHost& host, QWidget* parent = nullptr);

    int exec() override; // the opening step, then the modal run
    void accept() override; // the OK step: Close, or Enter

    // Labels and enables the controls for the state of the connection.
    void UpdateControls();
    // A dongle operation reported: show its status (and the port number) again.
    void OnStatusChanged();
    // Why the settings could not be saved (empty once they were): shown with the status's
    // failure reason, in the status field's tooltip.
    void ShowSaveFailure(const QString& failure);

    // The integer a COM port box's text begins with (after blanks, optionally signed), if any.
    static std::optional<int> LeadingInteger(const QString& text);

    int m_iComPort = 0;
    QString m_strNetStatus;

private:
    void CreateControls();
    // False when the COM port box holds no integer (the user has been told).
    bool DoDataExchange(bool saveAndValidate);
    void ShowFailureReason();
    void OnComPortEdited();
    void OnConnect();
    void OnJoin();
    void OnRejoin();
    void OnBind();

    mirelight::PanelSettings& m_settings;
    mirelight::CDongle& m_dongle;
    mirelight::IDongleHost& m_host;
    QString m_saveFailure;
    QPushButton* m_join = nullptr;
    QLabel* m_joinPrompt = nullptr;
    QPushButton* m_bind = nullptr;
    QLabel* m_bindPrompt = nullptr;
    QComboBox* m_buttonList = nullptr;
    CStatusField* m_status = nullptr;
    QLabel* m_comPrompt = nullptr;
    QLineEdit* m_comPort = nullptr;
    QPushButton* m_rejoin = nullptr;
};
