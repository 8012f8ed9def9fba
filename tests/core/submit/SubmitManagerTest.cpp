// The submit manager's bookkeeping. The forums here name a script without an engine, so
// every job ends at once with 6 and no network is needed; the reports wait in the queue
// until the test hands them over, which lets it change the lists while jobs "run".
#include <gtest/gtest.h>

#include <algorithm>
#include <ctime>
#include <optional>
#include <thread>
#include <vector>

#include "platform/ProgramDirectory.h"
#include "storage/Tables.h"
#include "submit/JobEventQueue.h"
#include "submit/ResultText.h"
#include "submit/SubmitManager.h"
#include "support/SubmitTestData.h"
#include "support/TestDatabase.h"

namespace twk {
namespace {

using test::AddForums;
using test::AddMessage;
using test::AddProfile;
using test::ForumSpec;
using test::HandleNextReport;
using test::RunToEnd;
using test::StoredResults;

// A script with no engine: its jobs end at once with 6 ("Not NoSuchScript script").
ForumSpec NoEngine() {
    ForumSpec kind;
    kind.engine = L"NoSuchScript";
    kind.own_accounts = true;
    return kind;
}
const ForumSpec kNoEngine = NoEngine();

// Remembers which rows were told to change, and on which thread.
class RecordingObserver : public SubmitManagerObserver {
public:
    void ForumChanged(int32_t forumId) override {
        changed.push_back(forumId);
        threads.push_back(std::this_thread::get_id());
    }
    void StateChanged() override { threads.push_back(std::this_thread::get_id()); }

    std::vector<int32_t> changed;
    std::vector<std::thread::id> threads;
};

// The forums with a stored result for the message, in id order (jobs finish in any order).
std::vector<int32_t> StoredForums(int32_t messageId) {
    std::vector<int32_t> ids;
    for (const SubmitRecord& record : StoredResults(messageId)) {
        ids.push_back(record.forum_id);
    }
    std::sort(ids.begin(), ids.end());
    return ids;
}

std::vector<int32_t> IdsOf(const ForumList& forums, std::vector<size_t> indexes) {
    std::vector<int32_t> ids;
    for (size_t i : indexes) {
        ids.push_back(forums[i].forum_id);
    }
    std::sort(ids.begin(), ids.end());
    return ids;
}

class SubmitManagerTest : public ::testing::Test {
protected:
    SubmitManagerTest() {
        SetProgramDirectory(db_.dir().path());
        manager_.SetObserver(&observer_);
    }

    // The profile with its forums, the run's message shown.
    ForumList Prepare(int forumCount, std::optional<int> threadCount = std::nullopt) {
        if (threadCount) {
            SetOptionInt(OptThreadCount, *threadCount, profile_);
        }
        ForumList forums = AddForums(profile_, forumCount, kNoEngine);
        manager_.Reload(profile_, message_);
        return forums;
    }

    // The forums that have a pending placeholder in the shown result list.
    std::vector<int32_t> PendingForums() const {
        std::vector<int32_t> pending;
        for (const SubmitRecord& record : manager_.results()) {
            if (record.result == kPending) {
                pending.push_back(record.forum_id);
            }
        }
        return pending;
    }

    test::TestDatabase db_;
    JobEventQueue queue_;  // outlives the manager, whose jobs report into it
    SubmitManager manager_{queue_};
    RecordingObserver observer_;
    int32_t profile_ = AddProfile(L"Main");
    MessageRecord message_ = AddMessage(profile_, L"Hello", L"[b]Body[/b]");
};

TEST(SubmitManagerSlots, ThreadCountLimitsTheJobsStarted) {
    struct Row {
        std::optional<int> stored_count;
        int forums;
        int started;
    };
    // No option: 10; 0 or less: nothing; above the slots: no more than the slots.
    const Row rows[] = {
        {10, 3, 3}, {2, 5, 2}, {std::nullopt, 12, 10}, {0, 3, 0}, {-4, 3, 0}, {80, 60, 50},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message()
                     << "stored " << row.stored_count.value_or(-99) << ", forums " << row.forums);
        test::TestDatabase db;
        SetProgramDirectory(db.dir().path());
        int32_t profile = AddProfile(L"P");
        MessageRecord message = AddMessage(profile, L"S", L"B");
        if (row.stored_count) {
            SetOptionInt(OptThreadCount, *row.stored_count, profile);
        }
        AddForums(profile, row.forums, kNoEngine);
        JobEventQueue queue;
        SubmitManager manager(queue);
        manager.Reload(profile, message);
        manager.StartRun();
        EXPECT_EQ(manager.running_jobs(), row.started);
        for (int slot = 0; slot < SubmitManager::kMaxSlots; ++slot) {
            EXPECT_EQ(manager.ForumOfSlot(slot) != -1, slot < row.started) << "slot " << slot;
        }
        ASSERT_TRUE(RunToEnd(manager, queue));
        EXPECT_EQ(StoredResults(message.message_id).size(),
                  static_cast<size_t>(row.started == 0 ? 0 : row.forums));
    }
}

TEST_F(SubmitManagerTest, SlotsTakeTheForumsInLoadOrderAndReuseTheirSlot) {
    ForumList forums = Prepare(5, 2);
    manager_.StartRun();
    EXPECT_EQ(manager_.ForumOfSlot(0), forums[0].forum_id);
    EXPECT_EQ(manager_.ForumOfSlot(1), forums[1].forum_id);
    EXPECT_EQ(PendingForums(), (std::vector<int32_t>{forums[0].forum_id, forums[1].forum_id}));

    std::vector<int32_t> taken = {forums[0].forum_id, forums[1].forum_id};
    while (manager_.running_jobs() > 0) {
        std::optional<JobEvent> event = queue_.Wait(std::chrono::seconds(30));
        ASSERT_TRUE(event);
        ASSERT_EQ(event->kind, JobEvent::kDone);  // no engine: no status either
        EXPECT_EQ(event->value, kNotScript);
        int32_t finished = manager_.ForumOfSlot(event->slot);
        manager_.OnJobDone(event->slot, event->value);
        EXPECT_EQ(manager_.FindResult(finished)->result, kNotScript);
        int32_t next = manager_.ForumOfSlot(event->slot);
        if (next != -1) {
            taken.push_back(next);
        }
        EXPECT_LE(manager_.running_jobs(), 2);
    }
    std::vector<int32_t> load_order;
    for (const ForumRecord& forum : forums) {
        load_order.push_back(forum.forum_id);
    }
    EXPECT_EQ(taken, load_order);
    EXPECT_FALSE(manager_.CanStart());
    EXPECT_EQ(manager_.ProgressPosition(), 5);
    EXPECT_EQ(manager_.ProgressRange(), 5);
}

TEST_F(SubmitManagerTest, ResultsAreStoredWithTimeCodeAndTheRunsMessage) {
    ForumList forums = Prepare(3);
    int64_t before = static_cast<int64_t>(std::time(nullptr));
    manager_.StartRun();
    ASSERT_TRUE(RunToEnd(manager_, queue_));

    SubmitList stored = StoredResults(message_.message_id);
    ASSERT_EQ(stored.size(), 3u);
    EXPECT_EQ(StoredForums(message_.message_id), IdsOf(forums, {0, 1, 2}));
    for (size_t i = 0; i < stored.size(); ++i) {
        EXPECT_EQ(stored[i].message_id, message_.message_id);
        EXPECT_EQ(stored[i].result, kNotScript);
        EXPECT_GE(stored[i].stime, before);
        EXPECT_LE(stored[i].stime, static_cast<int64_t>(std::time(nullptr)));
        EXPECT_EQ(stored[i].thread, L"");
        EXPECT_EQ(stored[i].err, L"");
        // The shown record is the stored one, id included.
        EXPECT_EQ(manager_.FindResult(stored[i].forum_id)->submit_id, stored[i].submit_id);
    }
    EXPECT_EQ(manager_.ResultCellText(forums[0].forum_id), L"Not NoSuchScript script");
}

TEST_F(SubmitManagerTest, ReportsReachTheObserverOnTheOwnersThread) {
    Prepare(4, 4);
    manager_.StartRun();
    ASSERT_TRUE(RunToEnd(manager_, queue_));
    ASSERT_FALSE(observer_.threads.empty());
    for (std::thread::id id : observer_.threads) {
        EXPECT_EQ(id, std::this_thread::get_id());
    }
}

TEST_F(SubmitManagerTest, StopLetsRunningJobsFinishAndALaterStartContinues) {
    ForumList forums = Prepare(5, 2);
    manager_.StartRun();
    manager_.StopRun();
    EXPECT_TRUE(manager_.halt_requested());
    EXPECT_TRUE(manager_.CanStop());
    ASSERT_TRUE(RunToEnd(manager_, queue_));
    // The two running forums reported; nothing new was started.
    EXPECT_EQ(StoredResults(message_.message_id).size(), 2u);
    EXPECT_EQ(manager_.ProgressPosition(), 2);
    EXPECT_FALSE(manager_.CanStop());
    EXPECT_TRUE(manager_.CanStart());

    manager_.StartRun();
    EXPECT_FALSE(manager_.halt_requested());
    EXPECT_EQ(manager_.ForumOfSlot(0), forums[2].forum_id);
    EXPECT_EQ(manager_.ForumOfSlot(1), forums[3].forum_id);
    ASSERT_TRUE(RunToEnd(manager_, queue_));
    SubmitList stored = StoredResults(message_.message_id);
    ASSERT_EQ(stored.size(), 5u);  // each forum once
    EXPECT_FALSE(manager_.CanStart());
}

TEST_F(SubmitManagerTest, ResultsOfEarlierRunsCountAsDone) {
    ForumList forums = Prepare(3);
    SubmitRecord earlier{-1, forums[1].forum_id, message_.message_id, 1000, kOk, L"t", L""};
    ASSERT_EQ(InsertSubmit(earlier), 0);
    manager_.Reload(profile_, message_);
    EXPECT_EQ(manager_.ProgressPosition(), 1);
    EXPECT_EQ(manager_.ProgressRange(), 3);
    manager_.StartRun();
    EXPECT_EQ(manager_.running_jobs(), 2);
    EXPECT_EQ(manager_.ProgressPosition(), 1);  // running jobs are not done
    ASSERT_TRUE(RunToEnd(manager_, queue_));
    EXPECT_EQ(manager_.ProgressPosition(), 3);
    EXPECT_EQ(StoredResults(message_.message_id).size(), 3u);
}

TEST_F(SubmitManagerTest, StartNeedsAMessageAndAForumWithoutResult) {
    AddForums(profile_, 2, kNoEngine);
    manager_.Reload(profile_, MessageRecord{});  // a new message, not stored yet
    EXPECT_TRUE(manager_.CanAddForum());
    EXPECT_FALSE(manager_.CanStart());
    manager_.StartRun();
    EXPECT_EQ(manager_.running_jobs(), 0);
    EXPECT_TRUE(manager_.results().empty());

    manager_.Reload(-1, MessageRecord{});
    EXPECT_FALSE(manager_.CanAddForum());
}

// A thread that cannot start fails its own forum only. Starts that keep failing end the
// run's starting, leaving the rest for a later Start, instead of failing every forum.
TEST(SubmitManagerStarts, AThreadThatCannotStartFailsOnlyItsOwnForum) {
    constexpr int kNone = -100;  // no result
    constexpr int kFailed = kUnknownError;
    constexpr int kRan = kNotScript;
    struct Row {
        const char* name;
        int forums;
        int threads;
        bool (*fails)(int attempt);  // attempts count from 1
        std::vector<int> results;    // per forum in load order
        int attempts;
    };
    const Row rows[] = {
        {"the first start fails once",
         3,
         1,
         [](int a) { return a == 1; },
         {kFailed, kRan, kRan},
         3},
        {"one start fails among running slots",
         4,
         2,
         [](int a) { return a == 2; },
         {kRan, kFailed, kRan, kRan},
         4},
        {"no thread ever starts",
         5,
         3,
         [](int) { return true; },
         {kFailed, kFailed, kNone, kNone, kNone},
         2},
        {"threads run out while a job runs",
         5,
         2,
         [](int a) { return a > 1; },
         {kRan, kFailed, kFailed, kNone, kNone},
         3},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        test::TestDatabase db;
        SetProgramDirectory(db.dir().path());
        int32_t profile = AddProfile(L"P");
        MessageRecord message = AddMessage(profile, L"S", L"B");
        SetOptionInt(OptThreadCount, row.threads, profile);
        ForumList forums = AddForums(profile, row.forums, kNoEngine);
        JobEventQueue queue;
        SubmitManager manager(queue);
        manager.Reload(profile, message);
        int attempts = 0;
        manager.SetJobStarter([&](SubmitJob& job, JobWork work) {
            return !row.fails(++attempts) && StartJob(job, work);
        });

        manager.StartRun();
        ASSERT_TRUE(RunToEnd(manager, queue));

        EXPECT_EQ(attempts, row.attempts);
        for (size_t i = 0; i < forums.size(); ++i) {
            const SubmitRecord* result = manager.FindResult(forums[i].forum_id);
            EXPECT_EQ(result ? result->result : kNone, row.results[i]) << "forum " << i;
            if (result != nullptr && result->result == kFailed) {
                EXPECT_EQ(manager.ResultCellText(forums[i].forum_id),
                          L"The job's thread could not be started");
            }
        }
        SubmitList stored = StoredResults(message.message_id);
        EXPECT_EQ(stored.size(),
                  static_cast<size_t>(std::count_if(row.results.begin(), row.results.end(),
                                                    [](int code) { return code != kNone; })));

        // Once threads can be had again, the next Start runs the forums left over.
        manager.SetJobStarter(StartJob);
        if (manager.CanStart()) {
            manager.StartRun();
            ASSERT_TRUE(RunToEnd(manager, queue));
        }
        EXPECT_EQ(StoredResults(message.message_id).size(), forums.size());
    }
}

// Changing what the page shows while jobs run: the results of the run still go into
// [submit] against the message they posted, never into the lists now shown, and no new
// job starts.
TEST_F(SubmitManagerTest, AnotherMessageShownDuringARunKeepsItsListsClean) {
    ForumList forums = Prepare(4, 2);
    MessageRecord other = AddMessage(profile_, L"Other", L"text");
    manager_.StartRun();
    manager_.Reload(profile_, other);
    EXPECT_TRUE(manager_.halt_requested());
    EXPECT_TRUE(manager_.results().empty());
    EXPECT_EQ(manager_.running_jobs(), 2);

    ASSERT_TRUE(RunToEnd(manager_, queue_));
    EXPECT_TRUE(manager_.results().empty());
    EXPECT_TRUE(StoredResults(other.message_id).empty());
    EXPECT_EQ(StoredForums(message_.message_id), IdsOf(forums, {0, 1}));
    EXPECT_EQ(manager_.ProgressPosition(), 0);
    // The other message's run starts from the beginning.
    EXPECT_TRUE(manager_.CanStart());
}

TEST_F(SubmitManagerTest, ComingBackToTheRunsMessageShowsItsJobsAgain) {
    ForumList forums = Prepare(4, 2);
    MessageRecord other = AddMessage(profile_, L"Other", L"text");
    manager_.StartRun();
    ASSERT_TRUE(HandleNextReport(manager_, queue_));  // one forum done, a third started
    manager_.Reload(profile_, other);
    manager_.Reload(profile_, message_);
    // Two running jobs shown as running, one stored result loaded.
    EXPECT_EQ(PendingForums().size(), 2u);
    EXPECT_EQ(manager_.ProgressPosition(), 1);
    EXPECT_TRUE(manager_.halt_requested());
    ASSERT_TRUE(RunToEnd(manager_, queue_));
    EXPECT_TRUE(PendingForums().empty());
    EXPECT_EQ(manager_.ProgressPosition(), 3);
    EXPECT_EQ(StoredResults(message_.message_id).size(), 3u);
    EXPECT_TRUE(manager_.CanStart());  // the fourth is left for the next Start
}

TEST_F(SubmitManagerTest, AnotherProfileShownDuringARunStopsNewJobs) {
    ForumList forums = Prepare(3, 1);
    int32_t second = AddProfile(L"Second");
    ForumList theirs = AddForums(second, 2, kNoEngine, L"Theirs");
    manager_.StartRun();
    manager_.Reload(second, MessageRecord{});
    ASSERT_TRUE(RunToEnd(manager_, queue_));
    EXPECT_TRUE(manager_.results().empty());
    EXPECT_EQ(manager_.forums().size(), 2u);
    SubmitList stored = StoredResults(message_.message_id);
    ASSERT_EQ(stored.size(), 1u);
    EXPECT_EQ(stored[0].forum_id, forums[0].forum_id);
}

TEST_F(SubmitManagerTest, AnEditedMessageStopsTheRunThatPostsTheOldText) {
    Prepare(3, 1);
    manager_.StartRun();
    MessageRecord edited = message_;
    edited.msg = L"new text";
    ASSERT_EQ(SaveMessage(edited), 0);
    manager_.Reload(profile_, edited);
    EXPECT_TRUE(manager_.halt_requested());
    EXPECT_EQ(PendingForums().size(), 1u);  // the same message: its job is still shown
    ASSERT_TRUE(RunToEnd(manager_, queue_));
    EXPECT_EQ(StoredResults(message_.message_id).size(), 1u);
    EXPECT_EQ(manager_.ProgressPosition(), 1);
}

TEST_F(SubmitManagerTest, AForumDeletedWhileItsJobRunsGetsNoResult) {
    ForumList forums = Prepare(5, 2);
    manager_.StartRun();
    manager_.DeleteForums({forums[4].forum_id});  // not started yet: the run goes on
    EXPECT_FALSE(manager_.halt_requested());
    manager_.DeleteForums({forums[0].forum_id});
    EXPECT_TRUE(manager_.halt_requested());
    EXPECT_EQ(manager_.ProgressRange(), 3);
    ASSERT_TRUE(RunToEnd(manager_, queue_));
    EXPECT_EQ(StoredForums(message_.message_id), IdsOf(forums, {1}));
    EXPECT_EQ(manager_.ProgressPosition(), 1);

    manager_.StartRun();
    ASSERT_TRUE(RunToEnd(manager_, queue_));
    EXPECT_EQ(StoredForums(message_.message_id), IdsOf(forums, {1, 2, 3}));
}

TEST_F(SubmitManagerTest, AbortedJobsLeaveTheirForumsForTheNextRun) {
    ForumList forums = Prepare(3, 1);
    manager_.StartRun();
    // The job has reported by now (no engine), but the report is still queued.
    manager_.AbortRun();
    EXPECT_EQ(manager_.running_jobs(), 0);
    EXPECT_EQ(manager_.FindResult(forums[0].forum_id), nullptr);
    EXPECT_TRUE(manager_.CanStart());

    // The late report of the stopped job must not be taken for the new job's.
    manager_.StartRun();
    EXPECT_EQ(manager_.ForumOfSlot(0), forums[0].forum_id);
    ASSERT_TRUE(RunToEnd(manager_, queue_));
    SubmitList stored = StoredResults(message_.message_id);
    ASSERT_EQ(stored.size(), 3u);
    EXPECT_EQ(stored[0].forum_id, forums[0].forum_id);
    EXPECT_FALSE(queue_.Wait(std::chrono::milliseconds(0)).has_value());
}

TEST_F(SubmitManagerTest, DeleteForumsRemovesThemAndKeepsTheirResults) {
    ForumList forums = Prepare(3);
    manager_.StartRun();
    ASSERT_TRUE(RunToEnd(manager_, queue_));
    manager_.DeleteForums({forums[0].forum_id, forums[2].forum_id});
    ASSERT_EQ(manager_.forums().size(), 1u);
    EXPECT_EQ(manager_.forums()[0].forum_id, forums[1].forum_id);
    EXPECT_EQ(manager_.FindForum(forums[0].forum_id), nullptr);
    EXPECT_EQ(manager_.FindResult(forums[0].forum_id), nullptr);
    EXPECT_EQ(manager_.ProgressRange(), 1);
    EXPECT_EQ(manager_.ProgressPosition(), 1);
    ForumList stored_forums;
    stored_forums.LoadForProfile(profile_);
    ASSERT_EQ(stored_forums.size(), 1u);
    EXPECT_EQ(StoredResults(message_.message_id).size(), 3u);

    manager_.DeleteForums({forums[1].forum_id});
    EXPECT_EQ(manager_.ProgressRange(), 0);
    EXPECT_EQ(manager_.ProgressPosition(), 0);
    EXPECT_FALSE(manager_.CanStart());
}

TEST_F(SubmitManagerTest, ResubmitClearsFinishedResultsAndLeavesRunningOnesAlone) {
    ForumList forums = Prepare(3, 1);
    manager_.StartRun();
    ASSERT_TRUE(HandleNextReport(manager_, queue_));  // forum 1 done, forum 2 running
    ASSERT_EQ(manager_.ForumOfSlot(0), forums[1].forum_id);
    manager_.Resubmit({forums[0].forum_id, forums[1].forum_id});
    EXPECT_EQ(manager_.FindResult(forums[0].forum_id), nullptr);
    EXPECT_EQ(manager_.FindResult(forums[1].forum_id)->result, kPending);
    EXPECT_TRUE(StoredResults(message_.message_id).empty());
    ASSERT_TRUE(RunToEnd(manager_, queue_));

    // The run went on from the queue's start again: forum 1 is submitted anew.
    SubmitList stored = StoredResults(message_.message_id);
    ASSERT_EQ(stored.size(), 3u);
    EXPECT_EQ(manager_.ProgressPosition(), 3);

    manager_.Resubmit({forums[2].forum_id});
    EXPECT_EQ(manager_.ProgressPosition(), 2);
    EXPECT_TRUE(manager_.CanStart());
    EXPECT_EQ(StoredResults(message_.message_id).size(), 2u);
    manager_.StartRun();
    EXPECT_EQ(manager_.ForumOfSlot(0), forums[2].forum_id);
    ASSERT_TRUE(RunToEnd(manager_, queue_));
}

TEST_F(SubmitManagerTest, ChangeCredentialsWritesTheChosenFieldsOfTheChosenForums) {
    ForumList forums = Prepare(3);
    ASSERT_EQ(manager_.ChangeCredentials({forums[0].forum_id, forums[2].forum_id}, L"new-user",
                                         std::nullopt),
              0);
    ASSERT_EQ(manager_.ChangeCredentials({forums[2].forum_id}, std::nullopt, L"new-pass"), 0);
    ForumList stored;
    stored.LoadForProfile(profile_);
    ASSERT_EQ(stored.size(), 3u);
    EXPECT_EQ(stored[0].login, L"new-user");
    EXPECT_EQ(stored[0].pass, L"secret");
    EXPECT_EQ(stored[1].login, L"Tester 2");
    EXPECT_EQ(stored[1].pass, L"secret");
    EXPECT_EQ(stored[2].login, L"new-user");
    EXPECT_EQ(stored[2].pass, L"new-pass");
    EXPECT_EQ(manager_.FindForum(forums[2].forum_id)->pass, L"new-pass");
    EXPECT_EQ(observer_.changed,
              (std::vector<int32_t>{forums[0].forum_id, forums[2].forum_id, forums[2].forum_id}));
}

TEST_F(SubmitManagerTest, SaveForumAddsAForumThatTheRunThenTakes) {
    ForumList forums = Prepare(1);
    manager_.StartRun();
    ASSERT_TRUE(RunToEnd(manager_, queue_));
    EXPECT_FALSE(manager_.CanStart());

    ForumRecord added;
    added.engine = L"NoSuchScript";
    added.title = L"Added";
    ASSERT_EQ(manager_.SaveForum(added), 0);
    EXPECT_NE(added.forum_id, -1);
    EXPECT_EQ(added.profile_id, profile_);
    EXPECT_EQ(manager_.ProgressRange(), 2);
    EXPECT_TRUE(manager_.CanStart());
    manager_.StartRun();
    EXPECT_EQ(manager_.ForumOfSlot(0), added.forum_id);
    ASSERT_TRUE(RunToEnd(manager_, queue_));

    added.title = L"Renamed";
    ASSERT_EQ(manager_.SaveForum(added), 0);
    EXPECT_EQ(manager_.forums().size(), 2u);
    EXPECT_EQ(manager_.FindForum(added.forum_id)->title, L"Renamed");
}

TEST(BoardAccountKeyTest, SameBoardAndAccountMeansSameKey) {
    auto key = [](const wchar_t* url, const wchar_t* login) {
        ForumRecord forum;
        forum.main_url = url;
        forum.login = login;
        return BoardAccountKey(forum);
    };
    const std::wstring base = key(L"http://board.example/forum/index.php", L"alice");
    // Letter case of scheme and host, the default port, a query: the same board.
    EXPECT_EQ(key(L"HTTP://Board.Example:80/forum/index.php?sid=1", L"alice"), base);
    struct Row {
        const wchar_t* url;
        const wchar_t* login;
    };
    for (const Row& row : {Row{L"http://board.example/forum/index.php", L"bob"},
                           Row{L"https://board.example/forum/index.php", L"alice"},
                           Row{L"http://board.example:8080/forum/index.php", L"alice"},
                           Row{L"http://board.example/other/index.php", L"alice"},
                           Row{L"http://other.example/forum/index.php", L"alice"}}) {
        EXPECT_NE(key(row.url, row.login), base) << row.url;
    }
}

// Forums of three boards, three sections each, in load order board by board.
class SubmitManagerBoardsTest : public SubmitManagerTest {
protected:
    ForumList PrepareBoards(int threads) {
        SetOptionInt(OptThreadCount, threads, profile_);
        ForumList all;
        for (const wchar_t* board :
             {L"http://a.example/", L"http://b.example/", L"http://c.example/"}) {
            ForumSpec kind = kNoEngine;
            kind.own_accounts = false;
            kind.main_url = board;
            ForumList forums = AddForums(profile_, 3, kind);
            all.insert(all.end(), forums.begin(), forums.end());
        }
        manager_.Reload(profile_, message_);
        return all;
    }

    std::vector<std::wstring> RunningBoards() const {
        std::vector<std::wstring> boards;
        for (int slot = 0; slot < SubmitManager::kMaxSlots; ++slot) {
            if (const ForumRecord* forum = manager_.FindForum(manager_.ForumOfSlot(slot))) {
                boards.push_back(forum->main_url);
            }
        }
        std::sort(boards.begin(), boards.end());
        return boards;
    }
};

TEST_F(SubmitManagerBoardsTest, OneJobPerBoardAndAccountWhileOtherBoardsFillTheSlots) {
    ForumList forums = PrepareBoards(9);
    manager_.StartRun();
    // Nine threads, but each board and account runs one job at a time.
    EXPECT_EQ(manager_.running_jobs(), 3);
    EXPECT_EQ(RunningBoards(),
              (std::vector<std::wstring>{L"http://a.example/", L"http://b.example/",
                                         L"http://c.example/"}));
    EXPECT_EQ(PendingForums(),
              (std::vector<int32_t>{forums[0].forum_id, forums[3].forum_id, forums[6].forum_id}));
    // Each report lets the next section of the same board start, never two of one board.
    std::vector<int32_t> started;
    while (manager_.running_jobs() > 0) {
        ASSERT_TRUE(HandleNextReport(manager_, queue_));
        std::vector<std::wstring> running = RunningBoards();
        EXPECT_EQ(std::adjacent_find(running.begin(), running.end()), running.end());
    }
    EXPECT_EQ(StoredForums(message_.message_id).size(), forums.size());
    EXPECT_FALSE(manager_.CanStart());
}

TEST_F(SubmitManagerBoardsTest, OneThreadKeepsLoadOrderAndAStoppedRunLeavesTheRest) {
    ForumList forums = PrepareBoards(1);
    manager_.StartRun();
    for (size_t next = 0; next < 4; ++next) {
        EXPECT_EQ(PendingForums(), IdsOf(forums, {next}));
        ASSERT_TRUE(HandleNextReport(manager_, queue_));
    }
    manager_.StopRun();
    ASSERT_TRUE(RunToEnd(manager_, queue_));
    EXPECT_EQ(StoredForums(message_.message_id), IdsOf(forums, {0, 1, 2, 3, 4}));
    EXPECT_TRUE(manager_.CanStart());
    manager_.StartRun();
    ASSERT_TRUE(RunToEnd(manager_, queue_));
    EXPECT_EQ(StoredForums(message_.message_id).size(), forums.size());
}

}  // namespace
}  // namespace twk
