#include <gtest/gtest.h>

#include <ctime>
#include <functional>
#include <memory>
#include <ostream>
#include <string>

#include "engines/ForumEngine.h"
#include "support/FakeSleeper.h"
#include "support/FakeVBulletin.h"
#include "text/StringTable.h"
#include "text/Unicode.h"

namespace twk {
namespace {

using test::FakeReply;
using test::FakeTopic;
using test::FakeVBulletin;
using test::FakeVBulletinSetup;

// A whole minute: the board shows post times to the minute.
constexpr int64_t kReplyTime = 1699999980;

class VBulletinTopicTest : public ::testing::Test {
protected:
    VBulletinTopicTest() : engine_(CreateEngine(L"vBulletin")) { engine_->SetSleeper(sleeper_); }

    static int Place(FakeVBulletin& board, const std::function<void(FakeTopic&)>& change = {}) {
        FakeTopic topic;
        topic.section = "2";
        topic.subject = L"Старая тема";
        topic.body = L"Старый текст";
        if (change) {
            change(topic);
        }
        return board.PlaceTopic(topic);
    }

    // The job's update sequence: sign in, edit.
    ResultCode Edit(const FakeVBulletin& board, int id, const std::wstring& subject,
                    const std::wstring& body) {
        engine_->SetBaseUrl(board.MainUrl());
        std::wstring title;
        const ResultCode code =
            engine_->SignIn(FakeVBulletin::kLogin, FakeVBulletin::kPassword, title);
        return code != kOk ? code : engine_->EditTopic(board.TopicUrl(id), subject, body);
    }

    ResultCode Replies(const FakeVBulletin& board, int id, ReplyInfo& info) {
        engine_->SetBaseUrl(board.MainUrl());
        return engine_->ReadReplies(board.TopicUrl(id), info);
    }

    test::FakeSleeper sleeper_;
    std::unique_ptr<ForumEngine> engine_;
};

// --- Editing --------------------------------------------------------------------------------

struct EditCase {
    const char* name;
    int generation;
    uint32_t code_page;
    bool answer_refresh;
    const wchar_t* subject;
    const wchar_t* body;
};
void PrintTo(const EditCase& row, std::ostream* out) {
    *out << row.name;
}

class VBulletinEditTest : public VBulletinTopicTest,
                          public ::testing::WithParamInterface<EditCase> {};

TEST_P(VBulletinEditTest, PutsTheNewSubjectAndBodyInTheFirstPost) {
    const EditCase& row = GetParam();
    FakeVBulletin board(row.generation, row.code_page);
    FakeVBulletinSetup setup;
    setup.post_answer_refresh = row.answer_refresh;
    board.Configure(setup);
    const int id = Place(board);

    ASSERT_EQ(Edit(board, id, row.subject, row.body), kOk) << WideToUtf8(engine_->failure_text);
    ASSERT_EQ(board.Topics().size(), 1u);
    const FakeTopic topic = board.Topics()[0];
    EXPECT_EQ(topic.subject, row.subject);
    EXPECT_EQ(topic.body, row.body);
    EXPECT_EQ(topic.edits, 1);
    EXPECT_EQ(topic.edit_fields.count("deletepost"), 0u);
    EXPECT_EQ(topic.edit_fields.find("wysiwyg")->second, "0");
    EXPECT_EQ(board.CountRequests("POST /newthread.php"), 0u);
    // The pause before a post, before the edit too.
    EXPECT_EQ(sleeper_.total_ms(), 15000);
}

INSTANTIATE_TEST_SUITE_P(
    Boards, VBulletinEditTest,
    ::testing::Values(
        EditCase{"Vb3Windows1251Redirect", 3, kCodePageWindows1251, false,
                 L"Исправленная тема: дата 12.05",
                 L"[b]Новая[/b] дата!\r\n[url=http://example.com/?a=1&b=2]ссылка[/url]"},
        EditCase{"Vb3Utf8Refresh", 3, kCodePageUtf8, true, L"Café déjà vu — тема 主题",
                 L"Texte accentué é à ü\r\n中文 [i]курсив[/i]"},
        EditCase{"Vb4Utf8Redirect", 4, kCodePageUtf8, false, L"Generics 問題 fixed",
                 L"[code]List<String>[/code] Кириллица"}),
    [](const ::testing::TestParamInfo<EditCase>& row) { return row.param.name; });

struct RefusalCase {
    const char* name;
    std::function<void(FakeVBulletin&, FakeTopic&, FakeVBulletinSetup&)> change;
    ResultCode expected;
    const char* words;
    int edits_stored;
};
void PrintTo(const RefusalCase& row, std::ostream* out) {
    *out << row.name;
}

class VBulletinEditRefusalTest : public VBulletinTopicTest,
                                 public ::testing::WithParamInterface<RefusalCase> {};

TEST_P(VBulletinEditRefusalTest, EndsWithTheBoardsWords) {
    const RefusalCase& row = GetParam();
    FakeVBulletin board;
    FakeVBulletinSetup setup;
    const int id = Place(board, [&](FakeTopic& topic) { row.change(board, topic, setup); });
    board.Configure(setup);

    EXPECT_EQ(Edit(board, id, L"Новая тема", L"Новый текст"), row.expected);
    EXPECT_NE(WideToUtf8(engine_->failure_text).find(row.words), std::string::npos)
        << WideToUtf8(engine_->failure_text);
    EXPECT_EQ(board.CountEdits(), row.edits_stored);
    EXPECT_EQ(board.Topics().size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(
    Boards, VBulletinEditRefusalTest,
    ::testing::Values(RefusalCase{"AnotherAccountsPost",
                                  [](FakeVBulletin&, FakeTopic& placed, FakeVBulletinSetup&) {
                                      placed.author = L"Другой";
                                  },
                                  kEditRefused, "нет прав доступа", 0},
                      RefusalCase{"LockedThread",
                                  [](FakeVBulletin&, FakeTopic& placed, FakeVBulletinSetup&) {
                                      placed.locked = true;
                                  },
                                  kEditRefused, "Эта тема закрыта", 0},
                      RefusalCase{"TimeLimitPassed",
                                  [](FakeVBulletin& b, FakeTopic& placed, FakeVBulletinSetup&) {
                                      b.SetEditTimeLimit(1800);
                                      placed.posted_at =
                                          static_cast<int64_t>(std::time(nullptr)) - 7200;
                                  },
                                  kEditRefused, "в течение 30 минут", 0},
                      RefusalCase{"ThreadGone",
                                  [](FakeVBulletin&, FakeTopic& placed, FakeVBulletinSetup&) {
                                      placed.gone = true;
                                  },
                                  kTopicGone, "Неверно указана тема", 0},
                      RefusalCase{"TitleKeptByTheBoard",
                                  [](FakeVBulletin&, FakeTopic&, FakeVBulletinSetup& s) {
                                      s.keep_thread_title = true;
                                  },
                                  kCheckResult, "still shows the old subject", 1}),
    [](const ::testing::TestParamInfo<RefusalCase>& row) { return row.param.name; });

TEST_F(VBulletinTopicTest, LostAnswerAfterAnAppliedEditIsAnUpdate) {
    FakeVBulletin board;
    FakeVBulletinSetup setup;
    setup.edit_answer_lost = true;
    board.Configure(setup);
    const int id = Place(board);

    EXPECT_EQ(Edit(board, id, L"Новая тема", L"Новый текст"), kOk);
    EXPECT_EQ(board.CountEdits(), 1);
    EXPECT_EQ(board.CountRequests("POST /editpost.php"), 1u);
}

TEST_F(VBulletinTopicTest, StopDuringThePauseSendsNothing) {
    FakeVBulletin board;
    const int id = Place(board);
    sleeper_.OnSleep(1, [&] { engine_->stop_requested = true; });

    EXPECT_EQ(Edit(board, id, L"Новая тема", L"Новый текст"), kStopped);
    EXPECT_EQ(board.CountRequests("POST /editpost.php"), 0u);
    EXPECT_EQ(board.CountEdits(), 0);
}

// --- Replies --------------------------------------------------------------------------------

struct RepliesCase {
    int replies;
    int pages_read;
    int last_page;  // 0: the topic has one page
};
void PrintTo(const RepliesCase& row, std::ostream* out) {
    *out << row.replies << " replies";
}

class VBulletinRepliesTest : public VBulletinTopicTest,
                             public ::testing::WithParamInterface<RepliesCase> {};

TEST_P(VBulletinRepliesTest, CountsFromTheLastPage) {
    const RepliesCase& row = GetParam();
    FakeVBulletin board;
    const int id = Place(board, [&](FakeTopic& topic) {
        for (int i = 1; i <= row.replies; ++i) {
            topic.replies.push_back(
                FakeReply{L"Читатель " + std::to_wstring(i), kReplyTime + 60 * i, L"Ответ"});
        }
    });

    ReplyInfo info;
    ASSERT_EQ(Replies(board, id, info), kOk) << WideToUtf8(engine_->failure_text);
    EXPECT_EQ(info.replies, row.replies);
    EXPECT_EQ(info.pages_read, row.pages_read);
    EXPECT_EQ(info.newest_url, row.last_page == 0 ? board.TopicUrl(id)
                                                  : board.Url("/showthread.php?t=1&page=" +
                                                              std::to_string(row.last_page)));
    if (row.replies == 0) {
        EXPECT_EQ(info.newest_author, L"");
        EXPECT_EQ(info.newest_time, 0);
    } else {
        EXPECT_EQ(info.newest_author, L"Читатель " + std::to_wstring(row.replies));
        EXPECT_EQ(info.newest_time, kReplyTime + 60 * row.replies);
    }
}

// 15 posts a page; past three pages from the first only the "Last" link leads there.
INSTANTIATE_TEST_SUITE_P(Topics, VBulletinRepliesTest,
                         ::testing::Values(RepliesCase{0, 1, 0}, RepliesCase{1, 1, 0},
                                           RepliesCase{44, 2, 3}, RepliesCase{45, 2, 4},
                                           RepliesCase{130, 2, 9}));

TEST_F(VBulletinTopicTest, GoneThreadIsNeverZeroReplies) {
    FakeVBulletin board;
    const int id = Place(board, [](FakeTopic& topic) { topic.gone = true; });
    ReplyInfo info;
    EXPECT_EQ(Replies(board, id, info), kTopicGone);
    EXPECT_NE(WideToUtf8(engine_->failure_text).find("Неверно указана тема"), std::string::npos);

    EXPECT_EQ(engine_->ReadReplies(board.Url("/archive/showthread.php?t=1"), info), kTopicGone);
    EXPECT_NE(WideToUtf8(engine_->failure_text).find("404"), std::string::npos);
}

TEST_F(VBulletinTopicTest, MembersOnlyThreadIsReadAfterSigningIn) {
    FakeVBulletin board;
    FakeVBulletinSetup setup;
    setup.members_only_forum = 2;
    board.Configure(setup);
    const int id = Place(board, [](FakeTopic& topic) {
        topic.replies.push_back(FakeReply{L"Читатель", kReplyTime, L"Ответ"});
    });

    ReplyInfo info;
    ASSERT_EQ(Replies(board, id, info), kSignInNeeded);
    std::wstring title;
    ASSERT_EQ(engine_->SignIn(FakeVBulletin::kLogin, FakeVBulletin::kPassword, title), kOk);
    ASSERT_EQ(engine_->ReadReplies(board.TopicUrl(id), info), kOk);
    EXPECT_EQ(info.replies, 1);
    EXPECT_EQ(info.newest_author, L"Читатель");
}

}  // namespace
}  // namespace twk
