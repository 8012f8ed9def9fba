// twk scan and submit against local NodeBB and Discourse boards, as a user runs them.
#include <gtest/gtest.h>

#include <string>

#include "TwkProcess.h"
#include "storage/Tables.h"
#include "support/FakeDiscourse.h"
#include "support/FakeNodeBB.h"
#include "support/SubmitTestData.h"
#include "support/TestDatabase.h"
#include "text/Unicode.h"

namespace twk {
namespace {

using test::RunTwk;
using test::TwkResult;

// Scans the board, adds it with its Cyrillic category and posts a message there.
template <typename Board>
void ScanAddAndSubmit(const Board& board, const std::string& script,
                      const std::wstring& expectedBody) {
    test::TestDatabase db;
    const std::string password = WideToUtf8(Board::kPassword);
    const std::string login = WideToUtf8(Board::kLogin);
    TwkResult run = RunTwk({"scan", "--script", script, "--url", WideToUtf8(board.MainUrl()),
                            "--user", login, "--no-pauses"},
                           db.dir().path(), password + "\n");
    ASSERT_EQ(run.code, 0) << run.err;
    EXPECT_NE(run.out.find("Тестирование\t"), std::string::npos) << run.out;
    EXPECT_EQ(run.out.find(WideToUtf8(Board::kPassword)), std::string::npos);

    const int32_t profile = test::AddProfile(L"Main");
    const MessageRecord message = test::AddMessage(profile, L"Тема из twk: café 日本語",
                                                   L"[b]Привет[/b], мир! Это сообщение из twk.");
    run = RunTwk(
        {"add-forum", "--db", db.path().string(), "--profile", "Main", "--script", script, "--url",
         WideToUtf8(board.MainUrl()), "--user", login, "--section", "Тестирование", "--no-pauses"},
        db.dir().path(), password + "\n");
    ASSERT_EQ(run.code, 0) << run.err;
    run = RunTwk({"submit", "--db", db.path().string(), "--profile", "Main", "--message",
                  std::to_string(message.message_id), "--no-pauses"},
                 db.dir().path());
    ASSERT_EQ(run.code, 0) << run.err << run.out;
    ASSERT_EQ(board.Topics().size(), 1u);
    EXPECT_EQ(board.Topics()[0].section, std::to_string(Board::kCyrillicCategory));
    EXPECT_EQ(board.Topics()[0].subject, L"Тема из twk: café 日本語");
    EXPECT_EQ(board.Topics()[0].body, expectedBody);

    run = RunTwk({"results", "--db", db.path().string(), "--profile", "Main", "--message",
                  std::to_string(message.message_id)},
                 db.dir().path());
    ASSERT_EQ(run.code, 0) << run.err;
    EXPECT_NE(run.out.find("/t"), std::string::npos) << run.out;
}

TEST(JsonBoardCommandTest, NodeBB) {
    test::FakeNodeBB board;
    ScanAddAndSubmit(board, "NodeBB", L"**Привет**, мир! Это сообщение из twk.");
}

TEST(JsonBoardCommandTest, Discourse) {
    test::FakeDiscourse::Options options;
    options.account_has_posted = true;
    test::FakeDiscourse board{options};
    ScanAddAndSubmit(board, "Discourse", L"**Привет**, мир! Это сообщение из twk.");
}

}  // namespace
}  // namespace twk
