#include "engines/NodeBBEngine.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/FakeNodeBB.h"
#include "support/FakeSleeper.h"
#include "text/StringTable.h"
#include "text/Unicode.h"

namespace twk {
namespace {

using test::FakeNodeBB;
using test::FakeSleeper;
using test::FakeTopic;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;
using Options = FakeNodeBB::Options;
using LostAnswer = FakeNodeBB::LostAnswer;

constexpr int kPauseBeforeSending = 10;

const std::wstring kSubject = L"Проверка связи — café déjà vu — 日本語のタイトル";
const std::wstring kBody =
    L"[b]Привет[/b], [i]monde[/i]!\r\n[url=https://example.org/a]ссылка[/url]";
const std::wstring kMarkdown = L"**Привет**, *monde*!\\\n[ссылка](https://example.org/a)";

class NodeBBEngineTest : public ::testing::Test {
protected:
    NodeBBEngineTest() { engine.SetSleeper(sleeper); }

    Options Timed(Options options = {}) {
        options.clock = &sleeper;
        return options;
    }

    ResultCode SignIn(const FakeNodeBB& board, const std::wstring& login = FakeNodeBB::kLogin,
                      const std::wstring& password = FakeNodeBB::kPassword) {
        engine.SetBaseUrl(board.MainUrl());
        return engine.SignIn(login, password, forum_title);
    }

    // A submission as a job runs it: the first non-zero code ends it.
    ResultCode Submit(const FakeNodeBB& board, int cid, const std::wstring& subject = kSubject,
                      const std::wstring& body = kBody) {
        ResultCode result = SignIn(board);
        if (result == kOk) {
            result = engine.OpenSection(board.CategoryUrl(cid));
        }
        if (result == kOk) {
            result = engine.PostTopic(subject, body, topic_url);
        }
        return result;
    }

    // Where the engine records a topic: the slug as NodeBB writes it, letters intact.
    static std::wstring TopicAddress(const FakeNodeBB& board, int topicId,
                                     const std::wstring& subject = kSubject) {
        return board.MainUrl() + L"topic/" + std::to_wstring(board.TidOf(topicId)) + L"/" +
               Utf8ToWide(FakeNodeBB::Slugify(WideToUtf8(subject)));
    }

    FakeSleeper sleeper;
    NodeBBEngine engine;
    std::wstring forum_title;
    std::wstring topic_url = L"not set";
};

TEST_F(NodeBBEngineTest, ScanListsTheCategoriesTheMemberMayStartTopicsIn) {
    FakeNodeBB board;
    ASSERT_EQ(SignIn(board), kOk) << engine.failure_text;
    EXPECT_EQ(forum_title, L"NodeBB Lab");
    SectionList sections;

    ASSERT_EQ(engine.ReadSections(sections), kOk) << engine.failure_text;

    std::vector<std::wstring> titles;
    std::vector<std::wstring> keys;
    for (const SectionRecord& section : sections) {
        titles.push_back(section.title);
        keys.push_back(section.key);
        EXPECT_EQ(section.url, section.key);
    }
    // Not the read-only category, not NodeBB's bucket of other sites' topics.
    EXPECT_THAT(titles,
                ElementsAre(L"Announcements", L"General", L"Тестирование", L"Premoderated"));
    EXPECT_EQ(keys[2], board.MainUrl() + L"category/3/тестирование");
}

TEST_F(NodeBBEngineTest, TopicArrivesWithItsTitleAndTheBodyAsMarkdown) {
    FakeNodeBB board{Timed()};

    ASSERT_EQ(Submit(board, FakeNodeBB::kCyrillicCategory), kOk) << engine.failure_text;

    const std::vector<FakeTopic> topics = board.Topics();
    ASSERT_EQ(topics.size(), 1u);
    EXPECT_EQ(topics[0].section, "3");
    EXPECT_EQ(topics[0].subject, kSubject);
    EXPECT_EQ(topics[0].body, kMarkdown);
    EXPECT_EQ(topic_url, TopicAddress(board, topics[0].id));
    EXPECT_EQ(sleeper.sleeps(), kPauseBeforeSending);
    // The browser's user agent: NodeBB takes script libraries for crawlers.
    EXPECT_THAT(board.LastHeader("/api/v3/topics", "User-Agent"), HasSubstr("Mozilla"));
    EXPECT_EQ(engine.failure_text, L"");
}

TEST_F(NodeBBEngineTest, SiteInAFolder) {
    Options options;
    options.relative_path = "/forum";
    FakeNodeBB board{options};

    ASSERT_EQ(Submit(board, FakeNodeBB::kGeneralCategory), kOk) << engine.failure_text;
    EXPECT_EQ(board.Topics().size(), 1u);
    EXPECT_THAT(topic_url, HasSubstr(L"/forum/topic/"));
}

struct RefusalCase {
    std::string name;
    Options options;
    int cid;
    std::wstring subject;
    std::wstring password;
    ResultCode expected;
    std::wstring text;  // a part of the failure text
    size_t stored;      // topics the board took (held ones included)
};

void PrintTo(const RefusalCase& row, std::ostream* out) {
    *out << row.name;
}

class NodeBBRefusalTest : public NodeBBEngineTest,
                          public ::testing::WithParamInterface<RefusalCase> {};

TEST_P(NodeBBRefusalTest, EndsWithTheBoardsWords) {
    const RefusalCase& row = GetParam();
    FakeNodeBB board{row.options};
    ResultCode result = SignIn(board, FakeNodeBB::kLogin, row.password);
    if (result == kOk) {
        result = engine.OpenSection(board.CategoryUrl(row.cid));
    }
    if (result == kOk) {
        result = engine.PostTopic(row.subject, kBody, topic_url);
    }

    EXPECT_EQ(result, row.expected) << engine.failure_text;
    EXPECT_THAT(engine.failure_text, HasSubstr(row.text));
    EXPECT_THAT(engine.failure_text, Not(HasSubstr(L"[[")));
    EXPECT_EQ(board.Topics().size(), row.stored);
    EXPECT_THAT(topic_url, Not(HasSubstr(L"/topic/")));
}

Options Limits(int maxTitle, int minPost) {
    Options options;
    options.maximum_title_length = maxTitle;
    options.minimum_post_length = minPost;
    return options;
}

INSTANTIATE_TEST_SUITE_P(
    Answers, NodeBBRefusalTest,
    ::testing::Values(RefusalCase{"WrongPassword",
                                  {},
                                  2,
                                  kSubject,
                                  L"wrong",
                                  kInvalidLogin,
                                  L"Invalid login credentials",
                                  0},
                      RefusalCase{"ReadOnlyCategory",
                                  {},
                                  FakeNodeBB::kReadOnlyCategory,
                                  kSubject,
                                  FakeNodeBB::kPassword,
                                  kNewTopicNotAllowed,
                                  L"may not start topics",
                                  0},
                      RefusalCase{"NoSuchCategory",
                                  {},
                                  99,
                                  kSubject,
                                  FakeNodeBB::kPassword,
                                  kNewTopicNotAllowed,
                                  L"does not exist",
                                  0},
                      RefusalCase{"Queued",
                                  {},
                                  FakeNodeBB::kQueuedCategory,
                                  kSubject,
                                  FakeNodeBB::kPassword,
                                  kCheckResult,
                                  L"Post queued",
                                  1},
                      RefusalCase{"TitleLongerThanTheBoardTakes", Limits(20, 8), 2, kSubject,
                                  FakeNodeBB::kPassword, kNoMessageForm,
                                  L"The subject has 40 characters; this board accepts at most 20.",
                                  0},
                      RefusalCase{"BodyShorterThanTheBoardTakes", Limits(255, 500), 2, kSubject,
                                  FakeNodeBB::kPassword, kNoMessageForm,
                                  L"this board needs at least 500", 0}),
    [](const auto& row) { return row.param.name; });

TEST_F(NodeBBEngineTest, TooSoonAfterTheLastPostIsWaitedOutOnceAndSentAgain) {
    Options options = Timed();
    options.post_delay = 15;
    FakeNodeBB board{options};
    ASSERT_EQ(Submit(board, FakeNodeBB::kGeneralCategory, L"First topic of the day"), kOk);
    std::vector<int> statuses;
    engine.SetStatusReporter([&statuses](int id) { statuses.push_back(id); });

    // Ten seconds after the first post the board still says "once every 15 second(s)".
    ASSERT_EQ(engine.PostTopic(kSubject, kBody, topic_url), kOk) << engine.failure_text;

    EXPECT_EQ(board.Topics().size(), 2u);
    EXPECT_EQ(sleeper.sleeps(), 3 * kPauseBeforeSending + 15);
    EXPECT_THAT(statuses, ElementsAre(kIdsWaitingFloodLimit, kIdsSendingMessage));
}

TEST_F(NodeBBEngineTest, LostAnswerIsSettledByTheCategorysNewestTopics) {
    for (LostAnswer lost : {LostAnswer::kBadGateway, LostAnswer::kClosedConnection}) {
        Options options;
        options.lost_answer = lost;
        FakeNodeBB board{options};
        NodeBBEngine fresh;
        fresh.SetSleeper(sleeper);
        fresh.SetBaseUrl(board.MainUrl());
        ASSERT_EQ(fresh.SignIn(FakeNodeBB::kLogin, FakeNodeBB::kPassword, forum_title), kOk);
        ASSERT_EQ(fresh.OpenSection(board.CategoryUrl(FakeNodeBB::kGeneralCategory)), kOk);

        EXPECT_EQ(fresh.PostTopic(kSubject, kBody, topic_url), kOk) << fresh.failure_text;
        ASSERT_EQ(board.Topics().size(), 1u);
        EXPECT_EQ(topic_url, TopicAddress(board, board.Topics()[0].id));
    }
}

TEST_F(NodeBBEngineTest, LostAnswerOfAQueuedTopicMayHaveBeenPosted) {
    Options options;
    options.lost_answer = LostAnswer::kBadGateway;
    FakeNodeBB board{options};

    EXPECT_EQ(Submit(board, FakeNodeBB::kQueuedCategory), kCheckResult);
    EXPECT_THAT(engine.failure_text, HasSubstr(L"502"));
    EXPECT_THAT(engine.failure_text, HasSubstr(L"may still have been posted"));
    EXPECT_EQ(topic_url, L"");
}

TEST_F(NodeBBEngineTest, StopDuringThePauseSendsNothing) {
    FakeNodeBB board;
    sleeper.OnSleep(3, [this] { engine.stop_requested = true; });

    EXPECT_EQ(Submit(board, FakeNodeBB::kGeneralCategory), kStopped);
    EXPECT_EQ(board.CountRequests("POST /api/v3/topics"), 0u);
    EXPECT_THAT(board.Topics(), IsEmpty());
}

TEST_F(NodeBBEngineTest, CategoryIdComesFromTheAddress) {
    EXPECT_EQ(NodeBBCategoryOf(L"https://x.org/category/3/тест"), 3);
    EXPECT_EQ(NodeBBCategoryOf(L"https://x.org/forum/category/12"), 12);
    EXPECT_EQ(NodeBBCategoryOf(L"https://x.org/topic/3/x"), -1);
    EXPECT_EQ(NodeBBCategoryOf(L"https://x.org/category/abc"), -1);
}

}  // namespace
}  // namespace twk

namespace twk {
namespace {

TEST_F(NodeBBEngineTest, PassingFaultsOfReadsAreTriedAgain) {
    Options options;
    options.passing_faults = {{.path = "/api/v3/utilities/login", .retry_after = 7},
                              {.path = "/api/config", .status = 0}};
    FakeNodeBB board{options};

    ASSERT_EQ(Submit(board, FakeNodeBB::kGeneralCategory), kOk) << engine.failure_text;
    EXPECT_EQ(board.Topics().size(), 1u);
    EXPECT_EQ(sleeper.sleeps(), 7 + ForumEngine::kFirstRetryPause + kPauseBeforeSending);
}

TEST_F(NodeBBEngineTest, TheNewTopicIsNeverSentAgainAfterAPassingFault) {
    Options options;
    options.passing_faults = {{.path = "/api/v3/topics", .count = 3, .status = 503}};
    FakeNodeBB board{options};

    EXPECT_EQ(Submit(board, FakeNodeBB::kGeneralCategory), kCheckResult);
    EXPECT_EQ(board.CountRequests("POST /api/v3/topics"), 1u);
    EXPECT_THAT(engine.failure_text, HasSubstr(L"503"));
}

// A run that died after sending: the next one finds the post by its title, its author and
// its time, and takes no older topic with the same title for it.
TEST_F(NodeBBEngineTest, AnInterruptedPostIsFoundByItsAuthorAndTime) {
    FakeNodeBB board;
    ASSERT_EQ(Submit(board, FakeNodeBB::kGeneralCategory), kOk);
    const int64_t sent = 1796921811;  // the fake board's clock when the topic was made

    for (const auto& [attempt, expected] :
         {std::pair<int64_t, ResultCode>{sent, kOk}, {sent + 3600, kPending}}) {
        NodeBBEngine next;
        next.SetSleeper(sleeper);
        next.SetBaseUrl(board.MainUrl());
        ASSERT_EQ(next.SignIn(FakeNodeBB::kLogin, FakeNodeBB::kPassword, forum_title), kOk);
        ASSERT_EQ(next.OpenSection(board.CategoryUrl(FakeNodeBB::kGeneralCategory)), kOk);
        std::wstring found;
        EXPECT_EQ(next.FindInterruptedPost(kSubject, FakeNodeBB::kLogin, attempt, {}, found),
                  expected);
        EXPECT_EQ(found, expected == kOk ? topic_url : L"");
    }
}

}  // namespace
}  // namespace twk
