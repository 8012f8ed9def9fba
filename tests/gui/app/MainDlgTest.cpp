#include "app/MainDlg.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>

#include "app/Browser.h"
#include "editing/IdComboBox.h"
#include "editing/TabMessage.h"
#include "platform/ProgramDirectory.h"
#include "storage/Database.h"
#include "storage/DatabaseCreator.h"
#include "storage/Tables.h"
#include "submit/TabSubmit.h"
#include "support/GuiTest.h"

namespace twk::gui {

namespace {

class MainDlgTest : public test::GuiTest {
protected:
    MainDlgTest() {
        SetProgramDirectory(dir.path());
        test::MakeProfile(L"Current", 0);
    }

    QTabWidget* Tabs(CMainDlg& window) {
        return window.findChild<QTabWidget*>(QStringLiteral("tabs"));
    }
    QAction* MenuAction(CMainDlg& window, const QString& menu_title, const QString& text) {
        for (QMenu* menu : window.findChildren<QMenu*>()) {
            if (menu->title() != menu_title) {
                continue;
            }
            emit menu->aboutToShow();
            for (QAction* action : menu->actions()) {
                if (action->text() == text) {
                    return action;
                }
            }
        }
        return nullptr;
    }
    int32_t SelectedProfileId() {
        ProfileList profiles;
        ListProfiles(profiles);
        return profiles.empty() ? -1 : profiles.front().profile_id;
    }
    std::wstring SelectedProfile(CMainDlg& window) {
        std::wstring name;
        window.GetCurrentProfile(name);
        return name;
    }
    // Another database file holding one profile of that name.
    std::filesystem::path MakeOtherDatabase(const std::string& file, const std::wstring& profile) {
        std::filesystem::path path = dir / file;
        std::wstring error;
        EXPECT_TRUE(CreateDatabase(path, error));
        CloseConnection();
        EXPECT_TRUE(OpenConnection(path));
        InsertProfile(ProfileRecord{-1, profile});
        CloseConnection();
        EXPECT_TRUE(OpenDatabase(database));
        return path;
    }
    static QString ToQ(const std::filesystem::path& path) {
        return QString::fromStdString(path.string());
    }
};

TEST_F(MainDlgTest, OpensOnTheMessagePageWithTheFirstProfile) {
    CMainDlg window;
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Tallowick"));
    EXPECT_EQ(Tabs(window)->count(), 2);
    EXPECT_EQ(Tabs(window)->tabText(0), QStringLiteral("Message"));
    EXPECT_EQ(Tabs(window)->tabText(1), QStringLiteral("Submit"));
    EXPECT_EQ(Tabs(window)->currentIndex(), 0);
    EXPECT_EQ(SelectedProfile(window), L"Current");
}

TEST_F(MainDlgTest, RunningJobsKeepTheSubmitPageAndGreyTheDatabaseCommands) {
    // A forum of a script no engine knows: its job reports at once, but the report is
    // handled only when the event loop runs, so until then the job counts as running.
    ForumRecord forum;
    forum.profile_id = SelectedProfileId();
    forum.engine = L"none";
    ASSERT_EQ(SaveForum(forum, false), 0);
    ASSERT_EQ(SaveMessage(MessageRecord{-1, forum.profile_id, L"Subject", L"Body"}), 0);
    CMainDlg window;
    Tabs(window)->setCurrentIndex(1);
    window.submit_page().StartRun();
    ASSERT_EQ(window.submit_page().running_jobs(), 1);

    Tabs(window)->setCurrentIndex(0);

    EXPECT_EQ(Tabs(window)->currentIndex(), 1);
    EXPECT_FALSE(
        MenuAction(window, QStringLiteral("File"), QStringLiteral("Backup Database"))->isEnabled());
    EXPECT_FALSE(MenuAction(window, QStringLiteral("File"), QStringLiteral("Restore Database"))
                     ->isEnabled());
    EXPECT_TRUE(MenuAction(window, QStringLiteral("File"), QStringLiteral("Options"))->isEnabled());

    ASSERT_TRUE(QTest::qWaitFor([&] { return window.submit_page().running_jobs() == 0; }));
    Tabs(window)->setCurrentIndex(0);
    EXPECT_EQ(Tabs(window)->currentIndex(), 0);
    EXPECT_TRUE(
        MenuAction(window, QStringLiteral("File"), QStringLiteral("Backup Database"))->isEnabled());
}

TEST_F(MainDlgTest, EnterAndEscapeNeverCloseTheWindow) {
    CMainDlg window;
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    auto* subject = window.message_page().findChild<QLineEdit*>(QStringLiteral("subject"));
    subject->setFocus();

    for (QWidget* target : {static_cast<QWidget*>(&window), static_cast<QWidget*>(subject)}) {
        QTest::keyClick(target, Qt::Key_Return);
        QTest::keyClick(target, Qt::Key_Enter, Qt::KeypadModifier);
        QTest::keyClick(target, Qt::Key_Escape);
    }

    EXPECT_TRUE(window.isVisible());
    EXPECT_TRUE(messages.shown().empty());
}

TEST_F(MainDlgTest, WindowStopsAtItsMinimumSize) {
    CMainDlg window;
    window.show();
    ASSERT_GT(window.minimumWidth(), 0);
    ASSERT_LT(window.minimumWidth(), window.width());

    window.resize(10, 10);

    EXPECT_EQ(window.size(), window.minimumSize());
}

TEST_F(MainDlgTest, HomePageOpensInTheBrowser) {
    CMainDlg window;
    MenuAction(window, QStringLiteral("Help"), QStringLiteral("Home Page"))->trigger();
    ASSERT_EQ(opened_urls.size(), 1);
    EXPECT_EQ(opened_urls[0], QUrl(QString::fromLatin1(kHomePageUrl)));
}

TEST_F(MainDlgTest, BackupThenRestoreReloadsBothPagesFromTheRestoredFile) {
    CMainDlg window;
    const std::filesystem::path saved = dir / "saved.db";
    window.BackupTo(ToQ(saved));
    EXPECT_EQ(messages.last_text(), L"Database saved succesfully");
    const std::filesystem::path other = MakeOtherDatabase("other.db", L"Other");

    window.RestoreFrom(ToQ(other));
    EXPECT_EQ(SelectedProfile(window), L"Other");
    EXPECT_EQ(window.message_page().findChild<CIdComboBox*>(QStringLiteral("profileList"))->count(),
              1);

    // The restored database is the one the page writes to now.
    window.message_page()
        .findChild<QLineEdit*>(QStringLiteral("subject"))
        ->setText(QStringLiteral("s"));
    window.message_page().Continue();
    CloseConnection();
    ASSERT_TRUE(OpenConnection(database));
    MessageList stored;
    ListMessages(L"1=1", stored);
    EXPECT_EQ(stored.size(), 1u);
    CloseConnection();
    ASSERT_TRUE(OpenConnection(dir / "twk.db.bak"));
    stored.clear();
    ListMessages(L"1=1", stored);
    EXPECT_TRUE(stored.empty());

    // And the backup made first brings the old profile back.
    ASSERT_TRUE(OpenDatabase(database));
    window.RestoreFrom(ToQ(saved));
    EXPECT_EQ(SelectedProfile(window), L"Current");
}

TEST_F(MainDlgTest, FailedCopyKeepsTheProgramWorkingOnThePreviousDatabase) {
    CMainDlg window;
    window.show();

    window.RestoreFrom(ToQ(dir / "vanished.db"));

    EXPECT_EQ(messages.last_text().rfind(L"Error while copying the database\r\n", 0), 0u);
    QApplication::processEvents();
    EXPECT_TRUE(window.isVisible());
    EXPECT_NE(Connection().handle, nullptr);
    EXPECT_EQ(SelectedProfile(window), L"Current");
    ProfileList profiles;
    EXPECT_EQ(ListProfiles(profiles), 0);
}

TEST_F(MainDlgTest, RefusedFilePutsTheOldDatabaseBackAndClosesTheWindow) {
    const std::filesystem::path foreign = MakeOtherDatabase("foreign.db", L"Foreign");
    CloseConnection();
    ASSERT_TRUE(OpenConnection(foreign));
    ASSERT_TRUE(RunStatement(L"DELETE FROM [option]"));
    CloseConnection();
    ASSERT_TRUE(OpenDatabase(database));
    CMainDlg window;
    window.show();

    window.RestoreFrom(ToQ(foreign));
    QApplication::processEvents();

    EXPECT_EQ(messages.last_text(), L"Invalid database file " + database.wstring());
    EXPECT_FALSE(window.isVisible());
    EXPECT_EQ(window.result(), QDialog::Rejected);
    ASSERT_TRUE(OpenDatabase(database));
    ProfileList profiles;
    ListProfiles(profiles);
    ASSERT_EQ(profiles.size(), 1u);
    EXPECT_EQ(profiles[0].name, L"Current");
}

}  // namespace
}  // namespace twk::gui
