#include "editing/ForumEditDlg.h"

#include <gtest/gtest.h>

#include <QLineEdit>
#include <QPushButton>
#include <QStringList>

#include "editing/IdComboBox.h"
#include "support/GuiTest.h"
#include "text/Messages.h"

namespace twk::gui {
namespace {

class ForumEditDlgTest : public test::GuiTest {
protected:
    template <typename T>
    static T* Find(CForumEditDlg& dialog, const char* name) {
        return dialog.findChild<T*>(QString::fromLatin1(name));
    }
    static void Fill(CForumEditDlg& dialog, const QString& url, const QString& login,
                     const QString& password) {
        Find<QLineEdit>(dialog, "mainUrl")->setText(url);
        Find<QLineEdit>(dialog, "username")->setText(login);
        Find<QLineEdit>(dialog, "password")->setText(password);
    }
    static ForumRecord StoredForum() {
        ForumRecord forum;
        forum.forum_id = 17;
        forum.engine = L"vBulletin";
        forum.main_url = L"http://board.test/";
        forum.title = L"Board";
        forum.forum_key = L"http://board.test/forumdisplay.php?f=3";
        forum.forum_title = L"News";
        forum.login = L"alice";
        forum.pass = L"secret";
        return forum;
    }
    static SectionList StoredSection(const ForumRecord& forum) {
        return {SectionRecord{forum.forum_key, forum.forum_title, forum.forum_key}};
    }
};

struct CheckCase {
    const char* name;
    const char* url;
    const char* login;
    const char* password;
    const wchar_t* message;
};

void PrintTo(const CheckCase& row, std::ostream* out) {
    *out << row.name;
}

class ForumEditDlgChecks : public ForumEditDlgTest,
                           public testing::WithParamInterface<CheckCase> {};

TEST_P(ForumEditDlgChecks, OkReportsOnlyTheFirstFailureAndStaysOpen) {
    const CheckCase& c = GetParam();
    CForumEditDlg dialog(-1, ForumRecord{}, SectionList{});
    Fill(dialog, QString::fromUtf8(c.url), QString::fromUtf8(c.login),
         QString::fromUtf8(c.password));

    Find<QPushButton>(dialog, "ok")->click();

    ASSERT_EQ(messages.shown().size(), 1u);
    EXPECT_EQ(messages.shown()[0].text, c.message);
    EXPECT_EQ(messages.shown()[0].caption, L"Error");
    EXPECT_EQ(messages.shown()[0].type, kMbIconError);
    EXPECT_NE(dialog.result(), QDialog::Accepted);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, ForumEditDlgChecks,
    testing::Values(CheckCase{"BareHost", "forum.test", "", "", L"Invalid Main URL"},
                    CheckCase{"Empty", "", "", "", L"Invalid Main URL"},
                    CheckCase{"NoHost", "http://", "u", "p", L"Invalid Main URL"},
                    CheckCase{"NotHttp", "ftp://forum.test/", "u", "p", L"Invalid Main URL"},
                    CheckCase{"LeadingBlank", " http://forum.test/", "u", "p", L"Invalid Main URL"},
                    CheckCase{"NoLogin", "http://forum.test/", "", "", L"Login is mandatory"},
                    CheckCase{"NoPassword", "https://forum.test/board/", "u", "",
                              L"Password is mandatory"},
                    // Blanks are text: they are not trimmed away.
                    CheckCase{"NoSection", "http://forum.test/", " ", " ", L"No section selected"}),
    [](const testing::TestParamInfo<CheckCase>& row) { return std::string(row.param.name); });

TEST_F(ForumEditDlgTest, ReadChecksTheInputFirstAndScansNothingWhenItFails) {
    CForumEditDlg dialog(-1, ForumRecord{}, SectionList{});
    Fill(dialog, QStringLiteral("forum.test"), QStringLiteral("u"), QStringLiteral("p"));

    // A scan would open its modal dialog; the check stops before it.
    dialog.Read();

    ASSERT_EQ(messages.shown().size(), 1u);
    EXPECT_EQ(messages.last_text(), L"Invalid Main URL");
}

TEST_F(ForumEditDlgTest, EditOpensWithTheStoredValuesAndKeepsTheStoredSection) {
    const ForumRecord stored = StoredForum();
    CForumEditDlg dialog(-1, stored, StoredSection(stored));

    EXPECT_EQ(Find<CIdComboBox>(dialog, "script")->currentText(), QStringLiteral("vBulletin"));
    EXPECT_EQ(Find<QLineEdit>(dialog, "mainUrl")->text(), QStringLiteral("http://board.test/"));
    EXPECT_EQ(Find<QLineEdit>(dialog, "username")->text(), QStringLiteral("alice"));
    EXPECT_EQ(Find<QLineEdit>(dialog, "password")->echoMode(), QLineEdit::Password);
    auto* sections = Find<CIdComboBox>(dialog, "section");
    EXPECT_EQ(sections->count(), 1);
    EXPECT_EQ(sections->currentText(), QStringLiteral("News"));
    EXPECT_FALSE(sections->isEnabled());
    EXPECT_EQ(Find<QLineEdit>(dialog, "sectionUrl")->text(),
              QStringLiteral("http://board.test/forumdisplay.php?f=3"));
    EXPECT_TRUE(Find<QLineEdit>(dialog, "sectionUrl")->isReadOnly());

    Find<QLineEdit>(dialog, "password")->setText(QStringLiteral("changed"));
    auto* scripts = Find<CIdComboBox>(dialog, "script");
    scripts->setCurrentIndex(scripts->findText(QStringLiteral("phpBB")));
    Find<QPushButton>(dialog, "ok")->click();

    EXPECT_TRUE(messages.shown().empty());
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(dialog.forum().pass, L"changed");
    EXPECT_EQ(dialog.forum().engine, L"phpBB");
    EXPECT_EQ(dialog.forum().title, L"Board");
    EXPECT_EQ(dialog.selected_section().key, stored.forum_key);
    EXPECT_EQ(dialog.selected_section().title, L"News");
}

TEST_F(ForumEditDlgTest, ScriptListIsSortedAndPicksTheEngineByPrefixIgnoringCase) {
    const std::pair<const wchar_t*, const char*> rows[] = {
        {L"", "Discourse"},  {L"phpbb", "phpBB"},         {L"vB", "vBulletin"},
        {L"smf", "SMF"},     {L"mybb", "MyBB"},           {L"NodeBB", "NodeBB"},
        {L"ipb", "IPBoard"}, {L"discourse", "Discourse"}, {L"Unknown", "Discourse"}};
    const QStringList listed = {QStringLiteral("Discourse"), QStringLiteral("IPBoard"),
                                QStringLiteral("MyBB"),      QStringLiteral("NodeBB"),
                                QStringLiteral("phpBB"),     QStringLiteral("SMF"),
                                QStringLiteral("vBulletin")};
    for (const auto& [engine, shown] : rows) {
        ForumRecord forum;
        forum.engine = engine;
        CForumEditDlg dialog(-1, forum, SectionList{});
        auto* scripts = Find<CIdComboBox>(dialog, "script");
        QStringList items;
        for (int i = 0; i < scripts->count(); ++i) {
            items << scripts->itemText(i);
        }
        EXPECT_EQ(items, listed);
        EXPECT_EQ(scripts->currentText(), QString::fromLatin1(shown)) << engine;
    }
}

TEST_F(ForumEditDlgTest, OpenButtonsOpenTheirAddressesAndNothingWhenEmpty) {
    CForumEditDlg empty(-1, ForumRecord{}, SectionList{});
    Find<QPushButton>(empty, "openMainUrl")->click();
    Find<QPushButton>(empty, "openSectionUrl")->click();
    EXPECT_TRUE(opened_urls.isEmpty());

    const ForumRecord stored = StoredForum();
    CForumEditDlg dialog(-1, stored, StoredSection(stored));
    Find<QPushButton>(dialog, "openMainUrl")->click();
    Find<QPushButton>(dialog, "openSectionUrl")->click();
    ASSERT_EQ(opened_urls.size(), 2);
    EXPECT_EQ(opened_urls[0], QUrl(QStringLiteral("http://board.test/")));
    EXPECT_EQ(opened_urls[1], QUrl(QStringLiteral("http://board.test/forumdisplay.php?f=3")));
}

TEST_F(ForumEditDlgTest, ChoosingASectionShowsItsAddress) {
    const SectionList sections = {SectionRecord{L"http://b/f1", L"One", L"http://b/f1"},
                                  SectionRecord{L"http://b/f2", L"Two", L"http://b/f2"}};
    CForumEditDlg dialog(-1, ForumRecord{}, sections);
    auto* list = Find<CIdComboBox>(dialog, "section");
    EXPECT_TRUE(list->isEnabled());
    EXPECT_EQ(Find<QLineEdit>(dialog, "sectionUrl")->text(), QStringLiteral("http://b/f1"));

    list->setCurrentIndex(1);
    EXPECT_EQ(Find<QLineEdit>(dialog, "sectionUrl")->text(), QStringLiteral("http://b/f2"));
    Fill(dialog, QStringLiteral("http://b/"), QStringLiteral("u"), QStringLiteral("p"));
    Find<QPushButton>(dialog, "ok")->click();
    EXPECT_EQ(dialog.selected_section().title, L"Two");
}

}  // namespace
}  // namespace twk::gui
