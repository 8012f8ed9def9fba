// Whole runs of the submit manager against a fake phpBB board, pauses off.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <ctime>
#include <mutex>
#include <string>
#include <vector>

#include "platform/ProgramDirectory.h"
#include "storage/Tables.h"
#include "submit/JobEventQueue.h"
#include "submit/SubmitManager.h"
#include "support/FakePhpBB.h"
#include "support/FakeSleeper.h"
#include "support/SqliteConnection.h"
#include "support/SubmitTestData.h"
#include "support/TestDatabase.h"
#include "text/StringTable.h"
#include "text/Unicode.h"

namespace twk {
namespace {

using test::FakePhpBB;

// A loopback port that is bound but never listens: connecting to it is refused.
class RefusingPort {
public:
    RefusingPort() {
        socket_ = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        ::bind(socket_, reinterpret_cast<sockaddr*>(&address), length);
        ::getsockname(socket_, reinterpret_cast<sockaddr*>(&address), &length);
        port_ = ntohs(address.sin_port);
    }
    ~RefusingPort() { ::close(socket_); }
    RefusingPort(const RefusingPort&) = delete;
    RefusingPort& operator=(const RefusingPort&) = delete;

    std::wstring Url() const { return L"http://127.0.0.1:" + std::to_wstring(port_) + L"/"; }

private:
    int socket_ = -1;
    int port_ = 0;
};

// Remembers every text the Result column showed.
class CellRecorder : public SubmitManagerObserver {
public:
    explicit CellRecorder(const SubmitManager& manager) : manager_(manager) {}
    void ForumChanged(int32_t forumId) override {
        texts.push_back(manager_.ResultCellText(forumId));
    }
    void StateChanged() override {}

    std::vector<std::wstring> texts;

private:
    const SubmitManager& manager_;
};

class SubmitRunTest : public ::testing::Test {
protected:
    SubmitRunTest() {
        SetProgramDirectory(db_.dir().path());
        manager_.SetSleeper(&sleeper_);
        manager_.SetObserver(&cells_);
    }

    test::ForumSpec OnBoard(int section = FakePhpBB::kGeneralForum) const {
        test::ForumSpec kind;
        kind.main_url = board_.MainUrl();
        kind.forum_key = board_.SectionUrl(section);
        kind.login = FakePhpBB::kLogin;
        kind.pass = FakePhpBB::kPassword;
        return kind;
    }

    test::TestDatabase db_;
    FakePhpBB board_{3};
    test::FakeSleeper sleeper_;
    JobEventQueue queue_;
    SubmitManager manager_{queue_};
    CellRecorder cells_{manager_};
    int32_t profile_ = test::AddProfile(L"Main");
    MessageRecord message_ = test::AddMessage(profile_, L"Subject", L"Body");
};

TEST_F(SubmitRunTest, ResultsAreStoredWithTopicAddressOrFailureText) {
    RefusingPort dead;
    test::AddForums(profile_, 1, OnBoard(FakePhpBB::kGeneralForum), L"General");
    test::AddForums(profile_, 1, OnBoard(FakePhpBB::kNewsForum), L"News");
    test::ForumSpec unreachable = OnBoard();
    unreachable.main_url = dead.Url();
    test::AddForums(profile_, 1, unreachable, L"Dead");
    manager_.Reload(profile_, message_);

    manager_.StartRun();
    // General and News are one board and one account: they take turns.
    EXPECT_EQ(manager_.running_jobs(), 2);
    ASSERT_TRUE(test::RunToEnd(manager_, queue_));

    ASSERT_EQ(board_.Topics().size(), 2u);
    SubmitList stored = test::StoredResults(message_.message_id);
    ASSERT_EQ(stored.size(), 3u);
    std::vector<std::wstring> topic_urls;
    for (const SubmitRecord& record : stored) {
        EXPECT_GT(record.stime, 0);
        const ForumRecord* forum = manager_.FindForum(record.forum_id);
        ASSERT_NE(forum, nullptr);
        if (forum->title == L"Dead 1") {
            EXPECT_EQ(record.result, kConnectionError);
            EXPECT_FALSE(record.err.empty());
            EXPECT_EQ(record.thread, L"");
            // The failed request's own message is what the row shows.
            EXPECT_EQ(manager_.ResultCellText(record.forum_id), record.err);
        } else {
            EXPECT_EQ(record.result, kOk);
            EXPECT_EQ(record.err, L"");
            EXPECT_EQ(manager_.ResultCellText(record.forum_id), L"OK");
            topic_urls.push_back(record.thread);
        }
    }
    std::sort(topic_urls.begin(), topic_urls.end());
    EXPECT_EQ(topic_urls, (std::vector<std::wstring>{board_.TopicUrl(1), board_.TopicUrl(2)}));

    // The rows showed each step while the jobs ran.
    for (int id : {kIdsSendingLogin, kIdsOpeningForum, kIdsSendingMessage}) {
        EXPECT_NE(std::find(cells_.texts.begin(), cells_.texts.end(), LoadText(id)),
                  cells_.texts.end())
            << id;
    }
}

TEST_F(SubmitRunTest, ARunPostsTheTextItWasStartedWith) {
    test::AddForums(profile_, 2, OnBoard());
    SetOptionInt(OptThreadCount, 1, profile_);
    manager_.Reload(profile_, message_);
    manager_.StartRun();

    MessageRecord edited = message_;
    edited.subject = L"Edited subject";
    ASSERT_EQ(SaveMessage(edited), 0);
    manager_.Reload(profile_, edited);
    ASSERT_TRUE(test::RunToEnd(manager_, queue_));
    // The running job posted the text the run started with, and nothing else started.
    std::vector<test::FakeTopic> topics = board_.Topics();
    ASSERT_EQ(topics.size(), 1u);
    EXPECT_EQ(topics[0].subject, L"Subject");

    manager_.StartRun();
    ASSERT_TRUE(test::RunToEnd(manager_, queue_));
    topics = board_.Topics();
    ASSERT_EQ(topics.size(), 2u);
    EXPECT_EQ(topics[1].subject, L"Edited subject");
    EXPECT_EQ(test::StoredResults(message_.message_id).size(), 2u);
}

// Two sections of one board and one account, on a board with a 30-second flood limit.
TEST_F(SubmitRunTest, SectionsOfOneBoardAndAccountTakeTurnsAndGetPastTheFloodLimit) {
    FakePhpBB::Options options;
    options.flood_interval = 30;
    options.clock = &sleeper_;
    FakePhpBB flood_board(3, kCodePageUtf8, options);
    for (int section : {FakePhpBB::kGeneralForum, FakePhpBB::kNewsForum}) {
        test::ForumSpec kind = OnBoard(section);
        kind.main_url = flood_board.MainUrl();
        kind.forum_key = flood_board.SectionUrl(section);
        test::AddForums(profile_, 1, kind, L"Section");
    }
    manager_.Reload(profile_, message_);

    manager_.StartRun();
    EXPECT_EQ(manager_.running_jobs(), 1);
    ASSERT_TRUE(test::RunToEnd(manager_, queue_));

    ASSERT_EQ(flood_board.Topics().size(), 2u);
    SubmitList stored = test::StoredResults(message_.message_id);
    ASSERT_EQ(stored.size(), 2u);
    for (const SubmitRecord& record : stored) {
        EXPECT_EQ(record.result, kOk) << WideToUtf8(record.err);
    }
    // The second job signed in only after the first one's post: they never overlapped.
    std::vector<std::string> requests = flood_board.Requests();
    std::vector<size_t> sign_ins;
    std::vector<size_t> posts;
    for (size_t i = 0; i < requests.size(); ++i) {
        if (requests[i].starts_with("POST /ucp.php?mode=login")) {
            sign_ins.push_back(i);
        } else if (requests[i].starts_with("POST /posting.php")) {
            posts.push_back(i);
        }
    }
    ASSERT_EQ(sign_ins.size(), 2u);
    ASSERT_EQ(posts.size(), 3u);  // the refused one included
    EXPECT_GT(sign_ins[1], posts[0]);
    EXPECT_NE(std::find(cells_.texts.begin(), cells_.texts.end(), LoadText(kIdsWaitingFloodLimit)),
              cells_.texts.end());
}

SendingList StoredSendings() {
    SendingList sendings;
    ListSendings(L"", sendings);
    return sendings;
}

TEST_F(SubmitRunTest, TheSendingIsCommittedBeforeTheFormLeavesAndGoesWithTheResult) {
    const int32_t forum_id = test::AddForums(profile_, 1, OnBoard())[0].forum_id;
    manager_.Reload(profile_, message_);
    manager_.StartRun();
    ASSERT_TRUE(test::RunToEnd(manager_, queue_));
    manager_.Resubmit({forum_id});
    // What another connection to the file finds when the form has reached the board.
    std::mutex seen_lock;
    std::vector<test::SqliteConnection::Row> seen;
    board_.SetTopicHook([&](const test::FakeTopic&) {
        test::SqliteConnection other(db_.path());
        auto rows = other.Query(
            "SELECT [forum_id],[message_id],[login],[subject],[listed],[stime] FROM [sending]");
        std::lock_guard<std::mutex> lock(seen_lock);
        seen = rows;
    });
    const int64_t before = std::time(nullptr);

    manager_.StartRun();
    ASSERT_TRUE(test::RunToEnd(manager_, queue_));

    std::lock_guard<std::mutex> lock(seen_lock);
    ASSERT_EQ(seen.size(), 1u);
    const test::SqliteConnection::Row& row = seen[0];
    EXPECT_EQ(row[0], std::to_string(forum_id));
    EXPECT_EQ(row[1], std::to_string(message_.message_id));
    EXPECT_EQ(row[2], WideToUtf8(FakePhpBB::kLogin));
    EXPECT_EQ(row[3], "Subject");
    // The first run's topic was listed before this sending: it is not this run's post.
    EXPECT_EQ(row[4], WideToUtf8(board_.TopicUrl(1)) + "\n");
    EXPECT_GE(std::stoll(row[5].value_or("0")), before);
    EXPECT_EQ(board_.Topics().size(), 2u);
    EXPECT_EQ(manager_.FindResult(forum_id)->result, kOk);
    EXPECT_TRUE(StoredSendings().empty());
}

struct InterruptedRun {
    const char* name;
    bool posted_before;   // the board stored the post of the interrupted run
    bool older_topic;     // and an older topic with the subject, listed before that run sent
    bool stopped_with_9;  // the run was stopped after sending (not killed)
    size_t topics_after;
    int topic_found;  // the topic the forum's result names
};

class SubmitInterruptedTest : public SubmitRunTest,
                              public ::testing::WithParamInterface<InterruptedRun> {
protected:
    // Posts the message the way a run that died afterwards would have.
    void PostWithoutRecording(const ForumRecord& forum) {
        SubmitJob job;
        job.forum_copy = forum;
        job.message_copy = message_;
        PrepareJob(job, nullptr, 0, ConnectionOptions{});
        job.sleeper = &sleeper_;
        ASSERT_TRUE(StartJob(job, RunSubmit));
        WaitForJob(job);
    }
};

TEST_P(SubmitInterruptedTest, TheNextRunLooksForThePostBeforeSendingIt) {
    const InterruptedRun& row = GetParam();
    const ForumRecord forum = test::AddForums(profile_, 1, OnBoard())[0];
    SendingRecord sending{
        forum.forum_id, message_.message_id, static_cast<int64_t>(std::time(nullptr)) - 60,
        forum.login,    L"Subject",          L""};
    if (row.older_topic) {
        PostWithoutRecording(forum);
        sending.listed = board_.TopicUrl(1) + L"\n";
    }
    if (row.posted_before) {
        PostWithoutRecording(forum);
    }
    ASSERT_EQ(SaveSending(sending), 0);
    if (row.stopped_with_9) {
        ASSERT_EQ(InsertSubmit({-1, forum.forum_id, message_.message_id, sending.stime,
                                kCheckResult, L"", LoadText(kIdsStoppedAfterSending)}),
                  0);
    }
    manager_.Reload(profile_, message_);
    EXPECT_EQ(manager_.ResultCellText(forum.forum_id), LoadText(kIdsInterruptedPost));
    EXPECT_EQ(manager_.ProgressPosition(), 0);
    ASSERT_TRUE(manager_.CanStart());

    manager_.StartRun();
    ASSERT_TRUE(test::RunToEnd(manager_, queue_));

    EXPECT_EQ(board_.Topics().size(), row.topics_after);
    SubmitList stored = test::StoredResults(message_.message_id);
    ASSERT_EQ(stored.size(), 1u);  // a stored 9 is replaced, not followed
    EXPECT_EQ(stored[0].result, kOk) << WideToUtf8(stored[0].err);
    EXPECT_EQ(stored[0].thread, board_.TopicUrl(row.topic_found));
    EXPECT_TRUE(StoredSendings().empty());
    EXPECT_EQ(manager_.ResultCellText(forum.forum_id), L"OK");
    EXPECT_EQ(manager_.ProgressPosition(), 1);
    EXPECT_NE(std::find(cells_.texts.begin(), cells_.texts.end(), LoadText(kIdsLookingForPost)),
              cells_.texts.end());
}

INSTANTIATE_TEST_SUITE_P(
    Runs, SubmitInterruptedTest,
    ::testing::Values(InterruptedRun{"KilledAfterThePost", true, false, false, 1, 1},
                      InterruptedRun{"StoppedAfterThePost", true, false, true, 1, 1},
                      InterruptedRun{"KilledBeforeTheBoardStoredIt", false, false, false, 1, 1},
                      InterruptedRun{"OnlyAnOlderTopicWasThere", false, true, false, 2, 2},
                      InterruptedRun{"OlderTopicAndThePost", true, true, false, 2, 2}),
    [](const ::testing::TestParamInfo<InterruptedRun>& run) { return run.param.name; });

}  // namespace
}  // namespace twk
