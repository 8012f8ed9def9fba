#include "engines/DiscourseEngine.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "support/FakeDiscourse.h"
#include "support/FakeSleeper.h"
#include "text/StringTable.h"
#include "text/Unicode.h"

namespace twk {
namespace {

using test::FakeDiscourse;
using test::FakeSleeper;
using test::FakeTopic;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;
using Options = FakeDiscourse::Options;
using Refusal = FakeDiscourse::SignInRefusal;

// The pause before the topic leaves.
constexpr int kPauseBeforeSending = 10;

const wchar_t* const kGeneral = L"/c/general/4";
const wchar_t* const kHelp = L"/c/general/help/7";
const wchar_t* const kCyrillic = L"/c/testirovanie/8";
const wchar_t* const kSubject = L"A topic title long enough";
const wchar_t* const kBody = L"A body that is long enough for the board.";

std::string Field(const FakeTopic& topic, const std::string& name) {
    auto found = topic.fields.find(name);
    return found == topic.fields.end() ? std::string("(none)") : found->second;
}

class DiscourseEngineTest : public ::testing::Test {
protected:
    DiscourseEngineTest() {
        engine.SetSleeper(sleeper);
        engine.SetStatusReporter([this](int textId) { statuses.push_back(textId); });
    }

    Options Timed(Options options = {}) {
        options.clock = &sleeper;
        return options;
    }

    ResultCode SignIn(const FakeDiscourse& board,
                      const std::wstring& password = FakeDiscourse::kPassword) {
        engine.SetBaseUrl(board.MainUrl());
        return engine.SignIn(FakeDiscourse::kLogin, password, forum_title);
    }

    std::wstring At(const FakeDiscourse& board, const std::wstring& path) {
        return board.SiteUrl(WideToUtf8(path));
    }

    // A submission as a job runs it: the first non-zero code ends it. Between opening the
    // category and sending, the site may change.
    ResultCode Submit(FakeDiscourse& board, const std::wstring& category,
                      const std::wstring& subject = kSubject, const std::wstring& body = kBody,
                      const std::function<void(FakeDiscourse&)>& meanwhile = {}) {
        ResultCode result = SignIn(board);
        if (result == kOk) {
            result = engine.OpenSection(At(board, category));
        }
        if (result == kOk && meanwhile) {
            meanwhile(board);
        }
        if (result == kOk) {
            result = engine.PostTopic(subject, body, topic_url);
        }
        return result;
    }

    FakeSleeper sleeper;
    DiscourseEngine engine;
    std::vector<int> statuses;
    std::wstring forum_title;
    std::wstring topic_url = L"not set";
};

TEST_F(DiscourseEngineTest, ScanListsTheCategoriesTheAccountMayStartTopicsIn) {
    for (const char* prefix : {"", "/forum"}) {
        SCOPED_TRACE(prefix);
        FakeDiscourse board({.prefix = prefix});
        ASSERT_EQ(SignIn(board), kOk) << engine.failure_text;
        SectionList sections;

        ASSERT_EQ(engine.ReadSections(sections), kOk) << engine.failure_text;

        // Not Uncategorized (the site takes no topics without a category), not the staff's
        // Announcements; the subcategory below its parent's path.
        std::vector<std::wstring> keys;
        std::vector<std::wstring> titles;
        for (const SectionRecord& section : sections) {
            EXPECT_EQ(section.url, section.key);
            keys.push_back(section.key);
            titles.push_back(section.title);
        }
        EXPECT_THAT(keys, ElementsAre(At(board, kGeneral), At(board, kHelp),
                                      At(board, L"/c/site-feedback/2"),
                                      At(board, L"/c/members-only/6"), At(board, kCyrillic)));
        EXPECT_THAT(titles, ElementsAre(L"General", L"Help", L"Site Feedback", L"Members Only",
                                        L"Тестирование"));
        EXPECT_EQ(forum_title, L"Example Forum");
    }
}

TEST_F(DiscourseEngineTest, ScanListsUncategorizedWhereTheSiteTakesTopicsWithoutCategory) {
    FakeDiscourse board({.allow_uncategorized_topics = true});
    ASSERT_EQ(SignIn(board), kOk) << engine.failure_text;
    SectionList sections;

    ASSERT_EQ(engine.ReadSections(sections), kOk);

    ASSERT_FALSE(sections.empty());
    EXPECT_EQ(sections[0].key, At(board, L"/c/uncategorized/1"));
    EXPECT_EQ(sections[0].title, L"Uncategorized");
}

struct MessageCase {
    const char* name;
    std::string prefix;
    std::wstring category;
    int category_id;
    std::wstring subject;
    std::wstring body;
    std::wstring markdown;  // what the board must receive
};

void PrintTo(const MessageCase& row, std::ostream* out) {
    *out << row.name;
}

class DiscourseSubmissionTest : public DiscourseEngineTest,
                                public ::testing::WithParamInterface<MessageCase> {};

TEST_P(DiscourseSubmissionTest, PostsTheTopicAsMarkdownAndReturnsItsAddress) {
    const MessageCase& row = GetParam();
    // A new account: without a person's typing times its first topic would be queued and
    // the account silenced.
    FakeDiscourse board(Timed({.prefix = row.prefix}));

    ASSERT_EQ(Submit(board, row.category, row.subject, row.body), kOk) << engine.failure_text;

    EXPECT_EQ(topic_url, board.TopicUrl(1));
    EXPECT_THAT(topic_url, HasSubstr(board.SiteUrl("/t/")));
    EXPECT_THAT(board.HeldTopics(), IsEmpty());
    EXPECT_FALSE(board.Silenced());
    const std::vector<FakeTopic> topics = board.Topics();
    ASSERT_EQ(topics.size(), 1u);
    EXPECT_EQ(topics[0].section, std::to_string(row.category_id));
    EXPECT_EQ(topics[0].subject, row.subject);
    EXPECT_EQ(WideToUtf8(topics[0].body), WideToUtf8(row.markdown));
    EXPECT_EQ(Field(topics[0], "archetype"), "regular");
    EXPECT_EQ(Field(topics[0], "nested_post"), "true");
    const int typing = std::stoi(Field(topics[0], "typing_duration_msecs"));
    EXPECT_GE(typing, 3000);
    EXPECT_GT(std::stoi(Field(topics[0], "composer_open_duration_msecs")), typing);
    EXPECT_EQ(topics[0].fields.count("topic_id"), 0u);
    EXPECT_EQ(sleeper.sleeps(), kPauseBeforeSending);
    EXPECT_EQ(engine.failure_text, L"");
}

INSTANTIATE_TEST_SUITE_P(
    Messages, DiscourseSubmissionTest,
    ::testing::Values(
        // A line break stays one (Markdown's hard break), characters Markdown would read
        // as marks are escaped.
        MessageCase{"Cyrillic", "", kCyrillic, 8, L"Проверка связи на форуме",
                    L"Привет, форум!\r\n[b]Жирный[/b] и [i]курсив[/i], 100% «кавычки» * _ #",
                    L"Привет, форум!\\\n**Жирный** и *курсив*, 100% «кавычки» \\* \\_ #"},
        // Discourse stores the title with a capital and without the final period; the
        // topic read back is the one sent all the same.
        MessageCase{"AccentedAndCjkInASubcategory", "", kHelp, 7, L"café déjà vu — 新しい話題です.",
                    L"你好，世界！\r\n\r\n[url=http://example.org/?a=1&b=2]ссылка[/url] "
                    L"[u]Ça marche[/u] [img]https://example.org/i.png[/img]",
                    L"你好，世界！\n\n[ссылка](http://example.org/?a=1&b=2) [u]Ça marche[/u] "
                    L"![](https://example.org/i.png)"},
        MessageCase{"SiteInAFolder", "/forum", kGeneral, 4, kSubject, kBody, kBody}),
    [](const ::testing::TestParamInfo<MessageCase>& row) { return std::string(row.param.name); });

struct FailureCase {
    const char* name;
    Options options;
    std::wstring category = kGeneral;
    std::wstring subject = kSubject;
    std::wstring body = kBody;
    std::function<void(FakeDiscourse&)> meanwhile = {};
    ResultCode code;
    std::wstring text;
    bool sent = false;  // a new-topic request left
};

void PrintTo(const FailureCase& row, std::ostream* out) {
    *out << row.name;
}

std::wstring Text(int id, const std::wstring& words = {}) {
    return FormatText(LoadText(id), words);
}

class DiscourseFailureTest : public DiscourseEngineTest,
                             public ::testing::WithParamInterface<FailureCase> {};

TEST_P(DiscourseFailureTest, FailsWithTheResultAndTheBoardsWords) {
    const FailureCase& row = GetParam();
    FakeDiscourse board(Timed(row.options));

    EXPECT_EQ(Submit(board, row.category, row.subject, row.body, row.meanwhile), row.code);

    std::wstring text = row.text;
    if (text.find(L"%URL%") == 0) {
        text = FormatText(LoadText(kIdsNoSuchCategory), At(board, text.substr(5)));
    }
    EXPECT_EQ(engine.failure_text, text);
    EXPECT_THAT(engine.failure_text, Not(HasSubstr(FakeDiscourse::kPassword)));
    EXPECT_EQ(board.CountRequests("POST " + board.prefix() + "/posts") > 0, row.sent);
    // Only a held topic is stored, and nothing shows.
    EXPECT_EQ(board.Topics().size(), board.HeldTopics().size());
    EXPECT_EQ(board.TopicUrl(1), L"");
}

const wchar_t* const kInvalidAccess = L"You are not permitted to view the requested resource.";

INSTANTIATE_TEST_SUITE_P(
    SignIn, DiscourseFailureTest,
    ::testing::Values(
        FailureCase{.name = "NotActivated",
                    .options = {.sign_in_refusal = Refusal::kNotActivated},
                    .code = kInvalidLogin,
                    .text = L"You can't log in yet. We sent an activation email to you. Please "
                            L"follow the instructions in the email to activate your account."},
        FailureCase{.name = "NotApproved",
                    .options = {.sign_in_refusal = Refusal::kNotApproved},
                    .code = kInvalidLogin,
                    .text = L"Your account hasn't been approved yet. You will be notified by "
                            L"email when you are ready to log in."},
        FailureCase{.name = "Suspended",
                    .options = {.sign_in_refusal = Refusal::kSuspended},
                    .code = kInvalidLogin,
                    .text = L"Account suspended until January 12, 2027: spam"},
        FailureCase{.name = "PasswordExpired",
                    .options = {.sign_in_refusal = Refusal::kPasswordExpired},
                    .code = kInvalidLogin,
                    .text = Text(kIdsPasswordExpired)},
        FailureCase{
            .name = "SecondFactor",
            .options = {.sign_in_refusal = Refusal::kSecondFactor},
            .code = kUnknownError,
            .text = Text(kIdsSecondFactorNeeded, L"The selected two-factor method is invalid.")},
        FailureCase{.name = "SingleSignOnOnly",
                    .options = {.sign_in_refusal = Refusal::kLocalLoginsDisabled},
                    .code = kUnknownError,
                    .text = Text(kIdsSingleSignOnOnly, kInvalidAccess)},
        FailureCase{.name = "ReadOnly",
                    .options = {.read_only = true},
                    .code = kServerError,
                    .text = L"The site is in read only mode. Interactions are disabled."},
        // A fresh token does not help when a proxy drops it on the way.
        FailureCase{.name = "TokenNeverArrives",
                    .options = {.strips_csrf_header = true},
                    .code = kServerError,
                    .text = L"[\"BAD CSRF\"]"}),
    [](const ::testing::TestParamInfo<FailureCase>& row) { return std::string(row.param.name); });

INSTANTIATE_TEST_SUITE_P(
    Category, DiscourseFailureTest,
    ::testing::Values(FailureCase{.name = "Missing",
                                  .options = {},
                                  .category = L"/c/gone/99",
                                  .code = kNewTopicNotAllowed,
                                  .text = L"%URL%/c/gone/99"},
                      FailureCase{.name = "StaffOnly",
                                  .options = {},
                                  .category = L"/c/announcements/5",
                                  .code = kNewTopicNotAllowed,
                                  .text = Text(kIdsCategoryClosed, L"Announcements")},
                      FailureCase{.name = "UncategorizedNotAllowed",
                                  .options = {},
                                  .category = L"/c/uncategorized/1",
                                  .code = kNewTopicNotAllowed,
                                  .text = Text(kIdsCategoryClosed, L"Uncategorized")},
                      FailureCase{
                          .name = "DeletedBeforeSending",
                          .options = {},
                          .meanwhile = [](FakeDiscourse& board) { board.DeleteCategory(4); },
                          .code = kNewTopicNotAllowed,
                          .text = L"You supplied invalid parameters to the request: category",
                          .sent = true},
                      FailureCase{.name = "ClosedBeforeSending",
                                  .options = {},
                                  .meanwhile = [](FakeDiscourse& board) { board.CloseCategory(4); },
                                  .code = kNewTopicNotAllowed,
                                  .text = kInvalidAccess,
                                  .sent = true}),
    [](const ::testing::TestParamInfo<FailureCase>& row) { return std::string(row.param.name); });

INSTANTIATE_TEST_SUITE_P(
    Topic, DiscourseFailureTest,
    ::testing::Values(FailureCase{.name = "SignedOutBeforeSending",
                                  .options = {},
                                  .meanwhile = [](FakeDiscourse& board) { board.EndSessions(); },
                                  .code = kInvalidLogin,
                                  .text = L"You need to be logged in to do that.",
                                  .sent = true},
                      FailureCase{.name = "HeldForAModerator",
                                  .options = {.moderated_categories = {4}},
                                  .code = kCheckResult,
                                  .text = Text(kIdsHeldForModerator),
                                  .sent = true},
                      // Every category has its "About" topic, and titles are unique.
                      FailureCase{.name = "TitleTaken",
                                  .options = {},
                                  .subject = L"about the general category",
                                  .code = kNoMessageForm,
                                  .text = L"Title has already been used",
                                  .sent = true},
                      FailureCase{.name = "SubjectShorterThanPublished",
                                  .options = {},
                                  .subject = L" Too  short ",
                                  .code = kNoMessageForm,
                                  .text = FormatText(LoadText(kIdsSubjectTooShort), 9, 15)},
                      // What counts is the Markdown the board gets: "**ab**" is six characters.
                      FailureCase{.name = "BodyShorterThanPublished",
                                  .options = {.min_first_post_length = 8},
                                  .body = L"[b]ab[/b]\r\n\r\n  ",
                                  .code = kNoMessageForm,
                                  .text = FormatText(LoadText(kIdsMessageTooShort), 6, 8)},
                      FailureCase{.name = "SubjectLongerThanPublished",
                                  .options = {.max_topic_title_length = 30},
                                  .subject = std::wstring(31, L'ж'),
                                  .code = kNoMessageForm,
                                  .text = FormatText(LoadText(kIdsSubjectTooLong), 31, 30)},
                      FailureCase{.name = "BodyLongerThanPublished",
                                  .options = {},
                                  .body = std::wstring(32001, L'é'),
                                  .code = kNoMessageForm,
                                  .text = FormatText(LoadText(kIdsMessageTooLong), 32001, 32000)}),
    [](const ::testing::TestParamInfo<FailureCase>& row) { return std::string(row.param.name); });

TEST_F(DiscourseEngineTest, WrongPasswordIsRefusedInTheBoardsWords) {
    FakeDiscourse board;

    EXPECT_EQ(SignIn(board, L"not the password"), kInvalidLogin);

    EXPECT_EQ(engine.failure_text, L"Incorrect username, email or password");
}

TEST_F(DiscourseEngineTest, AddressWithoutDiscourseIsNotTheScript) {
    // The site lives in /forum; its host's root answers no route of Discourse's.
    FakeDiscourse board({.prefix = "/forum"});
    engine.SetBaseUrl(board.Url("/"));

    EXPECT_EQ(engine.SignIn(FakeDiscourse::kLogin, FakeDiscourse::kPassword, forum_title),
              kNotScript);

    EXPECT_EQ(engine.failure_text, L"");
    EXPECT_EQ(board.CountRequests("POST"), 0u);
}

TEST_F(DiscourseEngineTest, RateLimitedSignInWaitsTheNamedSecondsAndSignsIn) {
    FakeDiscourse board(Timed({.sign_in_rate_limited_until = 42}));

    ASSERT_EQ(SignIn(board), kOk) << engine.failure_text;

    EXPECT_EQ(sleeper.sleeps(), 42);
    EXPECT_EQ(board.CountRequests("POST /session"), 2u);
}

TEST_F(DiscourseEngineTest, TopicTooSoonAfterTheLastIsSentAgainAfterTheNamedWait) {
    FakeDiscourse board(Timed({.account_has_posted = true, .rate_limit_create_topic = 15}));
    ASSERT_EQ(Submit(board, kGeneral), kOk) << engine.failure_text;
    ASSERT_EQ(engine.OpenSection(At(board, kCyrillic)), kOk);

    // The first topic left at 10 s, the second at 20 s: 5 s are left of the site's 15.
    ASSERT_EQ(engine.PostTopic(L"Второй заголовок темы", kBody, topic_url), kOk)
        << engine.failure_text;

    EXPECT_EQ(topic_url, board.TopicUrl(2));
    EXPECT_EQ(sleeper.sleeps(), 2 * kPauseBeforeSending + 5);
    EXPECT_THAT(statuses, ElementsAre(kIdsWaitingFloodLimit, kIdsSendingMessage));
    EXPECT_EQ(board.CountRequests("POST /posts"), 3u);
}

TEST_F(DiscourseEngineTest, RateLimitOfHoursIsNotWaitedOut) {
    FakeDiscourse board(Timed({.account_has_posted = true, .rate_limit_create_topic = 86400}));
    ASSERT_EQ(Submit(board, kGeneral), kOk) << engine.failure_text;

    EXPECT_EQ(engine.PostTopic(L"Второй заголовок темы", kBody, topic_url), kCheckResult);

    EXPECT_EQ(engine.failure_text,
              L"You\u2019re creating topics a bit too quickly. Please wait 23 hours before "
              L"trying again.");
    EXPECT_EQ(sleeper.sleeps(), 2 * kPauseBeforeSending);
    EXPECT_THAT(statuses, IsEmpty());
    EXPECT_EQ(board.Topics().size(), 1u);
}

TEST_F(DiscourseEngineTest, SecondRateLimitAfterTheWaitIsAWarning) {
    // A proxy's limit in front of the site: no JSON, a Retry-After header.
    FakeDiscourse board(Timed(
        {.passing_faults = {{.path = "/posts", .count = 2, .status = 429, .retry_after = 3}}}));

    EXPECT_EQ(Submit(board, kGeneral), kCheckResult);

    EXPECT_EQ(engine.failure_text, L"429 Too Many Requests");
    EXPECT_EQ(sleeper.sleeps(), kPauseBeforeSending + 3);
    EXPECT_EQ(board.CountRequests("POST /posts"), 2u);
    EXPECT_THAT(board.Topics(), IsEmpty());
}

TEST_F(DiscourseEngineTest, ExpiredTokenIsFetchedAgainAndTheTopicSentOnce) {
    FakeDiscourse board(Timed());

    ASSERT_EQ(Submit(board, kGeneral, kSubject, kBody,
                     [](FakeDiscourse& site) { site.ExpireForumSessions(); }),
              kOk)
        << engine.failure_text;

    EXPECT_EQ(topic_url, board.TopicUrl(1));
    EXPECT_EQ(board.Topics().size(), 1u);
    EXPECT_EQ(board.CountRequests("POST /posts"), 2u);
    // Before and after signing in, and after the refusal.
    EXPECT_EQ(board.CountRequests("GET /session/csrf"), 3u);
}

struct LostCase {
    const char* name;
    Options options;
    ResultCode code;
    bool found;
};

void PrintTo(const LostCase& row, std::ostream* out) {
    *out << row.name;
}

class DiscourseLostAnswerTest : public DiscourseEngineTest,
                                public ::testing::WithParamInterface<LostCase> {};

TEST_P(DiscourseLostAnswerTest, CategorysNewestTopicsDecide) {
    const LostCase& row = GetParam();
    FakeDiscourse board(Timed(row.options));

    // A lower-case subject: the board lists it capitalised.
    EXPECT_EQ(Submit(board, kHelp, L"lost answer, stored topic"), row.code);

    EXPECT_EQ(board.CountRequests("POST /posts"), 1u);
    if (row.found) {
        EXPECT_EQ(topic_url, board.TopicUrl(1));
        EXPECT_EQ(engine.failure_text, L"");
    } else {
        EXPECT_EQ(topic_url, L"");
        EXPECT_THAT(engine.failure_text, HasSubstr(L"502"));
        EXPECT_THAT(board.Topics(), IsEmpty());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Answers, DiscourseLostAnswerTest,
    ::testing::Values(LostCase{"GatewayErrorAfterStoring",
                               {.lost_answer = FakeDiscourse::LostAnswer::kBadGateway},
                               kOk,
                               true},
                      LostCase{"ConnectionClosedAfterStoring",
                               {.lost_answer = FakeDiscourse::LostAnswer::kClosedConnection},
                               kOk,
                               true},
                      LostCase{"GatewayErrorBeforeTheSite",
                               {.passing_faults = {{.path = "/posts", .count = 1, .status = 502}}},
                               kCheckResult,
                               false}),
    [](const ::testing::TestParamInfo<LostCase>& row) { return std::string(row.param.name); });

TEST_F(DiscourseEngineTest, StopInThePauseBeforeSendingSendsNothing) {
    FakeDiscourse board(Timed());
    sleeper.OnSleep(3, [this] { engine.stop_requested = true; });

    EXPECT_EQ(Submit(board, kGeneral), kStopped);

    EXPECT_EQ(sleeper.sleeps(), 3);
    EXPECT_EQ(board.CountRequests("POST /posts"), 0u);
    EXPECT_THAT(board.Topics(), IsEmpty());
}

TEST_F(DiscourseEngineTest, ClosedSendGateSendsNothing) {
    FakeDiscourse board(Timed());
    engine.SetSendGate([] { return false; });

    EXPECT_EQ(Submit(board, kGeneral), kStopped);

    EXPECT_EQ(board.CountRequests("POST /posts"), 0u);
}

}  // namespace
}  // namespace twk
