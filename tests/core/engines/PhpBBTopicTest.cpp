#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <ctime>
#include <string>

#include "engines/PhpBBEngine.h"
#include "support/FakePhpBB.h"
#include "support/FakeSleeper.h"

namespace twk {
namespace {

using test::EditRefusal;
using test::FakePhpBB;
using test::FakeReply;
using test::FakeSleeper;
using test::FakeTopic;
using ::testing::HasSubstr;
using Options = FakePhpBB::Options;

const int64_t kNow = static_cast<int64_t>(std::time(nullptr));

// A topic the account posted, with replies alternating between another member and the
// account (whose replies carry edit links of their own).
FakeTopic PostedTopic(int replies, int forumId = FakePhpBB::kGeneralForum) {
    FakeTopic topic;
    topic.section = std::to_string(forumId);
    topic.subject = L"Release 1.0";
    topic.body = L"Download it [url=http://example.org]here[/url].";
    for (int i = 1; i <= replies; ++i) {
        topic.replies.push_back(
            FakeReply{i % 2 == 1 ? L"admin" : FakePhpBB::kLogin, kNow - 1000 + i, L"Thanks"});
    }
    return topic;
}

class PhpBBTopicTest : public ::testing::Test {
protected:
    explicit PhpBBTopicTest(Options options = {}) : board(3, kCodePageUtf8, Timed(options)) {
        engine.SetSleeper(sleeper);
        engine.SetBaseUrl(board.MainUrl());
    }

    Options Timed(Options options) {
        options.clock = &sleeper;
        return options;
    }

    ResultCode SignIn() {
        std::wstring title;
        return engine.SignIn(FakePhpBB::kLogin, FakePhpBB::kPassword, title);
    }

    FakeSleeper sleeper;
    FakePhpBB board;
    PhpBBEngine engine;
};

struct EditText {
    const char* name;
    std::wstring subject;
    std::wstring body;
};

class PhpBBEditTextTest : public PhpBBTopicTest, public ::testing::WithParamInterface<EditText> {};

TEST_P(PhpBBEditTextTest, ReachesTheFirstPostAsTyped) {
    const int id = board.PlaceTopic(PostedTopic(12));
    ASSERT_EQ(SignIn(), kOk);
    ASSERT_EQ(engine.EditTopic(board.TopicUrl(id), GetParam().subject, GetParam().body), kOk)
        << engine.failure_text;
    const std::vector<FakeTopic> topics = board.Topics();
    ASSERT_EQ(topics.size(), 1u);
    EXPECT_EQ(topics[0].subject, GetParam().subject);
    EXPECT_EQ(topics[0].body, GetParam().body);
    EXPECT_EQ(topics[0].edits, 1);
    EXPECT_EQ(topics[0].edit_fields.count("post"), 1u);
    EXPECT_EQ(board.CountRequests("POST /posting.php?mode=post"), 0u);
    EXPECT_THAT(board.Problems(), ::testing::IsEmpty());
}

INSTANTIATE_TEST_SUITE_P(Texts, PhpBBEditTextTest,
                         ::testing::Values(EditText{"Cyrillic", L"Релиз 1.1 — исправлено",
                                                    L"[b]Жирный[/b] & 100% «кавычки»"},
                                           EditText{"Accented", L"Version 1.1 : déjà corrigée",
                                                    L"Ça marche [i]très[/i] bien"},
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

class PhpBBEditRefusalTest : public PhpBBTopicTest,
                             public ::testing::WithParamInterface<Refusal> {};

TEST_P(PhpBBEditRefusalTest, GivesTheBoardsWords) {
    FakeTopic topic = PostedTopic(0);
    GetParam().change(topic);
    const int id = board.PlaceTopic(topic);
    board.SetEditTimeLimit(GetParam().edit_time_limit);
    ASSERT_EQ(SignIn(), kOk);
    EXPECT_EQ(engine.EditTopic(board.TopicUrl(id), L"New subject", L"New body"), GetParam().code);
    EXPECT_THAT(engine.failure_text, HasSubstr(GetParam().words));
    EXPECT_EQ(board.CountEdits(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Boards, PhpBBEditRefusalTest,
    ::testing::Values(Refusal{"Locked", [](FakeTopic& changed) { changed.locked = true; }, 0,
                              kEditRefused, L"This topic is locked, you cannot edit posts"},
                      Refusal{"NotOwn", [](FakeTopic& changed) { changed.author = L"admin"; }, 0,
                              kEditRefused, L"You cannot edit posts in this forum."},
                      Refusal{"TooLate", [](FakeTopic& changed) { changed.posted_at = kNow - 600; },
                              60, kEditRefused, L"You can no longer edit or delete that post."},
                      Refusal{"Gone", [](FakeTopic& changed) { changed.gone = true; }, 0,
                              kTopicGone, L"The requested topic does not exist."}),
    [](const auto& row) { return std::string(row.param.name); });

TEST_F(PhpBBTopicTest, StopDuringThePauseSendsNoEdit) {
    const int id = board.PlaceTopic(PostedTopic(0));
    ASSERT_EQ(SignIn(), kOk);
    sleeper.OnSleep(sleeper.sleeps() + 3, [this] { engine.stop_requested = true; });
    EXPECT_EQ(engine.EditTopic(board.TopicUrl(id), L"New subject", L"New body"), kStopped);
    EXPECT_EQ(board.CountRequests("POST /posting.php"), 0u);
    EXPECT_EQ(board.CountEdits(), 0);
}

class PhpBBLostEditTest : public PhpBBTopicTest {
protected:
    static Options Lost() {
        Options options;
        options.gateway_error_after_post = true;
        return options;
    }
    PhpBBLostEditTest() : PhpBBTopicTest(Lost()) {}
};

TEST_F(PhpBBLostEditTest, AppliedEditIsConfirmedByTheTopic) {
    const int id = board.PlaceTopic(PostedTopic(0));
    ASSERT_EQ(SignIn(), kOk);
    EXPECT_EQ(engine.EditTopic(board.TopicUrl(id), L"New subject", L"New body"), kOk)
        << engine.failure_text;
    EXPECT_EQ(board.CountEdits(), 1);
    EXPECT_EQ(board.Topics().size(), 1u);
}

// phpBB 2: the edit link "posting.php?mode=editpost&p=N", its form (mode=editpost, sid, p),
// the message page of a stored post, and the subject as the page's "maintitle" link.
class PhpBB2TopicTest : public ::testing::Test {
protected:
    PhpBB2TopicTest() : board(2, kCodePageUtf8) {
        engine.SetSleeper(sleeper);
        engine.SetBaseUrl(board.MainUrl());
    }

    ResultCode SignIn() {
        std::wstring title;
        return engine.SignIn(FakePhpBB::kLogin, FakePhpBB::kPassword, title);
    }

    FakeSleeper sleeper;
    FakePhpBB board;
    PhpBBEngine engine;
};

TEST_F(PhpBB2TopicTest, EditReachesTheFirstPostAsTyped) {
    const int id = board.PlaceTopic(PostedTopic(12));
    ASSERT_EQ(SignIn(), kOk);
    const std::wstring subject = L"Релиз 1.1 — déjà 新话题";
    const std::wstring body = L"[b]Жирный[/b] & 100% [quote]こんにちは[/quote] a=b";
    ASSERT_EQ(engine.EditTopic(board.TopicUrl(id), subject, body), kOk) << engine.failure_text;
    const std::vector<FakeTopic> topics = board.Topics();
    ASSERT_EQ(topics.size(), 1u);
    EXPECT_EQ(topics[0].subject, subject);
    EXPECT_EQ(topics[0].body, body);
    EXPECT_EQ(topics[0].edits, 1);
    EXPECT_EQ(board.CountRequests("mode=editpost&p=" + std::to_string(id)), 1u);
    EXPECT_THAT(board.Problems(), ::testing::IsEmpty());
}

TEST_F(PhpBB2TopicTest, EditRefusalsGiveTheBoardsWords) {
    FakeTopic others = PostedTopic(0);
    others.author = L"admin";
    FakeTopic locked = PostedTopic(0);
    locked.locked = true;
    const int others_id = board.PlaceTopic(others);
    const int locked_id = board.PlaceTopic(locked);
    ASSERT_EQ(SignIn(), kOk);
    EXPECT_EQ(engine.EditTopic(board.TopicUrl(others_id), L"New subject", L"New body"),
              kEditRefused);
    EXPECT_EQ(engine.failure_text, L"Sorry, but you can only edit your own posts.");
    EXPECT_EQ(engine.EditTopic(board.TopicUrl(locked_id), L"New subject", L"New body"),
              kEditRefused);
    EXPECT_EQ(engine.failure_text, L"This topic is locked: you cannot edit posts or make replies.");
    EXPECT_EQ(board.CountEdits(), 0);
}

struct RepliesCase {
    const char* name;
    int generation;
    int replies;
    int pages_read;
    const char* last_page;
};

class PhpBBRepliesTest : public ::testing::TestWithParam<RepliesCase> {};

TEST_P(PhpBBRepliesTest, CountsFromTheLastPage) {
    FakeSleeper sleeper;
    FakePhpBB board(GetParam().generation);
    PhpBBEngine engine;
    engine.SetSleeper(sleeper);
    engine.SetBaseUrl(board.MainUrl());
    const int id = board.PlaceTopic(PostedTopic(GetParam().replies));
    ReplyInfo info;
    ASSERT_EQ(engine.ReadReplies(board.TopicUrl(id), info), kOk) << engine.failure_text;
    EXPECT_EQ(info.replies, GetParam().replies);
    EXPECT_EQ(info.pages_read, GetParam().pages_read);
    EXPECT_THAT(info.newest_url, HasSubstr(FakePhpBB::Widen(GetParam().last_page)));
    EXPECT_EQ(info.newest_url.find(L"sid="), std::wstring::npos);
    if (GetParam().replies == 0) {
        EXPECT_EQ(info.newest_author, L"");
        EXPECT_EQ(info.newest_time, 0);
        return;
    }
    const std::wstring newest = GetParam().replies % 2 == 1 ? L"admin" : FakePhpBB::kLogin;
    EXPECT_EQ(info.newest_author, newest);
    if (GetParam().generation == 3) {
        EXPECT_EQ(info.newest_time, kNow - 1000 + GetParam().replies);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Topics, PhpBBRepliesTest,
    ::testing::Values(RepliesCase{"None", 3, 0, 1, "viewtopic.php?"},
                      RepliesCase{"One", 3, 1, 1, "viewtopic.php?"},
                      RepliesCase{"FortyFiveOverFivePages", 3, 45, 2, "start=40"},
                      RepliesCase{"SecondGenerationFortyFive", 2, 45, 2, "start=40"}),
    [](const auto& row) { return std::string(row.param.name); });

TEST_F(PhpBBTopicTest, GoneTopicIsNoCount) {
    FakeTopic topic = PostedTopic(3);
    topic.gone = true;
    const int id = board.PlaceTopic(topic);
    ReplyInfo info;
    EXPECT_EQ(engine.ReadReplies(board.TopicUrl(id), info), kTopicGone);
    EXPECT_EQ(engine.failure_text, L"The requested topic does not exist.");
}

class PhpBBMembersOnlyTest : public PhpBBTopicTest {
protected:
    static Options MembersOnly() {
        Options options;
        options.members_only_forums = {FakePhpBB::kNewsForum};
        return options;
    }
    PhpBBMembersOnlyTest() : PhpBBTopicTest(MembersOnly()) {}
};

TEST_F(PhpBBMembersOnlyTest, AsksForSignInThenCounts) {
    const int id = board.PlaceTopic(PostedTopic(4, FakePhpBB::kNewsForum));
    ReplyInfo info;
    EXPECT_EQ(engine.ReadReplies(board.TopicUrl(id), info), kSignInNeeded);
    ASSERT_EQ(SignIn(), kOk);
    ASSERT_EQ(engine.ReadReplies(board.TopicUrl(id), info), kOk) << engine.failure_text;
    EXPECT_EQ(info.replies, 4);
}

}  // namespace
}  // namespace twk
