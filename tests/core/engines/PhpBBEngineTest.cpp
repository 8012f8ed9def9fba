#include "engines/PhpBBEngine.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "support/FakePhpBB.h"
#include "support/FakeSleeper.h"
#include "text/StringTable.h"
#include "text/Unicode.h"

namespace twk {
namespace {

using test::FakePhpBB;
using test::FakeSleeper;
using test::FakeTopic;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;
using Options = FakePhpBB::Options;
using SignInAnswer = FakePhpBB::SignInAnswer;

const std::wstring kCyrillicSubject = L"Проверка связи";
const std::wstring kCyrillicBody =
    L"Привет, форум!\r\n[b]Жирный[/b] & 100% «кавычки» + знаки = ок; a=b&c";
const std::wstring kCjkSubject = L"新しい話題 新话题";
const std::wstring kCjkBody = L"你好，世界！\r\nこんにちは [i]Привет[/i] & 50% off";

// Pauses of a whole submission: 2 s before the sign-in form, 10 s before the post, 3 s
// after it.
constexpr int kSubmissionSleeps = 2 + 10 + 3;

template <typename Case>
std::string CaseName(const ::testing::TestParamInfo<Case>& row) {
    return row.param.name;
}

class PhpBBEngineTest : public ::testing::Test {
protected:
    PhpBBEngineTest() { engine.SetSleeper(sleeper); }

    // Boards check form times against the engine's sleeps.
    Options Timed(Options options = {}) {
        options.clock = &sleeper;
        return options;
    }

    ResultCode SignIn(const FakePhpBB& board, const std::wstring& password = FakePhpBB::kPassword) {
        engine.SetBaseUrl(board.MainUrl());
        return engine.SignIn(FakePhpBB::kLogin, password, forum_title);
    }

    // A submission as a job runs it: the first non-zero code ends it.
    ResultCode Submit(const FakePhpBB& board, int forumId, const std::wstring& subject,
                      const std::wstring& body) {
        ResultCode result = SignIn(board);
        if (result == kOk) {
            result = engine.OpenSection(board.SectionUrl(forumId));
        }
        if (result == kOk) {
            result = engine.PostTopic(subject, body, topic_url);
        }
        return result;
    }

    void StopOnSleep(int n) {
        sleeper.OnSleep(n, [this] { engine.stop_requested = true; });
    }

    FakeSleeper sleeper;
    PhpBBEngine engine;
    std::wstring forum_title;
    std::wstring topic_url = L"not set";
};

// ---------------------------------------------------------------------------------------
// A whole scan and a whole submission on each kind of board.

struct BoardCase {
    const char* name;
    int generation;
    uint32_t code_page;
    std::wstring subject;
    std::wstring body;
    std::wstring title;
};

void PrintTo(const BoardCase& row, std::ostream* out) {
    *out << row.name;
}

class PhpBBBoardTest : public PhpBBEngineTest, public ::testing::WithParamInterface<BoardCase> {
protected:
    std::unique_ptr<FakePhpBB> MakeBoard() {
        return std::make_unique<FakePhpBB>(GetParam().generation, GetParam().code_page, Timed());
    }
};

TEST_P(PhpBBBoardTest, ScanListsEachSectionOnceWithTitleAndAddress) {
    auto board = MakeBoard();
    ASSERT_EQ(SignIn(*board), kOk);
    SectionList sections;

    ASSERT_EQ(engine.ReadSections(sections), kOk);

    // Not the category, not "forumtitle unread" or "nav forumlink" links, and the
    // second link to General is not listed again.
    std::vector<std::wstring> keys;
    for (const SectionRecord& section : sections) {
        EXPECT_EQ(section.url, section.key);
        keys.push_back(section.key);
    }
    EXPECT_THAT(keys, ElementsAre(board->SectionUrl(FakePhpBB::kGeneralForum),
                                  board->SectionUrl(FakePhpBB::kNewsForum),
                                  board->SectionUrl(FakePhpBB::kReadOnlyForum)));
    ASSERT_EQ(sections.size(), 3u);
    EXPECT_EQ(sections[0].title, L"General");
    EXPECT_EQ(sections[1].title, L"Новости");
    EXPECT_EQ(sections[2].title, L"Archive");
    EXPECT_EQ(forum_title, GetParam().title);
}

TEST_P(PhpBBBoardTest, SubmissionPostsTheTopicAsWritten) {
    auto board = MakeBoard();

    ASSERT_EQ(Submit(*board, FakePhpBB::kGeneralForum, GetParam().subject, GetParam().body), kOk);

    EXPECT_EQ(topic_url, board->TopicUrl(1));
    std::vector<FakeTopic> topics = board->Topics();
    ASSERT_EQ(topics.size(), 1u);
    EXPECT_EQ(topics[0].section, "2");
    EXPECT_EQ(topics[0].subject, GetParam().subject);
    EXPECT_EQ(topics[0].body, GetParam().body);
    EXPECT_EQ(topics[0].pressed_button, "post");
    EXPECT_EQ(topics[0].fields.count("preview") + topics[0].fields.count("save"), 0u);
    // No ticked remember-me box, no other button, no form sent too early.
    EXPECT_THAT(board->Problems(), IsEmpty());
    EXPECT_EQ(sleeper.sleeps(), kSubmissionSleeps);
    EXPECT_EQ(board->LastHeader("POST /posting.php", "User-Agent"), WideToUtf8(DefaultUserAgent));
    EXPECT_EQ(engine.failure_text, L"");
}

INSTANTIATE_TEST_SUITE_P(Boards, PhpBBBoardTest,
                         ::testing::Values(BoardCase{"phpBB3_UTF8", 3, kCodePageUtf8, kCjkSubject,
                                                     kCjkBody + L"\r\n" + kCyrillicBody,
                                                     L"Tallowick Test Board - Index page"},
                                           BoardCase{"phpBB2_windows1251", 2, kCodePageWindows1251,
                                                     kCyrillicSubject, kCyrillicBody,
                                                     L"Tallowick Test Board :: Index"},
                                           BoardCase{"phpBB2_UTF8", 2, kCodePageUtf8,
                                                     kCyrillicSubject + L" " + kCjkSubject,
                                                     kCjkBody, L"Tallowick Test Board :: Index"}),
                         CaseName<BoardCase>);

// ---------------------------------------------------------------------------------------
// Signing in.

struct SignInCase {
    const char* name;
    int generation;
    Options options;
    bool wrong_password;
    ResultCode expected;
    const char* request_seen;  // a request the sign-in must have made, or ""
};

void PrintTo(const SignInCase& row, std::ostream* out) {
    *out << row.name;
}

class PhpBBSignInTest : public PhpBBEngineTest, public ::testing::WithParamInterface<SignInCase> {};

TEST_P(PhpBBSignInTest, AnswersTheWayTheBoardDid) {
    const SignInCase& row = GetParam();
    FakePhpBB board(row.generation, kCodePageUtf8, Timed(row.options));

    EXPECT_EQ(SignIn(board, row.wrong_password ? L"wrong" : FakePhpBB::kPassword), row.expected);

    if (*row.request_seen != '\0') {
        EXPECT_EQ(board.CountRequests(row.request_seen), 1u);
    }
    EXPECT_THAT(board.Problems(), IsEmpty());
}

Options SignInOptions(bool onIndex, bool onPage, SignInAnswer answer = SignInAnswer::kRedirect) {
    Options options;
    options.sign_in_form_on_index = onIndex;
    options.sign_in_page_has_form = onPage;
    options.sign_in_answer = answer;
    return options;
}

INSTANTIATE_TEST_SUITE_P(
    Answers, PhpBBSignInTest,
    ::testing::Values(
        // Empty 302 answers with the session cookie, followed to the signed-in index.
        SignInCase{"phpBB3_Redirect", 3, {}, false, kOk, "POST /ucp.php?mode=login"},
        SignInCase{"phpBB2_Redirect", 2, {}, false, kOk, "POST /login.php"},
        // phpBB 3 shows the sign-in page again; phpBB 2 a message that refreshes to it.
        SignInCase{"phpBB3_WrongPassword", 3, {}, true, kInvalidLogin, ""},
        SignInCase{"phpBB2_WrongPassword", 2, {}, true, kInvalidLogin, "GET /login.php?redirect="},
        // Only the sign-in page has the form: its link is opened once.
        SignInCase{"phpBB3_FormOnItsOwnPage", 3, SignInOptions(false, true), false, kOk,
                   "GET /ucp.php?mode=login&redirect=index.php&sid="},
        SignInCase{"phpBB2_FormOnItsOwnPage", 2, SignInOptions(false, true), false, kOk,
                   "GET /login.php?sid="},
        SignInCase{"NoFormAnywhere", 3, SignInOptions(false, false), false, kNotScript,
                   "GET /ucp.php?mode=login"},
        // An answer with no form, no sign-out link and no refresh counts as signed in.
        SignInCase{"BlankAnswer", 3, SignInOptions(true, true, SignInAnswer::kBlank), false, kOk,
                   ""},
        SignInCase{"RefreshToSignedInIndex", 3, SignInOptions(true, true, SignInAnswer::kRefresh),
                   false, kOk, ""},
        SignInCase{"RefreshToIndexWithForm", 3, SignInOptions(true, true, SignInAnswer::kRefresh),
                   true, kInvalidLogin, ""},
        SignInCase{"RefreshToIndexWithoutForm", 3,
                   SignInOptions(false, true, SignInAnswer::kRefresh), true, kNotScript, ""}),
    CaseName<SignInCase>);

TEST_F(PhpBBEngineTest, SignInFormSentWithinTheSecondItWasMadeIsRefused) {
    // A clock that does not move with the engine's pauses: as if it sent the form at once.
    FakeSleeper frozen;
    Options options;
    options.clock = &frozen;
    FakePhpBB board(3, kCodePageUtf8, options);

    EXPECT_EQ(SignIn(board), kInvalidLogin);
    EXPECT_THAT(board.Problems(), ElementsAre("the login form was sent 0 s after it was served"));
}

TEST_F(PhpBBEngineTest, SignInWaitsTwoSecondsBeforeSendingTheForm) {
    FakePhpBB board(3, kCodePageUtf8, Timed());

    ASSERT_EQ(SignIn(board), kOk);
    EXPECT_EQ(sleeper.sleeps(), 2);
}

TEST_F(PhpBBEngineTest, SignInAlreadySignedInSignsOutFirst) {
    for (int generation : {3, 2}) {
        SCOPED_TRACE(generation);
        FakeSleeper rowSleeper;
        PhpBBEngine rowEngine;
        rowEngine.SetSleeper(rowSleeper);
        Options options;
        options.clock = &rowSleeper;
        FakePhpBB board(generation, kCodePageUtf8, options);
        rowEngine.SetBaseUrl(board.MainUrl());
        std::wstring title;
        ASSERT_EQ(rowEngine.SignIn(FakePhpBB::kLogin, FakePhpBB::kPassword, title), kOk);

        // The client still holds the session: the index shows a sign-out link and no form.
        EXPECT_EQ(rowEngine.SignIn(FakePhpBB::kLogin, FakePhpBB::kPassword, title), kOk);

        EXPECT_EQ(board.CountRequests(generation == 3 ? "GET /ucp.php?mode=logout&sid="
                                                      : "GET /login.php?logout=true&sid="),
                  1u);
        EXPECT_EQ(board.CountRequests(generation == 3 ? "POST /ucp.php" : "POST /login.php"), 2u);
        EXPECT_THAT(board.Problems(), IsEmpty());
    }
}

TEST_F(PhpBBEngineTest, UnreachableBoardGivesConnectionErrorWithItsText) {
    {
        Options options;
        options.index_status = 500;
        FakePhpBB failing(3, kCodePageUtf8, options);
        EXPECT_EQ(SignIn(failing), kConnectionError);
        EXPECT_THAT(engine.failure_text, HasSubstr(L"500"));
    }
    std::wstring closedUrl;
    {
        FakePhpBB gone(3);
        closedUrl = gone.MainUrl();
    }
    engine.failure_text.clear();
    engine.SetBaseUrl(closedUrl);
    EXPECT_EQ(engine.SignIn(FakePhpBB::kLogin, FakePhpBB::kPassword, forum_title),
              kConnectionError);
    EXPECT_NE(engine.failure_text, L"");
}

// ---------------------------------------------------------------------------------------
// Posting.

struct PostCase {
    const char* name;
    int generation;
    Options options;
    int forum;
    ResultCode expected;
    size_t topics_kept;
    const wchar_t* failure_text;  // part of it, or "" for none
};

void PrintTo(const PostCase& row, std::ostream* out) {
    *out << row.name;
}

class PhpBBPostTest : public PhpBBEngineTest, public ::testing::WithParamInterface<PostCase> {};

TEST_P(PhpBBPostTest, EndsWithItsCode) {
    const PostCase& row = GetParam();
    FakePhpBB board(row.generation, kCodePageUtf8, Timed(row.options));

    EXPECT_EQ(Submit(board, row.forum, kCyrillicSubject, kCyrillicBody), row.expected);

    EXPECT_EQ(board.Topics().size(), row.topics_kept);
    if (row.expected != kOk) {
        EXPECT_EQ(topic_url, L"");
    }
    if (*row.failure_text == L'\0') {
        EXPECT_EQ(engine.failure_text, L"");
    } else {
        EXPECT_THAT(engine.failure_text, HasSubstr(row.failure_text));
    }
    EXPECT_THAT(board.Problems(), IsEmpty());
}

Options PostingFormWithout(const std::string& field) {
    Options options;
    options.posting_form_without = field;
    return options;
}

Options TopicPage(int status, bool replyLink) {
    Options options;
    options.topic_page_status = status;
    options.topic_page_has_reply_link = replyLink;
    return options;
}

INSTANTIATE_TEST_SUITE_P(
    Failures, PhpBBPostTest,
    ::testing::Values(
        PostCase{"ReadOnlySection", 3, {}, FakePhpBB::kReadOnlyForum, kNewTopicNotAllowed, 0, L""},
        PostCase{"phpBB2_ReadOnlySection",
                 2,
                 {},
                 FakePhpBB::kReadOnlyForum,
                 kNewTopicNotAllowed,
                 0,
                 L""},
        PostCase{"NoSubject", 3, PostingFormWithout("subject"), 2, kNotScript, 0, L""},
        PostCase{"NoMessage", 3, PostingFormWithout("message"), 2, kNotScript, 0, L""},
        PostCase{"NoPostButton", 3, PostingFormWithout("post"), 2, kNotScript, 0, L""},
        PostCase{"phpBB2_NoPostButton", 2, PostingFormWithout("post"), 2, kNotScript, 0, L""},
        // The topic was taken but is not confirmed.
        PostCase{"NoReplyLink", 3, TopicPage(200, false), 2, kCheckResult, 1, L""},
        PostCase{"phpBB2_NoReplyLink", 2, TopicPage(200, false), 2, kCheckResult, 1,
                 L"Your message has been entered successfully."},
        // The topic page fails after the board took the post; the section lists the new
        // topic, which settles it.
        PostCase{"phpBB2_RefreshTargetFails", 2, TopicPage(500, true), 2, kOk, 1, L""},
        PostCase{"RedirectTargetFails", 3, TopicPage(500, true), 2, kOk, 1, L""},
        PostCase{"NewsSection", 3, {}, FakePhpBB::kNewsForum, kOk, 1, L""}),
    CaseName<PostCase>);

// ---------------------------------------------------------------------------------------
// Stops.

TEST_F(PhpBBEngineTest, StopDuringSignInPauseSendsNoForm) {
    FakePhpBB board(3, kCodePageUtf8, Timed());
    StopOnSleep(1);

    EXPECT_EQ(SignIn(board), kStopped);
    EXPECT_EQ(board.CountRequests("POST "), 0u);
}

TEST_F(PhpBBEngineTest, StopDuringPrePostPauseSendsNothing) {
    FakePhpBB board(3, kCodePageUtf8, Timed());
    StopOnSleep(2 + 5);

    EXPECT_EQ(Submit(board, FakePhpBB::kGeneralForum, kCyrillicSubject, kCyrillicBody), kStopped);
    EXPECT_EQ(board.CountRequests("POST /posting.php"), 0u);
    EXPECT_THAT(board.Topics(), IsEmpty());
}

TEST_F(PhpBBEngineTest, StopAfterSendingLeavesTheResultToTheAnswerPage) {
    // The first sleep after sending: phpBB 2 answers with a refresh, which the stop keeps
    // from being opened; phpBB 3 has already redirected to the topic with its reply link.
    for (int generation : {2, 3}) {
        SCOPED_TRACE(generation);
        FakeSleeper rowSleeper;
        PhpBBEngine rowEngine;
        rowEngine.SetSleeper(rowSleeper);
        rowSleeper.OnSleep(2 + 10 + 1, [&] { rowEngine.stop_requested = true; });
        Options options;
        options.clock = &rowSleeper;
        FakePhpBB board(generation, kCodePageUtf8, options);
        rowEngine.SetBaseUrl(board.MainUrl());
        std::wstring title;
        std::wstring topicUrl;
        ASSERT_EQ(rowEngine.SignIn(FakePhpBB::kLogin, FakePhpBB::kPassword, title), kOk);
        ASSERT_EQ(rowEngine.OpenSection(board.SectionUrl()), kOk);

        ResultCode result = rowEngine.PostTopic(kCyrillicSubject, kCyrillicBody, topicUrl);

        EXPECT_EQ(result, generation == 2 ? kCheckResult : kOk);
        EXPECT_EQ(topicUrl, generation == 2 ? L"" : board.TopicUrl(1));
        EXPECT_EQ(board.Topics().size(), 1u);
    }
}

// ---------------------------------------------------------------------------------------
// What the board answered, in its own words.

Options Moderated(Options options = {}) {
    options.moderated_forums = {FakePhpBB::kGeneralForum};
    return options;
}

Options BehindGateway(Options options = {}) {
    options.gateway_error_after_post = true;
    return options;
}

struct AnswerCase {
    const char* name;
    int generation;
    Options options;
    std::wstring subject;
    ResultCode expected;
    size_t topics_kept;
    const wchar_t* failure_text;  // the whole text, or part of it after "~"
    bool topic_address;           // the row gets the new topic's address
};

void PrintTo(const AnswerCase& row, std::ostream* out) {
    *out << row.name;
}

class PhpBBAnswerTest : public PhpBBEngineTest, public ::testing::WithParamInterface<AnswerCase> {};

TEST_P(PhpBBAnswerTest, ResultSaysWhatTheBoardDid) {
    const AnswerCase& row = GetParam();
    FakePhpBB board(row.generation, kCodePageUtf8, Timed(row.options));

    EXPECT_EQ(Submit(board, FakePhpBB::kGeneralForum, row.subject, kCyrillicBody), row.expected);

    ASSERT_EQ(board.Topics().size(), row.topics_kept);
    if (row.topics_kept == 1) {
        EXPECT_EQ(board.Topics()[0].subject, row.subject);
        EXPECT_EQ(board.Topics()[0].body, kCyrillicBody);
    }
    EXPECT_EQ(topic_url, row.topic_address ? board.Url("/viewtopic.php?t=1") : L"");
    std::wstring expected = row.failure_text;
    if (expected.starts_with(L"~")) {
        EXPECT_THAT(engine.failure_text, HasSubstr(expected.substr(1)));
    } else {
        EXPECT_EQ(engine.failure_text, expected);
    }
    EXPECT_THAT(board.Problems(), IsEmpty());
}

const std::wstring kLongSubject(156, L'ж');

INSTANTIATE_TEST_SUITE_P(
    Answers, PhpBBAnswerTest,
    ::testing::Values(
        AnswerCase{"HeldForAModerator", 3, Moderated(), kCyrillicSubject, kCheckResult, 1,
                   L"~will need to be approved by a moderator before it is publicly viewable.",
                   false},
        // The gateway's 502 came after the board stored the topic: the section shows it.
        AnswerCase{"GatewayErrorAfterTheTopicWasStored", 3, BehindGateway(), kCyrillicSubject, kOk,
                   1, L"", true},
        AnswerCase{"phpBB2_GatewayErrorAfterTheTopicWasStored", 2, BehindGateway(),
                   kCyrillicSubject, kOk, 1, L"", true},
        // Stored but not listed (held): it may exist, and the row says so.
        AnswerCase{"GatewayErrorAndNoTopicInTheSection", 3, BehindGateway(Moderated()),
                   kCyrillicSubject, kCheckResult, 1,
                   L"The forum answered \"502 Bad Gateway\" after the message was sent, and "
                   L"the topic is not listed in the section: it may still have been posted.",
                   false},
        // The subject field declares maxlength="120": nothing is sent.
        AnswerCase{"SubjectLongerThanTheFormAllows",
                   3,
                   {},
                   kLongSubject,
                   kNoMessageForm,
                   0,
                   L"The subject has 156 characters; this board accepts at most 120.",
                   false},
        AnswerCase{"phpBB2_SubjectLongerThanTheFormAllows",
                   2,
                   {},
                   kLongSubject,
                   kNoMessageForm,
                   0,
                   L"The subject has 156 characters; this board accepts at most 60.",
                   false}),
    CaseName<AnswerCase>);

TEST_F(PhpBBEngineTest, RefusedSignInGivesTheBoardsWordsWithoutThePassword) {
    for (int generation : {2, 3}) {
        SCOPED_TRACE(generation);
        Options options;
        // A board that echoes what it was sent.
        options.wrong_password_text = L"Неверный пароль «wrong password 1»; попробуйте снова.";
        FakePhpBB board(generation, kCodePageUtf8, Timed(options));
        PhpBBEngine fresh;
        fresh.SetSleeper(sleeper);
        fresh.SetBaseUrl(board.MainUrl());
        EXPECT_EQ(fresh.SignIn(FakePhpBB::kLogin, L"wrong password 1", forum_title), kInvalidLogin);
        EXPECT_THAT(fresh.failure_text, HasSubstr(L"Неверный пароль «***»; попробуйте снова."));
        EXPECT_THAT(fresh.failure_text, Not(HasSubstr(L"wrong password")));
    }
}

// Two sections of one board, one after the other, on a board with a flood limit: the first
// job posts to General; the second job's engine has signed in and opened News.
class PhpBBFloodTest : public PhpBBEngineTest {
protected:
    std::unique_ptr<FakePhpBB> BoardWithFloodLimit(int seconds) {
        Options options;
        options.flood_interval = seconds;
        auto board = std::make_unique<FakePhpBB>(3, kCodePageUtf8, Timed(options));
        EXPECT_EQ(Submit(*board, FakePhpBB::kGeneralForum, kCyrillicSubject, kCyrillicBody), kOk);
        second.SetSleeper(sleeper);
        second.SetStatusReporter([this](int textId) { statuses.push_back(textId); });
        second.SetBaseUrl(board->MainUrl());
        EXPECT_EQ(second.SignIn(FakePhpBB::kLogin, FakePhpBB::kPassword, forum_title), kOk);
        EXPECT_EQ(second.OpenSection(board->SectionUrl(FakePhpBB::kNewsForum)), kOk);
        return board;
    }

    PhpBBEngine second;
    std::vector<int> statuses;
    std::wstring second_url;
};

TEST_F(PhpBBFloodTest, RefusalIsWaitedOutOnceAndSentAgain) {
    auto board = BoardWithFloodLimit(30);
    const long before = sleeper.total_ms();
    EXPECT_EQ(second.PostTopic(kCjkSubject, kCjkBody, second_url), kOk);

    ASSERT_EQ(board->Topics().size(), 2u);
    EXPECT_EQ(board->Topics()[1].subject, kCjkSubject);
    EXPECT_EQ(board->Topics()[1].section, std::to_string(FakePhpBB::kNewsForum));
    EXPECT_EQ(second_url, board->TopicUrl(2));
    // phpBB names no number of seconds: 30 of them, between two rounds of 10 + 3.
    EXPECT_EQ(sleeper.total_ms() - before, (10 + 3 + 30 + 10 + 3) * 1000);
    EXPECT_EQ(statuses, (std::vector<int>{kIdsWaitingFloodLimit, kIdsSendingMessage}));
    EXPECT_THAT(board->Problems(), IsEmpty());
}

TEST_F(PhpBBFloodTest, SecondRefusalEndsWithTheBoardsWords) {
    auto board = BoardWithFloodLimit(100000);
    EXPECT_EQ(second.PostTopic(kCjkSubject, kCjkBody, second_url), kCheckResult);
    EXPECT_EQ(second.failure_text, L"You cannot make another post so soon after your last.");
    EXPECT_EQ(board->Topics().size(), 1u);
    EXPECT_EQ(board->CountRequests("POST /posting.php"), 3u);
}

TEST_F(PhpBBFloodTest, StopDuringTheWaitEndsWithStopped) {
    auto board = BoardWithFloodLimit(30);
    // The 15th sleep of this post is the second of the flood wait.
    sleeper.OnSleep(sleeper.sleeps() + 15, [this] { second.stop_requested = true; });
    EXPECT_EQ(second.PostTopic(kCjkSubject, kCjkBody, second_url), kStopped);
    EXPECT_EQ(board->CountRequests("POST /posting.php"), 2u);
}

}  // namespace
}  // namespace twk
