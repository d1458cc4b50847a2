#pragma once

#include "network/PanelSettings.h"
#include "ui/CTemplateDialog.h"

#include <QString>

#include <array>

class QCheckBox;
class QComboBox;
class QLineEdit;

// Captions and effects of the eight buttons, the panel layout and "start hidden". Works on
// copies: Close copies them back into the settings, Esc and the close box copy nothing.
class CButtonsDlg : public CTemplateDialog
{
    Q_OBJECT

public:
    // Control ids of the caption boxes and effect lists of buttons 1 to 8.
    static constexpr std::array<int, mirelight::kButtonCount> kCaptionIds
        = { 1005, 1006, 1007, 1008, 1009, 1010, 1011, 1018 };
    static constexpr std::array<int, mirelight::kButtonCount> kEffectIds
        = { 1004, 1012, 1013, 1014, 1015, 1016, 1017, 1019 };
    static constexpr int IDC_LAYOUT = 1020;
    static constexpr int IDC_INIT_IN_TASKBAR = 1021;

    explicit CButtonsDlg(mirelight::PanelSettings& settings, QWidget* parent = nullptr);

    int exec() override; // the opening step, then the modal run
    void accept() override; // the OK step, reached by Close and by Enter

    std::array<QString, mirelight::kButtonCount> m_strButtonText;
    std::array<int, mirelight::kButtonCount> m_iEffect {};
    int m_iLayout = 0;
    int m_iInitInTaskBar = 0;

private:
    void CreateControls();
    void DoDataExchange(bool saveAndValidate);
    void CopyInFromSettings();
    void CopyBackToSettings();

    mirelight::PanelSettings& m_settings;
    std::array<QLineEdit*, mirelight::kButtonCount> m_captionEdits {};
    std::array<QComboBox*, mirelight::kButtonCount> m_effectLists {};
    QComboBox* m_layoutList = nullptr;
    QCheckBox* m_initInTaskBar = nullptr;
};
