// twk add-forum against a local phpBB board, and a whole run prepared with twk alone.
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "TwkProcess.h"
#include "storage/Tables.h"
#include "support/FakePhpBB.h"
#include "support/SubmitTestData.h"
#include "support/TestDatabase.h"
#include "text/Unicode.h"

namespace twk {
namespace {

using test::FakePhpBB;
using test::RunTwk;
using test::TwkResult;

const std::string kPasswordLine = WideToUtf8(FakePhpBB::kPassword) + "\n";

std::vector<std::string> AddForumArgs(const std::string& db, const FakePhpBB& board) {
    return {"add-forum",
            "--db",
            db,
            "--profile",
            "Main",
            "--script",
            "phpBB",
            "--url",
            WideToUtf8(board.MainUrl()),
            "--user",
            WideToUtf8(FakePhpBB::kLogin),
            "--no-pauses"};
}

class AddForumCommandTest : public ::testing::Test {
protected:
    std::string Db() const { return db_.path().string(); }
    const std::filesystem::path& Dir() const { return db_.dir().path(); }
    ForumList StoredForums() const {
        ForumList forums;
        forums.LoadForProfile(profile_);
        return forums;
    }

    test::TestDatabase db_;
    int32_t profile_ = test::AddProfile(L"Main");
};

TEST_F(AddForumCommandTest, StoresTheOneSectionOfThatTitleOrAddress) {
    // Boards may give two sections one name; then only the address tells them apart.
    FakePhpBB::Options twins;
    twins.section_titles[FakePhpBB::kReadOnlyForum] = L"Новости";
    FakePhpBB board(3, kCodePageUtf8, twins);
    const std::string general = WideToUtf8(board.SectionUrl(FakePhpBB::kGeneralForum));
    const std::string news = WideToUtf8(board.SectionUrl(FakePhpBB::kNewsForum));
    const std::string archive = WideToUtf8(board.SectionUrl(FakePhpBB::kReadOnlyForum));
    struct Row {
        std::vector<std::string> section_args;
        int code;
        std::wstring stored_key;  // empty: nothing stored
        std::wstring stored_title;
        std::vector<std::string> says;
    };
    const Row rows[] = {
        {{"--section", "General"}, 0, board.SectionUrl(FakePhpBB::kGeneralForum), L"General", {}},
        {{"--section", news}, 0, board.SectionUrl(FakePhpBB::kNewsForum), L"Новости", {}},
        // A setup script run twice adds nothing the second time.
        {{"--section", "General"},
         65,
         L"",
         L"",
         {"the profile already has this section with this user name"}},
        {{"--section", "Новости"},
         65,
         L"",
         L"",
         {"2 sections have the title 'Новости'; name one by its address:\n",
          "  Новости\t" + news + "\n", "  Новости\t" + archive + "\n"}},
        {{"--section", "general"},
         65,
         L"",
         L"",
         {"no section has the title or address 'general'; the forum's sections:\n",
          "  General\t" + general + "\n"}},
        {{}, 64, L"", L"", {"choose the section with --section", "  General\t" + general + "\n"}},
    };
    size_t stored = 0;
    for (const Row& row : rows) {
        std::vector<std::string> args = AddForumArgs(Db(), board);
        args.insert(args.end(), row.section_args.begin(), row.section_args.end());
        SCOPED_TRACE(row.section_args.empty() ? "no section" : row.section_args.back());
        TwkResult run = RunTwk(args, Dir(), kPasswordLine);
        EXPECT_EQ(run.code, row.code) << run.err;
        for (const std::string& text : row.says) {
            EXPECT_NE(run.err.find(text), std::string::npos) << run.err;
        }
        EXPECT_EQ(run.err.find(WideToUtf8(FakePhpBB::kPassword)), std::string::npos);
        ForumList forums = StoredForums();
        if (row.stored_key.empty()) {
            EXPECT_EQ(forums.size(), stored);
            EXPECT_EQ(run.out, "");
            continue;
        }
        ASSERT_EQ(forums.size(), ++stored);
        const ForumRecord& forum = forums.back();
        EXPECT_EQ(run.out, std::to_string(forum.forum_id) + "\n");
        EXPECT_EQ(forum.profile_id, profile_);
        EXPECT_EQ(forum.engine, L"phpBB");
        EXPECT_EQ(forum.title, L"Tallowick Test Board - Index page");  // the board's page
        EXPECT_EQ(forum.main_url, board.MainUrl());
        EXPECT_EQ(forum.flags, 0);
        EXPECT_EQ(forum.forum_key, row.stored_key);
        EXPECT_EQ(forum.forum_title, row.stored_title);
        EXPECT_EQ(forum.login, FakePhpBB::kLogin);
        EXPECT_EQ(forum.pass, FakePhpBB::kPassword);
    }
}

TEST_F(AddForumCommandTest, AFailedSignInStoresNothing) {
    FakePhpBB board(3);
    std::vector<std::string> args = AddForumArgs(Db(), board);
    args.insert(args.end(), {"--section", "General"});
    TwkResult run = RunTwk(args, Dir(), "wrong\n");
    EXPECT_EQ(run.code, kInvalidLogin);
    EXPECT_NE(run.err.find("twk add-forum: You have specified an incorrect password."),
              std::string::npos)
        << run.err;
    EXPECT_EQ(run.out, "");
    EXPECT_TRUE(StoredForums().empty());
}

// Everything a scheduled run needs, prepared from the shell in a database twk made.
TEST(TwkSetupChainTest, PreparesAndRunsASubmissionWithTwkAlone) {
    test::TempDir dir("twk-chain");
    const std::string db = (dir / "twk.db").string();
    FakePhpBB board(3);
    auto twk = [&](std::vector<std::string> args, const std::string& input = "") {
        args.insert(args.begin() + 1, {"--db", db});
        TwkResult run = RunTwk(args, dir.path(), input);
        EXPECT_EQ(run.code, 0) << args[0] << ": " << run.out << run.err;
        return run.out;
    };
    ASSERT_EQ(RunTwk({"init-db", db}, dir.path()).code, 0);
    twk({"add-profile", "Ночной"});
    twk({"set-threads", "--profile", "Ночной", "2"});
    for (const std::string& section :
         {std::string("General"), WideToUtf8(board.SectionUrl(FakePhpBB::kNewsForum))}) {
        twk({"add-forum", "--profile", "Ночной", "--script", "phpBB", "--url",
             WideToUtf8(board.MainUrl()), "--user", WideToUtf8(FakePhpBB::kLogin), "--section",
             section, "--no-pauses"},
            kPasswordLine);
    }
    std::ofstream(dir / "body.txt", std::ios::binary) << "[b]Привет[/b] 你好\nSecond line\n";
    std::string id = twk({"add-message", "--profile", "Ночной", "--subject", "Тема 主题",
                          "--body-file", (dir / "body.txt").string()});
    ASSERT_FALSE(id.empty());
    id.pop_back();  // the line end

    std::string submitted = twk({"submit", "--profile", "Ночной", "--message", id, "--no-pauses"});
    EXPECT_NE(submitted.find("In all 2 OK, 0 failed, 0 without a result."), std::string::npos)
        << submitted;
    std::vector<test::FakeTopic> topics = board.Topics();
    ASSERT_EQ(topics.size(), 2u);
    for (const test::FakeTopic& topic : topics) {
        EXPECT_EQ(topic.subject, L"Тема 主题");
        EXPECT_EQ(topic.body, L"[b]Привет[/b] 你好\r\nSecond line\r\n");
    }

    std::string results = twk({"results", "--profile", "Ночной", "--message", id});
    EXPECT_NE(results.find("\tGeneral\tTester\t"), std::string::npos) << results;
    EXPECT_NE(results.find("\tНовости\tTester\t"), std::string::npos) << results;
    size_t ok_lines = 0;
    for (size_t at = results.find("\tOK\t"); at != std::string::npos;
         at = results.find("\tOK\t", at + 1)) {
        ++ok_lines;
    }
    EXPECT_EQ(ok_lines, 2u) << results;
}

}  // namespace
}  // namespace twk
