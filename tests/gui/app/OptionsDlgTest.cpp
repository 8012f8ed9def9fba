#include "app/OptionsDlg.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QSpinBox>

#include "storage/Database.h"
#include "storage/Tables.h"
#include "support/GuiTest.h"

namespace twk::gui {
namespace {

class OptionsDlgTest : public test::GuiTest {
protected:
    template <typename T>
    static T* Find(COptionsDlg& dialog, const char* name) {
        return dialog.findChild<T*>(QString::fromLatin1(name));
    }
    static std::vector<QLineEdit*> ProxyFields(COptionsDlg& dialog) {
        return {Find<QLineEdit>(dialog, "proxyAddress"), Find<QLineEdit>(dialog, "proxyPort"),
                Find<QLineEdit>(dialog, "proxyLogin"), Find<QLineEdit>(dialog, "proxyPassword")};
    }
    // The six stored values of a profile, in option order; "-" for a missing row.
    static std::vector<std::wstring> Stored(int32_t profile) {
        std::vector<std::wstring> values;
        for (int32_t option = OptThreadCount; option <= OptProxyPassword; ++option) {
            OptionRecord row;
            const std::wstring condition = profile == -1
                                               ? L"[profile_id] IS NULL"
                                               : L"[profile_id]=" + std::to_wstring(profile);
            values.push_back(
                SelectOption(condition + L" AND option=" + std::to_wstring(option), row) == 1
                    ? row.value
                    : L"-");
        }
        return values;
    }
};

TEST_F(OptionsDlgTest, NewProfileShowsDefaultsAndOkStoresAllSix) {
    const int32_t profile = test::MakeProfile(L"Home", 0);
    ASSERT_TRUE(
        RunStatement(L"DELETE FROM [option] WHERE [profile_id]=" + std::to_wstring(profile)));
    COptionsDlg dialog(profile, L"Home");

    EXPECT_EQ(Find<QGroupBox>(dialog, "group")->title(),
              QStringLiteral("Options for profile Home"));
    EXPECT_EQ(Find<QSpinBox>(dialog, "threads")->value(), 10);
    EXPECT_EQ(Find<QSpinBox>(dialog, "threads")->minimum(), 1);
    EXPECT_EQ(Find<QSpinBox>(dialog, "threads")->maximum(), 50);
    EXPECT_EQ(Find<QComboBox>(dialog, "connection")->currentText(), QStringLiteral("Auto"));
    EXPECT_EQ(Find<QLineEdit>(dialog, "proxyPort")->text(), QStringLiteral("0"));
    for (QLineEdit* field : ProxyFields(dialog)) {
        EXPECT_FALSE(field->isEnabled()) << field->objectName().toStdString();
    }

    dialog.accept();

    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(Stored(profile), (std::vector<std::wstring>{L"10", L"0", L"", L"0", L"", L""}));
}

TEST_F(OptionsDlgTest, ProxyModeOpensEditableAndSwitchingAwayGreysButStillSaves) {
    const int32_t profile = test::MakeProfile(L"Home", 0);
    SetOptionText(profile, OptProxyAddress, L"10.0.0.1");
    SetOptionInt(OptProxyPort, 3128, profile);
    SetOptionText(profile, OptProxyLogin, L"me");
    SetOptionText(profile, OptProxyPassword, L"pw");
    COptionsDlg dialog(profile, L"Home");
    auto* connection = Find<QComboBox>(dialog, "connection");
    ASSERT_EQ(connection->currentText(), QStringLiteral("Proxy"));
    for (QLineEdit* field : ProxyFields(dialog)) {
        EXPECT_TRUE(field->isEnabled());
    }

    connection->setCurrentIndex(connection->findText(QStringLiteral("Direct")));
    for (QLineEdit* field : ProxyFields(dialog)) {
        EXPECT_FALSE(field->isEnabled());
    }
    Find<QSpinBox>(dialog, "threads")->setValue(7);
    dialog.accept();

    EXPECT_EQ(Stored(profile),
              (std::vector<std::wstring>{L"7", L"1", L"10.0.0.1", L"3128", L"me", L"pw"}));
}

TEST_F(OptionsDlgTest, UnknownModeShowsAutoAndIsWrittenBackAsZero) {
    const int32_t profile = test::MakeProfile(L"Home", 0);
    SetOptionInt(OptConnectionMode, 7, profile);
    COptionsDlg dialog(profile, L"Home");
    EXPECT_EQ(Find<QComboBox>(dialog, "connection")->currentText(), QStringLiteral("Auto"));

    dialog.accept();

    EXPECT_EQ(Stored(profile)[1], L"0");
}

TEST_F(OptionsDlgTest, PortTakesDigitsOnly) {
    COptionsDlg dialog(-1, L"");
    auto* port = Find<QLineEdit>(dialog, "proxyPort");
    int position = 0;
    QString typed = QStringLiteral("80a");
    EXPECT_EQ(port->validator()->validate(typed, position), QValidator::Invalid);
    typed = QStringLiteral("8080");
    EXPECT_EQ(port->validator()->validate(typed, position), QValidator::Acceptable);
}

TEST_F(OptionsDlgTest, WithoutAProfileTheRowsGoUnderNoProfile) {
    COptionsDlg dialog(-1, L"");
    EXPECT_EQ(Find<QGroupBox>(dialog, "group")->title(), QStringLiteral("Options for profile "));

    dialog.accept();

    EXPECT_EQ(Stored(-1), (std::vector<std::wstring>{L"10", L"0", L"", L"0", L"", L""}));
}

TEST_F(OptionsDlgTest, CancelWritesNothing) {
    const int32_t profile = test::MakeProfile(L"Home", 0);
    COptionsDlg dialog(profile, L"Home");
    Find<QSpinBox>(dialog, "threads")->setValue(20);

    dialog.reject();

    EXPECT_EQ(GetOptionInt(OptThreadCount, profile, 10), 3);
}

}  // namespace
}  // namespace twk::gui
