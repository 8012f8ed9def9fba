#include "engines/SMFEngine.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/FakeSMF.h"
#include "support/FakeSleeper.h"
#include "text/StringTable.h"
#include "text/Unicode.h"

namespace twk {
namespace {

using test::FakeSleeper;
using test::FakeSMF;
using test::FakeTopic;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;
using Options = FakeSMF::Options;

// Pauses of a whole submission: none before the sign-in form (SMF does not check its
// age), 10 s before the post, 3 s after it.
constexpr int kSubmissionSleeps = 10 + 3;

template <typename Case>
std::string CaseName(const ::testing::TestParamInfo<Case>& row) {
    return row.param.name;
}

class SMFEngineTest : public ::testing::Test {
protected:
    SMFEngineTest() { engine.SetSleeper(sleeper); }

    Options Timed(Options options = {}) {
        options.clock = &sleeper;
        return options;
    }

    ResultCode SignIn(const FakeSMF& board, const std::wstring& login = FakeSMF::kLogin,
                      const std::wstring& password = FakeSMF::kPassword) {
        engine.SetBaseUrl(board.MainUrl());
        return engine.SignIn(login, password, forum_title);
    }

    // A submission as a job runs it: the first non-zero code ends it.
    ResultCode Submit(const FakeSMF& board, int boardId, const std::wstring& subject,
                      const std::wstring& body) {
        ResultCode result = SignIn(board);
        if (result == kOk) {
            result = engine.OpenSection(board.BoardUrl(boardId));
        }
        if (result == kOk) {
            result = engine.PostTopic(subject, body, topic_url);
        }
        return result;
    }

    FakeSleeper sleeper;
    SMFEngine engine;
    std::wstring forum_title;
    std::wstring topic_url = L"not set";
};

TEST_F(SMFEngineTest, ScanListsTheBoardsWithTitlesAndAddresses) {
    FakeSMF board;
    ASSERT_EQ(SignIn(board), kOk);
    SectionList sections;

    ASSERT_EQ(engine.ReadSections(sections), kOk);

    // Not the "unread posts" links of each board, not the category; the child board after
    // its parent.
    std::vector<std::wstring> keys;
    std::vector<std::wstring> titles;
    for (const SectionRecord& section : sections) {
        EXPECT_EQ(section.url, section.key);
        keys.push_back(section.key);
        titles.push_back(section.title);
    }
    EXPECT_THAT(keys, ElementsAre(board.BoardUrl(1), board.BoardUrl(2), board.BoardUrl(5),
                                  board.BoardUrl(3), board.BoardUrl(4)));
    EXPECT_THAT(titles,
                ElementsAre(L"General", L"Announcements", L"Релизы", L"Тестирование", L"Archive"));
    EXPECT_EQ(forum_title, L"Lab Board - Index");
    EXPECT_THAT(board.Problems(), IsEmpty());
}

struct MessageCase {
    const char* name;
    int board;
    std::wstring subject;
    std::wstring body;
};

void PrintTo(const MessageCase& row, std::ostream* out) {
    *out << row.name;
}

class SMFSubmissionTest : public SMFEngineTest,
                          public ::testing::WithParamInterface<MessageCase> {};

TEST_P(SMFSubmissionTest, PostsTheTopicAsWrittenAndReturnsItsAddress) {
    const MessageCase& row = GetParam();
    FakeSMF board(Timed());

    ASSERT_EQ(Submit(board, row.board, row.subject, row.body), kOk) << engine.failure_text;

    EXPECT_EQ(topic_url, board.TopicUrl(1));
    const std::vector<FakeTopic> topics = board.Topics();
    ASSERT_EQ(topics.size(), 1u);
    EXPECT_EQ(topics[0].section, std::to_string(row.board));
    EXPECT_EQ(topics[0].subject, row.subject);
    EXPECT_EQ(topics[0].body, row.body);
    EXPECT_EQ(topics[0].pressed_button, "post");
    EXPECT_EQ(topics[0].fields.count("preview") + topics[0].fields.count("save_draft"), 0u);
    // The answer leads to the topic only when "Return to this topic" is sent.
    EXPECT_EQ(topics[0].fields.find("goback")->second, "1");
    // No other button, no missing field, the same User-Agent throughout.
    EXPECT_THAT(board.Problems(), IsEmpty());
    EXPECT_EQ(sleeper.sleeps(), kSubmissionSleeps);
    EXPECT_EQ(engine.failure_text, L"");
}

INSTANTIATE_TEST_SUITE_P(
    Messages, SMFSubmissionTest,
    ::testing::Values(
        MessageCase{"Cyrillic", FakeSMF::kCyrillicBoard, L"Проверка связи",
                    L"Привет, форум!\r\n[b]Жирный[/b] & 100% «кавычки» + знаки = ок; a=b&c"},
        MessageCase{"AccentedAndCjkInAChildBoard", FakeSMF::kChildBoard,
                    L"Café déjà vu — 新しい話題",
                    L"你好，世界！\r\n[url=http://example.org/?a=1;b=2]ссылка[/url] "
                    L"[i]Ça marche[/i] [quote]\"x\" < y[/quote]"},
        // The longest subject the form lets a browser type.
        MessageCase{"SubjectAtTheFormLimit", FakeSMF::kAnnouncementsBoard,
                    std::wstring(79, L'ж') + L"!", L"[list][*]one[/list]"}),
    CaseName<MessageCase>);

// ---------------------------------------------------------------------------------------
// Signing in.

// Board settings as functions: GCC 12 warns of uninitialized sets in tables of Options.
using MakeOptions = Options (*)();

Options Plain() {
    return {};
}

struct SignInCase {
    const char* name;
    MakeOptions options;
    std::wstring login;
    std::wstring password;
    ResultCode expected;
    std::wstring says;  // the board's words in failure_text, or ""
};

void PrintTo(const SignInCase& row, std::ostream* out) {
    *out << row.name;
}

class SMFSignInTest : public SMFEngineTest, public ::testing::WithParamInterface<SignInCase> {};

TEST_P(SMFSignInTest, AnswersTheWayTheBoardDid) {
    const SignInCase& row = GetParam();
    FakeSMF board(row.options());

    EXPECT_EQ(SignIn(board, row.login, row.password), row.expected);

    EXPECT_EQ(engine.failure_text, row.says);
    EXPECT_THAT(WideToUtf8(engine.failure_text), Not(HasSubstr(WideToUtf8(row.password))));
    EXPECT_THAT(board.Problems(), IsEmpty());
    // The form is sent once, at once.
    EXPECT_EQ(board.CountRequests("POST /index.php?action=login2"), 1u);
    EXPECT_EQ(sleeper.sleeps(), 0);
}

Options StaleToken() {
    Options options;
    options.stale_sign_in_token = true;
    return options;
}

INSTANTIATE_TEST_SUITE_P(
    Answers, SMFSignInTest,
    ::testing::Values(
        SignInCase{"RightPassword", Plain, FakeSMF::kLogin, FakeSMF::kPassword, kOk, L""},
        SignInCase{"WrongPassword", Plain, FakeSMF::kLogin, L"wrong-pass", kInvalidLogin,
                   L"Password incorrect"},
        SignInCase{"UnknownName", Plain, L"nobody", L"wrong-pass", kInvalidLogin,
                   L"That username does not exist."},
        // A 403 page: the board's words, not the status line.
        SignInCase{"StaleToken", StaleToken, FakeSMF::kLogin, FakeSMF::kPassword, kInvalidLogin,
                   L"Token verification failed. Please go back and try again."}),
    CaseName<SignInCase>);

TEST_F(SMFEngineTest, SignsOutFirstWhenTheBoardStillKnowsTheUser) {
    FakeSMF board;
    ASSERT_EQ(SignIn(board), kOk);

    ASSERT_EQ(SignIn(board), kOk);

    EXPECT_EQ(board.CountRequests("GET /index.php?action=logout;"), 1u);
    EXPECT_EQ(board.CountRequests("POST /index.php?action=login2"), 2u);
    EXPECT_THAT(board.Problems(), IsEmpty());
}

// ---------------------------------------------------------------------------------------
// Posting failures: each with its result and the board's own words.

struct PostCase {
    const char* name;
    MakeOptions options;
    int board;
    std::wstring subject;
    ResultCode expected;
    std::wstring says;
    size_t stored;  // topics the board holds afterwards
};

void PrintTo(const PostCase& row, std::ostream* out) {
    *out << row.name;
}

class SMFPostTest : public SMFEngineTest, public ::testing::WithParamInterface<PostCase> {};

TEST_P(SMFPostTest, ReportsWhatTheBoardSaid) {
    const PostCase& row = GetParam();
    FakeSMF board(Timed(row.options()));

    EXPECT_EQ(Submit(board, row.board, row.subject, L"Тело [b]сообщения[/b]"), row.expected);

    EXPECT_EQ(engine.failure_text, row.says);
    EXPECT_EQ(topic_url, L"");
    EXPECT_EQ(board.Topics().size(), row.stored);
    EXPECT_THAT(board.Problems(), IsEmpty());
}

Options Moderated() {
    Options options;
    options.moderated_boards = {FakeSMF::kGeneralBoard};
    return options;
}

Options StalePostSession() {
    Options options;
    options.stale_post_session = true;
    return options;
}

Options NoSubjectMaxlength() {
    Options options;
    options.subject_maxlength = false;
    return options;
}

std::wstring TooLongSubjectText(int length, int limit) {
    return FormatText(LoadText(kIdsSubjectTooLong), length, limit);
}

INSTANTIATE_TEST_SUITE_P(
    Failures, SMFPostTest,
    ::testing::Values(
        // Members may read the board but not start topics: no "New Topic" button.
        PostCase{"ReadOnlyBoard", Plain, FakeSMF::kReadOnlyBoard, L"Тема", kNewTopicNotAllowed, L"",
                 0},
        // Stored, but not shown until a moderator approves it.
        PostCase{"Moderated", Moderated, FakeSMF::kGeneralBoard, L"Тема", kCheckResult,
                 L"This message is awaiting approval by a moderator.", 1},
        PostCase{"SessionTimedOut", StalePostSession, FakeSMF::kGeneralBoard, L"Тема", kCheckResult,
                 L"Your session timed out while posting. Please try to re-submit your message.", 0},
        // SMF would cut it without a word; the form's own limit refuses it before sending.
        PostCase{"SubjectLongerThanTheForm", Plain, FakeSMF::kGeneralBoard, std::wstring(81, L'я'),
                 kNoMessageForm, TooLongSubjectText(81, 80), 0},
        // A theme without the form's limit: SMF would still keep only 100 characters.
        PostCase{"SubjectLongerThanSMFKeeps", NoSubjectMaxlength, FakeSMF::kGeneralBoard,
                 std::wstring(101, L'я'), kNoMessageForm, TooLongSubjectText(101, 100), 0}),
    CaseName<PostCase>);

// Two boards of one forum, one after the other, with SMF's flood limit: SMF refuses with a
// 403 error page in its own words, which is the board's answer, not a lost one.
TEST_F(SMFEngineTest, FloodRefusalOnAnErrorPageIsWaitedOutOnce) {
    for (int seconds : {30, 100000}) {
        SCOPED_TRACE(seconds);
        Options options;
        options.flood_seconds = seconds;
        FakeSMF board(Timed(options));
        SMFEngine first;
        first.SetSleeper(sleeper);
        first.SetBaseUrl(board.MainUrl());
        ASSERT_EQ(first.SignIn(FakeSMF::kLogin, FakeSMF::kPassword, forum_title), kOk);
        ASSERT_EQ(first.OpenSection(board.BoardUrl(FakeSMF::kGeneralBoard)), kOk);
        std::wstring first_url;
        ASSERT_EQ(first.PostTopic(L"Первая", L"Текст", first_url), kOk);

        std::vector<int> statuses;
        engine.SetStatusReporter([&statuses](int textId) { statuses.push_back(textId); });
        const ResultCode expected = seconds == 30 ? kOk : kCheckResult;
        EXPECT_EQ(Submit(board, FakeSMF::kAnnouncementsBoard, L"Вторая 第二", L"Текст"), expected);
        EXPECT_EQ(statuses, (std::vector<int>{kIdsWaitingFloodLimit, kIdsSendingMessage}));
        if (expected == kOk) {
            ASSERT_EQ(board.Topics().size(), 2u);
            EXPECT_EQ(board.Topics()[1].subject, L"Вторая 第二");
            EXPECT_EQ(engine.failure_text, L"");
        } else {
            EXPECT_EQ(board.Topics().size(), 1u);
            EXPECT_THAT(engine.failure_text, HasSubstr(L"The last posting from your IP"));
        }
        engine.failure_text.clear();
        engine.SetStatusReporter(nullptr);
    }
}

}  // namespace
}  // namespace twk
