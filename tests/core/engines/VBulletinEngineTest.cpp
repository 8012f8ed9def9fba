#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "engines/ForumEngine.h"
#include "support/FakeSleeper.h"
#include "support/FakeVBulletin.h"
#include "text/StringTable.h"
#include "text/Unicode.h"

namespace twk {
namespace {

using test::FakeSleeper;
using test::FakeVBulletin;
using test::FakeVBulletinSetup;

// What a scan should list: the address on the board (path and query) and the title.
using Expected = std::vector<std::pair<std::string, std::wstring>>;

class VBulletinEngineTest : public ::testing::Test {
protected:
    VBulletinEngineTest() : engine_(CreateEngine(L"vBulletin")) { engine_->SetSleeper(sleeper_); }

    // The job's submission sequence: sign in, open the section, post.
    ResultCode Submit(const FakeVBulletin& board, const std::wstring& subject,
                      const std::wstring& body, std::wstring& topicUrl, int forumId = 2,
                      const std::wstring& password = FakeVBulletin::kPassword) {
        engine_->SetBaseUrl(board.MainUrl());
        ResultCode code = engine_->SignIn(FakeVBulletin::kLogin, password, forum_title_);
        if (code != kOk) {
            return code;
        }
        code = engine_->OpenSection(board.SectionUrl(forumId));
        if (code != kOk) {
            return code;
        }
        return engine_->PostTopic(subject, body, topicUrl);
    }

    SectionList Scan(const std::wstring& mainUrl, ResultCode expectedCode = kOk) {
        SectionList sections;
        engine_->SetBaseUrl(mainUrl);
        EXPECT_EQ(engine_->ReadSections(sections), expectedCode);
        return sections;
    }

    static void ExpectSections(const FakeVBulletin& board, const SectionList& sections,
                               const Expected& expected) {
        ASSERT_EQ(sections.size(), expected.size());
        for (size_t i = 0; i < expected.size(); ++i) {
            EXPECT_EQ(sections[i].key, board.Url(expected[i].first)) << "section " << i;
            EXPECT_EQ(sections[i].url, sections[i].key) << "section " << i;
            EXPECT_EQ(sections[i].title, expected[i].second) << "section " << i;
        }
    }

    FakeSleeper sleeper_;
    std::unique_ptr<ForumEngine> engine_;
    std::wstring forum_title_;
};

// --- Submission ---------------------------------------------------------------------------

struct SubmitCase {
    const char* name;
    int generation;
    uint32_t code_page;
    int forum_id;
    bool answer_refresh;
    const wchar_t* subject;
    const wchar_t* body;
};
void PrintTo(const SubmitCase& row, std::ostream* out) {
    *out << row.name;
}

class VBulletinSubmitTest : public VBulletinEngineTest,
                            public ::testing::WithParamInterface<SubmitCase> {};

TEST_P(VBulletinSubmitTest, PostsTheTopicAndReturnsItsAddress) {
    const SubmitCase& row = GetParam();
    FakeVBulletin board(row.generation, row.code_page);
    FakeVBulletinSetup setup;
    setup.post_answer_refresh = row.answer_refresh;
    board.Configure(setup);

    std::wstring topic_url;
    ASSERT_EQ(Submit(board, row.subject, row.body, topic_url, row.forum_id), kOk);

    EXPECT_EQ(topic_url, board.TopicUrl(1));
    EXPECT_EQ(forum_title_, board.BoardTitle());
    std::vector<test::FakeTopic> topics = board.Topics();
    ASSERT_EQ(topics.size(), 1u);
    EXPECT_EQ(topics[0].section, std::to_string(row.forum_id));
    EXPECT_EQ(topics[0].subject, row.subject);
    EXPECT_EQ(topics[0].body, row.body);
    EXPECT_EQ(topics[0].fields.count("preview"), 0u);
    EXPECT_EQ(topics[0].fields.count("sbutton"), 1u);
    // The message is BBCode: the board must not read it as the WYSIWYG editor's HTML.
    ASSERT_EQ(topics[0].fields.count("wysiwyg"), 1u);
    EXPECT_EQ(topics[0].fields.find("wysiwyg")->second, "0");

    std::vector<std::string> sign_in = board.LastSignInFields();
    EXPECT_EQ(std::count(sign_in.begin(), sign_in.end(), "cookieuser"), 0);
    EXPECT_EQ(std::count(sign_in.begin(), sign_in.end(), "vb_login_md5password"), 1);
    EXPECT_EQ(std::count(sign_in.begin(), sign_in.end(), "vb_login_md5password_utf"), 1);
    EXPECT_EQ(board.CountRequests("do=logout"), 0u);
    EXPECT_EQ(board.LastHeader("POST /newthread.php", "User-Agent"), WideToUtf8(DefaultUserAgent));
    // The 15-second pause before sending and the 3-second one after it.
    EXPECT_EQ(sleeper_.total_ms(), 18000);
}

INSTANTIATE_TEST_SUITE_P(
    Boards, VBulletinSubmitTest,
    ::testing::Values(
        SubmitCase{"Vb3Windows1251Redirect", 3, kCodePageWindows1251, 2, false,
                   L"Новая тема: проверка связи",
                   L"[b]Привет[/b], мир!\r\nВторая строка: 100% & \"кавычки\" + <тег> = ок"},
        SubmitCase{"Vb3Utf8Refresh", 3, kCodePageUtf8, 2, true, L"Тема 主题 テスト №1",
                   L"Текст 中文 и 日本語\r\n[url=http://example.com/?a=1&b=2]ссылка[/url]"},
        SubmitCase{"Vb4Utf8Redirect", 4, kCodePageUtf8, 53, false, L"Generics 問題",
                   L"Line one\r\nLine two 中文 and Кириллица"}),
    [](const ::testing::TestParamInfo<SubmitCase>& row) { return row.param.name; });

TEST_F(VBulletinEngineTest, SignsOutOnceWhenTheBoardAlreadyKnowsTheUser) {
    FakeVBulletin board;
    FakeVBulletinSetup setup;
    setup.signed_in_at_start = true;
    board.Configure(setup);

    std::wstring topic_url;
    ASSERT_EQ(Submit(board, L"Тема", L"Текст", topic_url), kOk);
    EXPECT_EQ(board.CountRequests("GET /login.php?do=logout"), 1u);
    EXPECT_EQ(board.Topics().size(), 1u);
}

// --- Failures -----------------------------------------------------------------------------

struct FailureCase {
    const char* name;
    std::function<void(FakeVBulletinSetup&)> change;
    ResultCode expected;
    size_t topics_stored;
    const char* failure_text;  // part of the failure text, or "" when there is none
    int forum_id = 2;
    const wchar_t* password = FakeVBulletin::kPassword;
};
void PrintTo(const FailureCase& row, std::ostream* out) {
    *out << row.name;
}

class VBulletinFailureTest : public VBulletinEngineTest,
                             public ::testing::WithParamInterface<FailureCase> {};

TEST_P(VBulletinFailureTest, EndsWithItsCode) {
    const FailureCase& row = GetParam();
    FakeVBulletin board;
    FakeVBulletinSetup setup;
    row.change(setup);
    board.Configure(setup);

    std::wstring topic_url = L"stale";
    EXPECT_EQ(Submit(board, L"Тема", L"Текст", topic_url, row.forum_id, row.password),
              row.expected);
    EXPECT_EQ(board.Topics().size(), row.topics_stored);
    if (row.topics_stored != 0) {
        EXPECT_EQ(topic_url, L"");
    }
    std::string failure = WideToUtf8(engine_->failure_text);
    if (*row.failure_text == '\0') {
        EXPECT_EQ(failure, "");
    } else {
        EXPECT_NE(failure.find(row.failure_text), std::string::npos) << failure;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Boards, VBulletinFailureTest,
    ::testing::Values(
        FailureCase{"WrongPassword", [](FakeVBulletinSetup&) {}, kInvalidLogin, 0,
                    "Вы ввели неправильное имя или пароль.", 2, L"пароль & secreT"},
        FailureCase{"SignInOnlyOnAnotherPage",
                    [](FakeVBulletinSetup& s) { s.sign_in_form = false; }, kNotScript, 0, ""},
        FailureCase{"StillNoFormAfterSigningOut",
                    [](FakeVBulletinSetup& s) {
                        s.signed_in_at_start = true;
                        s.form_after_sign_out = false;
                    },
                    kNotScript, 0, "Все cookies очищены!"},
        FailureCase{"ForumHomeFails", [](FakeVBulletinSetup& s) { s.index_status = 503; },
                    kConnectionError, 0, "503"},
        FailureCase{"SignInRefreshFails",
                    [](FakeVBulletinSetup& s) { s.sign_in_refresh_broken = true; },
                    kConnectionError, 0, "500"},
        FailureCase{"CategoryTakesNoThreads", [](FakeVBulletinSetup&) {}, kNewTopicNotAllowed, 0,
                    "", 1},
        FailureCase{"NoNewThreadButton", [](FakeVBulletinSetup& s) { s.new_thread_link = false; },
                    kNewTopicNotAllowed, 0, ""},
        FailureCase{"FormWithoutSubject", [](FakeVBulletinSetup& s) { s.subject_field = false; },
                    kNoMessageForm, 0, ""},
        FailureCase{"FormWithoutMessage", [](FakeVBulletinSetup& s) { s.message_field = false; },
                    kNoMessageForm, 0, ""},
        FailureCase{"FormWithoutSubmitButton",
                    [](FakeVBulletinSetup& s) { s.submit_button = false; }, kNoMessageForm, 0, ""},
        FailureCase{"PostRefreshFails",
                    [](FakeVBulletinSetup& s) {
                        s.post_answer_refresh = true;
                        s.post_refresh_broken = true;
                    },
                    kCheckResult, 1, "500"},
        FailureCase{"NoReplyLinkAfterRedirect", [](FakeVBulletinSetup& s) { s.reply_link = false; },
                    kCheckResult, 1, ""},
        FailureCase{"NoReplyLinkAfterRefresh",
                    [](FakeVBulletinSetup& s) {
                        s.reply_link = false;
                        s.post_answer_refresh = true;
                    },
                    kCheckResult, 1, "Спасибо за сообщение!"}),
    [](const ::testing::TestParamInfo<FailureCase>& row) { return row.param.name; });

TEST_F(VBulletinEngineTest, ClosedPortIsAConnectionError) {
    std::wstring main_url;
    {
        FakeVBulletin gone;
        main_url = gone.MainUrl();
    }
    engine_->SetBaseUrl(main_url);
    std::wstring title;
    EXPECT_EQ(engine_->SignIn(FakeVBulletin::kLogin, FakeVBulletin::kPassword, title),
              kConnectionError);
    EXPECT_NE(engine_->failure_text, L"");
}

// --- Stops --------------------------------------------------------------------------------

struct StopCase {
    const char* name;
    bool answer_refresh;
    int stop_on_sleep;  // 1 to 15: the pause before sending; 16 to 18: the one after it
    ResultCode expected;
    size_t topics_stored;
};
void PrintTo(const StopCase& row, std::ostream* out) {
    *out << row.name;
}

class VBulletinStopTest : public VBulletinEngineTest,
                          public ::testing::WithParamInterface<StopCase> {};

TEST_P(VBulletinStopTest, StopsWhereTheStopArrives) {
    const StopCase& row = GetParam();
    FakeVBulletin board;
    FakeVBulletinSetup setup;
    setup.post_answer_refresh = row.answer_refresh;
    board.Configure(setup);
    sleeper_.OnSleep(row.stop_on_sleep, [this] { engine_->stop_requested = true; });

    std::wstring topic_url;
    EXPECT_EQ(Submit(board, L"Тема", L"Текст", topic_url), row.expected);
    EXPECT_EQ(board.Topics().size(), row.topics_stored);
    EXPECT_EQ(board.CountRequests("POST /newthread.php"), row.topics_stored);
    if (row.expected == kOk) {
        EXPECT_EQ(topic_url, board.TopicUrl(1));
    } else {
        EXPECT_EQ(topic_url, L"");
    }
}

INSTANTIATE_TEST_SUITE_P(
    Pauses, VBulletinStopTest,
    ::testing::Values(StopCase{"FirstSecondBeforeSending", false, 1, kStopped, 0},
                      // Pause misses a stop in its last second; the send step catches it.
                      StopCase{"LastSecondBeforeSending", false, 15, kStopped, 0},
                      StopCase{"AfterSendingRefreshNotFollowed", true, 16, kCheckResult, 1},
                      StopCase{"AfterSendingRedirectAlreadyFollowed", false, 16, kOk, 1}),
    [](const ::testing::TestParamInfo<StopCase>& row) { return row.param.name; });

// --- Scan ---------------------------------------------------------------------------------

class VBulletinScanCharsetTest : public VBulletinEngineTest,
                                 public ::testing::WithParamInterface<uint32_t> {};

TEST_P(VBulletinScanCharsetTest, ListsTheForumCellsOfARealForumHome) {
    FakeVBulletin board(3, GetParam());
    SectionList sections = Scan(board.MainUrl());

    // The board's own forum list: the category link (not in a forum cell) and the last-post
    // and moderator links (other cells) stay out; "sendmessage.php" sits in two forum
    // descriptions and is listed once; the stray "<a>" tags of forum 77 add nothing.
    const std::vector<std::string> keys = {
        "/forumdisplay.php?f=2",   "/forumdisplay.php?f=12",  "/forumdisplay.php?f=109",
        "/forumdisplay.php?f=110", "/forumdisplay.php?f=111", "/forumdisplay.php?f=112",
        "/forumdisplay.php?f=21",  "/sendmessage.php",        "/forumdisplay.php?f=22",
        "/forumdisplay.php?f=77",  "/forumdisplay.php?f=159", "/forumdisplay.php?f=160",
        "/forumdisplay.php?f=11",  "/forumdisplay.php?f=56"};
    ASSERT_EQ(sections.size(), keys.size());
    for (size_t i = 0; i < keys.size(); ++i) {
        EXPECT_EQ(sections[i].key, board.Url(keys[i])) << "section " << i;
        EXPECT_EQ(sections[i].url, sections[i].key);
    }
    EXPECT_EQ(sections[0].title, L"Акушерство и гинекология");
    EXPECT_EQ(sections[1].title, L"Анестезиология и медицина критических состояний");
    EXPECT_EQ(sections[2].title, L"Анестезиология");
    EXPECT_EQ(sections[7].title, L"Пишите");
    EXPECT_EQ(sections[9].title, L"Косметология-дерматология");
}

INSTANTIATE_TEST_SUITE_P(Charsets, VBulletinScanCharsetTest,
                         ::testing::Values(kCodePageWindows1251, kCodePageUtf8));

TEST_F(VBulletinEngineTest, MainUrlOfASectionListsThatPageOnly) {
    FakeVBulletin board;
    SectionList sections = Scan(board.SectionUrl(12));
    ExpectSections(board, sections, {{"/forumdisplay.php?f=12", board.SectionTitle(12)}});
}

TEST_F(VBulletinEngineTest, ScanOfAFailingForumHomeIsAConnectionError) {
    FakeVBulletin board;
    FakeVBulletinSetup setup;
    setup.index_status = 500;
    board.Configure(setup);
    EXPECT_TRUE(Scan(board.MainUrl(), kConnectionError).empty());
    EXPECT_NE(engine_->failure_text.find(L"500"), std::wstring::npos);
}

struct ScanCase {
    const char* name;
    const wchar_t* forum_list;
    Expected expected;
};
void PrintTo(const ScanCase& row, std::ostream* out) {
    *out << row.name;
}

class VBulletinCellRuleTest : public VBulletinEngineTest,
                              public ::testing::WithParamInterface<ScanCase> {};

TEST_P(VBulletinCellRuleTest, ListsTheLinksItsCellsQualify) {
    FakeVBulletin board;
    FakeVBulletinSetup setup;
    setup.custom_forum_list = GetParam().forum_list;
    board.Configure(setup);
    ExpectSections(board, Scan(board.MainUrl()), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    ForumHomes, VBulletinCellRuleTest,
    ::testing::Values(
        ScanCase{"FirstPassNeedsFAndADigit",
                 L"<table><tr>"
                 L"<td id=\"f3\"><a href=\"forumdisplay.php?f=3\"><strong>Three</strong></a></td>"
                 L"<td id=\"f\"><a href=\"forumdisplay.php?f=4\">Bare f</a></td>"
                 L"<td id=\"fx\"><a href=\"forumdisplay.php?f=5\">Letter</a></td>"
                 L"<td id=\"F6\"><a href=\"forumdisplay.php?f=6\">Capital</a></td>"
                 L"<td id=\"f7x\"><a href=\"misc.php?do=seven\">Seven</a></td>"
                 L"</tr></table>",
                 {{"/forumdisplay.php?f=3", L"Three"}, {"/misc.php?do=seven", L"Seven"}}},
        ScanCase{"FirstPassLooksOneCellFurtherUp",
                 L"<table><tr>"
                 L"<td id=\"f12\"><table><tr><td>"
                 L"<a href=\"forumdisplay.php?f=12\">Inner</a></td></tr></table></td>"
                 L"<td id=\"f13\"><table><tr><td id=\"x1\">"
                 L"<a href=\"forumdisplay.php?f=13\">Other id</a></td></tr></table></td>"
                 L"<td id=\"f14\"><table><tr><td id=\"fx\">"
                 L"<a href=\"forumdisplay.php?f=14\">Inner fx</a></td></tr></table></td>"
                 L"<td id=\"f15\"><table><tr><td><table><tr><td>"
                 L"<a href=\"forumdisplay.php?f=15\">Two up</a></td></tr></table></td></tr>"
                 L"</table></td>"
                 L"</tr></table>",
                 {{"/forumdisplay.php?f=12", L"Inner"}, {"/forumdisplay.php?f=13", L"Other id"}}},
        ScanCase{"EachAddressOnceAndNoAnchors",
                 L"<table><tr>"
                 L"<td id=\"f5\"><a name=\"forum5\"></a>"
                 L"<a href=\"forumdisplay.php?f=5\">\r\n\t\tFive\r\n\t</a> <span>(last post in "
                 L"<a href=\"forumdisplay.php?f=5\">Five again</a>)</span></td>"
                 L"<td id=\"f6\"><a href=\"forumdisplay.php?f=6\">Six</a><a>stray</a></td>"
                 L"</tr></table>",
                 {{"/forumdisplay.php?f=5", L"Five"}, {"/forumdisplay.php?f=6", L"Six"}}},
        ScanCase{"SecondPassWhenTheFirstFindsNothing",
                 L"<table><tr>"
                 L"<td id=\"fx\"><a href=\"misc.php?do=letter\">Letter cell</a></td>"
                 L"<td id=\"f\"><a href=\"misc.php?do=bare\">Bare cell</a></td>"
                 L"<td class=\"alt1\"><a href=\"member.php?u=1\">Member</a></td>"
                 L"<td id=\"fy\"><table><tr><td>"
                 L"<a href=\"misc.php?do=inner\">Inner</a></td></tr></table></td>"
                 L"</tr></table>"
                 L"<div><a href=\"forumdisplay.php?f=9\">Nine</a> "
                 L"<a href=\"forumdisplay.php?f=9&amp;page=2\">Nine, page 2</a> "
                 L"<a href=\"forumdisplay.php?f=9\">Nine again</a></div>",
                 {{"/misc.php?do=letter", L"Letter cell"},
                  {"/misc.php?do=bare", L"Bare cell"},
                  {"/forumdisplay.php?f=9", L"Nine"},
                  {"/forumdisplay.php?f=9&page=2", L"Nine, page 2"}}},
        ScanCase{"NothingQualifies",
                 L"<table><tr><td class=\"alt1\"><a href=\"member.php?u=1\">Member</a></td>"
                 L"</tr></table>",
                 {}}),
    [](const ::testing::TestParamInfo<ScanCase>& row) { return row.param.name; });

// vBulletin 4 lists forums in <li id="forumN"> items, which no cell rule sees; only the
// second pass's address rule can find them, and only with vBulletin's standard links.
struct Vb4Case {
    const char* name;
    bool friendly_urls;
    bool navbar_new_thread;
    bool lists_main_page;  // the index itself, titled with its TITLE
    Expected expected;
};
void PrintTo(const Vb4Case& row, std::ostream* out) {
    *out << row.name;
}

class VBulletin4ScanTest : public VBulletinEngineTest,
                           public ::testing::WithParamInterface<Vb4Case> {};

TEST_P(VBulletin4ScanTest, ListsWhatTheForumHomeGives) {
    const Vb4Case& row = GetParam();
    FakeVBulletin board(4, kCodePageUtf8);
    FakeVBulletinSetup setup;
    setup.friendly_urls = row.friendly_urls;
    setup.navbar_new_thread = row.navbar_new_thread;
    board.Configure(setup);
    SectionList sections = Scan(board.MainUrl());
    if (row.lists_main_page) {
        ExpectSections(board, sections, {{"/forum.php", board.BoardTitle()}});
    } else {
        ExpectSections(board, sections, row.expected);
    }
}

INSTANTIATE_TEST_SUITE_P(
    ForumHomes, VBulletin4ScanTest,
    ::testing::Values(Vb4Case{"StandardLinks",
                              false,
                              false,
                              false,
                              {{"/forumdisplay.php?f=1", L"Java Programming"},
                               {"/forumdisplay.php?f=53", L"Collections and Generics"},
                               {"/forumdisplay.php?f=58", L"AWT / Java Swing"},
                               {"/forumdisplay.php?f=59", L"Java Applets"}}},
                      Vb4Case{"FriendlyLinks", true, false, false, {}},
                      // The saved board: its "Ask a Question" tab makes the index look
                      // like a section page.
                      Vb4Case{"FriendlyLinksAndNewThreadTab", true, true, true, {}}),
    [](const ::testing::TestParamInfo<Vb4Case>& row) { return row.param.name; });

// --- What the board answered ----------------------------------------------------------

TEST_F(VBulletinEngineTest, NavigationTabIntoAnotherForumIsNeverTaken) {
    // vBulletin 4's "Ask a Question" tab leads to forum 62, a forum that takes threads,
    // and comes before the section's own button.
    FakeVBulletin board(4, kCodePageUtf8);
    FakeVBulletinSetup setup;
    setup.navbar_new_thread = true;
    board.Configure(setup);
    std::wstring topic_url;
    EXPECT_EQ(Submit(board, L"Тема", L"Текст", topic_url, 53), kOk);
    ASSERT_EQ(board.Topics().size(), 1u);
    EXPECT_EQ(board.Topics()[0].section, "53");

    setup.new_thread_link = false;
    board.Configure(setup);
    engine_ = CreateEngine(L"vBulletin");
    engine_->SetSleeper(sleeper_);
    EXPECT_EQ(Submit(board, L"Тема", L"Текст", topic_url, 53), kNewTopicNotAllowed);
    EXPECT_EQ(board.Topics().size(), 1u);
}

struct AnswerCase {
    const char* name;
    std::function<void(FakeVBulletinSetup&)> change;
    ResultCode expected;
    size_t topics_stored;
    const char* failure_text;
    long slept_ms;  // the whole post's pauses
};
void PrintTo(const AnswerCase& row, std::ostream* out) {
    *out << row.name;
}

class VBulletinAnswerTest : public VBulletinEngineTest,
                            public ::testing::WithParamInterface<AnswerCase> {};

TEST_P(VBulletinAnswerTest, ResultSaysWhatTheBoardDid) {
    const AnswerCase& row = GetParam();
    FakeVBulletin board;
    FakeVBulletinSetup setup;
    row.change(setup);
    board.Configure(setup);
    std::vector<int> statuses;
    engine_->SetStatusReporter([&statuses](int textId) { statuses.push_back(textId); });

    std::wstring topic_url;
    EXPECT_EQ(Submit(board, L"Тема", L"Текст", topic_url), row.expected);
    ASSERT_EQ(board.Topics().size(), row.topics_stored);
    // The board's words, and its "click here" line where the page has one.
    EXPECT_EQ(WideToUtf8(engine_->failure_text).rfind(row.failure_text, 0), 0u)
        << WideToUtf8(engine_->failure_text);
    EXPECT_EQ(sleeper_.total_ms(), row.slept_ms);
    if (row.slept_ms > 18000) {
        EXPECT_EQ(statuses, (std::vector<int>{kIdsWaitingFloodLimit, kIdsSendingMessage}));
    }
}

const char kFloodText[] =
    "Этот форум требует, чтобы вы подождали 30 секунд между сообщениями. Пожалуйста, "
    "повторите попытку через 12 секунд.";

INSTANTIATE_TEST_SUITE_P(
    Answers, VBulletinAnswerTest,
    ::testing::Values(
        // 15 s before and 3 s after each sending, and the 12 seconds the board named.
        AnswerCase{"FloodRefusalWaitedOut", [](FakeVBulletinSetup& s) { s.flood_refusals = 1; },
                   kOk, 1, "", (15 + 3 + 12 + 15 + 3) * 1000},
        AnswerCase{"SecondFloodRefusal", [](FakeVBulletinSetup& s) { s.flood_refusals = 2; },
                   kCheckResult, 0, kFloodText, (15 + 3 + 12 + 15 + 3) * 1000},
        AnswerCase{"HeldForAModerator", [](FakeVBulletinSetup& s) { s.moderated = true; },
                   kCheckResult, 1,
                   "Спасибо за сообщение! Ваше сообщение будет доступно после проверки "
                   "модератором.",
                   (15 + 3) * 1000}),
    [](const ::testing::TestParamInfo<AnswerCase>& row) { return row.param.name; });

}  // namespace
}  // namespace twk
