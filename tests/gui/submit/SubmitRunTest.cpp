#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <condition_variable>
#include <map>
#include <mutex>

#include "SubmitPageTest.h"
#include "app/QtText.h"
#include "editing/ForumEditDlg.h"
#include "editing/IdComboBox.h"
#include "editing/TabMessage.h"
#include "submit/ScanDlg.h"
#include "support/FakePhpBB.h"
#include "support/FakeSleeper.h"
#include "support/LocalServer.h"

namespace twk::gui {
namespace {

using test::FakePhpBB;

// Runs action on the scanning dialog once it is the active modal window, from inside its
// own event loop (the Edit Forum dialog is modal below it).
void WhenScanDialog(std::function<void(CScanDlg*)> action, int attempts_left = 1000) {
    QTimer::singleShot(10, [action = std::move(action), attempts_left] {
        if (auto* scan = qobject_cast<CScanDlg*>(QApplication::activeModalWidget())) {
            action(scan);
        } else if (attempts_left == 0) {
            ADD_FAILURE() << "the scanning dialog was not shown";
        } else {
            WhenScanDialog(action, attempts_left - 1);
        }
    });
}

// A forum whose main page never answers until the test is over: a scan stays in its first
// request until it is stopped.
class SilentForum {
public:
    SilentForum() {
        server_.server().Get("/.*", [this](const httplib::Request&, httplib::Response& response) {
            std::unique_lock<std::mutex> lock(mutex_);
            asked_ = true;
            asked_changed_.notify_all();
            released_changed_.wait_for(lock, std::chrono::seconds(20),
                                       [this] { return released_; });
            response.set_content("<html></html>", "text/html");
        });
        server_.Start();
    }
    ~SilentForum() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            released_ = true;
        }
        released_changed_.notify_all();
        server_.Stop();
    }
    std::wstring MainUrl() const { return server_.WideUrl("/forum/"); }
    // True once the first request has arrived (waits up to ten seconds).
    bool WaitUntilAsked() {
        std::unique_lock<std::mutex> lock(mutex_);
        return asked_changed_.wait_for(lock, std::chrono::seconds(10), [this] { return asked_; });
    }

private:
    test::LocalServer server_;
    std::mutex mutex_;
    std::condition_variable asked_changed_;
    std::condition_variable released_changed_;
    bool asked_ = false;
    bool released_ = false;
};

class SubmitRunTest : public test::SubmitPageTest {
protected:
    int32_t StoreBoardForum(const std::wstring& title, int section = FakePhpBB::kGeneralForum) {
        ForumRecord forum;
        forum.profile_id = profile_id;
        forum.engine = L"phpBB";
        forum.main_url = board.MainUrl();
        forum.title = title;
        forum.forum_key = board.SectionUrl(section);
        forum.forum_title = board.SectionTitle(section);
        forum.login = FakePhpBB::kLogin;
        forum.pass = FakePhpBB::kPassword;
        EXPECT_EQ(SaveForum(forum, false), 0);
        return LastInsertId();
    }
    // The page with the pauses off, and a record of the texts each row's Result cell
    // showed (a row is blank from its job's start to its first status).
    void OpenPage() {
        Page().SetSleeper(&sleeper);
        QObject::connect(&Page().model(), &QAbstractItemModel::dataChanged, &Page(),
                         [this](const QModelIndex& top, const QModelIndex& bottom) {
                             for (int row = top.row(); row <= bottom.row(); ++row) {
                                 QStringList& seen = shown[Model().ForumIdAt(row)];
                                 const QString text = Model().CellText(row, kColumnResult);
                                 if (!text.isEmpty() && (seen.isEmpty() || seen.back() != text)) {
                                     seen.append(text);
                                 }
                             }
                         });
    }
    bool WaitForRunEnd() {
        return QTest::qWaitFor([this] { return Page().running_jobs() == 0; }, 30000);
    }
    QPushButton* Button(const char* name) { return Find<QPushButton>(name); }
    static void FillEditDialog(QDialog* dialog, const std::wstring& url, const std::wstring& login,
                               const std::wstring& password) {
        auto* script = dialog->findChild<QComboBox*>(QStringLiteral("script"));
        script->setCurrentIndex(script->findText(QStringLiteral("phpBB")));
        dialog->findChild<QLineEdit*>(QStringLiteral("mainUrl"))->setText(ToQString(url));
        dialog->findChild<QLineEdit*>(QStringLiteral("username"))->setText(ToQString(login));
        dialog->findChild<QLineEdit*>(QStringLiteral("password"))->setText(ToQString(password));
    }

    FakePhpBB board{3};
    test::FakeSleeper sleeper;
    std::map<int32_t, QStringList> shown;
};

TEST_F(SubmitRunTest, AddForumReadsTheSectionsAndStoresTheChosenOne) {
    OpenPage();
    const QString news = ToQString(board.SectionTitle(FakePhpBB::kNewsForum));
    test::WhenModal([&](QDialog* dialog) {
        FillEditDialog(dialog, board.MainUrl(), FakePhpBB::kLogin, FakePhpBB::kPassword);
        dialog->findChild<QPushButton*>(QStringLiteral("read"))->click();
        auto* sections = dialog->findChild<CIdComboBox*>(QStringLiteral("section"));
        EXPECT_TRUE(sections->isEnabled());
        sections->setCurrentIndex(sections->findText(news));
        EXPECT_EQ(dialog->findChild<QLineEdit*>(QStringLiteral("sectionUrl"))->text(),
                  ToQString(board.SectionUrl(FakePhpBB::kNewsForum)));
        dialog->findChild<QPushButton*>(QStringLiteral("ok"))->click();
    });

    Button("addForum")->click();

    EXPECT_TRUE(messages.shown().empty()) << messages.last_text();
    const ForumList stored = StoredForums();
    ASSERT_EQ(stored.size(), 1u);
    EXPECT_EQ(stored[0].engine, L"phpBB");
    EXPECT_EQ(stored[0].main_url, board.MainUrl());
    EXPECT_EQ(stored[0].login, FakePhpBB::kLogin);
    EXPECT_EQ(stored[0].pass, FakePhpBB::kPassword);
    EXPECT_EQ(stored[0].forum_key, board.SectionUrl(FakePhpBB::kNewsForum));
    EXPECT_EQ(stored[0].forum_title, board.SectionTitle(FakePhpBB::kNewsForum));
    EXPECT_FALSE(stored[0].title.empty());
    ASSERT_EQ(Model().rowCount(), 1);
    EXPECT_EQ(Model().CellText(0, kColumnSection), news);
    EXPECT_EQ(List().FocusedRow(), 0);
    EXPECT_TRUE(Button("start")->isEnabled());
}

TEST_F(SubmitRunTest, StartRunsTheProfileShowingStatusTextsThenTheResults) {
    StoreBoardForum(L"first");
    StoreBoardForum(L"second", FakePhpBB::kNewsForum);
    StoreBoardForum(L"read-only", FakePhpBB::kReadOnlyForum);
    OpenPage();

    Button("start")->click();
    EXPECT_FALSE(Button("start")->isEnabled());
    EXPECT_TRUE(Button("stop")->isEnabled());
    ASSERT_TRUE(WaitForRunEnd());

    const QStringList statuses = {QStringLiteral("Sending login information ..."),
                                  QStringLiteral("Opening forum ..."),
                                  QStringLiteral("Sending message ...")};
    for (int row = 0; row < 2; ++row) {
        EXPECT_EQ(shown[Model().ForumIdAt(row)], statuses + QStringList{QStringLiteral("OK")})
            << row;
        EXPECT_TRUE(Model()
                        .CellText(row, kColumnTopicUrl)
                        .startsWith(QString::fromStdString(board.Base())));
        EXPECT_FALSE(Model().CellText(row, kColumnSubmitDate).isEmpty());
    }
    EXPECT_EQ(Model().CellText(2, kColumnResult), QStringLiteral("New topic not allowed"));
    EXPECT_EQ(board.Topics().size(), 2u);
    SubmitList stored;
    stored.LoadForMessage(message_id);
    ASSERT_EQ(stored.size(), 3u);
    EXPECT_FALSE(Button("start")->isEnabled());
    EXPECT_FALSE(Button("stop")->isEnabled());
    EXPECT_EQ(Find<QProgressBar>("progress")->value(), 3);
}

TEST_F(SubmitRunTest, StopLetsTheRunningJobFinishAndStartsNothingMore) {
    SetOptionText(profile_id, OptThreadCount, L"1");
    StoreBoardForum(L"first");
    StoreBoardForum(L"second");
    StoreBoardForum(L"third");
    OpenPage();

    Button("start")->click();
    Button("stop")->click();
    EXPECT_EQ(Page().running_jobs(), 1);
    ASSERT_TRUE(WaitForRunEnd());

    EXPECT_EQ(Column(kColumnResult), (QStringList{QStringLiteral("OK"), QString(), QString()}));
    EXPECT_TRUE(Button("start")->isEnabled());
    EXPECT_FALSE(Button("stop")->isEnabled());

    // The next Start goes on with the forums that have no result.
    Button("start")->click();
    ASSERT_TRUE(WaitForRunEnd());
    EXPECT_EQ(Column(kColumnResult),
              (QStringList{QStringLiteral("OK"), QStringLiteral("OK"), QStringLiteral("OK")}));
    EXPECT_EQ(board.Topics().size(), 3u);
}

TEST_F(SubmitRunTest, ClosingTheWindowDuringARunStopsTheJobAndRecordsNothing) {
    SilentForum silent;
    const int32_t forum_id = StoreForum(L"silent", L"user", L"phpBB", silent.MainUrl());
    OpenPage();

    Button("start")->click();
    ASSERT_TRUE(silent.WaitUntilAsked());
    // The job is blocked in its first request; closing must abort it, not wait for it.
    CloseWindow();

    SubmitList stored;
    stored.LoadForMessage(message_id);
    EXPECT_TRUE(stored.empty()) << "forum " << forum_id;
}

TEST_F(SubmitRunTest, AFailedScanReportsItsResultAndKeepsTheSections) {
    ForumRecord forum;
    forum.engine = L"phpBB";
    const SectionList before = {SectionRecord{L"http://x/1", L"Kept", L"http://x/1"}};
    CForumEditDlg dialog(profile_id, forum, before);
    dialog.SetSleeper(&sleeper);
    FillEditDialog(&dialog, board.MainUrl(), FakePhpBB::kLogin, L"wrong password");

    dialog.Read();

    ASSERT_EQ(messages.shown().size(), 1u);
    EXPECT_EQ(messages.shown()[0].caption, L"Error");
    EXPECT_EQ(messages.shown()[0].text, L"Invalid login");
    ASSERT_EQ(dialog.sections().size(), 1u);
    EXPECT_EQ(dialog.sections()[0].title, L"Kept");
    EXPECT_EQ(dialog.findChild<QComboBox*>(QStringLiteral("section"))->currentText(),
              QStringLiteral("Kept"));
}

TEST_F(SubmitRunTest, StopClosesTheScanAndLeavesTheCallersForumAndSections) {
    SilentForum silent;
    ForumRecord forum;
    forum.engine = L"phpBB";
    forum.main_url = silent.MainUrl();
    forum.title = L"Before";
    SectionList sections = {SectionRecord{L"k", L"Kept", L"u"}};
    CScanDlg scan(forum, sections);
    scan.SetSleeper(&sleeper);
    test::WhenModal([&](QDialog* dialog) {
        ASSERT_TRUE(silent.WaitUntilAsked());
        dialog->findChild<QPushButton*>(QStringLiteral("stop"))->click();
    });

    EXPECT_EQ(scan.exec(), QDialog::Rejected);
    QApplication::processEvents();

    EXPECT_EQ(scan.scan_result(), kOk);
    EXPECT_EQ(forum.title, L"Before");
    ASSERT_EQ(sections.size(), 1u);
    EXPECT_EQ(sections[0].title, L"Kept");
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(SubmitRunTest, ClosingTheScanWindowStopsItAndTheEditDialogReportsTheStop) {
    SilentForum silent;
    const SectionList before = {SectionRecord{L"k", L"Kept", L"u"}};
    CForumEditDlg dialog(profile_id, ForumRecord{}, before);
    dialog.SetSleeper(&sleeper);
    FillEditDialog(&dialog, silent.MainUrl(), L"user", L"password");
    bool stayed_open = false;
    WhenScanDialog([&](CScanDlg* scan) {
        ASSERT_TRUE(silent.WaitUntilAsked());
        scan->close();
        // It closes only when the stopped job has reported.
        stayed_open = scan->isVisible();
    });

    dialog.Read();

    EXPECT_TRUE(stayed_open);
    ASSERT_EQ(messages.shown().size(), 1u);
    EXPECT_EQ(messages.shown()[0].caption, L"Error");
    // The abort ends the request: the job reports the stop, or the request's own failure.
    EXPECT_FALSE(messages.shown()[0].text.empty());
    EXPECT_NE(messages.shown()[0].text, L"OK");
    EXPECT_EQ(dialog.sections().size(), 1u);
}

// The whole program's way: Continue on the Message page, then Start on the Submit page,
// with real input events. Also run under a real X server (see tests/gui/CMakeLists.txt).
class SubmitWindow : public SubmitRunTest {};

TEST_F(SubmitWindow, StartOnTheSubmitPageEndsWithEveryRowShowingItsResult) {
    if (qgetenv("QT_QPA_PLATFORM") == "xcb") {
        ASSERT_EQ(QGuiApplication::platformName(), QStringLiteral("xcb"));
    }
    for (int i = 0; i < 4; ++i) {
        StoreBoardForum(L"board " + std::to_wstring(i));
    }
    OpenPage();
    Window().show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&Window()));
    auto* next = Window().message_page().findChild<QPushButton*>(QStringLiteral("continue"));
    QTest::mouseClick(next, Qt::LeftButton);
    ASSERT_TRUE(Page().isVisible());

    QTest::mouseClick(Button("start"), Qt::LeftButton);
    ASSERT_GT(Page().running_jobs(), 0);
    ASSERT_TRUE(WaitForRunEnd());

    EXPECT_EQ(Column(kColumnResult), QStringList(4, QStringLiteral("OK")));
    for (const QString& topic : Column(kColumnTopicUrl)) {
        EXPECT_TRUE(topic.startsWith(QString::fromStdString(board.Base()))) << topic.toStdString();
    }
    EXPECT_EQ(board.Topics().size(), 4u);
}

}  // namespace
}  // namespace twk::gui
