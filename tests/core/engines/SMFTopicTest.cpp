#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <ctime>
#include <functional>
#include <string>

#include "engines/SMFEngine.h"
#include "support/FakeSMF.h"
#include "support/FakeSleeper.h"

namespace twk {
namespace {

using test::FakeReply;
using test::FakeSleeper;
using test::FakeSMF;
using test::FakeTopic;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using Options = FakeSMF::Options;

const int64_t kNow = static_cast<int64_t>(std::time(nullptr));

// A topic the account posted, with replies alternating between another member and the
// account (whose replies carry "Modify" links of their own).
FakeTopic PostedTopic(int replies, int board = FakeSMF::kGeneralBoard) {
    FakeTopic topic;
    topic.section = std::to_string(board);
    topic.subject = L"Release 1.0";
    topic.body = L"Download it [url=http://example.org]here[/url].";
    for (int i = 1; i <= replies; ++i) {
        topic.replies.push_back(
            FakeReply{i % 2 == 1 ? L"admin" : FakeSMF::kLogin, kNow - 1000 + i, L"Thanks"});
    }
    return topic;
}

class SMFTopicTest : public ::testing::Test {
protected:
    explicit SMFTopicTest(Options options = {}) : board(Timed(options)) {
        engine.SetSleeper(sleeper);
        engine.SetBaseUrl(board.MainUrl());
    }

    Options Timed(Options options) {
        options.clock = &sleeper;
        return options;
    }

    ResultCode SignIn() {
        std::wstring title;
        return engine.SignIn(FakeSMF::kLogin, FakeSMF::kPassword, title);
    }

    FakeSleeper sleeper;
    FakeSMF board;
    SMFEngine engine;
};

struct EditText {
    const char* name;
    std::wstring subject;
    std::wstring body;
};

class SMFEditTextTest : public SMFTopicTest, public ::testing::WithParamInterface<EditText> {};

TEST_P(SMFEditTextTest, ReachesTheFirstPostAsTyped) {
    const int id = board.PlaceTopic(PostedTopic(20));
    ASSERT_EQ(SignIn(), kOk);
    ASSERT_EQ(engine.EditTopic(board.TopicUrl(id), GetParam().subject, GetParam().body), kOk)
        << engine.failure_text;
    const std::vector<FakeTopic> topics = board.Topics();
    ASSERT_EQ(topics.size(), 1u);
    EXPECT_EQ(topics[0].subject, GetParam().subject);
    EXPECT_EQ(topics[0].body, GetParam().body);
    EXPECT_EQ(topics[0].edits, 1);
    EXPECT_EQ(topics[0].edit_fields.count("post"), 1u);
    EXPECT_EQ(board.CountRequests("board=1;action=post2"), 0u);
    EXPECT_EQ(board.CountRequests("POST /index.php?action=post2;start=0;board="), 0u);
    EXPECT_THAT(board.Problems(), IsEmpty());
}

INSTANTIATE_TEST_SUITE_P(Texts, SMFEditTextTest,
                         ::testing::Values(EditText{"Cyrillic", L"Релиз 1.1 — исправлено",
                                                    L"[b]Жирный[/b] & 100% «кавычки»"},
                                           EditText{"Accented", L"Version 1.1 : déjà corrigée",
                                                    L"Ça marche [i]très[/i] bien; a=b"},
                                           EditText{"Cjk", L"新しい話題 新话题",
                                                    L"你好 [quote]こんにちは[/quote] a=b&c"}),
                         [](const auto& row) { return std::string(row.param.name); });

struct Refusal {
    const char* name;
    std::function<void(FakeTopic&)> change;
    int edit_time_limit;
    ResultCode code;
    const wchar_t* words;
};

class SMFEditRefusalTest : public SMFTopicTest, public ::testing::WithParamInterface<Refusal> {};

// The topic page shows no "Modify" link in each case; the edit address gives SMF's reason.
TEST_P(SMFEditRefusalTest, GivesTheBoardsWords) {
    FakeTopic topic = PostedTopic(2);
    GetParam().change(topic);
    const int id = board.PlaceTopic(topic);
    board.SetEditTimeLimit(GetParam().edit_time_limit);
    ASSERT_EQ(SignIn(), kOk);
    EXPECT_EQ(engine.EditTopic(board.TopicUrl(id), L"New subject", L"New body"), GetParam().code);
    EXPECT_THAT(engine.failure_text, HasSubstr(GetParam().words));
    EXPECT_EQ(board.CountEdits(), 0);
    EXPECT_EQ(board.CountRequests("action=post2"), 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Boards, SMFEditRefusalTest,
    ::testing::Values(
        Refusal{"Locked", [](FakeTopic& changed) { changed.locked = true; }, 0, kEditRefused,
                L"This topic is locked, you are not allowed to post or modify messages."},
        Refusal{"NotOwn", [](FakeTopic& changed) { changed.author = L"admin"; }, 0, kEditRefused,
                L"You aren't allowed to modify posts."},
        Refusal{"TooLate", [](FakeTopic& changed) { changed.posted_at = kNow - 600; }, 60,
                kEditRefused,
                L"You may not modify this post, as the time limit for edits has passed."},
        Refusal{"Gone", [](FakeTopic& changed) { changed.gone = true; }, 0, kTopicGone,
                L"appears to be either missing or off limits to you."}),
    [](const auto& row) { return std::string(row.param.name); });

TEST_F(SMFTopicTest, StopDuringThePauseSendsNoEdit) {
    const int id = board.PlaceTopic(PostedTopic(0));
    ASSERT_EQ(SignIn(), kOk);
    sleeper.OnSleep(sleeper.sleeps() + 3, [this] { engine.stop_requested = true; });
    EXPECT_EQ(engine.EditTopic(board.TopicUrl(id), L"New subject", L"New body"), kStopped);
    EXPECT_EQ(board.CountRequests("action=post2"), 0u);
    EXPECT_EQ(board.CountEdits(), 0);
}

class SMFLostEditTest : public SMFTopicTest {
protected:
    static Options Lost() {
        Options options;
        options.gateway_error_after_edit = true;
        return options;
    }
    SMFLostEditTest() : SMFTopicTest(Lost()) {}
};

TEST_F(SMFLostEditTest, AppliedEditIsConfirmedByTheTopic) {
    const int id = board.PlaceTopic(PostedTopic(0));
    ASSERT_EQ(SignIn(), kOk);
    EXPECT_EQ(engine.EditTopic(board.TopicUrl(id), L"New subject", L"New body"), kOk)
        << engine.failure_text;
    EXPECT_EQ(board.CountEdits(), 1);
    EXPECT_EQ(board.CountRequests("action=post2"), 1u);
    EXPECT_EQ(board.Topics().size(), 1u);
}

struct RepliesCase {
    const char* name;
    int replies;
    int pages_read;
    const char* last_page;
};

class SMFRepliesTest : public ::testing::TestWithParam<RepliesCase> {};

TEST_P(SMFRepliesTest, CountsFromTheLastPage) {
    FakeSleeper sleeper;
    FakeSMF board;
    SMFEngine engine;
    engine.SetSleeper(sleeper);
    engine.SetBaseUrl(board.MainUrl());
    const int id = board.PlaceTopic(PostedTopic(GetParam().replies));
    ReplyInfo info;
    ASSERT_EQ(engine.ReadReplies(board.TopicUrl(id), info), kOk) << engine.failure_text;
    EXPECT_EQ(info.replies, GetParam().replies);
    EXPECT_EQ(info.pages_read, GetParam().pages_read);
    EXPECT_EQ(board.CountRequests("GET /index.php?"), static_cast<size_t>(info.pages_read));
    EXPECT_EQ(board.CountRequests("topic=1.15"), 0u);
    EXPECT_THAT(info.newest_url, HasSubstr(test::FakeForum::Widen(GetParam().last_page)));
    EXPECT_EQ(info.newest_url.find(L"PHPSESSID"), std::wstring::npos);
    // SMF writes times relative to the visitor's day and zone: none is taken.
    EXPECT_EQ(info.newest_time, 0);
    if (GetParam().replies == 0) {
        EXPECT_EQ(info.newest_author, L"");
        return;
    }
    EXPECT_EQ(info.newest_author, GetParam().replies % 2 == 1 ? L"admin" : FakeSMF::kLogin);
}

INSTANTIATE_TEST_SUITE_P(
    Topics, SMFRepliesTest,
    ::testing::Values(RepliesCase{"None", 0, 1, "topic=1.0"}, RepliesCase{"One", 1, 1, "topic=1.0"},
                      RepliesCase{"FortyFiveOverFourPages", 45, 2, "topic=1.45"}),
    [](const auto& row) { return std::string(row.param.name); });

TEST_F(SMFTopicTest, GoneTopicIsNoCount) {
    FakeTopic topic = PostedTopic(3);
    topic.gone = true;
    const int id = board.PlaceTopic(topic);
    ReplyInfo info;
    EXPECT_EQ(engine.ReadReplies(board.TopicUrl(id), info), kTopicGone);
    EXPECT_EQ(engine.failure_text,
              L"The topic or board you are looking for appears to be either missing or off "
              L"limits to you.");
}

class SMFMembersOnlyTest : public SMFTopicTest {
protected:
    static Options MembersOnly() {
        Options options;
        options.members_only_boards = {FakeSMF::kCyrillicBoard};
        return options;
    }
    SMFMembersOnlyTest() : SMFTopicTest(MembersOnly()) {}
};

TEST_F(SMFMembersOnlyTest, AsksForSignInThenCounts) {
    const int id = board.PlaceTopic(PostedTopic(4, FakeSMF::kCyrillicBoard));
    ReplyInfo info;
    EXPECT_EQ(engine.ReadReplies(board.TopicUrl(id), info), kSignInNeeded);
    ASSERT_EQ(SignIn(), kOk);
    ASSERT_EQ(engine.ReadReplies(board.TopicUrl(id), info), kOk) << engine.failure_text;
    EXPECT_EQ(info.replies, 4);
    EXPECT_EQ(info.newest_author, FakeSMF::kLogin);
}

}  // namespace
}  // namespace twk
