#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <ctime>
#include <functional>
#include <string>

#include "engines/NodeBBEngine.h"
#include "support/FakeNodeBB.h"
#include "support/FakeSleeper.h"

namespace twk {
namespace {

using test::FakeNodeBB;
using test::FakeReply;
using test::FakeSleeper;
using test::FakeTopic;
using ::testing::HasSubstr;
using ::testing::Not;
using Options = FakeNodeBB::Options;
using LostAnswer = FakeNodeBB::LostAnswer;

constexpr int kPauseBeforeSending = 10;
constexpr int64_t kFirstReplyTime = 1796922000;

const std::wstring kOldSubject = L"Release 1.0 is out";
const std::wstring kNewSubject = L"Выпуск 1.1 — café déjà vu — 日本語のタイトル";
const std::wstring kNewBody =
    L"[b]Исправлено[/b]: [i]çà et là[/i]\r\n[url=https://example.org/1.1]链接[/url]";
const std::wstring kNewMarkdown = L"**Исправлено**: *çà et là*\\\n[链接](https://example.org/1.1)";

FakeTopic OwnTopic(int replies = 0) {
    FakeTopic topic;
    topic.section = "2";
    topic.subject = kOldSubject;
    topic.body = L"The first version of it.";
    for (int i = 1; i <= replies; ++i) {
        topic.replies.push_back(FakeReply{i % 2 == 0 ? L"admin" : L"Читатель",
                                          kFirstReplyTime + i * 60,
                                          L"Reply number " + std::to_wstring(i)});
    }
    return topic;
}

class NodeBBEditRepliesTest : public ::testing::Test {
protected:
    NodeBBEditRepliesTest() { engine.SetSleeper(sleeper); }

    ResultCode SignIn(const FakeNodeBB& board) {
        engine.SetBaseUrl(board.MainUrl());
        return engine.SignIn(FakeNodeBB::kLogin, FakeNodeBB::kPassword, forum_title);
    }

    // An update as the job runs it.
    ResultCode Update(const FakeNodeBB& board, int topicId) {
        const ResultCode result = SignIn(board);
        return result != kOk ? result
                             : engine.EditTopic(board.TopicUrl(topicId), kNewSubject, kNewBody);
    }

    FakeSleeper sleeper;
    NodeBBEngine engine;
    std::wstring forum_title;
};

TEST_F(NodeBBEditRepliesTest, UpdateArrivesInTheStoredPostAndPostsNothingNew) {
    FakeNodeBB board;
    const int id = board.PlaceTopic(OwnTopic(3));

    int gates = 0;
    engine.SetSendGate([&gates] { return ++gates > 0; });

    ASSERT_EQ(Update(board, id), kOk) << engine.failure_text;

    ASSERT_EQ(board.Topics().size(), 1u);
    const FakeTopic topic = board.Topics()[0];
    EXPECT_EQ(topic.subject, kNewSubject);
    EXPECT_EQ(topic.body, kNewMarkdown);
    EXPECT_EQ(topic.edits, 1);
    EXPECT_EQ(board.CountRequests("PUT /api/v3/posts/" + std::to_string(board.TidOf(id))), 1u);
    EXPECT_EQ(board.CountRequests("POST /api/v3/topics"), 0u);
    EXPECT_EQ(sleeper.sleeps(), kPauseBeforeSending);
    EXPECT_EQ(gates, 1);
    EXPECT_EQ(engine.failure_text, L"");
}

struct EditRefusalCase {
    std::string name;
    std::function<void(FakeTopic&)> change;
    ResultCode expected;
    std::wstring text;
};

void PrintTo(const EditRefusalCase& row, std::ostream* out) {
    *out << row.name;
}

class NodeBBEditRefusalTest : public NodeBBEditRepliesTest,
                              public ::testing::WithParamInterface<EditRefusalCase> {};

TEST_P(NodeBBEditRefusalTest, EndsWithTheBoardsWordsAndNoEdit) {
    const EditRefusalCase& row = GetParam();
    Options options;
    options.post_edit_duration = 3600;
    FakeNodeBB board{options};
    FakeTopic topic = OwnTopic();
    row.change(topic);
    const int id = board.PlaceTopic(topic);

    EXPECT_EQ(Update(board, id), row.expected) << engine.failure_text;
    EXPECT_THAT(engine.failure_text, HasSubstr(row.text));
    EXPECT_EQ(board.CountEdits(), 0);
    EXPECT_EQ(board.Topics()[0].subject, kOldSubject);
    EXPECT_EQ(board.CountRequests("POST /api/v3/topics"), 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Refusals, NodeBBEditRefusalTest,
    ::testing::Values(
        EditRefusalCase{"AnotherMembersPost", [](FakeTopic& changed) { changed.author = L"admin"; },
                        kEditRefused, L"not this account's"},
        EditRefusalCase{"TimeLimitPassed",
                        [](FakeTopic& changed) { changed.posted_at = std::time(nullptr) - 7200; },
                        kEditRefused, L"only allowed to edit posts for 3600 second(s)"},
        EditRefusalCase{"Locked", [](FakeTopic& changed) { changed.locked = true; }, kEditRefused,
                        L"Topic Locked"},
        EditRefusalCase{"Gone", [](FakeTopic& changed) { changed.gone = true; }, kTopicGone,
                        L"404"}),
    [](const auto& row) { return row.param.name; });

TEST_F(NodeBBEditRepliesTest, LostAnswerAfterTheBoardTookTheEditIsAnUpdate) {
    for (LostAnswer lost : {LostAnswer::kBadGateway, LostAnswer::kClosedConnection}) {
        Options options;
        options.lost_answer = lost;
        FakeNodeBB board{options};
        const int id = board.PlaceTopic(OwnTopic());
        NodeBBEngine fresh;
        fresh.SetSleeper(sleeper);
        fresh.SetBaseUrl(board.MainUrl());
        ASSERT_EQ(fresh.SignIn(FakeNodeBB::kLogin, FakeNodeBB::kPassword, forum_title), kOk);

        EXPECT_EQ(fresh.EditTopic(board.TopicUrl(id), kNewSubject, kNewBody), kOk)
            << fresh.failure_text;
        EXPECT_EQ(board.CountEdits(), 1);
        EXPECT_EQ(board.Topics().size(), 1u);
    }
}

TEST_F(NodeBBEditRepliesTest, AnEditTheProxyTurnedAwayIsNotSentAgain) {
    Options options;
    options.passing_faults = {{.path = "/api/v3/posts", .count = 3, .status = 503}};
    FakeNodeBB board{options};
    const int id = board.PlaceTopic(OwnTopic());

    EXPECT_EQ(Update(board, id), kCheckResult);
    EXPECT_THAT(engine.failure_text, HasSubstr(L"503"));
    EXPECT_THAT(engine.failure_text, HasSubstr(L"edit"));
    EXPECT_EQ(board.CountRequests("PUT /api/v3/posts/"), 1u);
    EXPECT_EQ(board.CountEdits(), 0);
}

TEST_F(NodeBBEditRepliesTest, StopDuringThePauseOrAtTheSendGateSendsNothing) {
    for (bool at_gate : {false, true}) {
        FakeNodeBB board;
        const int id = board.PlaceTopic(OwnTopic());
        NodeBBEngine fresh;
        fresh.SetSleeper(sleeper);
        int gates = 0;
        fresh.SetSendGate([&gates, at_gate] {
            ++gates;
            return !at_gate;
        });
        if (!at_gate) {
            sleeper.OnSleep(sleeper.sleeps() + 4, [&fresh] { fresh.stop_requested = true; });
        }
        fresh.SetBaseUrl(board.MainUrl());
        ASSERT_EQ(fresh.SignIn(FakeNodeBB::kLogin, FakeNodeBB::kPassword, forum_title), kOk);

        EXPECT_EQ(fresh.EditTopic(board.TopicUrl(id), kNewSubject, kNewBody), kStopped);
        EXPECT_EQ(gates, at_gate ? 1 : 0);
        EXPECT_EQ(board.CountRequests("PUT /api/v3/posts/"), 0u);
        EXPECT_EQ(board.CountEdits(), 0);
    }
}

struct RepliesCase {
    int replies;
    int pages_read;
    std::wstring newest_author;
    std::string last_page;  // query of the newest reply's page
};

class NodeBBRepliesTest : public NodeBBEditRepliesTest,
                          public ::testing::WithParamInterface<RepliesCase> {};

TEST_P(NodeBBRepliesTest, CountsFromTheLastPageOnly) {
    const RepliesCase& row = GetParam();
    FakeNodeBB board;
    const int id = board.PlaceTopic(OwnTopic(row.replies));
    engine.SetBaseUrl(board.MainUrl());
    ReplyInfo info;

    ASSERT_EQ(engine.ReadReplies(board.TopicUrl(id), info), kOk) << engine.failure_text;

    EXPECT_EQ(info.replies, row.replies);
    EXPECT_EQ(info.pages_read, row.pages_read);
    EXPECT_EQ(board.CountRequests("GET /api/topic/"), static_cast<size_t>(row.pages_read));
    EXPECT_EQ(info.newest_author, row.newest_author);
    EXPECT_EQ(info.newest_time, row.replies == 0 ? 0 : kFirstReplyTime + row.replies * 60);
    EXPECT_EQ(info.newest_url, board.TopicUrl(id) + FakeNodeBB::Widen(row.last_page));
}

INSTANTIATE_TEST_SUITE_P(Counts, NodeBBRepliesTest,
                         ::testing::Values(RepliesCase{0, 1, L"", ""},
                                           RepliesCase{1, 1, L"Читатель", ""},
                                           RepliesCase{45, 2, L"Читатель", "?page=3"}));

TEST_F(NodeBBEditRepliesTest, AGoneTopicIsGoneNotZero) {
    FakeNodeBB board;
    const int id = board.PlaceTopic(OwnTopic(2));
    const std::wstring url = board.TopicUrl(id);
    board.PurgeTopic(id);
    engine.SetBaseUrl(board.MainUrl());
    ReplyInfo info;

    EXPECT_EQ(engine.ReadReplies(url, info), kTopicGone);
    EXPECT_THAT(engine.failure_text, HasSubstr(L"404"));
}

TEST_F(NodeBBEditRepliesTest, AMembersOnlyTopicIsReadAfterSigningIn) {
    Options options;
    options.members_only_categories = {FakeNodeBB::kGeneralCategory};
    FakeNodeBB board{options};
    const int id = board.PlaceTopic(OwnTopic(4));
    engine.SetBaseUrl(board.MainUrl());
    ReplyInfo info;

    ASSERT_EQ(engine.ReadReplies(board.TopicUrl(id), info), kSignInNeeded);
    ASSERT_EQ(SignIn(board), kOk);
    ASSERT_EQ(engine.ReadReplies(board.TopicUrl(id), info), kOk) << engine.failure_text;
    EXPECT_EQ(info.replies, 4);
    EXPECT_EQ(info.newest_author, L"admin");
}

}  // namespace
}  // namespace twk
