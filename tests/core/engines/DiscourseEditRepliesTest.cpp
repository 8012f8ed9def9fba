#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <ctime>
#include <functional>
#include <string>

#include "engines/DiscourseEngine.h"
#include "support/FakeDiscourse.h"
#include "support/FakeSleeper.h"

namespace twk {
namespace {

using test::FakeDiscourse;
using test::FakeReply;
using test::FakeSleeper;
using test::FakeTopic;
using ::testing::HasSubstr;
using Options = FakeDiscourse::Options;
using LostAnswer = FakeDiscourse::LostAnswer;

constexpr int kPauseBeforeSending = 10;
constexpr int64_t kFirstReplyTime = 1796922000;

const std::wstring kOldSubject = L"Release 1.0 is out now";
const std::wstring kNewSubject = L"Выпуск 1.1 — café déjà vu — 日本語のタイトル";
const std::wstring kNewBody =
    L"[b]Исправлено[/b]: [i]çà et là[/i]\r\n[url=https://example.org/1.1]链接[/url]";
const std::wstring kNewMarkdown = L"**Исправлено**: *çà et là*\\\n[链接](https://example.org/1.1)";

FakeTopic OwnTopic(int replies = 0, const std::string& category = "4") {
    FakeTopic topic;
    topic.section = category;
    topic.subject = kOldSubject;
    topic.body = L"The first version of the announcement.";
    for (int i = 1; i <= replies; ++i) {
        topic.replies.push_back(FakeReply{i % 2 == 0 ? L"system" : L"reader_1",
                                          kFirstReplyTime + i * 60,
                                          L"Reply number " + std::to_wstring(i)});
    }
    return topic;
}

class DiscourseEditRepliesTest : public ::testing::Test {
protected:
    DiscourseEditRepliesTest() { engine.SetSleeper(sleeper); }

    ResultCode SignIn(const FakeDiscourse& board) {
        engine.SetBaseUrl(board.MainUrl());
        return engine.SignIn(FakeDiscourse::kLogin, FakeDiscourse::kPassword, forum_title);
    }

    ResultCode Update(const FakeDiscourse& board, int topicId) {
        const ResultCode result = SignIn(board);
        return result != kOk ? result
                             : engine.EditTopic(board.TopicUrl(topicId), kNewSubject, kNewBody);
    }

    FakeSleeper sleeper;
    DiscourseEngine engine;
    std::wstring forum_title;
};

TEST_F(DiscourseEditRepliesTest, UpdateArrivesInTheStoredPostAndPostsNothingNew) {
    FakeDiscourse board;
    const int id = board.PlaceTopic(OwnTopic(3));

    int gates = 0;
    engine.SetSendGate([&gates] { return ++gates > 0; });

    ASSERT_EQ(Update(board, id), kOk) << engine.failure_text;

    ASSERT_EQ(board.Topics().size(), 1u);
    const FakeTopic topic = board.Topics()[0];
    EXPECT_EQ(topic.subject, kNewSubject);
    EXPECT_EQ(topic.body, kNewMarkdown);
    EXPECT_EQ(topic.edits, 1);
    EXPECT_EQ(board.CountRequests("PUT /posts/"), 1u);
    EXPECT_EQ(board.CountRequests("PUT /t/"), 1u);
    EXPECT_EQ(board.CountRequests("POST /posts"), 0u);
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

class DiscourseEditRefusalTest : public DiscourseEditRepliesTest,
                                 public ::testing::WithParamInterface<EditRefusalCase> {};

TEST_P(DiscourseEditRefusalTest, EndsWithTheBoardsWordsAndNoEdit) {
    const EditRefusalCase& row = GetParam();
    FakeDiscourse board{Options{.post_edit_time_limit = 3600}};
    FakeTopic topic = OwnTopic();
    row.change(topic);
    const int id = board.PlaceTopic(topic);

    EXPECT_EQ(Update(board, id), row.expected) << engine.failure_text;
    EXPECT_THAT(engine.failure_text, HasSubstr(row.text));
    EXPECT_EQ(board.CountEdits(), 0);
    EXPECT_EQ(board.Topics()[0].subject, kOldSubject);
    EXPECT_EQ(board.CountRequests("PUT /t/"), 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Refusals, DiscourseEditRefusalTest,
    ::testing::Values(EditRefusalCase{"AnotherAccountsPost",
                                      [](FakeTopic& changed) { changed.author = L"system"; },
                                      kEditRefused, L"not this account's"},
                      EditRefusalCase{
                          "TimeLimitPassed",
                          [](FakeTopic& changed) { changed.posted_at = std::time(nullptr) - 7200; },
                          kEditRefused, L"created too long ago"},
                      EditRefusalCase{"Closed", [](FakeTopic& changed) { changed.locked = true; },
                                      kEditRefused, L"not permitted"},
                      EditRefusalCase{"Gone", [](FakeTopic& changed) { changed.gone = true; },
                                      kTopicGone, L"could not be found"}),
    [](const auto& row) { return row.param.name; });

TEST_F(DiscourseEditRepliesTest, LostAnswerAfterTheSiteTookTheEditIsAnUpdate) {
    for (LostAnswer lost : {LostAnswer::kBadGateway, LostAnswer::kClosedConnection}) {
        FakeDiscourse board{Options{.lost_answer = lost}};
        const int id = board.PlaceTopic(OwnTopic());
        DiscourseEngine fresh;
        fresh.SetSleeper(sleeper);
        fresh.SetBaseUrl(board.MainUrl());
        ASSERT_EQ(fresh.SignIn(FakeDiscourse::kLogin, FakeDiscourse::kPassword, forum_title), kOk);

        EXPECT_EQ(fresh.EditTopic(board.TopicUrl(id), kNewSubject, kNewBody), kOk)
            << fresh.failure_text;
        EXPECT_EQ(board.CountEdits(), 1);
        EXPECT_EQ(board.Topics().size(), 1u);
    }
}

TEST_F(DiscourseEditRepliesTest, AnEditTheProxyTurnedAwayIsNotSentAgain) {
    FakeDiscourse board{
        Options{.passing_faults = {{.path = "/posts/", .count = 3, .status = 503}}}};
    const int id = board.PlaceTopic(OwnTopic());

    EXPECT_EQ(Update(board, id), kCheckResult);
    EXPECT_THAT(engine.failure_text, HasSubstr(L"503"));
    EXPECT_EQ(board.CountRequests("PUT /posts/"), 1u);
    EXPECT_EQ(board.CountRequests("PUT /t/"), 0u);
    EXPECT_EQ(board.CountEdits(), 0);
}

TEST_F(DiscourseEditRepliesTest, StopDuringThePauseOrAtTheSendGateSendsNothing) {
    for (bool at_gate : {false, true}) {
        FakeDiscourse board;
        const int id = board.PlaceTopic(OwnTopic());
        DiscourseEngine fresh;
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
        ASSERT_EQ(fresh.SignIn(FakeDiscourse::kLogin, FakeDiscourse::kPassword, forum_title), kOk);

        EXPECT_EQ(fresh.EditTopic(board.TopicUrl(id), kNewSubject, kNewBody), kStopped);
        EXPECT_EQ(gates, at_gate ? 1 : 0);
        EXPECT_EQ(board.CountRequests("PUT "), 0u);
        EXPECT_EQ(board.CountEdits(), 0);
    }
}

struct RepliesCase {
    int replies;
    int pages_read;
    std::wstring newest_author;
    std::string newest_post;  // the newest reply's address below the topic's
};

class DiscourseRepliesTest : public DiscourseEditRepliesTest,
                             public ::testing::WithParamInterface<RepliesCase> {};

TEST_P(DiscourseRepliesTest, CountsAndReadsTheNewestPostOnly) {
    const RepliesCase& row = GetParam();
    FakeDiscourse board;
    const int id = board.PlaceTopic(OwnTopic(row.replies));
    engine.SetBaseUrl(board.MainUrl());
    ReplyInfo info;

    ASSERT_EQ(engine.ReadReplies(board.TopicUrl(id), info), kOk) << engine.failure_text;

    EXPECT_EQ(info.replies, row.replies);
    EXPECT_EQ(info.pages_read, row.pages_read);
    EXPECT_EQ(board.CountRequests("GET /t/"), static_cast<size_t>(row.pages_read));
    EXPECT_EQ(info.newest_author, row.newest_author);
    EXPECT_EQ(info.newest_time, row.replies == 0 ? 0 : kFirstReplyTime + row.replies * 60);
    EXPECT_EQ(info.newest_url, board.TopicUrl(id) + FakeDiscourse::Widen(row.newest_post));
}

INSTANTIATE_TEST_SUITE_P(Counts, DiscourseRepliesTest,
                         ::testing::Values(RepliesCase{0, 1, L"", ""},
                                           RepliesCase{1, 1, L"reader_1", "/2"},
                                           RepliesCase{45, 2, L"reader_1", "/46"}));

TEST_F(DiscourseEditRepliesTest, AGoneTopicIsGoneNotZero) {
    FakeDiscourse board;
    const int id = board.PlaceTopic(OwnTopic(2));
    board.ChangeTopic(id, [](FakeTopic& topic) { topic.gone = true; });
    engine.SetBaseUrl(board.MainUrl());
    ReplyInfo info;

    EXPECT_EQ(engine.ReadReplies(board.TopicUrl(id), info), kTopicGone);
    EXPECT_THAT(engine.failure_text, HasSubstr(L"could not be found"));
}

TEST_F(DiscourseEditRepliesTest, AMembersOnlyTopicIsReadAfterSigningIn) {
    FakeDiscourse board;
    const int id =
        board.PlaceTopic(OwnTopic(4, std::to_string(FakeDiscourse::kMembersOnlyCategory)));
    engine.SetBaseUrl(board.MainUrl());
    ReplyInfo info;

    ASSERT_EQ(engine.ReadReplies(board.TopicUrl(id), info), kSignInNeeded);
    ASSERT_EQ(SignIn(board), kOk);
    ASSERT_EQ(engine.ReadReplies(board.TopicUrl(id), info), kOk) << engine.failure_text;
    EXPECT_EQ(info.replies, 4);
    EXPECT_EQ(info.newest_author, L"system");
}

TEST(DiscourseTopicIdTest, ComesFromEachFormOfTheAddress) {
    EXPECT_EQ(discourse::TopicIdOf(L"https://x.org/t/some-title/15"), 15);
    EXPECT_EQ(discourse::TopicIdOf(L"https://x.org/forum/t/some-title/15/3?u=a"), 15);
    EXPECT_EQ(discourse::TopicIdOf(L"https://x.org/t/15/3"), 15);
    EXPECT_EQ(discourse::TopicIdOf(L"https://x.org/t/15"), 15);
    EXPECT_EQ(discourse::TopicIdOf(L"https://x.org/c/general/4"), -1);
}

}  // namespace
}  // namespace twk
