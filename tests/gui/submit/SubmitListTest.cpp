#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QTextDocument>
#include <QTextDocumentFragment>

#include "SubmitPageTest.h"
#include "app/QtText.h"
#include "editing/IdComboBox.h"
#include "editing/TabMessage.h"
#include "submit/SubmitLog.h"
#include "support/SqlTrace.h"
#include "text/Messages.h"

namespace twk::gui {
namespace {

class SubmitListTest : public test::SubmitPageTest {
protected:
    QPushButton* Button(const char* name) { return Find<QPushButton>(name); }
    QAction* MenuEntry(const char* name) {
        return Page().PrepareContextMenu()->findChild<QAction*>(QString::fromLatin1(name));
    }
    void SelectTitles(const QStringList& titles) {
        std::vector<int> rows;
        for (const QString& title : titles) {
            rows.push_back(RowOf(title));
        }
        std::sort(rows.begin(), rows.end());
        List().SelectRows(rows);
    }
    QStringList SelectedTitles() {
        QStringList titles;
        for (int row : List().SelectedRows()) {
            titles.append(Model().CellText(row, kColumnForum));
        }
        return titles;
    }
    // Runs Find, typing text into the Select Forums dialog.
    void FindText(const QString& text) {
        test::WhenModal([text](QDialog* dialog) {
            dialog->findChild<QLineEdit*>(QStringLiteral("text"))->setText(text);
            dialog->findChild<QPushButton*>(QStringLiteral("ok"))->click();
        });
        Page().Find();
    }
};

TEST_F(SubmitListTest, ShowsTheProfilesForumsWithTheMessagesResults) {
    const int32_t done = StoreForum(L"Done", L"alice");
    StoreForum(L"Waiting", L"bob");
    const int32_t failed = StoreForum(L"Failed", L"carol", L"vBulletin");
    StoreResult(done, 0, 86400 * 365, L"http://forum.test/viewtopic.php?t=7");
    StoreResult(failed, 6, 86400);

    Window();

    EXPECT_EQ(Find<QLabel>("profileName")->text(), QStringLiteral("Profile"));
    const QStringList headers = {QStringLiteral("Forum"),    QStringLiteral("Section"),
                                 QStringLiteral("Username"), QStringLiteral("Submit Date"),
                                 QStringLiteral("Result"),   QStringLiteral("Topic URL"),
                                 QStringLiteral("Replies")};
    for (int column = 0; column < kColumnCount; ++column) {
        EXPECT_EQ(Model().headerData(column, Qt::Horizontal, Qt::DisplayRole).toString(),
                  headers[column]);
    }
    EXPECT_EQ(Column(kColumnForum), (QStringList{QStringLiteral("Done"), QStringLiteral("Waiting"),
                                                 QStringLiteral("Failed")}));
    EXPECT_EQ(Column(kColumnSection)[0], QStringLiteral("Section of Done"));
    EXPECT_EQ(Column(kColumnUsername)[2], QStringLiteral("carol"));
    EXPECT_EQ(Column(kColumnSubmitDate),
              (QStringList{QStringLiteral("01/01/71 00:00:00"), QString(),
                           QStringLiteral("01/02/70 00:00:00")}));
    EXPECT_EQ(Column(kColumnResult), (QStringList{QStringLiteral("OK"), QString(),
                                                  QStringLiteral("Not vBulletin script")}));
    EXPECT_EQ(Column(kColumnTopicUrl)[0], QStringLiteral("http://forum.test/viewtopic.php?t=7"));
    EXPECT_EQ(Find<QProgressBar>("progress")->value(), 2);
    EXPECT_EQ(Find<QProgressBar>("progress")->maximum(), 3);
    EXPECT_TRUE(Button("start")->isEnabled());
    EXPECT_FALSE(Button("stop")->isEnabled());
    EXPECT_FALSE(Button("editForum")->isEnabled());
    EXPECT_FALSE(Button("deleteForum")->isEnabled());
}

// Names and titles come from users and boards; markup-like characters in them are text.
TEST_F(SubmitListTest, ProfileNameAndToolTipsShowTheTextAsTyped) {
    const QStringList titles = {QStringLiteral("<i>Board</i> &amp; co"),
                                QStringLiteral("Plain board")};
    for (const QString& title : titles) {
        StoreForum(title.toStdWString());
    }
    ASSERT_EQ(InsertProfile(ProfileRecord{-1, L"<b>x</b>"}), 0);
    auto* profiles = Window().message_page().findChild<CIdComboBox*>(QStringLiteral("profileList"));
    // As the user picks a profile from the list.
    auto choose = [profiles](const QString& name) {
        profiles->setCurrentIndex(profiles->findText(name));
        emit profiles->activated(profiles->currentIndex());
    };
    choose(QStringLiteral("Profile"));
    ASSERT_EQ(Model().rowCount(), titles.size());
    for (int row = 0; row < titles.size(); ++row) {
        const QString tip =
            Model().data(Model().index(row, kColumnForum), Qt::ToolTipRole).toString();
        // What a tool tip draws: markup when it looks like markup, else the text itself.
        const QString drawn =
            Qt::mightBeRichText(tip) ? QTextDocumentFragment::fromHtml(tip).toPlainText() : tip;
        EXPECT_EQ(drawn, titles[row]);
    }

    choose(QStringLiteral("<b>x</b>"));
    auto* name = Find<QLabel>("profileName");
    EXPECT_EQ(name->text(), QStringLiteral("<b>x</b>"));
    EXPECT_EQ(name->textFormat(), Qt::PlainText);
}

TEST_F(SubmitListTest, HeaderClicksSortByTheColumnsRules) {
    const int32_t b = StoreForum(L"banana", L"Zed");
    const int32_t a = StoreForum(L"Apple", L"amy");
    const int32_t c = StoreForum(L"cherry", L"Bob");
    StoreForum(L"_first", L"x");
    StoreResult(b, 0, 300, L"http://t/b");
    StoreResult(a, 0, 100, L"http://t/a");
    StoreResult(c, 7, 200, L"");
    ShowWindow();
    const QString apple = QStringLiteral("Apple"), banana = QStringLiteral("banana"),
                  cherry = QStringLiteral("cherry"), first = QStringLiteral("_first");

    // Letters fold to lower case, so "_" (between the two cases) sorts before them.
    ClickHeader(kColumnForum);
    EXPECT_EQ(Column(kColumnForum), (QStringList{first, apple, banana, cherry}));
    ClickHeader(kColumnForum);
    EXPECT_EQ(Column(kColumnForum), (QStringList{cherry, banana, apple, first}));
    ClickHeader(kColumnUsername);
    EXPECT_EQ(Column(kColumnForum), (QStringList{apple, cherry, first, banana}));
    // The newest result first; no result counts as the oldest.
    ClickHeader(kColumnSubmitDate);
    EXPECT_EQ(Column(kColumnForum), (QStringList{banana, cherry, apple, first}));
    ClickHeader(kColumnTopicUrl);
    EXPECT_EQ(Column(kColumnForum), (QStringList{banana, apple, cherry, first}));
    // Result cells as shown, case-sensitive: "" < "Invalid login" < "OK".
    ClickHeader(kColumnResult);
    EXPECT_EQ(Column(kColumnForum), (QStringList{first, cherry, banana, apple}));
}

TEST_F(SubmitListTest, DeletingAfterASortRemovesExactlyTheForumsOfTheDeletedRows) {
    for (const wchar_t* title : {L"d", L"b", L"e", L"a", L"c"}) {
        StoreForum(title);
    }
    ShowWindow();
    ClickHeader(kColumnForum);
    ClickHeader(kColumnForum);  // e d c b a
    List().SelectRows({1, 3});  // d and b
    const int32_t d_id = Model().ForumIdAt(1);
    const int32_t b_id = Model().ForumIdAt(3);

    messages.QueueAnswer(kIdCancel);
    Page().DeleteForums();
    EXPECT_EQ(StoredForums().size(), 5u);

    Page().DeleteForums();
    ASSERT_EQ(messages.shown().size(), 2u);
    EXPECT_EQ(messages.shown()[1].caption, L"Warning");
    EXPECT_EQ(messages.shown()[1].text, L"Are you sure you want to delete selected forums?");
    EXPECT_EQ(messages.shown()[1].type, kMbOkCancel | kMbIconWarning);

    std::vector<std::wstring> stored;
    for (const ForumRecord& forum : StoredForums()) {
        EXPECT_NE(forum.forum_id, d_id);
        EXPECT_NE(forum.forum_id, b_id);
        stored.push_back(forum.title);
    }
    EXPECT_EQ(stored, (std::vector<std::wstring>{L"e", L"a", L"c"}));
    EXPECT_EQ(Column(kColumnForum),
              (QStringList{QStringLiteral("e"), QStringLiteral("c"), QStringLiteral("a")}));
    EXPECT_EQ(Find<QProgressBar>("progress")->maximum(), 3);
    EXPECT_FALSE(Button("deleteForum")->isEnabled());
}

TEST_F(SubmitListTest, DeletingEveryForumEmptiesTheProgressAndDisablesStart) {
    StoreForum(L"one");
    StoreForum(L"two");
    Window();
    ASSERT_TRUE(Button("start")->isEnabled());
    List().SelectRows({0, 1});

    Page().DeleteForums();

    EXPECT_EQ(Model().rowCount(), 0);
    EXPECT_EQ(Page().manager().ProgressRange(), 0);
    EXPECT_EQ(Find<QProgressBar>("progress")->value(), 0);
    EXPECT_FALSE(Button("start")->isEnabled());
}

TEST_F(SubmitListTest, FindSelectsMatchesInAnyCaseMovesThemUpAndCountsThem) {
    for (const wchar_t* title :
         {L"gamma", L"Alpha board", L"beta", L"the ALPHA two", L"Альфа форум", L"delta"}) {
        StoreForum(title);
    }
    Window();
    List().SelectRows({0});

    FindText(QStringLiteral("aLPHA"));

    EXPECT_EQ(SelectedTitles(),
              (QStringList{QStringLiteral("Alpha board"), QStringLiteral("the ALPHA two")}));
    EXPECT_EQ(Column(kColumnForum).mid(0, 2), SelectedTitles());
    // The other rows keep their order below.
    EXPECT_EQ(Column(kColumnForum).mid(2),
              (QStringList{QStringLiteral("gamma"), QStringLiteral("beta"),
                           QStringLiteral("Альфа форум"), QStringLiteral("delta")}));
    ASSERT_EQ(messages.shown().size(), 1u);
    EXPECT_EQ(messages.shown()[0].text, L"2 items found");
    EXPECT_EQ(messages.shown()[0].caption, L" ");
    EXPECT_EQ(messages.shown()[0].type, kMbIconInformation);

    // Case folding reaches beyond ASCII.
    FindText(QStringLiteral("АЛЬФА"));
    EXPECT_EQ(SelectedTitles(), (QStringList{QStringLiteral("Альфа форум")}));
    EXPECT_EQ(RowOf(QStringLiteral("Альфа форум")), 0);

    FindText(QString());
    EXPECT_EQ(List().SelectedRows().size(), 6u);
    EXPECT_EQ(messages.last_text(), L"6 items found");
}

TEST_F(SubmitListTest, CtrlFOpensFind) {
    StoreForum(L"one");
    ShowWindow();
    List().setFocus();
    bool shown = false;
    test::WhenModal([&shown](QDialog* dialog) {
        shown = dialog->windowTitle() == QStringLiteral("Select Forums");
        dialog->reject();
    });
    QTest::keyClick(&List(), Qt::Key_F, Qt::ControlModifier);
    EXPECT_TRUE(shown);
}

TEST_F(SubmitListTest, ResubmitClearsFinishedRowsAndLeavesRunningOnesAlone) {
    // No engine knows this script: a job reports at once, but the report waits in the
    // event queue, so the forum counts as running until the events are handled.
    const int32_t finished = StoreForum(L"finished", L"user", L"none");
    const int32_t running = StoreForum(L"running", L"user", L"none");
    const int32_t finished_submit = StoreResult(finished, 0, 100, L"http://t/1");
    Window();
    Page().StartRun();
    ASSERT_EQ(Page().running_jobs(), 1);
    List().SelectRows({0, 1});

    Page().Resubmit();

    SubmitList stored;
    ListSubmits(L"[submit_id]=" + std::to_wstring(finished_submit), stored);
    EXPECT_TRUE(stored.empty());
    EXPECT_EQ(Page().manager().FindResult(finished), nullptr);
    // It is the running forum's board and account: it waits for that job.
    EXPECT_EQ(Column(kColumnResult)[0],
              QStringLiteral("Waiting for this account's other forum ..."));
    EXPECT_EQ(Column(kColumnTopicUrl)[0], QString());
    EXPECT_EQ(Column(kColumnSubmitDate)[0], QString());
    ASSERT_NE(Page().manager().FindResult(running), nullptr);
    EXPECT_EQ(Page().manager().FindResult(running)->result, kPending);

    // The run goes on with the cleared forum once the running one has reported.
    ASSERT_TRUE(QTest::qWaitFor([&] { return Page().running_jobs() == 0; }));
    EXPECT_EQ(Column(kColumnResult),
              (QStringList{QStringLiteral("Not none script"), QStringLiteral("Not none script")}));
    stored.clear();
    ListSubmits(L"[message_id]=" + std::to_wstring(message_id), stored);
    EXPECT_EQ(stored.size(), 2u);
}

TEST_F(SubmitListTest, PasswordChangerWithNeitherBoxTickedWritesNothing) {
    StoreForum(L"one", L"old");
    Window();
    List().SelectRows({0});
    test::SqlTrace trace;
    test::WhenModal([](QDialog* dialog) {
        dialog->findChild<QLineEdit*>(QStringLiteral("username"))->setText(QStringLiteral("x"));
        dialog->findChild<QPushButton*>(QStringLiteral("ok"))->click();
    });

    Page().PasswordChanger();

    EXPECT_TRUE(trace.statements().empty());
    EXPECT_EQ(StoredForums()[0].login, L"old");
}

TEST_F(SubmitListTest, PasswordChangerSetsTheTickedFieldsOfTheSelectedForums) {
    StoreForum(L"one", L"old");
    StoreForum(L"two", L"old");
    StoreForum(L"three", L"old");
    Window();
    List().SelectRows({0, 2});
    test::WhenModal([](QDialog* dialog) {
        auto* username_box = dialog->findChild<QCheckBox*>(QStringLiteral("changeUsername"));
        auto* username = dialog->findChild<QLineEdit*>(QStringLiteral("username"));
        auto* password_box = dialog->findChild<QCheckBox*>(QStringLiteral("changePassword"));
        auto* password = dialog->findChild<QLineEdit*>(QStringLiteral("password"));
        EXPECT_FALSE(username->isEnabled());
        username_box->click();
        EXPECT_TRUE(username->isEnabled());
        username->setText(QStringLiteral("new"));
        // A box ticked and cleared again leaves its field out.
        password_box->click();
        password->setText(QStringLiteral("ignored"));
        password_box->click();
        EXPECT_FALSE(password->isEnabled());
        dialog->findChild<QPushButton*>(QStringLiteral("ok"))->click();
    });

    Page().PasswordChanger();

    const ForumList stored = StoredForums();
    EXPECT_EQ(stored[0].login, L"new");
    EXPECT_EQ(stored[1].login, L"old");
    EXPECT_EQ(stored[2].login, L"new");
    for (const ForumRecord& forum : stored) {
        EXPECT_EQ(forum.pass, L"secret");
    }
    EXPECT_EQ(Column(kColumnUsername),
              (QStringList{QStringLiteral("new"), QStringLiteral("old"), QStringLiteral("new")}));
}

TEST_F(SubmitListTest, ContextMenuEnablesEntriesForTheSelectionAndTheFocusedRow) {
    const int32_t done = StoreForum(L"done");
    StoreForum(L"new");
    StoreResult(done, 0, 100, L"http://t/1");
    Window();

    auto enabled = [&] {
        QStringList names;
        for (QAction* action : Page().PrepareContextMenu()->actions()) {
            if (!action->isSeparator() && action->isEnabled()) {
                names.append(action->objectName());
            }
        }
        return names.join(QLatin1Char(' '));
    };
    EXPECT_EQ(enabled(), QStringLiteral("openForum find"));
    List().SelectRows({1});
    List().SetFocusedRow(1);
    EXPECT_EQ(enabled(), QStringLiteral("openForum edit delete passwordChanger find"));
    EXPECT_TRUE(Button("editForum")->isEnabled());
    EXPECT_TRUE(Button("deleteForum")->isEnabled());
    List().SetFocusedRow(0);
    EXPECT_EQ(enabled(),
              QStringLiteral("openForum openResult resubmit edit delete passwordChanger find"));

    QStringList texts;
    for (QAction* action : Page().PrepareContextMenu()->actions()) {
        texts.append(action->isSeparator() ? QStringLiteral("-") : action->text());
    }
    EXPECT_EQ(
        texts.join(QLatin1Char('|')),
        QStringLiteral("Open Forum|Open Result|Open Newest Reply|Resubmit|-|Edit|Delete|Password "
                       "Changer|-|Find"));
}

TEST_F(SubmitListTest, OpenResultOpensTheTopicElseTheLogAndOpenForumTheMainAddress) {
    const int32_t posted = StoreForum(L"posted", L"u", L"phpBB", L"http://one.test/board/");
    const int32_t failed = StoreForum(L"failed");
    StoreForum(L"untried");
    StoreResult(posted, 0, 100, L"http://one.test/board/viewtopic.php?t=5");
    StoreResult(failed, 7, 100);
    Window();

    List().SetFocusedRow(0);
    Page().OpenResult();
    Page().OpenForum();
    List().SetFocusedRow(1);
    Page().OpenResult();
    List().SetFocusedRow(2);
    Page().OpenResult();

    ASSERT_EQ(opened_urls.size(), 3);
    EXPECT_EQ(opened_urls[0], QUrl(QStringLiteral("http://one.test/board/viewtopic.php?t=5")));
    EXPECT_EQ(opened_urls[1], QUrl(QStringLiteral("http://one.test/board/")));
    EXPECT_EQ(opened_urls[2], QUrl::fromLocalFile(FromPath(LogFilePath(failed, message_id))));
}

}  // namespace
}  // namespace twk::gui
