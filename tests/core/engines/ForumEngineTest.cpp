#include "engines/PageEngine.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>

#include "support/FakeForum.h"
#include "support/FakeSleeper.h"
#include "text/StringTable.h"

namespace twk {
namespace {

using test::FakeForum;
using test::FakeSleeper;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

// A few pages for the steps every engine shares: refresh chains, links, a form target
// and a failing page.
class TinyBoard : public FakeForum {
public:
    TinyBoard() : FakeForum(kCodePageUtf8) {
        Page("/plain", L"<html><head><title>Plain</title></head><body><p>End.</p></body></html>");
        Page("/refresh-1", Refresh("/refresh-2"));
        Page("/refresh-2", Refresh("/plain"));
        Page("/no-links",
             L"<html><body><p>Nothing to follow.</p><form method=\"post\" action=\"/form\">"
             L"<input type=\"hidden\" name=\"a\" value=\"1\"></form></body></html>");
        Page("/links",
             L"<html><body>"
             L"<a href=\"/index.php?s=1\">Home</a>"
             L"<a href=\"/index.php?act=Login&amp;CODE=00\">Sign in</a>"
             L"<a href=\"/index.php?act=Login&amp;CODE=03\">Sign out</a>"
             L"</body></html>");
        Page("/answer-to-missing", Refresh("/missing"));
        Page("/answer-to-topic", Refresh("/topic"));
        Page("/topic",
             L"<html><body><a href=\"/posting.php?mode=reply&amp;t=7\">Reply</a></body></html>");
        server_.Get("/missing", [](const httplib::Request&, httplib::Response& response) {
            response.status = 500;
            response.set_content("<html><body>General Error</body></html>", "text/html");
        });
        server_.Post("/form", [this](const httplib::Request&, httplib::Response& response) {
            SendPage(response, Refresh("/refresh-2"));
        });
        Start();
    }

private:
    void Page(const std::string& path, const std::wstring& html) {
        server_.Get(path, [this, html](const httplib::Request&, httplib::Response& response) {
            SendPage(response, html);
        });
    }
    static std::wstring Refresh(const std::string& target) {
        return L"<html><head><meta http-equiv=\"refresh\" content=\"0; url=" +
               std::wstring(target.begin(), target.end()) +
               L"\"></head><body>Moving on.</body></html>";
    }
};

// The base's protected steps, opened for the tests.
class ProbeEngine : public PageEngine {
public:
    using PageEngine::CheckPostResult;
    using PageEngine::FindLink;
    using PageEngine::OpenUrl;
    using PageEngine::Pause;
    using PageEngine::SubmitForm;

    ResultCode SignIn(const std::wstring&, const std::wstring&, std::wstring&) override {
        return kOk;
    }
    ResultCode ReadSections(SectionList&) override { return kOk; }
    ResultCode PostTopic(const std::wstring&, const std::wstring&, std::wstring&) override {
        return kOk;
    }
    // The section as the tests list it.
    ResultCode ReadSectionTopics(TopicList& topics) override {
        topics = listing;
        return read_result;
    }
    TopicList listing;
    ResultCode read_result = kOk;
};

class ForumEngineTest : public ::testing::Test {
protected:
    ForumEngineTest() { engine.SetSleeper(sleeper); }

    HtmlForm FormTo(const std::string& path) const {
        HtmlForm form;
        form.action = board.Url(path);
        form.fields.push_back(FormField{L"a", L"1", kFieldHidden, false});
        return form;
    }

    TinyBoard board;
    FakeSleeper sleeper;
    ProbeEngine engine;
};

TEST_F(ForumEngineTest, StopAlreadyRequestedSendsNothing) {
    engine.stop_requested = true;

    EXPECT_EQ(engine.OpenUrl(board.Url("/plain"), false), kStopped);
    EXPECT_EQ(engine.OpenUrl(board.Url("/refresh-1"), true), kStopped);
    EXPECT_EQ(engine.SubmitForm(FormTo("/form"), true, true), kStopped);
    EXPECT_TRUE(board.Requests().empty());
}

TEST_F(ForumEngineTest, RefreshIsFollowedOnceAndNeverASecondTime) {
    EXPECT_EQ(engine.OpenUrl(board.Url("/refresh-1"), true), kOk);
    EXPECT_EQ(engine.web.current_url, board.Url("/refresh-2"));

    EXPECT_EQ(engine.SubmitForm(FormTo("/form"), true, true), kOk);
    EXPECT_EQ(engine.web.current_url, board.Url("/refresh-2"));

    EXPECT_THAT(board.Requests(),
                ElementsAre("GET /refresh-1", "GET /refresh-2", "POST /form", "GET /refresh-2"));
}

TEST_F(ForumEngineTest, OpenWithoutFollowingIgnoresTheRefresh) {
    EXPECT_EQ(engine.OpenUrl(board.Url("/refresh-1"), false), kOk);
    EXPECT_EQ(engine.web.current_url, board.Url("/refresh-1"));
    EXPECT_THAT(board.Requests(), ElementsAre("GET /refresh-1"));
}

TEST_F(ForumEngineTest, FailedPageGivesConnectionErrorWithItsText) {
    EXPECT_EQ(engine.OpenUrl(board.Url("/missing"), false), kConnectionError);
    EXPECT_THAT(engine.failure_text, HasSubstr(L"500"));
}

struct PauseCase {
    int seconds;
    int stop_on_sleep;  // 0: no stop; -1: stop before the pause
    bool stopped;
    int sleeps;
};

TEST_F(ForumEngineTest, PauseSleepsSecondBySecondAndNoticesAStop) {
    const PauseCase cases[] = {
        {0, 0, false, 1},
        {1, 0, false, 1},
        {10, 0, false, 10},
        {10, 3, true, 3},
        {10, -1, true, 0},
        // A stop during the last second is left to the next request to notice.
        {2, 2, false, 2},
    };
    for (const PauseCase& row : cases) {
        SCOPED_TRACE(testing::Message()
                     << "Pause(" << row.seconds << "), stop on sleep " << row.stop_on_sleep);
        FakeSleeper rowSleeper;
        ProbeEngine rowEngine;
        rowEngine.SetSleeper(rowSleeper);
        if (row.stop_on_sleep < 0) {
            rowEngine.stop_requested = true;
        } else if (row.stop_on_sleep > 0) {
            rowSleeper.OnSleep(row.stop_on_sleep, [&] { rowEngine.stop_requested = true; });
        }

        EXPECT_EQ(rowEngine.Pause(row.seconds), row.stopped);
        EXPECT_EQ(rowSleeper.sleeps(), row.sleeps);
        EXPECT_EQ(rowSleeper.total_ms(), 1000L * row.sleeps);
    }
}

TEST(CreateEngineTest, OnlyTheExactScriptNamesGiveAnEngine) {
    for (const wchar_t* name : {L"phpBB", L"vBulletin", L"IPBoard", L"SMF", L"Discourse"}) {
        EXPECT_NE(CreateEngine(name), nullptr) << name;
    }
    for (const wchar_t* name : {L"phpbb", L"PHPBB", L"phpBB ", L" phpBB", L"vbulletin", L"IPB",
                                L"ipboard", L"smf", L"SMF ", L"discourse", L"Discourse ", L""}) {
        EXPECT_EQ(CreateEngine(name), nullptr) << '"' << name << '"';
    }
}

TEST_F(ForumEngineTest, LinkSearchMatchesAnywhereInTheAddressCaseSensitively) {
    ASSERT_EQ(engine.OpenUrl(board.Url("/links"), false), kOk);

    // The pattern lies wholly in the query part.
    EXPECT_TRUE(engine.FindLink({L"act=Login&CODE=03"}));
    EXPECT_EQ(engine.page.LinkUrl(), board.Url("/index.php?act=Login&CODE=03"));
    // The first link of the page that matches any pattern, and none that is excluded.
    EXPECT_TRUE(engine.FindLink({L"CODE=03", L"act=Login"}, {L"CODE=00"}));
    EXPECT_EQ(engine.page.LinkUrl(), board.Url("/index.php?act=Login&CODE=03"));
    EXPECT_FALSE(engine.FindLink({L"act=login"}));
    EXPECT_FALSE(engine.FindLink({L"act=Login"}, {L"CODE="}));

    ASSERT_EQ(engine.OpenUrl(board.Url("/no-links"), false), kOk);
    EXPECT_FALSE(engine.FindLink({L"/"}));
}

TEST_F(ForumEngineTest, PostResultFollowsTheRefreshToTheTopic) {
    ASSERT_EQ(engine.OpenUrl(board.Url("/answer-to-topic"), false), kOk);
    std::wstring topicUrl;

    EXPECT_EQ(engine.CheckPostResult(L"/posting.php?mode=reply", topicUrl), kOk);
    EXPECT_EQ(topicUrl, board.Url("/topic"));
}

TEST_F(ForumEngineTest, PostResultWithAFailingRefreshTargetLeavesNoTopicAddress) {
    ASSERT_EQ(engine.OpenUrl(board.Url("/answer-to-missing"), false), kOk);
    std::wstring topicUrl = L"left over";

    EXPECT_EQ(engine.CheckPostResult(L"/posting.php?mode=reply", topicUrl), kCheckResult);
    EXPECT_EQ(topicUrl, L"");
    EXPECT_THAT(engine.failure_text, HasSubstr(L"500"));
}

TEST_F(ForumEngineTest, PostResultWithoutReplyLinkIsUnconfirmed) {
    ASSERT_EQ(engine.OpenUrl(board.Url("/links"), false), kOk);
    std::wstring topicUrl = L"left over";

    EXPECT_EQ(engine.CheckPostResult(L"/posting.php?mode=reply", topicUrl), kCheckResult);
    EXPECT_EQ(topicUrl, L"");
}

struct RetryCase {
    const char* name;
    FakeForum::Fault fault;
    int faults;  // requests answered with it
    ResultCode expected;
    size_t requests;
    int slept_seconds;
    int stop_on_sleep = 0;
};

TEST_F(ForumEngineTest, APassingFaultOfAPageIsTriedAgainAtMostTwice) {
    const RetryCase cases[] = {
        {"503 naming its wait", {503, 7}, 1, kOk, 2, 7},
        {"503 naming too long a wait", {503, 600}, 1, kOk, 2, 60},
        {"504 twice, naming no wait", {504, -1}, 2, kOk, 3, 2 + 4},
        {"a connection dropped before the page", {0, -1}, 1, kOk, 2, 2},
        {"three in a row", {502, -1}, 3, kConnectionError, 3, 2 + 4},
        {"500 does not pass", {500, -1}, 1, kConnectionError, 1, 0},
        {"a stop during the wait", {503, 30}, 1, kStopped, 1, 3, 3},
    };
    for (const RetryCase& row : cases) {
        SCOPED_TRACE(row.name);
        TinyBoard rowBoard;
        FakeSleeper rowSleeper;
        ProbeEngine rowEngine;
        rowEngine.SetSleeper(rowSleeper);
        std::vector<int> statuses;
        rowEngine.SetStatusReporter([&statuses](int textId) { statuses.push_back(textId); });
        rowEngine.ReportStep(kIdsOpeningForum);
        rowBoard.FailRequests("GET /plain", row.faults, row.fault);
        if (row.stop_on_sleep > 0) {
            rowSleeper.OnSleep(row.stop_on_sleep, [&] { rowEngine.stop_requested = true; });
        }

        EXPECT_EQ(rowEngine.OpenUrl(rowBoard.Url("/plain"), false), row.expected);
        EXPECT_EQ(rowBoard.CountRequests("GET /plain"), row.requests);
        EXPECT_EQ(rowSleeper.total_ms(), 1000L * row.slept_seconds);
        const int waits = static_cast<int>(row.requests) - (row.expected == kStopped ? 0 : 1);
        EXPECT_EQ(std::count(statuses.begin(), statuses.end(), kIdsForumBusy), waits);
        if (row.expected == kOk) {
            // The step the job is on shows again once the page came.
            EXPECT_EQ(statuses.back(), kIdsOpeningForum);
        }
        if (row.expected == kConnectionError) {
            EXPECT_THAT(rowEngine.failure_text, HasSubstr(std::to_wstring(row.fault.status)));
        }
    }
}

TEST_F(ForumEngineTest, OnlyAFormThatChangesNothingIsSentAgainAfterAPassingFault) {
    board.FailRequests("POST /form", 1, {503, -1});
    EXPECT_EQ(engine.SubmitForm(FormTo("/form"), false, false), kOk);
    EXPECT_EQ(board.CountRequests("POST /form"), 2u);

    // The board may have taken a post that a gateway answered with 502.
    board.FailRequests("POST /form", 1, {502, -1});
    EXPECT_EQ(engine.SubmitForm(FormTo("/form"), false, true), kConnectionError);
    EXPECT_EQ(board.CountRequests("POST /form"), 3u);
    EXPECT_EQ(sleeper.total_ms(), 2000);
}

TEST_F(ForumEngineTest, AFormThatChangesTheBoardLeavesOnlyThroughTheSendGate) {
    std::vector<size_t> posts_when_asked;
    bool open = false;
    engine.SetSendGate([&] {
        posts_when_asked.push_back(board.CountRequests("POST /form"));
        return open;
    });
    EXPECT_EQ(engine.SubmitForm(FormTo("/form"), false, true), kStopped);
    open = true;
    EXPECT_EQ(engine.SubmitForm(FormTo("/form"), false, true), kOk);
    // A sign-in is no post: it does not ask.
    EXPECT_EQ(engine.SubmitForm(FormTo("/form"), false, false), kOk);

    EXPECT_EQ(posts_when_asked, (std::vector<size_t>{0, 0}));
    EXPECT_EQ(board.CountRequests("POST /form"), 2u);
}

struct InterruptedCase {
    const char* name;
    TopicList listing;  // newest first
    std::vector<std::wstring> listed_before;
    ResultCode expected;
    std::wstring found = L"";
    ResultCode read = kOk;
};

TEST(FindInterruptedPostTest, ATopicWithTheSubjectIsThePostUnlessItWasThereBefore) {
    const int64_t sent = 1'700'000'000;
    const std::wstring subject = L"News  of the day";
    const std::wstring t9 = L"http://b.test/viewtopic.php?t=9";
    const std::wstring t10 = L"http://b.test/viewtopic.php?t=10";
    const InterruptedCase cases[] = {
        {"the newest one not listed before, in any session",
         {{L"http://b.test/viewtopic.php?t=3", L"Other"},
          {t10 + L"&sid=new", L"News of the day"},
          {t9 + L"&sid=new", L"News of the day"}},
         {t9 + L"&sid=old"},
         kOk,
         t10},
        {"only one listed before", {{t9 + L"&sid=new", subject}}, {t9 + L"&sid=old"}, kPending},
        {"no topic with the subject", {{t9, L"News of the week"}}, {}, kPending},
        {"started by another account", {{t9, subject, L"Someone", sent + 5}}, {}, kPending},
        {"started by the account just after", {{t9, subject, L" tester ", sent + 5}}, {}, kOk, t9},
        {"started by the account an hour before",
         {{t9, subject, L"Tester", sent - 3600}},
         {},
         kPending},
        {"a board clock a little behind", {{t9, subject, L"", sent - 200}}, {}, kOk, t9},
        {"the section cannot be read", {}, {}, kConnectionError, L"", kConnectionError},
        {"a board whose topics cannot be listed", {}, {}, kCheckResult, L"", kNotScript},
    };
    for (const InterruptedCase& row : cases) {
        SCOPED_TRACE(row.name);
        ProbeEngine engine;
        engine.listing = row.listing;
        engine.read_result = row.read;
        std::wstring url = L"left over";

        EXPECT_EQ(engine.FindInterruptedPost(subject, L"Tester", sent, row.listed_before, url),
                  row.expected);
        EXPECT_EQ(url, row.found);
    }
}

}  // namespace
}  // namespace twk
