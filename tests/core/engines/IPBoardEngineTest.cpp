#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>

#include "engines/IPBoardEngine.h"
#include "support/FakeIPBoard.h"
#include "support/FakeSleeper.h"
#include "web/Charsets.h"

namespace twk {
namespace {

using test::FakeIPBoard;
using test::FakeSleeper;
using test::IPBoardGeneration;
using ::testing::Contains;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;

struct BoardCase {
    const char* name;
    IPBoardGeneration generation;
    uint32_t code_page;
    bool inline_sign_in;
};

// Board 2 with its quick sign-in box and with only the sign-in page (whose form has the
// "CookieDate" field), IP.Board 3.0 (sign-in page behind a Facebook link) and 3.4.
const BoardCase kBoards[] = {
    {"Board2Windows1251", IPBoardGeneration::k2, kCodePageWindows1251, true},
    {"Board2SignInPageUtf8", IPBoardGeneration::k2, kCodePageUtf8, false},
    {"Board3Utf8", IPBoardGeneration::k3, kCodePageUtf8, false},
    {"Board34Utf8", IPBoardGeneration::k34, kCodePageUtf8, true},
    {"Board34Windows1251", IPBoardGeneration::k34, kCodePageWindows1251, true},
};

// An engine on a fake board, with its pauses off.
class EngineOnBoard {
public:
    explicit EngineOnBoard(FakeIPBoard& board) : board_(board) {
        engine.SetSleeper(sleeper);
        engine.SetBaseUrl(board.MainUrl());
    }

    ResultCode SignIn(const std::wstring& password = FakeIPBoard::kPassword) {
        return engine.SignIn(FakeIPBoard::kLogin, password, forum_title);
    }

    // Signs in, opens the test section and posts.
    ResultCode Submit(const std::wstring& subject, const std::wstring& body) {
        ResultCode result = SignIn();
        if (result == kOk) {
            result = engine.OpenSection(board_.SectionUrl());
        }
        if (result == kOk) {
            result = engine.PostTopic(subject, body, topic_url);
        }
        return result;
    }

    IPBoardEngine engine;
    FakeSleeper sleeper;
    std::wstring forum_title;
    std::wstring topic_url = L"untouched";

private:
    FakeIPBoard& board_;
};

std::unique_ptr<FakeIPBoard> MakeBoard(const BoardCase& board) {
    auto fake = std::make_unique<FakeIPBoard>(board.generation, board.code_page);
    fake->Update(
        [&](FakeIPBoard::Options& options) { options.inline_sign_in = board.inline_sign_in; });
    return fake;
}

class IPBoardBoardTest : public ::testing::TestWithParam<BoardCase> {};

TEST_P(IPBoardBoardTest, ScanListsEverySectionOnceWithAbsoluteAddressAndTitle) {
    auto board = MakeBoard(GetParam());
    EngineOnBoard run(*board);
    ASSERT_EQ(run.SignIn(), kOk);
    SectionList sections;
    ASSERT_EQ(run.engine.ReadSections(sections), kOk);

    // Board 2 writes its category link twice; IP.Board 3.4 has no "showforum=" links and
    // names only its forums (not the category, not the subforum list) in H4 headings.
    struct Expected {
        int id;
        const wchar_t* title;
    };
    std::vector<Expected> expected = {
        {1, L"General"}, {2, L"News & Announcements"}, {3, L"Курилка"}, {4, L"Архив"}};
    if (GetParam().generation == IPBoardGeneration::k34) {
        expected = {{2, L"News & Announcements"}, {3, L"Курилка"}};
    }
    ASSERT_EQ(sections.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(sections[i].key, board->SectionUrl(expected[i].id)) << i;
        EXPECT_EQ(sections[i].url, sections[i].key) << i;
        EXPECT_EQ(sections[i].title, expected[i].title) << i;
    }
}

TEST_P(IPBoardBoardTest, SubmissionPostsTheExactTopicAndReportsItsAddress) {
    auto board = MakeBoard(GetParam());
    std::wstring subject = L"Привет, мир! 50% + 1 = успех & <b>";
    std::wstring body = L"[b]Жирный[/b] текст\r\nвторая строка: a+b=c&d;\r\n";
    if (GetParam().code_page == kCodePageUtf8) {
        subject += L" 你好，世界";
        body += L"中文内容";
    }
    EngineOnBoard run(*board);
    ASSERT_EQ(run.Submit(subject, body), kOk);

    EXPECT_EQ(run.forum_title, board->BoardTitle());
    EXPECT_EQ(run.topic_url, board->TopicUrl(1));
    std::vector<test::FakeTopic> topics = board->Topics();
    ASSERT_EQ(topics.size(), 1u);
    EXPECT_EQ(topics[0].subject, subject);
    EXPECT_EQ(topics[0].body, body);
    EXPECT_EQ(topics[0].section, std::to_string(FakeIPBoard::kSectionId));
    EXPECT_EQ(topics[0].pressed_button, "dosubmit");
    // The board found nothing wrong: right form keys and User-Agent, no remember-me field.
    EXPECT_THAT(board->Violations(), IsEmpty());
    std::vector<std::string> signInFields = board->SignInFieldNames();
    EXPECT_THAT(signInFields, Not(Contains("rememberMe")));
    EXPECT_THAT(signInFields, Not(Contains("CookieDate")));
    // The Facebook sign-in link comes first on IP.Board 3 pages and must be passed over.
    EXPECT_EQ(board->Served("facebook sign-in"), 0);
    // The ten-second pause before sending, one second at a time.
    EXPECT_EQ(run.sleeper.sleeps(), 10);
    EXPECT_EQ(run.sleeper.total_ms(), 10000);
}

TEST_P(IPBoardBoardTest, SessionLeftSignedInIsSignedOutFirst) {
    auto board = MakeBoard(GetParam());
    board->Update([](FakeIPBoard::Options& options) { options.start_signed_in = true; });
    EngineOnBoard run(*board);
    ASSERT_EQ(run.SignIn(), kOk);
    EXPECT_EQ(board->Served("sign-out"), 1);
    EXPECT_THAT(board->SignInFieldNames(), Not(IsEmpty()));
    EXPECT_THAT(board->Violations(), IsEmpty());
}

// Test names from the rows' names.
template <typename Row>
std::string RowName(const ::testing::TestParamInfo<Row>& row) {
    return row.param.name;
}

INSTANTIATE_TEST_SUITE_P(Boards, IPBoardBoardTest, ::testing::ValuesIn(kBoards),
                         RowName<BoardCase>);

struct SignInFailure {
    const char* name;
    IPBoardGeneration generation;
    std::function<void(FakeIPBoard::Options&)> change;
    bool wrong_password;
    ResultCode expected;
    const wchar_t* failure_text;
};

class IPBoardSignInFailureTest : public ::testing::TestWithParam<SignInFailure> {};

TEST_P(IPBoardSignInFailureTest, EndsWithItsCode) {
    const SignInFailure& row = GetParam();
    FakeIPBoard board(row.generation, kCodePageUtf8);
    board.Update(row.change);
    EngineOnBoard run(board);
    EXPECT_EQ(run.SignIn(row.wrong_password ? L"not the password" : FakeIPBoard::kPassword),
              row.expected);
    EXPECT_EQ(run.engine.failure_text, row.failure_text);
}

const SignInFailure kSignInFailures[] = {
    // The board's own words are the failure text.
    {"WrongPasswordBoard2", IPBoardGeneration::k2, [](auto&) {}, true, kInvalidLogin,
     L"The error returned was: Username or password incorrect. Please try again."},
    {"WrongPasswordBoard34", IPBoardGeneration::k34, [](auto&) {}, true, kInvalidLogin,
     L"The error returned was: Username or password incorrect. Please try again."},
    // No form on the index nor behind the sign-in link: the board is not what it seems.
    {"NoSignInFormBoard2", IPBoardGeneration::k2,
     [](auto& options) {
         options.inline_sign_in = false;
         options.sign_in_page_form = false;
     },
     false, kNotScript, L""},
    {"MainPageFails", IPBoardGeneration::k2,
     [](auto& options) { options.failing_target = "/forum/index.php"; }, false, kConnectionError,
     L"500 Internal Server Error"},
    {"SignInPageFails", IPBoardGeneration::k3,
     [](auto& options) {
         options.failing_target = "/forum/index.php?app=core&module=global&section=login";
     },
     false, kConnectionError, L"500 Internal Server Error"},
};

INSTANTIATE_TEST_SUITE_P(Cases, IPBoardSignInFailureTest, ::testing::ValuesIn(kSignInFailures),
                         RowName<SignInFailure>);

// IP.Board 3.0 has no form on the index: its sign-in link is followed once, not again.
TEST(IPBoardEngineTest, SignInPageIsOpenedOnceWhenItHasNoForm) {
    FakeIPBoard board(IPBoardGeneration::k3, kCodePageUtf8);
    board.Update([](auto& options) { options.sign_in_page_form = false; });
    EngineOnBoard run(board);
    EXPECT_EQ(run.SignIn(), kNotScript);
    EXPECT_EQ(board.Served("sign-in page"), 1);
    EXPECT_THAT(board.SignInFieldNames(), IsEmpty());
}

TEST(IPBoardEngineTest, ClosedPortIsAConnectionErrorWithTheClientsText) {
    std::wstring mainUrl;
    {
        FakeIPBoard gone(IPBoardGeneration::k2, kCodePageUtf8);
        mainUrl = gone.MainUrl();
    }
    IPBoardEngine engine;
    FakeSleeper sleeper;
    engine.SetSleeper(sleeper);
    engine.SetBaseUrl(mainUrl);
    std::wstring title = L"kept";
    EXPECT_EQ(engine.SignIn(FakeIPBoard::kLogin, FakeIPBoard::kPassword, title), kConnectionError);
    EXPECT_FALSE(engine.failure_text.empty());
    EXPECT_EQ(title, L"kept");
    // A refused connection may pass: tried again twice, after growing pauses.
    EXPECT_EQ(sleeper.total_ms(), (2 + 4) * 1000);
}

struct PostFailure {
    const char* name;
    std::function<void(FakeIPBoard::Options&)> change;
    ResultCode expected;
    int posts_received;                 // new-topic forms that reached the board
    size_t topics;                      // topics it stored
    const wchar_t* failure_text = L"";  // part of it; "" for none
};

const PostFailure kPostFailures[] = {
    {"NoNewTopicLink", [](auto& options) { options.new_topic_link = false; }, kNewTopicNotAllowed,
     0, 0},
    {"NoTopicTitle", [](auto& options) { options.omitted_post_fields = {"TopicTitle"}; },
     kNotScript, 0, 0},
    {"NoPostField", [](auto& options) { options.omitted_post_fields = {"Post"}; }, kNotScript, 0,
     0},
    {"NoSubmitButton",
     [](auto& options) {
         options.omitted_post_fields = {"dosubmit", "preview"};
     },
     kNotScript, 0, 0},
    // A form with "preview" alone is sent with it; the board only shows a preview.
    {"PreviewButtonOnly", [](auto& options) { options.omitted_post_fields = {"dosubmit"}; },
     kCheckResult, 1, 0},
    {"NoReplyLink", [](auto& options) { options.reply_link = false; }, kCheckResult, 1, 1,
     L"This topic is locked."},
    // The topic page fails after the board took the post, and the section does not list
    // it: the post may have arrived, and the text says so.
    {"RefreshTargetFails",
     [](auto& options) {
         options.refresh_answers = true;
         options.post_refresh_fails = true;
     },
     kCheckResult, 1, 1, L"\"404 Not Found\" after the message was sent"},
};

class IPBoardPostFailureTest
    : public ::testing::TestWithParam<std::tuple<IPBoardGeneration, PostFailure>> {};

TEST_P(IPBoardPostFailureTest, EndsWithItsCode) {
    auto [generation, row] = GetParam();
    FakeIPBoard board(generation, kCodePageUtf8);
    board.Update(row.change);
    EngineOnBoard run(board);
    EXPECT_EQ(run.Submit(L"Subject", L"Body"), row.expected);
    EXPECT_EQ(board.Served("new topic"), row.posts_received);
    EXPECT_EQ(board.Topics().size(), row.topics);
    EXPECT_THAT(board.Violations(), IsEmpty());
    if (row.expected == kCheckResult) {
        EXPECT_EQ(run.topic_url, L"");
    }
    if (*row.failure_text == L'\0') {
        EXPECT_EQ(run.engine.failure_text, L"");
    } else {
        EXPECT_THAT(run.engine.failure_text, HasSubstr(row.failure_text));
    }
}

std::string PostFailureName(
    const ::testing::TestParamInfo<std::tuple<IPBoardGeneration, PostFailure>>& row) {
    const char* const generations[] = {"Board2", "Board3", "Board34"};
    return generations[static_cast<int>(std::get<0>(row.param))] +
           std::string(std::get<1>(row.param).name);
}

INSTANTIATE_TEST_SUITE_P(Cases, IPBoardPostFailureTest,
                         ::testing::Combine(::testing::Values(IPBoardGeneration::k2,
                                                              IPBoardGeneration::k3,
                                                              IPBoardGeneration::k34),
                                            ::testing::ValuesIn(kPostFailures)),
                         PostFailureName);

TEST(IPBoardEngineTest, NewTopicPageFailureIsAConnectionError) {
    FakeIPBoard board(IPBoardGeneration::k3, kCodePageUtf8);
    board.Update([](auto& options) {
        options.failing_target =
            "/forum/index.php?app=forums&module=post&section=post&do=new_post&f=2";
    });
    EngineOnBoard run(board);
    EXPECT_EQ(run.Submit(L"Subject", L"Body"), kConnectionError);
    EXPECT_EQ(run.engine.failure_text, L"500 Internal Server Error");
    EXPECT_EQ(board.Served("new topic"), 0);
}

TEST(IPBoardEngineTest, StopDuringThePauseSendsNothing) {
    FakeIPBoard board(IPBoardGeneration::k2, kCodePageWindows1251);
    EngineOnBoard run(board);
    run.sleeper.OnSleep(3, [&] { run.engine.stop_requested = true; });
    EXPECT_EQ(run.Submit(L"Тема", L"Текст"), kStopped);
    EXPECT_EQ(run.sleeper.sleeps(), 3);
    EXPECT_EQ(board.Served("new topic"), 0);
    EXPECT_TRUE(board.Topics().empty());
}

TEST(IPBoardEngineTest, ButtonElementsAreReadAndPressedLikeSubmitInputs) {
    for (IPBoardGeneration generation : {IPBoardGeneration::k2, IPBoardGeneration::k34}) {
        FakeIPBoard board(generation, kCodePageUtf8);
        board.Update([](auto& options) { options.button_elements = true; });
        EngineOnBoard run(board);
        EXPECT_EQ(run.Submit(L"Тема «кнопки»", L"[b]Текст[/b]"), kOk);
        ASSERT_EQ(board.Topics().size(), 1u);
        EXPECT_EQ(board.Topics()[0].pressed_button, "dosubmit");
        EXPECT_THAT(board.Violations(), IsEmpty());
    }
}

}  // namespace
}  // namespace twk
