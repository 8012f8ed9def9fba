#include "editing/TabMessage.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QDialog>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>

#include "app/MainDlg.h"
#include "editing/IdComboBox.h"
#include "storage/Database.h"
#include "storage/Tables.h"
#include "support/GuiTest.h"

namespace twk::gui {
namespace {

class TabMessageTest : public test::GuiTest {
protected:
    // The window is made when a test has stored what it should show.
    CMainDlg& Window() {
        if (!window_) {
            window_ = std::make_unique<CMainDlg>();
        }
        return *window_;
    }
    CTabMessage& Page() { return Window().message_page(); }
    template <typename T>
    T* Find(const char* name) {
        return Page().findChild<T*>(QString::fromLatin1(name));
    }
    CIdComboBox* Profiles() { return Find<CIdComboBox>("profileList"); }
    CIdComboBox* Messages() { return Find<CIdComboBox>("messageList"); }
    QLineEdit* Subject() { return Find<QLineEdit>("subject"); }
    QPlainTextEdit* Body() { return Find<QPlainTextEdit>("body"); }
    QPushButton* Button(const char* name) { return Find<QPushButton>(name); }
    int CurrentTab() {
        return Window().findChild<QTabWidget*>(QStringLiteral("tabs"))->currentIndex();
    }

    // Runs New Profile, answering its dialog with name and the import entry text.
    void CreateProfile(const QString& name, const QString& import_from = {}) {
        test::WhenModal([name, import_from](QDialog* dialog) {
            dialog->findChild<QLineEdit*>(QStringLiteral("name"))->setText(name);
            auto* import_list = dialog->findChild<QComboBox*>(QStringLiteral("importFrom"));
            import_list->setCurrentIndex(import_list->findText(import_from));
            dialog->findChild<QPushButton*>(QStringLiteral("ok"))->click();
        });
        Button("newProfile")->click();
    }

private:
    std::unique_ptr<CMainDlg> window_;
};

TEST_F(TabMessageTest, WithoutProfilesOnlyNewProfileAndTheEditorAreUsable) {
    Window();
    EXPECT_EQ(Profiles()->count(), 0);
    for (QWidget* off :
         {static_cast<QWidget*>(Profiles()), static_cast<QWidget*>(Messages()),
          static_cast<QWidget*>(Subject()), static_cast<QWidget*>(Button("newMessage")),
          static_cast<QWidget*>(Button("continue")), static_cast<QWidget*>(Button("deleteMessage")),
          static_cast<QWidget*>(Button("deleteProfile"))}) {
        EXPECT_FALSE(off->isEnabled()) << off->objectName().toStdString();
    }
    for (const char* on :
         {"newProfile", "bold", "italic", "underline", "image", "url", "preview"}) {
        EXPECT_TRUE(Button(on)->isEnabled()) << on;
    }
    EXPECT_TRUE(Body()->isEnabled());
    std::wstring name;
    EXPECT_EQ(Window().GetCurrentProfile(name), -1);
    EXPECT_EQ(name, L"");
}

TEST_F(TabMessageTest, NewProfileWithImportCopiesForumsAndOptionsButNoMessages) {
    const int32_t source = test::MakeProfile(L"Source", 2);
    ASSERT_EQ(SaveMessage(MessageRecord{-1, source, L"old", L"text"}), 0);

    CreateProfile(QStringLiteral("Copy"), QStringLiteral("Source"));

    std::wstring name;
    const int32_t copy = Window().GetCurrentProfile(name);
    EXPECT_EQ(name, L"Copy");
    ASSERT_NE(copy, source);
    ForumList source_forums, copied_forums;
    source_forums.LoadForProfile(source);
    copied_forums.LoadForProfile(copy);
    ASSERT_EQ(copied_forums.size(), 2u);
    for (size_t i = 0; i < copied_forums.size(); ++i) {
        EXPECT_NE(copied_forums[i].forum_id, source_forums[i].forum_id);
        EXPECT_EQ(copied_forums[i].title, source_forums[i].title);
        EXPECT_EQ(copied_forums[i].pass, source_forums[i].pass);
    }
    EXPECT_EQ(GetOptionInt(OptThreadCount, copy, 10), 3);
    EXPECT_EQ(GetOptionInt(OptConnectionMode, copy, 0), kConnectionProxy);
    // A fresh profile: only the blank entry, an empty editor, nothing to delete.
    EXPECT_EQ(Messages()->count(), 1);
    EXPECT_EQ(Messages()->SelectedId(), -1);
    EXPECT_TRUE(Subject()->text().isEmpty());
    EXPECT_FALSE(Button("deleteMessage")->isEnabled());
    EXPECT_TRUE(Button("deleteProfile")->isEnabled());
    EXPECT_TRUE(Subject()->isEnabled());
}

TEST_F(TabMessageTest, NewProfileWithoutImportStartsEmpty) {
    test::MakeProfile(L"Source", 1);

    CreateProfile(QStringLiteral("Fresh"));

    std::wstring name;
    const int32_t fresh = Window().GetCurrentProfile(name);
    EXPECT_EQ(name, L"Fresh");
    ForumList forums;
    forums.LoadForProfile(fresh);
    EXPECT_TRUE(forums.empty());
    EXPECT_EQ(GetOptionInt(OptThreadCount, fresh, 10), 10);
}

TEST_F(TabMessageTest, FailedProfileInsertCopiesNothingAndSaysSo) {
    test::MakeProfile(L"Source", 2);
    ASSERT_TRUE(
        RunStatement(L"CREATE TRIGGER [refuse] BEFORE INSERT ON [profile] BEGIN SELECT "
                     L"RAISE(ABORT, 'no'); END"));
    ForumList before;
    ListForums(L"1=1", before);

    CreateProfile(QStringLiteral("Copy"), QStringLiteral("Source"));

    EXPECT_EQ(messages.last_text(), L"Profile Copy could not be created.");
    ForumList after;
    ListForums(L"1=1", after);
    EXPECT_EQ(after.size(), before.size());
    OptionList orphans;
    ListOptions(L"[profile_id] IS NULL OR [profile_id]=-1", orphans);
    EXPECT_TRUE(orphans.empty());
    std::wstring name;
    Window().GetCurrentProfile(name);
    EXPECT_EQ(name, L"Source");
}

TEST_F(TabMessageTest, ContinueStoresANewMessageAndSelectsItAsTheLastEntry) {
    const int32_t profile = test::MakeProfile(L"Home", 0);
    ASSERT_EQ(SaveMessage(MessageRecord{-1, profile, L"first", L"one"}), 0);
    Window();
    ASSERT_EQ(Messages()->count(), 2);
    EXPECT_EQ(Subject()->text(), QStringLiteral("first"));

    Button("newMessage")->click();
    EXPECT_TRUE(Subject()->text().isEmpty());
    EXPECT_EQ(Page().current().message_id, -1);
    Subject()->setText(QStringLiteral("second"));
    Body()->setPlainText(QStringLiteral("line 1\nline 2"));
    Button("continue")->click();

    MessageList stored;
    stored.LoadForProfile(profile);
    ASSERT_EQ(stored.size(), 2u);
    EXPECT_EQ(stored[1].subject, L"second");
    EXPECT_EQ(stored[1].msg, L"line 1\r\nline 2");
    EXPECT_EQ(Page().current().message_id, stored[1].message_id);
    EXPECT_EQ(Messages()->currentIndex(), Messages()->count() - 1);
    EXPECT_EQ(Messages()->SelectedId(), stored[1].message_id);
    EXPECT_EQ(CurrentTab(), 1);

    // The Submit page's way back starts a new message on the Message page.
    Window().ShowNextPage();
    EXPECT_EQ(CurrentTab(), 0);
    EXPECT_EQ(Messages()->currentIndex(), 0);
    EXPECT_EQ(Page().current().message_id, -1);
}

TEST_F(TabMessageTest, ContinueOnAnOlderMessageStoresItInPlace) {
    const int32_t profile = test::MakeProfile(L"Home", 0);
    ASSERT_EQ(SaveMessage(MessageRecord{-1, profile, L"first", L"one"}), 0);
    const int32_t first = LastInsertId();
    ASSERT_EQ(SaveMessage(MessageRecord{-1, profile, L"second", L"two"}), 0);
    Window();
    Messages()->setCurrentIndex(1);
    emit Messages()->activated(1);
    EXPECT_EQ(Subject()->text(), QStringLiteral("first"));

    Subject()->setText(QStringLiteral("first, edited"));
    Button("continue")->click();

    MessageRecord stored;
    ASSERT_EQ(LoadMessage(stored, first), 1);
    EXPECT_EQ(stored.subject, L"first, edited");
    EXPECT_EQ(Messages()->currentIndex(), 2);
    EXPECT_EQ(Subject()->text(), QStringLiteral("second"));
}

TEST_F(TabMessageTest, EmptySubjectIsRefusedButABlankOneIsNot) {
    const int32_t profile = test::MakeProfile(L"Home", 0);
    Window();

    Button("continue")->click();

    ASSERT_EQ(messages.shown().size(), 1u);
    EXPECT_EQ(messages.shown()[0].caption, L"");
    EXPECT_EQ(messages.shown()[0].type, kMbIconError);
    EXPECT_EQ(messages.last_text(), L"Empty subject");
    MessageList stored;
    stored.LoadForProfile(profile);
    EXPECT_TRUE(stored.empty());
    EXPECT_EQ(CurrentTab(), 0);

    Subject()->setText(QStringLiteral(" "));
    Button("continue")->click();
    stored.LoadForProfile(profile);
    EXPECT_EQ(stored.size(), 1u);
    EXPECT_EQ(messages.shown().size(), 1u);
}

TEST_F(TabMessageTest, DeletingTheOnlyMessageLeavesTheBlankEntryUnselected) {
    const int32_t profile = test::MakeProfile(L"Home", 0);
    ASSERT_EQ(SaveMessage(MessageRecord{-1, profile, L"only", L"text"}), 0);
    Window();
    ASSERT_TRUE(Button("deleteMessage")->isEnabled());

    messages.QueueAnswer(kIdCancel);
    Button("deleteMessage")->click();
    EXPECT_EQ(Messages()->count(), 2);

    Button("deleteMessage")->click();

    EXPECT_EQ(messages.shown().back().caption, L"Warning");
    EXPECT_EQ(messages.shown().back().type, kMbOkCancel | kMbIconWarning);
    EXPECT_EQ(messages.last_text(), L"Are you sure you want to delete selected message?");
    EXPECT_EQ(Messages()->count(), 1);
    EXPECT_EQ(Messages()->currentIndex(), -1);
    EXPECT_TRUE(Subject()->text().isEmpty());
    EXPECT_TRUE(Body()->toPlainText().isEmpty());
    EXPECT_EQ(Page().current().message_id, -1);
    EXPECT_FALSE(Button("deleteMessage")->isEnabled());
    MessageList stored;
    stored.LoadForProfile(profile);
    EXPECT_TRUE(stored.empty());
}

TEST_F(TabMessageTest, DeleteProfileSelectsTheFirstRemainingProfile) {
    test::MakeProfile(L"beta", 0);
    test::MakeProfile(L"Alpha", 0);
    test::MakeProfile(L"gamma", 0);
    Window();
    // Sorted without regard to case.
    ASSERT_EQ(Profiles()->itemText(0), QStringLiteral("Alpha"));
    ASSERT_EQ(Profiles()->itemText(2), QStringLiteral("gamma"));

    Button("deleteProfile")->click();

    EXPECT_EQ(messages.last_text(), L"Are you sure you want to delete selected profile?");
    EXPECT_EQ(Profiles()->count(), 2);
    EXPECT_EQ(Profiles()->GetSelectedText(), QStringLiteral("beta"));
}

TEST_F(TabMessageTest, ChoosingAnotherProfileShowsItsMessages) {
    const int32_t a = test::MakeProfile(L"A", 0);
    const int32_t b = test::MakeProfile(L"B", 0);
    ASSERT_EQ(SaveMessage(MessageRecord{-1, a, L"for A", L""}), 0);
    ASSERT_EQ(SaveMessage(MessageRecord{-1, b, L"for B", L"body\r\nof B"}), 0);
    Window();
    EXPECT_EQ(Subject()->text(), QStringLiteral("for A"));

    Profiles()->setCurrentIndex(1);
    emit Profiles()->activated(1);

    EXPECT_EQ(Subject()->text(), QStringLiteral("for B"));
    EXPECT_EQ(Body()->toPlainText(), QStringLiteral("body\nof B"));
    EXPECT_EQ(Page().current().profile_id, b);
}

}  // namespace
}  // namespace twk::gui
