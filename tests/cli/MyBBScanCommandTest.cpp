// twk scan and submit against a local MyBB board, as a user runs them.
#include <gtest/gtest.h>

#include <string>

#include "TwkProcess.h"
#include "storage/Tables.h"
#include "support/FakeMyBB.h"
#include "support/SubmitTestData.h"
#include "support/TestDatabase.h"
#include "text/Unicode.h"

namespace twk {
namespace {

using test::FakeMyBB;
using test::RunTwk;
using test::TwkResult;

TEST(MyBBScanCommandTest, ListsTheForumsAndPostsToOne) {
    test::TestDatabase db;
    FakeMyBB board;
    const std::string password = WideToUtf8(FakeMyBB::kPassword);
    TwkResult run = RunTwk({"scan", "--script", "MyBB", "--url", WideToUtf8(board.MainUrl()),
                            "--user", WideToUtf8(FakeMyBB::kLogin), "--no-pauses"},
                           db.dir().path(), password + "\n");
    ASSERT_EQ(run.code, 0) << run.err;
    for (int forum : {2, 3, 4}) {
        EXPECT_NE(run.out.find(WideToUtf8(FakeMyBB::ForumName(forum)) + "\t" +
                               WideToUtf8(board.SectionUrl(forum)) + "\n"),
                  std::string::npos)
            << run.out;
    }
    EXPECT_EQ(run.out.find(WideToUtf8(board.SectionUrl(FakeMyBB::kCategory)) + "\n"),
              std::string::npos)
        << run.out;

    const int32_t profile = test::AddProfile(L"Main");
    const MessageRecord message = test::AddMessage(profile, L"Тема из twk", L"[b]Привет[/b]");
    run = RunTwk({"add-forum", "--db", db.path().string(), "--profile", "Main", "--script", "MyBB",
                  "--url", WideToUtf8(board.MainUrl()), "--user", WideToUtf8(FakeMyBB::kLogin),
                  "--section", "Тестирование", "--no-pauses"},
                 db.dir().path(), password + "\n");
    ASSERT_EQ(run.code, 0) << run.err;
    run = RunTwk({"submit", "--db", db.path().string(), "--profile", "Main", "--message",
                  std::to_string(message.message_id), "--no-pauses"},
                 db.dir().path());
    ASSERT_EQ(run.code, 0) << run.err;
    ASSERT_EQ(board.Topics().size(), 1u);
    EXPECT_EQ(board.Topics()[0].section, "4");
    EXPECT_EQ(board.Topics()[0].body, L"[b]Привет[/b]");
}

}  // namespace
}  // namespace twk
