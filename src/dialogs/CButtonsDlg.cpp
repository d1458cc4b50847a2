#include "dialogs/CButtonsDlg.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

using mirelight::kButtonCount;

namespace {

// Selects the item at index, or none when the index is outside the list.
void ExchangeIntoList(QComboBox* list, int index)
{
    list->setCurrentIndex(index >= 0 && index < list->count() ? index : -1);
}

} // namespace

CButtonsDlg::CButtonsDlg(mirelight::PanelSettings& settings, QWidget* parent)
    : CTemplateDialog(parent, QStringLiteral("Buttons..."), 248, 211), m_settings(settings)
{
    CreateControls();
}

void CButtonsDlg::CreateControls()
{
    // Added in template order, which is also the tab order.
    QPushButton* close = AddButton(IDOK, QStringLiteral("Close"), { 170, 186, 50, 16 });
    close->setDefault(true);
    connect(close, &QPushButton::clicked, this, &CButtonsDlg::accept);

    AddLabel(0, QStringLiteral("Button Text"), { 54, 7, 39, 8 });
    AddLabel(0, QStringLiteral("Effect"), { 171, 7, 20, 8 });
    std::array<QLabel*, kButtonCount> rowLabels {};
    for (int i = 0; i < kButtonCount; ++i)
        rowLabels[i] = AddLabel(0, QStringLiteral("Button %1").arg(i + 1),
                                { i < 3 ? 17 : 18, 22 + 17 * i, 28, 8 });

    const QStringList effects
        = { QStringLiteral("Off"), QStringLiteral("On"), QStringLiteral("Toggle") };
    // The template has the last row after the other rows' lists, so Tab visits it last.
    constexpr int kLastRow = kButtonCount - 1;
    for (int button = 0; button < kLastRow; ++button)
        m_captionEdits[button] = AddEdit(kCaptionIds[button], { 53, 19 + 17 * button, 107, 14 });
    for (int button = 0; button < kLastRow; ++button)
        m_effectLists[button] = AddDropDown(kEffectIds[button], effects, 169, 20 + 17 * button, 50);
    m_captionEdits[kLastRow] = AddEdit(kCaptionIds[kLastRow], { 53, 138, 107, 14 });
    m_effectLists[kLastRow] = AddDropDown(kEffectIds[kLastRow], effects, 169, 139, 50);

    // A row's label names its caption box for a screen reader; its effect list has no label
    // of its own, only the column's heading.
    for (int i = 0; i < kButtonCount; ++i) {
        rowLabels[i]->setBuddy(m_captionEdits[i]);
        NameUnlabelledField(m_effectLists[i], QStringLiteral("Effect of Button %1").arg(i + 1));
    }

    QLabel* layoutLabel = AddLabel(0, QStringLiteral("Layout"), { 18, 167, 23, 8 });
    m_layoutList = AddDropDown(IDC_LAYOUT,
                               { QStringLiteral("1 button"), QStringLiteral("2 x 1 buttons"),
                                 QStringLiteral("1 x 2 buttons"), QStringLiteral("2 x 2 buttons"),
                                 QStringLiteral("1 x 3 buttons"), QStringLiteral("2 x 3 buttons"),
                                 QStringLiteral("1 x 4 buttons"), QStringLiteral("2 x 4 buttons") },
                               53, 164, 107);
    layoutLabel->setBuddy(m_layoutList);
    m_initInTaskBar = AddCheckBox(IDC_INIT_IN_TASKBAR, QStringLiteral("Initialize in TaskBar"),
                                  { 53, 189, 108, 10 });
}

int CButtonsDlg::exec()
{
    // KEPT: the controls are written twice, first from the members before the copy in (their
    // zero values, an unchecked box); only the second shows.
    DoDataExchange(false);
    CopyInFromSettings();
    DoDataExchange(false);
    return QDialog::exec();
}

void CButtonsDlg::CopyInFromSettings()
{
    for (int i = 0; i < kButtonCount; ++i) {
        m_iEffect[i] = m_settings.m_iEffect[i];
        m_strButtonText[i] = QString::fromStdString(m_settings.m_strButtonText[i]);
    }
    m_iLayout = m_settings.m_iLayout;
    m_iInitInTaskBar = m_settings.m_IsInvisibleAtStartup ? 1 : 0;
}

void CButtonsDlg::DoDataExchange(bool saveAndValidate)
{
    if (saveAndValidate) {
        for (int i = 0; i < kButtonCount; ++i) {
            m_strButtonText[i] = m_captionEdits[i]->text();
            m_iEffect[i] = m_effectLists[i]->currentIndex(); // -1 when nothing is selected
        }
        m_iLayout = m_layoutList->currentIndex();
        m_iInitInTaskBar = m_initInTaskBar->isChecked() ? 1 : 0;
        return;
    }
    for (int i = 0; i < kButtonCount; ++i) {
        m_captionEdits[i]->setText(m_strButtonText[i]);
        ExchangeIntoList(m_effectLists[i], m_iEffect[i]);
    }
    ExchangeIntoList(m_layoutList, m_iLayout);
    if (m_iInitInTaskBar < 0 || m_iInitInTaskBar > 2)
        m_iInitInTaskBar = 0;
    m_initInTaskBar->setChecked(m_iInitInTaskBar != 0);
}

void CButtonsDlg::accept()
{
    // KEPT: the controls are read twice, around the copy back; the second read changes nothing.
    DoDataExchange(true);
    CopyBackToSettings();
    DoDataExchange(true);
    QDialog::accept();
}

void CButtonsDlg::CopyBackToSettings()
{
    m_settings.m_iLayout = m_iLayout;
    for (int i = 0; i < kButtonCount; ++i)
        m_settings.m_strButtonText[i] = m_strButtonText[i].toStdString();
    for (int i = 0; i < kButtonCount; ++i)
        m_settings.m_iEffect[i] = m_iEffect[i];
    // Stored as shown: checked means the program starts hidden.
    m_settings.m_IsInvisibleAtStartup = m_iInitInTaskBar != 0;
}
