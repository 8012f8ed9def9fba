#include "app/NewProfileDlg.h"

#include <gtest/gtest.h>

#include <QLineEdit>

#include "editing/IdComboBox.h"
#include "support/GuiTest.h"

namespace twk::gui {
namespace {

class NewProfileDlgTest : public test::GuiTest {
protected:
    static QLineEdit* Name(CNewProfileDlg& dialog) {
        return dialog.findChild<QLineEdit*>(QStringLiteral("name"));
    }
    static CIdComboBox* Import(CNewProfileDlg& dialog) {
        return dialog.findChild<CIdComboBox*>(QStringLiteral("importFrom"));
    }
};

TEST_F(NewProfileDlgTest, WithoutProfilesTheImportListHoldsOnlyTheBlankEntry) {
    CNewProfileDlg dialog;
    ASSERT_EQ(Import(dialog)->count(), 1);
    EXPECT_EQ(Import(dialog)->SelectedId(), -1);
    EXPECT_TRUE(Import(dialog)->GetSelectedText().isEmpty());
}

TEST_F(NewProfileDlgTest, RefusesAnEmptyOrExistingNameAndStaysOpen) {
    test::MakeProfile(L"Home", 0);
    CNewProfileDlg dialog;
    dialog.open();

    dialog.accept();
    EXPECT_EQ(messages.last_text(), L"No profile name specified");
    EXPECT_EQ(messages.shown().back().caption, L"Error");
    EXPECT_EQ(messages.shown().back().type, kMbIconError);
    EXPECT_TRUE(dialog.isVisible());

    Name(dialog)->setText(QStringLiteral("Home"));
    dialog.accept();
    EXPECT_EQ(messages.last_text(), L"Profile Home already exists.");
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(messages.shown().size(), 2u);

    // Names are compared exactly: other letter case or a blank makes another name.
    Name(dialog)->setText(QStringLiteral("home"));
    dialog.accept();
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(dialog.name(), L"home");
    EXPECT_EQ(messages.shown().size(), 2u);
}

TEST_F(NewProfileDlgTest, ImportListIsSortedAndTheBlankEntryMeansNone) {
    const int32_t zeta = test::MakeProfile(L"zeta", 0);
    test::MakeProfile(L"Alpha", 0);
    CNewProfileDlg dialog;
    ASSERT_EQ(Import(dialog)->count(), 3);
    EXPECT_EQ(Import(dialog)->itemText(1), QStringLiteral("Alpha"));
    EXPECT_EQ(Import(dialog)->itemText(2), QStringLiteral("zeta"));
    Name(dialog)->setText(QStringLiteral(" "));

    Import(dialog)->SelectById(zeta);
    dialog.accept();
    EXPECT_EQ(dialog.import_from(), zeta);
    EXPECT_EQ(dialog.name(), L" ");

    Import(dialog)->setCurrentIndex(0);
    dialog.accept();
    EXPECT_EQ(dialog.import_from(), -1);
}

}  // namespace
}  // namespace twk::gui
