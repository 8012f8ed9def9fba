#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <chrono>
#include <map>

#include "SubmitPageTest.h"
#include "app/QtText.h"
#include "editing/ForumEditDlg.h"
#include "editing/IdComboBox.h"
#include "editing/TabMessage.h"
#include "submit/ScanDlg.h"
#include "support/FakePhpBB.h"
#include "support/FakeSleeper.h"
#include "support/HeldAnswer.h"
#include "support/HoldingServer.h"
#include "support/LocalServer.h"

namespace twk::gui {
namespace {

using test::FakePhpBB;
using test::HoldingServer;
using Clock = std::chrono::steady_clock;

// What a job cut off by a stop ends with: the stop itself, or the aborted request.
bool IsStopText(const std::wstring& text) {
    return text == L"Stopped" || text == L"The request was aborted";
}

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
    // One board and account: the later forums said that they wait for it.
    const QStringList waiting = {QStringLiteral("Waiting for this account's other forum ...")};
    for (int row = 0; row < 2; ++row) {
        EXPECT_EQ(shown[Model().ForumIdAt(row)], (row == 0 ? QStringList() : waiting) + statuses +
                                                     QStringList{QStringLiteral("OK")})
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
    EXPECT_EQ(Find<QLabel>("runSummary")->text(),
              QStringLiteral("Run finished: 2 OK, 0 to look at, 1 failed."));
}

TEST_F(SubmitRunTest, CheckRepliesFillsTheRepliesColumnAndUpdateTopicsEditsTheChangedTopics) {
    StoreBoardForum(L"first");
    StoreBoardForum(L"second", FakePhpBB::kNewsForum);
    OpenPage();
    EXPECT_FALSE(Button("checkReplies")->isEnabled());
    Button("start")->click();
    ASSERT_TRUE(WaitForRunEnd());
    EXPECT_FALSE(Button("updateTopics")->isEnabled());
    ASSERT_TRUE(Button("checkReplies")->isEnabled());

    board.ChangeTopic(1, [](test::FakeTopic& topic) {
        topic.replies.push_back({L"Reader", 1765000000, L"Thanks"});
        topic.replies.push_back({L"Другой", 1765000100, L"Спасибо"});
    });
    board.ChangeTopic(2, [](test::FakeTopic& topic) { topic.gone = true; });
    Button("checkReplies")->click();
    EXPECT_FALSE(Button("start")->isEnabled());
    ASSERT_TRUE(WaitForRunEnd());
    const int first = Model().RowOfForum(Page().manager().forums()[0].forum_id);
    const int second = Model().RowOfForum(Page().manager().forums()[1].forum_id);
    EXPECT_EQ(Model().CellText(first, kColumnReplies), QStringLiteral("2"));
    EXPECT_EQ(Model().CellText(second, kColumnReplies), QStringLiteral("gone"));
    EXPECT_EQ(Find<QLabel>("runSummary")->text(),
              QStringLiteral("Reply check finished: 1 OK, 0 to look at, 1 failed."));
    List().SetFocusedRow(first);
    Page().PrepareContextMenu();
    EXPECT_TRUE(Page().findChild<QAction*>(QStringLiteral("openNewestReply"))->isEnabled());

    // The message changes after posting: its topics are out of date until updated.
    board.ChangeTopic(2, [](test::FakeTopic& topic) { topic.gone = false; });
    EXPECT_EQ(SaveMessage(MessageRecord{message_id, profile_id, L"Тема 2", L"Новый текст"}), 0);
    Window().RefreshPages(1);
    EXPECT_TRUE(Model().CellText(first, kColumnResult).contains(QStringLiteral("out of date")));
    ASSERT_TRUE(Button("updateTopics")->isEnabled());
    Button("updateTopics")->click();
    ASSERT_TRUE(WaitForRunEnd());
    EXPECT_TRUE(Model().CellText(first, kColumnResult).contains(QStringLiteral("updated")));
    EXPECT_FALSE(Button("updateTopics")->isEnabled());
    for (const test::FakeTopic& topic : board.Topics()) {
        EXPECT_EQ(topic.subject, L"Тема 2");
        EXPECT_EQ(topic.body, L"Новый текст");
    }
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

TEST_F(SubmitRunTest, ClosingTheWindowBeforeAnyPostStopsEveryJobAtOnceAndRecordsNothing) {
    constexpr int kJobs = 50;
    // The board never answers within the test unless it is let go: a close that waited
    // for the jobs instead of stopping them would take a minute.
    HoldingServer board_that_holds(kJobs);
    SetOptionText(profile_id, OptThreadCount, std::to_wstring(kJobs));
    for (int i = 0; i < kJobs; ++i) {
        // One account each: jobs of one board and account take turns.
        StoreForum(L"held " + std::to_wstring(i), L"user " + std::to_wstring(i), L"phpBB",
                   board_that_holds.WideUrl("/forum/"));
    }
    OpenPage();

    Button("start")->click();
    ASSERT_EQ(Page().running_jobs(), kJobs);
    ASSERT_TRUE(board_that_holds.WaitForRequests(kJobs));
    const Clock::time_point start = Clock::now();
    CloseWindow();
    const Clock::duration elapsed = Clock::now() - start;

    EXPECT_LT(elapsed, std::chrono::seconds(2));
    // Each job was cut off in its first request and sent nothing more.
    EXPECT_EQ(board_that_holds.CountRequests(), static_cast<size_t>(kJobs));
    SubmitList stored;
    stored.LoadForMessage(message_id);
    EXPECT_TRUE(stored.empty());
}

TEST_F(SubmitRunTest, ClosingTheWindowAfterThePostWentOutRecordsItAndTheNextStartSettlesIt) {
    StoreBoardForum(L"first");
    test::HeldAnswer hold;
    board.SetTopicHook([&hold](const test::FakeTopic&) { hold.Hold(); });
    OpenPage();
    Button("start")->click();
    // The board stored the topic; its answer has not come.
    ASSERT_TRUE(QTest::qWaitFor([&hold] { return hold.held(); }, 30000));

    CloseWindow();
    hold.Release();

    SubmitList stored;
    stored.LoadForMessage(message_id);
    ASSERT_EQ(stored.size(), 1u);
    EXPECT_EQ(stored[0].result, kCheckResult);
    EXPECT_EQ(stored[0].err, L"Stopped after sending: the post may have gone out");

    OpenPage();
    EXPECT_EQ(Model().CellText(0, kColumnResult),
              QStringLiteral("Interrupted: the post may have gone out"));
    ASSERT_TRUE(Button("start")->isEnabled());
    Button("start")->click();
    ASSERT_TRUE(WaitForRunEnd());

    EXPECT_EQ(Model().CellText(0, kColumnResult), QStringLiteral("OK"));
    EXPECT_EQ(Model().CellText(0, kColumnTopicUrl), ToQString(board.TopicUrl(1)));
    EXPECT_EQ(board.Topics().size(), 1u);
    stored.LoadForMessage(message_id);
    ASSERT_EQ(stored.size(), 1u);
    EXPECT_EQ(stored[0].result, kOk);
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
    // The board's own words.
    EXPECT_EQ(messages.shown()[0].text,
              L"You have specified an incorrect password. Please check your password and try "
              L"again.");
    ASSERT_EQ(dialog.sections().size(), 1u);
    EXPECT_EQ(dialog.sections()[0].title, L"Kept");
    EXPECT_EQ(dialog.findChild<QComboBox*>(QStringLiteral("section"))->currentText(),
              QStringLiteral("Kept"));
}

TEST_F(SubmitRunTest, StopClosesTheScanAndLeavesTheCallersForumAndSections) {
    HoldingServer silent;
    ForumRecord forum;
    forum.engine = L"phpBB";
    forum.main_url = silent.WideUrl("/forum/");
    forum.title = L"Before";
    SectionList sections = {SectionRecord{L"k", L"Kept", L"u"}};
    CScanDlg scan(forum, sections);
    scan.SetSleeper(&sleeper);
    Clock::time_point stopped;
    test::WhenModal([&](QDialog* dialog) {
        ASSERT_TRUE(silent.WaitForRequests(1));
        stopped = Clock::now();
        dialog->findChild<QPushButton*>(QStringLiteral("stop"))->click();
    });

    EXPECT_EQ(scan.exec(), QDialog::Rejected);
    EXPECT_LT(Clock::now() - stopped, std::chrono::seconds(5));
    QApplication::processEvents();

    EXPECT_EQ(scan.scan_result(), kOk);
    EXPECT_EQ(forum.title, L"Before");
    ASSERT_EQ(sections.size(), 1u);
    EXPECT_EQ(sections[0].title, L"Kept");
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(SubmitRunTest, ClosingTheScanWindowStopsItAndTheEditDialogReportsTheStop) {
    HoldingServer silent;
    const SectionList before = {SectionRecord{L"k", L"Kept", L"u"}};
    CForumEditDlg dialog(profile_id, ForumRecord{}, before);
    dialog.SetSleeper(&sleeper);
    FillEditDialog(&dialog, silent.WideUrl("/forum/"), L"user", L"password");
    bool stayed_open = false;
    Clock::time_point closed;
    WhenScanDialog([&](CScanDlg* scan) {
        ASSERT_TRUE(silent.WaitForRequests(1));
        closed = Clock::now();
        scan->close();
        // It closes only when the stopped job has reported.
        stayed_open = scan->isVisible();
    });

    dialog.Read();

    // The board holds its answer for a minute: only a real stop ends the scan this soon,
    // and with the stop's own text.
    EXPECT_LT(Clock::now() - closed, std::chrono::seconds(5));
    EXPECT_TRUE(stayed_open);
    ASSERT_EQ(messages.shown().size(), 1u);
    EXPECT_EQ(messages.shown()[0].caption, L"Error");
    EXPECT_TRUE(IsStopText(messages.shown()[0].text)) << messages.last_text();
    EXPECT_EQ(silent.CountRequests(), 1u);
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
