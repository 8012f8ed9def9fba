#include <gtest/gtest.h>

#include <ctime>
#include <functional>
#include <memory>
#include <ostream>
#include <string>

#include "engines/ForumEngine.h"
#include "support/FakeIPBoard.h"
#include "support/FakeSleeper.h"
#include "text/Unicode.h"
#include "web/Charsets.h"

namespace twk {
namespace {

using test::FakeIPBoard;
using test::FakeReply;
using test::FakeTopic;
using test::IPBoardGeneration;

// A whole minute: board 2 shows post times to the minute.
constexpr int64_t kReplyTime = 1699999980;

class IPBoardTopicTest : public ::testing::Test {
protected:
    IPBoardTopicTest() { NewEngine(); }

    // A job's own engine, for each board a test walks through.
    void NewEngine() {
        engine_ = CreateEngine(L"IPBoard");
        engine_->SetSleeper(sleeper_);
    }

    static int Place(FakeIPBoard& board, const std::function<void(FakeTopic&)>& change = {}) {
        FakeTopic topic;
        topic.section = std::to_string(FakeIPBoard::kSectionId);
        topic.subject = L"Старая тема";
        topic.body = L"Старый текст";
        if (change) {
            change(topic);
        }
        return board.PlaceTopic(topic);
    }

    // The job's update sequence: sign in, edit.
    ResultCode Edit(const FakeIPBoard& board, int id, const std::wstring& subject,
                    const std::wstring& body) {
        engine_->SetBaseUrl(board.MainUrl());
        std::wstring title;
        const ResultCode code = engine_->SignIn(FakeIPBoard::kLogin, FakeIPBoard::kPassword, title);
        return code != kOk ? code : engine_->EditTopic(board.TopicUrl(id), subject, body);
    }

    ResultCode Replies(const FakeIPBoard& board, int id, ReplyInfo& info) {
        engine_->SetBaseUrl(board.MainUrl());
        return engine_->ReadReplies(board.TopicUrl(id), info);
    }

    test::FakeSleeper sleeper_;
    std::unique_ptr<ForumEngine> engine_;
};

// --- Editing --------------------------------------------------------------------------------

struct EditCase {
    const char* name;
    IPBoardGeneration generation;
    uint32_t code_page;
    const wchar_t* subject;
    const wchar_t* body;
};
void PrintTo(const EditCase& row, std::ostream* out) {
    *out << row.name;
}

class IPBoardEditTest : public IPBoardTopicTest, public ::testing::WithParamInterface<EditCase> {};

TEST_P(IPBoardEditTest, PutsTheNewSubjectAndBodyInTheFirstPost) {
    const EditCase& row = GetParam();
    FakeIPBoard board(row.generation, row.code_page);
    const int id = Place(board, [](FakeTopic& topic) {
        // The account's own reply carries an Edit link too; only the first post's is taken.
        topic.replies.push_back(FakeReply{FakeIPBoard::kLogin, kReplyTime, L"Ответ"});
    });

    ASSERT_EQ(Edit(board, id, row.subject, row.body), kOk) << WideToUtf8(engine_->failure_text);
    ASSERT_EQ(board.Topics().size(), 1u);
    const FakeTopic topic = board.Topics()[0];
    EXPECT_EQ(topic.subject, row.subject);
    EXPECT_EQ(topic.body, row.body);
    EXPECT_EQ(topic.edits, 1);
    EXPECT_EQ(topic.edit_fields.count("preview"), 0u);
    EXPECT_EQ(board.Served("new topic"), 0);
    EXPECT_TRUE(board.Violations().empty()) << board.Violations().front();
    // The pause before a post, before the edit too.
    EXPECT_EQ(sleeper_.total_ms(), 10000);
}

INSTANTIATE_TEST_SUITE_P(
    Boards, IPBoardEditTest,
    ::testing::Values(
        EditCase{"Board2Windows1251", IPBoardGeneration::k2, kCodePageWindows1251,
                 L"Исправленная тема: дата 12.05",
                 L"[b]Новая[/b] дата!\r\n[url=http://example.com/?a=1&b=2]ссылка[/url]"},
        EditCase{"Board3Utf8", IPBoardGeneration::k3, kCodePageUtf8, L"Café déjà vu — тема 主题",
                 L"Texte accentué é à ü\r\n中文 [i]курсив[/i]"},
        EditCase{"Board34Utf8", IPBoardGeneration::k34, kCodePageUtf8, L"Generics 問題 fixed",
                 L"[code]List<String>[/code] Кириллица & [quote]цитата[/quote]"}),
    [](const ::testing::TestParamInfo<EditCase>& row) { return row.param.name; });

struct RefusalCase {
    const char* name;
    IPBoardGeneration generation;
    std::function<void(FakeIPBoard&, FakeTopic&)> change;
    ResultCode expected;
    const char* words;
};
void PrintTo(const RefusalCase& row, std::ostream* out) {
    *out << row.name;
}

class IPBoardEditRefusalTest : public IPBoardTopicTest,
                               public ::testing::WithParamInterface<RefusalCase> {};

TEST_P(IPBoardEditRefusalTest, EndsWithTheBoardsWords) {
    const RefusalCase& row = GetParam();
    FakeIPBoard board(row.generation, kCodePageUtf8);
    const int id = Place(board, [&](FakeTopic& topic) { row.change(board, topic); });

    EXPECT_EQ(Edit(board, id, L"Новая тема", L"Новый текст"), row.expected);
    EXPECT_NE(WideToUtf8(engine_->failure_text).find(row.words), std::string::npos)
        << WideToUtf8(engine_->failure_text);
    EXPECT_EQ(board.CountEdits(), 0);
    EXPECT_EQ(board.Served("edit"), 0);
    EXPECT_EQ(board.Topics().size(), 1u);
}

void OtherAuthor(FakeIPBoard&, FakeTopic& topic) {
    topic.author = L"Другой";
}
void Locked(FakeIPBoard&, FakeTopic& topic) {
    topic.locked = true;
}
void TooOld(FakeIPBoard& board, FakeTopic& topic) {
    board.SetEditTimeLimit(1800);
    topic.posted_at = static_cast<int64_t>(std::time(nullptr)) - 7200;
}
void Deleted(FakeIPBoard&, FakeTopic& topic) {
    topic.gone = true;
}

// The board shows Edit only where the account may edit: another member's post names its
// author, a locked topic says so where the reply button would be, and the time limit is
// what is left.
INSTANTIATE_TEST_SUITE_P(
    Boards, IPBoardEditRefusalTest,
    ::testing::Values(RefusalCase{"Board2AnotherAccountsPost", IPBoardGeneration::k2, OtherAuthor,
                                  kEditRefused, "Другой"},
                      RefusalCase{"Board34AnotherAccountsPost", IPBoardGeneration::k34, OtherAuthor,
                                  kEditRefused, "Другой"},
                      RefusalCase{"Board2Locked", IPBoardGeneration::k2, Locked, kEditRefused,
                                  "This topic is locked"},
                      RefusalCase{"Board3Locked", IPBoardGeneration::k3, Locked, kEditRefused,
                                  "This topic is locked"},
                      RefusalCase{"Board3TimeLimitPassed", IPBoardGeneration::k3, TooOld,
                                  kEditRefused, "time limit"},
                      RefusalCase{"Board2Gone", IPBoardGeneration::k2, Deleted, kTopicGone,
                                  "out of date or broken"},
                      RefusalCase{"Board34Gone", IPBoardGeneration::k34, Deleted, kTopicGone,
                                  "does not exist"}),
    [](const ::testing::TestParamInfo<RefusalCase>& row) { return row.param.name; });

TEST_F(IPBoardTopicTest, LostAnswerAfterAnAppliedEditIsAnUpdate) {
    for (IPBoardGeneration generation : {IPBoardGeneration::k2, IPBoardGeneration::k34}) {
        NewEngine();
        FakeIPBoard board(generation, kCodePageUtf8);
        board.Update([](FakeIPBoard::Options& options) { options.edit_answer_lost = true; });
        const int id = Place(board);

        EXPECT_EQ(Edit(board, id, L"Новая тема", L"Новый текст"), kOk)
            << WideToUtf8(engine_->failure_text);
        EXPECT_EQ(board.CountEdits(), 1);
        EXPECT_EQ(board.Served("edit"), 1);
        EXPECT_EQ(board.Served("new topic"), 0);
    }
}

TEST_F(IPBoardTopicTest, StopDuringThePauseSendsNothing) {
    FakeIPBoard board(IPBoardGeneration::k3, kCodePageUtf8);
    const int id = Place(board);
    sleeper_.OnSleep(1, [&] { engine_->stop_requested = true; });

    EXPECT_EQ(Edit(board, id, L"Новая тема", L"Новый текст"), kStopped);
    EXPECT_EQ(board.Served("edit"), 0);
    EXPECT_EQ(board.CountEdits(), 0);
}

// --- Replies --------------------------------------------------------------------------------

struct RepliesCase {
    IPBoardGeneration generation;
    int replies;
    int pages_read;
    int last_page;  // 0: the topic has one page
};
void PrintTo(const RepliesCase& row, std::ostream* out) {
    *out << "generation " << static_cast<int>(row.generation) << ", " << row.replies << " replies";
}

class IPBoardRepliesTest : public IPBoardTopicTest,
                           public ::testing::WithParamInterface<RepliesCase> {};

TEST_P(IPBoardRepliesTest, CountsFromTheLastPage) {
    const RepliesCase& row = GetParam();
    FakeIPBoard board(row.generation, kCodePageWindows1251);
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
    EXPECT_EQ(board.CountRequests("showtopic="), static_cast<size_t>(row.pages_read));
    EXPECT_EQ(info.newest_url,
              row.last_page == 0 ? board.TopicUrl(id) : board.TopicPageUrl(id, row.last_page));
    if (row.replies == 0) {
        EXPECT_EQ(info.newest_author, L"");
        EXPECT_EQ(info.newest_time, 0);
    } else {
        EXPECT_EQ(info.newest_author, L"Читатель " + std::to_wstring(row.replies));
        EXPECT_EQ(info.newest_time, kReplyTime + 60 * row.replies);
    }
}

// 20 posts a page: 45 replies are 46 posts on three pages, and only the last one is read.
// Board 2 and IP.Board 3.0 count posts in their page links, IP.Board 3.4 pages.
INSTANTIATE_TEST_SUITE_P(Topics, IPBoardRepliesTest,
                         ::testing::Values(RepliesCase{IPBoardGeneration::k2, 0, 1, 0},
                                           RepliesCase{IPBoardGeneration::k2, 1, 1, 0},
                                           RepliesCase{IPBoardGeneration::k2, 45, 2, 3},
                                           RepliesCase{IPBoardGeneration::k3, 45, 2, 3},
                                           RepliesCase{IPBoardGeneration::k34, 1, 1, 0},
                                           RepliesCase{IPBoardGeneration::k34, 45, 2, 3},
                                           RepliesCase{IPBoardGeneration::k34, 130, 2, 7}));

TEST_F(IPBoardTopicTest, GoneTopicIsNeverZeroReplies) {
    for (IPBoardGeneration generation : {IPBoardGeneration::k2, IPBoardGeneration::k34}) {
        NewEngine();
        FakeIPBoard board(generation, kCodePageUtf8);
        const int id = Place(board, [](FakeTopic& topic) { topic.gone = true; });
        ReplyInfo info;
        EXPECT_EQ(Replies(board, id, info), kTopicGone);
        EXPECT_FALSE(engine_->failure_text.empty());
    }
}

TEST_F(IPBoardTopicTest, MembersOnlyTopicIsReadAfterSigningIn) {
    for (IPBoardGeneration generation :
         {IPBoardGeneration::k2, IPBoardGeneration::k3, IPBoardGeneration::k34}) {
        NewEngine();
        FakeIPBoard board(generation, kCodePageUtf8);
        board.Update([](FakeIPBoard::Options& options) {
            options.members_only_section = FakeIPBoard::kSectionId;
        });
        const int id = Place(board, [](FakeTopic& topic) {
            topic.replies.push_back(FakeReply{L"Читатель", kReplyTime, L"Ответ"});
        });

        ReplyInfo info;
        ASSERT_EQ(Replies(board, id, info), kSignInNeeded);
        std::wstring title;
        ASSERT_EQ(engine_->SignIn(FakeIPBoard::kLogin, FakeIPBoard::kPassword, title), kOk);
        ASSERT_EQ(engine_->ReadReplies(board.TopicUrl(id), info), kOk);
        EXPECT_EQ(info.replies, 1);
        EXPECT_EQ(info.newest_author, L"Читатель");
        EXPECT_EQ(info.newest_time, kReplyTime);
    }
}

}  // namespace
}  // namespace twk
