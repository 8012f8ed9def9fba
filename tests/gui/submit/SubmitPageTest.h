#pragma once

#include <QHeaderView>
#include <QStringList>
#include <QTabWidget>
#include <QTest>
#include <memory>
#include <ostream>
#include <string>

#include "app/MainDlg.h"
#include "platform/ProgramDirectory.h"
#include "storage/Database.h"
#include "storage/Tables.h"
#include "submit/ColumnLayout.h"
#include "submit/SubmitListCtrl.h"
#include "submit/SubmitListModel.h"
#include "submit/TabSubmit.h"
#include "support/GuiTest.h"

// Readable QString values in test failures.
inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

namespace twk::test {

// A profile with a message, forums and results stored by the test, and the main window
// made once the test has stored what it should show.
class SubmitPageTest : public GuiTest {
protected:
    SubmitPageTest() {
        SetProgramDirectory(dir.path());
        EXPECT_EQ(InsertProfile(ProfileRecord{-1, L"Profile"}), 0);
        profile_id = LastInsertId();
        EXPECT_EQ(SaveMessage(MessageRecord{-1, profile_id, L"Subject", L"Body"}), 0);
        message_id = LastInsertId();
    }

    int32_t StoreForum(const std::wstring& title, const std::wstring& login = L"user",
                       const std::wstring& engine = L"phpBB",
                       const std::wstring& main_url = L"http://forum.test/") {
        ForumRecord forum;
        forum.profile_id = profile_id;
        forum.engine = engine;
        forum.main_url = main_url;
        forum.title = title;
        forum.forum_key = main_url + L"viewforum.php?f=1";
        forum.forum_title = L"Section of " + title;
        forum.login = login;
        forum.pass = L"secret";
        EXPECT_EQ(SaveForum(forum, false), 0);
        return LastInsertId();
    }
    int32_t StoreResult(int32_t forum_id, int result, int64_t stime,
                        const std::wstring& thread = L"") {
        EXPECT_EQ(InsertSubmit(SubmitRecord{-1, forum_id, message_id, stime, result, thread, L""}),
                  0);
        return LastInsertId();
    }

    gui::CMainDlg& Window() {
        if (!window_) {
            window_ = std::make_unique<gui::CMainDlg>();
        }
        return *window_;
    }
    // Shows the window on the Submit page.
    void ShowWindow() {
        Window().findChild<QTabWidget*>(QStringLiteral("tabs"))->setCurrentIndex(1);
        Window().show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&Window()));
    }
    void CloseWindow() { window_.reset(); }
    gui::CTabSubmit& Page() { return Window().submit_page(); }
    gui::SubmitListCtrl& List() { return Page().list(); }
    const gui::SubmitListModel& Model() { return Page().model(); }
    template <typename T>
    T* Find(const char* name) {
        return Page().findChild<T*>(QString::fromLatin1(name));
    }

    // The texts of a column from the top row down.
    QStringList Column(int column) {
        QStringList texts;
        for (int row = 0; row < Model().rowCount(); ++row) {
            texts.append(Model().CellText(row, column));
        }
        return texts;
    }
    int RowOf(const QString& title) { return Column(gui::kColumnForum).indexOf(title); }
    void ClickHeader(int column) {
        QHeaderView* header = List().horizontalHeader();
        const QPoint at(header->sectionViewportPosition(column) + header->sectionSize(column) / 2,
                        header->height() / 2);
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, at);
    }
    ForumList StoredForums() {
        ForumList forums;
        forums.LoadForProfile(profile_id);
        return forums;
    }

    int32_t profile_id = -1;
    int32_t message_id = -1;

private:
    std::unique_ptr<gui::CMainDlg> window_;
};

}  // namespace twk::test
