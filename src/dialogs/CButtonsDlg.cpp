#include "dialogs/CButtonsDlg.h"

#include "app/CDialogUnits.h"
#include "app/Resources.h"
#include "panel/CPanelDlg.h"

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

CButtonsDlg::CButtonsDlg(QWidget* parent)
    : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Buttons..."));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                   | Qt::WindowCloseButtonHint);
    CreateControls();
    setFixedSize(CDialogUnits(font()).Size(248, 211));
}

void CButtonsDlg::CreateControls()
{
    const CDialogUnits units(font());
    // Created in template order, which is also the tab order.
    auto* close = new QPushButton(QStringLiteral("Close"), this);
    Resources::SetControlId(close, 1);
    close->setDefault(true);
    units.Place(close, 170, 186, 50, 16);
    connect(close, &QPushButton::clicked, this, &CButtonsDlg::accept);

    units.Place(new QLabel(QStringLiteral("Button Text"), this), 54, 7, 39, 8);
    units.Place(new QLabel(QStringLiteral("Effect"), this), 171, 7, 20, 8);
    for (int i = 0; i < kButtonCount; ++i) {
        const int x = i < 3 ? 17 : 18;
        units.Place(new QLabel(QStringLiteral("Button %1").arg(i + 1), this), x, 22 + 17 * i, 28, 8);
    }

    auto makeCaption = [&](int button, int y) {
        auto* edit = new QLineEdit(this);
        Resources::SetControlId(edit, kCaptionIds[button]);
        units.Place(edit, 53, y, 107, 14);
        m_captionEdits[button] = edit;
    };
    auto makeEffect = [&](int button, int y) {
        auto* list = new QComboBox(this);
        Resources::SetControlId(list, kEffectIds[button]);
        list->addItems({ QStringLiteral("Off"), QStringLiteral("On"), QStringLiteral("Toggle") });
        units.PlaceDropDown(list, 169, y, 50);
        m_effectLists[button] = list;
    };
    for (int button = 0; button < 7; ++button)
        makeCaption(button, 19 + 17 * button);
    for (int button = 0; button < 7; ++button)
        makeEffect(button, 20 + 17 * button);
    makeCaption(7, 138);
    makeEffect(7, 139);

    units.Place(new QLabel(QStringLiteral("Layout"), this), 18, 167, 23, 8);
    m_layoutList = new QComboBox(this);
    Resources::SetControlId(m_layoutList, IDC_LAYOUT);
    m_layoutList->addItems({ QStringLiteral("1 button"), QStringLiteral("2 x 1 buttons"),
                             QStringLiteral("1 x 2 buttons"), QStringLiteral("2 x 2 buttons"),
                             QStringLiteral("1 x 3 buttons"), QStringLiteral("2 x 3 buttons"),
                             QStringLiteral("1 x 4 buttons"), QStringLiteral("2 x 4 buttons") });
    units.PlaceDropDown(m_layoutList, 53, 164, 107);

    m_initInTaskBar = new QCheckBox(QStringLiteral("Initialize in TaskBar"), this);
    Resources::SetControlId(m_initInTaskBar, IDC_INIT_IN_TASKBAR);
    units.Place(m_initInTaskBar, 53, 189, 108, 10);
}

int CButtonsDlg::exec()
{
    DoDataExchange(false);
    CopyInFromPanel();
    DoDataExchange(false);
    return QDialog::exec();
}

void CButtonsDlg::CopyInFromPanel()
{
    const mirelight::PanelSettings& settings = m_pPanel->m_settings;
    for (int i = 0; i < kButtonCount; ++i) {
        m_iEffect[i] = settings.m_iEffect[i];
        m_strButtonText[i] = QString::fromStdString(settings.m_strButtonText[i]);
    }
    m_iLayout = settings.m_iLayout;
    m_iInitInTaskBar = settings.m_IsInvisibleAtStartup ? 1 : 0;
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
    DoDataExchange(true);
    CopyBackToPanel();
    DoDataExchange(true);
    QDialog::accept();
}

void CButtonsDlg::CopyBackToPanel()
{
    mirelight::PanelSettings& settings = m_pPanel->m_settings;
    settings.m_iLayout = m_iLayout;
    for (int i = 0; i < kButtonCount; ++i)
        settings.m_strButtonText[i] = m_strButtonText[i].toStdString();
    for (int i = 0; i < kButtonCount; ++i)
        settings.m_iEffect[i] = m_iEffect[i];
    // Stored as shown: checked means the program starts hidden.
    settings.m_IsInvisibleAtStartup = m_iInitInTaskBar != 0;
}
