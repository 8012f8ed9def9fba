// Update Topics and Check Replies run by the submit manager against a fake phpBB board:
// the jobs, the run's rules, and what [topic] keeps.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "engines/ResultCode.h"
#include "platform/ProgramDirectory.h"
#include "storage/Tables.h"
#include "submit/JobEventQueue.h"
#include "submit/SubmitManager.h"
#include "support/FakePhpBB.h"
#include "support/FakeSleeper.h"
#include "support/SubmitTestData.h"
#include "support/TestDatabase.h"
#include "text/StringTable.h"

namespace twk {
namespace {

using test::FakePhpBB;

TopicRecord StoredTopic(int32_t forumId, int32_t messageId) {
    TopicRowList rows;
    ListTopics(L"[forum_id]=" + std::to_wstring(forumId) + L" AND [message_id]=" +
                   std::to_wstring(messageId),
               rows);
    return rows.empty() ? TopicRecord{} : rows.front();
}

class TopicRunTest : public ::testing::Test {
protected:
    TopicRunTest() {
        SetProgramDirectory(db_.dir().path());
        manager_.SetSleeper(&sleeper_);
    }

    // count forums in sections of the board, all of one account; posted.
    ForumList PostTo(int count) {
        test::ForumSpec kind;
        kind.main_url = board_.MainUrl();
        kind.forum_key = board_.SectionUrl(FakePhpBB::kGeneralForum);
        kind.login = FakePhpBB::kLogin;
        kind.pass = FakePhpBB::kPassword;
        ForumList forums = test::AddForums(profile_, count, kind);
        manager_.Reload(profile_, message_);
        manager_.StartRun();
        EXPECT_TRUE(test::RunToEnd(manager_, queue_));
        return forums;
    }

    MessageRecord Edit(const std::wstring& subject, const std::wstring& body) {
        MessageRecord edited = message_;
        edited.subject = subject;
        edited.msg = body;
        EXPECT_EQ(SaveMessage(edited), 0);
        manager_.Reload(profile_, edited);
        return edited;
    }

    test::TestDatabase db_;
    FakePhpBB board_{3};
    test::FakeSleeper sleeper_;
    JobEventQueue queue_;
    SubmitManager manager_{queue_};
    int32_t profile_ = test::AddProfile(L"Main");
    MessageRecord message_ = test::AddMessage(profile_, L"Release 1.0", L"[b]Out now[/b]");
};

TEST_F(TopicRunTest, AChangedMessageMarksItsTopicsAndAnUpdateEditsThemInPlace) {
    ForumList forums = PostTo(2);
    ASSERT_EQ(board_.Topics().size(), 2u);
    const int32_t first = forums[0].forum_id;
    const std::wstring address = manager_.FindResult(first)->thread;
    // Posted as it stands: nothing to update.
    EXPECT_FALSE(manager_.IsOutOfDate(first));
    EXPECT_FALSE(manager_.CanUpdate());
    EXPECT_EQ(StoredTopic(first, message_.message_id).subject, L"Release 1.0");

    const std::wstring subject = L"Выпуск 1.0.1 — café 发布";
    const std::wstring body = L"[b]Исправлено[/b] [url=https://example.org/ü]notes[/url]";
    MessageRecord edited = Edit(subject, body);
    EXPECT_TRUE(manager_.IsOutOfDate(first));
    EXPECT_TRUE(manager_.CanUpdate());
    EXPECT_NE(manager_.ResultCellText(first).find(L"out of date"), std::wstring::npos);

    manager_.StartUpdate();
    // One board and account: the second topic waits for the first.
    EXPECT_EQ(manager_.running_jobs(), 1);
    EXPECT_TRUE(manager_.IsWaiting(forums[1].forum_id));
    EXPECT_EQ(manager_.TopicStateText(forums[1].forum_id), LoadText(kIdsWaitingForAccount));
    ASSERT_TRUE(test::RunToEnd(manager_, queue_));

    std::vector<test::FakeTopic> topics = board_.Topics();
    ASSERT_EQ(topics.size(), 2u);  // edited, never posted again
    for (const test::FakeTopic& topic : topics) {
        EXPECT_EQ(topic.subject, subject);
        EXPECT_EQ(topic.body, body);
        EXPECT_EQ(topic.edits, 1);
    }
    for (const ForumRecord& forum : forums) {
        EXPECT_FALSE(manager_.IsOutOfDate(forum.forum_id));
        TopicRecord stored = StoredTopic(forum.forum_id, edited.message_id);
        EXPECT_EQ(stored.uresult, kOk);
        EXPECT_GT(stored.utime, 0);
        EXPECT_EQ(stored.subject, subject);
        EXPECT_EQ(stored.body, body);
    }
    // The post's own result stays as it was.
    EXPECT_EQ(manager_.FindResult(first)->result, kOk);
    EXPECT_EQ(manager_.FindResult(first)->thread, address);
    EXPECT_EQ(test::StoredResults(edited.message_id).size(), 2u);
    EXPECT_NE(manager_.ResultCellText(first).find(L"updated"), std::wstring::npos);
    EXPECT_EQ(manager_.SummaryText(), L"Update finished: 2 OK, 0 to look at, 0 failed.");
    EXPECT_FALSE(manager_.CanUpdate());
}

TEST_F(TopicRunTest, ARefusedUpdateKeepsTheTopicOutOfDateWithTheBoardsWords) {
    ForumList forums = PostTo(1);
    board_.ChangeTopic(1, [](test::FakeTopic& topic) { topic.locked = true; });
    Edit(L"Changed", L"Changed body");

    manager_.StartUpdate();
    ASSERT_TRUE(test::RunToEnd(manager_, queue_));
    TopicRecord stored = StoredTopic(forums[0].forum_id, message_.message_id);
    EXPECT_EQ(stored.uresult, kEditRefused);
    EXPECT_FALSE(stored.uerr.empty());
    EXPECT_EQ(stored.subject, L"Release 1.0");
    EXPECT_TRUE(manager_.IsOutOfDate(forums[0].forum_id));
    EXPECT_NE(manager_.ResultCellText(forums[0].forum_id).find(stored.uerr), std::wstring::npos);
    EXPECT_EQ(board_.CountEdits(), 0);
    EXPECT_EQ(manager_.SummaryText(), L"Update finished: 0 OK, 0 to look at, 1 failed.");
}

TEST_F(TopicRunTest, AStoppedUpdateAfterSendingIsRecordedAsInterrupted) {
    ForumList forums = PostTo(1);
    Edit(L"Changed", L"Changed body");
    // The edit is recorded as going out, and the window closes right then.
    manager_.StartUpdate();
    std::optional<JobEvent> event;
    while (manager_.running_jobs() > 0 && (event = queue_.Wait(std::chrono::seconds(30)))) {
        if (event->kind == JobEvent::kSending) {
            manager_.OnJobEvent(*event);
            manager_.AbortRun();
            break;
        }
        manager_.OnJobEvent(*event);
    }
    TopicRecord stored = StoredTopic(forums[0].forum_id, message_.message_id);
    EXPECT_EQ(stored.uresult, kCheckResult);
    EXPECT_EQ(stored.uerr, LoadText(kIdsUpdateInterrupted));
    // Still out of date: updating again puts the same text in once more.
    EXPECT_TRUE(manager_.IsOutOfDate(forums[0].forum_id));
}

TEST_F(TopicRunTest, CheckRepliesCountsAndTellsWhatIsNewSinceTheLastCheck) {
    ForumList forums = PostTo(2);
    auto add_replies = [&](int topic, int count) {
        board_.ChangeTopic(topic, [&](test::FakeTopic& t) {
            for (int i = 0; i < count; ++i) {
                t.replies.push_back({L"Reader", 1765000000 + i, L"Thanks"});
            }
        });
    };
    add_replies(1, 3);
    board_.ChangeTopic(2, [](test::FakeTopic& topic) { topic.gone = true; });

    EXPECT_TRUE(manager_.CanCheckReplies());
    manager_.StartReplyCheck();
    ASSERT_TRUE(test::RunToEnd(manager_, queue_));
    const int32_t counted = forums[0].forum_id;
    const int32_t gone = forums[1].forum_id;
    EXPECT_EQ(manager_.RepliesCellText(counted), L"3");
    EXPECT_EQ(manager_.RepliesCellText(gone), L"gone");
    EXPECT_EQ(StoredTopic(gone, message_.message_id).rresult, kTopicGone);
    EXPECT_EQ(StoredTopic(counted, message_.message_id).newest_author, L"Reader");

    add_replies(1, 2);
    manager_.StartReplyCheck();
    ASSERT_TRUE(test::RunToEnd(manager_, queue_));
    EXPECT_EQ(manager_.RepliesCellText(counted), L"5 (2 new)");
    EXPECT_EQ(manager_.SummaryText(), L"Reply check finished: 1 OK, 0 to look at, 1 failed.");
    // Reading changed nothing on the board, and the post results stand.
    EXPECT_EQ(board_.CountEdits(), 0);
    EXPECT_EQ(board_.Topics().size(), 2u);
    EXPECT_EQ(manager_.FindResult(counted)->result, kOk);

    // What the page shows survives a new start.
    SubmitManager reopened(queue_);
    reopened.Reload(profile_, message_);
    EXPECT_EQ(reopened.RepliesCellText(counted), L"5 (2 new)");
    EXPECT_EQ(reopened.RepliesCellText(gone), L"gone");
}

TEST_F(TopicRunTest, ATopicPostedBeforeItsTextWasKeptIsMarkedByTheNextChangeOfTheMessage) {
    test::ForumSpec kind;
    kind.main_url = board_.MainUrl();
    ForumList forums = test::AddForums(profile_, 1, kind);
    SubmitRecord old;
    old.forum_id = forums[0].forum_id;
    old.message_id = message_.message_id;
    old.stime = 1700000000;
    old.result = kOk;
    old.thread = board_.TopicUrl(1);
    ASSERT_EQ(StoreSubmitResult(old, false), 0);
    manager_.Reload(profile_, message_);
    EXPECT_FALSE(manager_.IsOutOfDate(forums[0].forum_id));
    EXPECT_EQ(StoredTopic(forums[0].forum_id, message_.message_id).subject, L"Release 1.0");

    Edit(L"Release 1.0.1", L"[b]Out now[/b]");
    EXPECT_TRUE(manager_.IsOutOfDate(forums[0].forum_id));
    EXPECT_TRUE(manager_.CanUpdate());
}

}  // namespace
}  // namespace twk
