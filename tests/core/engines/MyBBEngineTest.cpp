#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "engines/ForumEngine.h"
#include "support/FakeMyBB.h"
#include "support/FakeSleeper.h"
#include "text/StringTable.h"
#include "text/Unicode.h"

namespace twk {
namespace {

using test::FakeMyBB;
using test::FakeMyBBSetup;
using test::FakeSleeper;
using ::testing::Contains;
using ::testing::Not;

class MyBBEngineTest : public ::testing::Test {
protected:
    MyBBEngineTest() { NewEngine(); }

    void NewEngine() {
        engine_ = CreateEngine(L"MyBB");
        ASSERT_NE(engine_, nullptr);
        engine_->SetSleeper(sleeper_);
    }

    // The job's submission sequence: sign in, open the section, post.
    ResultCode Submit(const FakeMyBB& board, const std::wstring& subject, const std::wstring& body,
                      std::wstring& topicUrl, int forumId = 2,
                      const std::wstring& password = FakeMyBB::kPassword) {
        engine_->SetBaseUrl(board.MainUrl());
        ResultCode code = engine_->SignIn(FakeMyBB::kLogin, password, forum_title_);
        if (code != kOk) {
            return code;
        }
        code = engine_->OpenSection(board.SectionUrl(forumId));
        if (code != kOk) {
            return code;
        }
        return engine_->PostTopic(subject, body, topicUrl);
    }

    FakeSleeper sleeper_;
    std::unique_ptr<ForumEngine> engine_;
    std::wstring forum_title_;
};

TEST_F(MyBBEngineTest, ScanListsTheForumsButNotTheCategory) {
    FakeMyBB board;
    engine_->SetBaseUrl(board.MainUrl());
    ASSERT_EQ(engine_->SignIn(FakeMyBB::kLogin, FakeMyBB::kPassword, forum_title_), kOk);
    EXPECT_EQ(forum_title_, FakeMyBB::kBoardName);

    // The sign-in page's own form, not the header's quick form that comes first; the
    // remember-me box left unticked.
    std::vector<std::string> fields = board.LastSignInFields();
    EXPECT_THAT(fields, Contains("username"));
    EXPECT_THAT(fields, Contains("my_post_key"));
    EXPECT_THAT(fields, Contains("submit"));
    EXPECT_THAT(fields, Not(Contains("quick_username")));
    EXPECT_THAT(fields, Not(Contains("remember")));

    SectionList sections;
    ASSERT_EQ(engine_->ReadSections(sections), kOk);
    ASSERT_EQ(sections.size(), 3u);
    const std::vector<std::pair<int, std::wstring>> expected = {
        {2, L"General"}, {3, L"Announcements"}, {4, L"Тестирование"}};
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(sections[i].key, board.SectionUrl(expected[i].first)) << i;
        EXPECT_EQ(sections[i].url, sections[i].key) << i;
        EXPECT_EQ(sections[i].title, expected[i].second) << i;
    }
}

// --- Submission ---------------------------------------------------------------------------

struct SubmitCase {
    const char* name;
    int forum_id;
    bool location_redirects;
    const wchar_t* subject;
    const wchar_t* body;
};
void PrintTo(const SubmitCase& row, std::ostream* out) {
    *out << row.name;
}

class MyBBSubmitTest : public MyBBEngineTest, public ::testing::WithParamInterface<SubmitCase> {};

TEST_P(MyBBSubmitTest, PostsTheThreadAndReturnsItsAddress) {
    const SubmitCase& row = GetParam();
    FakeMyBBSetup setup;
    setup.location_redirects = row.location_redirects;
    FakeMyBB board(setup);

    std::wstring topic_url;
    ASSERT_EQ(Submit(board, row.subject, row.body, topic_url, row.forum_id), kOk)
        << WideToUtf8(engine_->failure_text);
    EXPECT_EQ(topic_url, board.TopicUrl(1));
    std::vector<test::FakeTopic> topics = board.Topics();
    ASSERT_EQ(topics.size(), 1u);
    EXPECT_EQ(topics[0].section, std::to_string(row.forum_id));
    EXPECT_EQ(topics[0].subject, row.subject);
    EXPECT_EQ(topics[0].body, row.body);
    EXPECT_EQ(topics[0].pressed_button, "submit");
    EXPECT_EQ(topics[0].fields.count("posthash"), 1u);
    // Every other button previews, saves a draft or uploads instead of posting.
    for (const char* other : {"previewpost", "savedraft", "newattachment"}) {
        EXPECT_EQ(topics[0].fields.count(other), 0u) << other;
    }
    EXPECT_EQ(board.CountRequests("action=logout"), 0u);
    // 10 seconds before sending the form and 3 after it.
    EXPECT_EQ(sleeper_.total_ms(), 13000);
}

INSTANTIATE_TEST_SUITE_P(
    Boards, MyBBSubmitTest,
    ::testing::Values(
        SubmitCase{"CyrillicRedirectPages", 4, false, L"Новая тема: проверка связи",
                   L"[b]Привет[/b], мир!\r\nВторая строка: 100% & \"кавычки\" + <тег> = ок"},
        SubmitCase{"AccentedAndCjkRedirectPages", 2, false, L"Café déjà vu 主题 テスト",
                   L"Ça marche — 中文 и 日本語\r\n[url=http://example.com/?a=1&b=2]lien[/url]"},
        SubmitCase{"FriendlyRedirectsOff", 3, true, L"Announcement №1",
                   L"[quote]Line one[/quote]\r\nLine two"}),
    [](const ::testing::TestParamInfo<SubmitCase>& row) { return row.param.name; });

TEST_F(MyBBEngineTest, SignsOutOnceWhenTheBoardAlreadyKnowsTheAccount) {
    FakeMyBBSetup setup;
    setup.signed_in_at_start = true;
    FakeMyBB board(setup);

    std::wstring topic_url;
    ASSERT_EQ(Submit(board, L"Тема", L"Текст", topic_url), kOk);
    EXPECT_EQ(board.CountRequests("GET /member.php?action=logout"), 1u);
    EXPECT_EQ(board.CountRequests("POST /member.php"), 1u);
    EXPECT_EQ(topic_url, board.TopicUrl(1));
}

// A post within the board's flood interval is refused naming the seconds left; the engine
// waits them out once and sends the form again, so the thread arrives once.
TEST_F(MyBBEngineTest, WaitsOutTheFloodIntervalAndSendsAgain) {
    FakeMyBBSetup setup;
    setup.flood_seconds = 30;
    setup.clock = &sleeper_;
    FakeMyBB board(setup);

    std::wstring topic_url;
    ASSERT_EQ(Submit(board, L"Первая", L"один", topic_url), kOk);
    NewEngine();
    std::vector<int> statuses;
    engine_->SetStatusReporter([&](int id) { statuses.push_back(id); });
    ASSERT_EQ(Submit(board, L"Вторая", L"два", topic_url, 3), kOk)
        << WideToUtf8(engine_->failure_text);

    EXPECT_EQ(topic_url, board.TopicUrl(2));
    EXPECT_EQ(board.Topics().size(), 2u);
    EXPECT_EQ(board.CountRequests("POST /newthread.php"), 3u);
    EXPECT_EQ(statuses, (std::vector<int>{kIdsWaitingFloodLimit, kIdsSendingMessage}));
    // First post at 10 s; the second is sent at 23 s, read after 3 s, waits the 17 more
    // seconds it was told and is sent again after its own 10-second pause.
    EXPECT_EQ(sleeper_.total_ms(), (13 + 10 + 3 + 17 + 10 + 3) * 1000);
}

// --- Failures -----------------------------------------------------------------------------

struct FailureCase {
    const char* name;
    std::function<void(FakeMyBBSetup&)> change;
    ResultCode expected;
    size_t topics_stored;
    const char* failure_text;  // part of the failure text, or "" when there is none
    int forum_id = 2;
    const wchar_t* password = FakeMyBB::kPassword;
    const wchar_t* subject = L"Тема";
};
void PrintTo(const FailureCase& row, std::ostream* out) {
    *out << row.name;
}

class MyBBFailureTest : public MyBBEngineTest, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(MyBBFailureTest, EndsWithItsCodeAndTheBoardsWords) {
    const FailureCase& row = GetParam();
    FakeMyBBSetup setup;
    row.change(setup);
    FakeMyBB board(setup);

    std::wstring topic_url = L"stale";
    EXPECT_EQ(Submit(board, row.subject, L"Текст", topic_url, row.forum_id, row.password),
              row.expected);
    EXPECT_EQ(board.Topics().size(), row.topics_stored);
    if (board.CountRequests("GET /forumdisplay.php") != 0) {
        EXPECT_EQ(topic_url, L"");
    }
    const std::string failure = WideToUtf8(engine_->failure_text);
    if (*row.failure_text == '\0') {
        EXPECT_EQ(failure, "");
    } else {
        EXPECT_NE(failure.find(row.failure_text), std::string::npos) << failure;
    }
    EXPECT_EQ(failure.find(WideToUtf8(FakeMyBB::kPassword)), std::string::npos);
}

const wchar_t* const kLongSubject =
    L"Очень длинная тема проверки Очень длинная тема проверки Очень длинная тема проверки "
    L"Очень длинная тема проверки";

INSTANTIATE_TEST_SUITE_P(
    Boards, MyBBFailureTest,
    ::testing::Values(
        FailureCase{"WrongPassword", [](FakeMyBBSetup&) {}, kInvalidLogin, 0,
                    "You have entered an invalid username/password combination.", 2,
                    L"пароль & 100% \"secreT\""},
        FailureCase{"StaleKeyOnSignIn", [](FakeMyBBSetup& s) { s.stale_post_key = true; },
                    kInvalidLogin, 0, "Authorization code mismatch."},
        FailureCase{"StaleKeyOnTheThreadForm", [](FakeMyBBSetup& s) { s.stale_thread_key = true; },
                    kCheckResult, 0, "Authorization code mismatch."},
        FailureCase{"CategoryTakesNoThreads", [](FakeMyBBSetup&) {}, kNewTopicNotAllowed, 0, "",
                    FakeMyBB::kCategory},
        FailureCase{"NoRightToPost", [](FakeMyBBSetup& s) { s.read_only_forums = {3}; },
                    kNewTopicNotAllowed, 0, "", 3},
        FailureCase{"HeldForModeration", [](FakeMyBBSetup& s) { s.moderated_forums = {4}; },
                    kCheckResult, 1, "all new threads require moderation", 4},
        // The form's maxlength: refused before anything is sent, as MyBB would refuse it.
        FailureCase{"SubjectOverMaxlength", [](FakeMyBBSetup&) {}, kNoMessageForm, 0, "85", 2,
                    FakeMyBB::kPassword, kLongSubject},
        FailureCase{"FloodLongerThanTheWait",
                    [](FakeMyBBSetup& s) {
                        s.flood_seconds = 1000;
                        s.posted_at_start = true;
                    },
                    kCheckResult, 0, "Please wait"}),
    [](const ::testing::TestParamInfo<FailureCase>& row) { return row.param.name; });

}  // namespace
}  // namespace twk
