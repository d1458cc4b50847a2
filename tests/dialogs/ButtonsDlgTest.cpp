#include "dialogs/CButtonsDlg.h"
#include "support/ModalDriver.h"
#include "support/QtPrinters.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

using testsupport::Control;
using testsupport::WhenModal;

namespace {

class ButtonsDlgTest : public testing::Test
{
protected:
    void SetUp() override
    {
        mirelight::PanelSettings& s = m_settings;
        for (int i = 0; i < mirelight::kButtonCount; ++i) {
            s.m_strButtonText[i] = "Caption " + std::to_string(i + 1);
            s.m_iEffect[i] = i % 3;
        }
        s.m_iEffect[2] = 3; // out of range: no selection, and -1 once closed
        s.m_iEffect[5] = -7;
        s.m_iLayout = 5;
        s.m_IsInvisibleAtStartup = false;
    }

    // Runs the dialog; steps drive it while it is up.
    int Run(const std::function<void(CButtonsDlg*)>& steps)
    {
        WhenModal<CButtonsDlg>(steps);
        return CButtonsDlg(m_settings).exec();
    }

    mirelight::PanelSettings m_settings;
};

TEST_F(ButtonsDlgTest, OpensWithThePanelsValuesInTheRightControls)
{
    Run([](CButtonsDlg* dialog) {
        for (int i = 0; i < mirelight::kButtonCount; ++i) {
            EXPECT_EQ(Control<QLineEdit>(dialog, CButtonsDlg::kCaptionIds[i])->text(),
                      QStringLiteral("Caption %1").arg(i + 1));
            EXPECT_EQ(Control<QComboBox>(dialog, CButtonsDlg::kEffectIds[i])->currentIndex(),
                      i == 2 || i == 5 ? -1 : i % 3);
        }
        EXPECT_EQ(Control<QComboBox>(dialog, 1020)->currentIndex(), 5);
        EXPECT_FALSE(Control<QCheckBox>(dialog, 1021)->isChecked());
        dialog->reject();
    });
}

TEST_F(ButtonsDlgTest, CloseCopiesEveryEditBackAndTheCheckBoxMeansStartHidden)
{
    const int result = Run([](CButtonsDlg* dialog) {
        QLineEdit* caption8 = Control<QLineEdit>(dialog, 1018);
        caption8->clear();
        QTest::keyClicks(caption8, QStringLiteral("Porch"));
        Control<QLineEdit>(dialog, 1005)->clear(); // an empty caption is kept as empty
        Control<QComboBox>(dialog, 1004)->setCurrentIndex(1);
        Control<QComboBox>(dialog, 1020)->setCurrentIndex(2);
        QTest::mouseClick(Control<QCheckBox>(dialog, 1021), Qt::LeftButton);
        QTest::mouseClick(Control<QPushButton>(dialog, 1), Qt::LeftButton);
    });
    EXPECT_EQ(result, QDialog::Accepted);
    const mirelight::PanelSettings& s = m_settings;
    EXPECT_EQ(s.m_strButtonText[7], "Porch");
    EXPECT_EQ(s.m_strButtonText[0], "");
    EXPECT_EQ(s.m_strButtonText[1], "Caption 2");
    EXPECT_EQ(s.m_iEffect[0], 1);
    EXPECT_EQ(s.m_iEffect[2], -1);
    EXPECT_EQ(s.m_iEffect[3], 0); // the rest keep their values
    EXPECT_EQ(s.m_iLayout, 2);
    EXPECT_TRUE(s.m_IsInvisibleAtStartup);

    m_settings.m_iLayout = 8; // out of range too
    Run([](CButtonsDlg* dialog) {
        EXPECT_EQ(Control<QComboBox>(dialog, 1020)->currentIndex(), -1);
        EXPECT_TRUE(Control<QCheckBox>(dialog, 1021)->isChecked());
        QTest::mouseClick(Control<QCheckBox>(dialog, 1021), Qt::LeftButton);
        QTest::keyClick(Control<QLineEdit>(dialog, 1006), Qt::Key_Return); // Enter is Close
    });
    EXPECT_FALSE(m_settings.m_IsInvisibleAtStartup);
    EXPECT_EQ(m_settings.m_iLayout, -1);
}

TEST_F(ButtonsDlgTest, EscapeAndTheCloseBoxCopyNothingBack)
{
    const mirelight::PanelSettings before = m_settings;
    auto editEverything = [](CButtonsDlg* dialog) {
        Control<QLineEdit>(dialog, 1005)->setText(QStringLiteral("changed"));
        Control<QComboBox>(dialog, 1019)->setCurrentIndex(0);
        Control<QComboBox>(dialog, 1020)->setCurrentIndex(0);
        Control<QCheckBox>(dialog, 1021)->setChecked(true);
    };
    EXPECT_EQ(Run([&](CButtonsDlg* dialog) {
                  editEverything(dialog);
                  QTest::keyClick(dialog, Qt::Key_Escape);
              }),
              QDialog::Rejected);
    EXPECT_EQ(Run([&](CButtonsDlg* dialog) {
                  editEverything(dialog);
                  dialog->close();
              }),
              QDialog::Rejected);
    EXPECT_EQ(m_settings.m_strButtonText, before.m_strButtonText);
    EXPECT_EQ(m_settings.m_iEffect, before.m_iEffect);
    EXPECT_EQ(m_settings.m_iLayout, before.m_iLayout);
    EXPECT_FALSE(m_settings.m_IsInvisibleAtStartup);
}

TEST_F(ButtonsDlgTest, TabOrderRunsDownCaptionsThenEffects)
{
    Run([](CButtonsDlg* dialog) {
        EXPECT_EQ(testsupport::TabOrder(Control<QPushButton>(dialog, 1), 19),
                  QList<int>({ 1, 1005, 1006, 1007, 1008, 1009, 1010, 1011, 1004, 1012, 1013, 1014,
                               1015, 1016, 1017, 1018, 1019, 1020, 1021 }));
        dialog->reject();
    });
}

} // namespace
