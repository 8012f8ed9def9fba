// twk's setup commands without a forum: profiles, messages, thread counts and forum lists
// as a script prepares them, and what they say about bad input.
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "TwkProcess.h"
#include "storage/Tables.h"
#include "support/SubmitTestData.h"
#include "support/TestDatabase.h"
#include "text/Unicode.h"

namespace twk {
namespace {

using test::RunTwk;
using test::TwkResult;

std::string CommandLine(const std::vector<std::string>& args) {
    std::string line;
    for (const std::string& arg : args) {
        line += arg + " ";
    }
    return line;
}

std::vector<std::wstring> ProfileNames() {
    ProfileList profiles;
    ListProfiles(profiles);
    std::vector<std::wstring> names;
    for (const ProfileRecord& profile : profiles) {
        names.push_back(profile.name);
    }
    return names;
}

class SetupCommandsTest : public ::testing::Test {
protected:
    std::string Db() const { return db_.path().string(); }
    const std::filesystem::path& Dir() const { return db_.dir().path(); }
    std::string WriteFile(const std::string& name, const std::string& bytes) const {
        std::filesystem::path path = Dir() / name;
        std::ofstream(path, std::ios::binary) << bytes;
        return path.string();
    }

    test::TestDatabase db_;
};

TEST_F(SetupCommandsTest, AddProfileTakesOnlyNewNonEmptyNames) {
    struct Row {
        std::vector<std::string> args;
        int code;
        std::string says;  // on standard error; empty for a new profile
    };
    const Row rows[] = {
        {{"Main"}, 0, ""},
        {{"Main"}, 65, "twk add-profile: Profile Main already exists.\n"},
        {{"main"}, 0, ""},  // letter case makes another name
        {{"Профиль 1"}, 0, ""},
        {{"--", "--odd"}, 0, ""},
        {{""}, 64, "twk add-profile: No profile name specified\n"},
        {{}, 64, "No profile name specified"},
        {{"One", "Two"}, 64, "unexpected argument 'Two'"},
    };
    for (const Row& row : rows) {
        std::vector<std::string> args{"add-profile", "--db", Db()};
        args.insert(args.end(), row.args.begin(), row.args.end());
        SCOPED_TRACE(CommandLine(args));
        TwkResult run = RunTwk(args, Dir());
        EXPECT_EQ(run.code, row.code) << run.err;
        if (row.code == 0) {
            // The new id alone, for scripts.
            ProfileList profiles;
            ListProfiles(profiles);
            ASSERT_FALSE(profiles.empty());
            EXPECT_EQ(run.out, std::to_string(profiles.back().profile_id) + "\n");
            EXPECT_EQ(run.err, "");
        } else {
            EXPECT_NE(run.err.find(row.says), std::string::npos) << run.err;
            EXPECT_EQ(run.out, "");
        }
    }
    EXPECT_EQ(ProfileNames(),
              (std::vector<std::wstring>{L"Main", L"main", L"Профиль 1", L"--odd"}));

    TwkResult listed = RunTwk({"profiles", "--db", Db()}, Dir());
    ASSERT_EQ(listed.code, 0) << listed.err;
    EXPECT_EQ(listed.out, "Id\tName\n1\tMain\n2\tmain\n3\tПрофиль 1\n4\t--odd\n");
}

TEST_F(SetupCommandsTest, AddMessageStoresTheTextAsTheDesktopProgramDoes) {
    int32_t profile = test::AddProfile(L"Main");
    const std::string text = "[b]Привет[/b], 世界 🌲\n2nd line\r\n3rd line\r";
    const std::wstring stored = L"[b]Привет[/b], 世界 🌲\r\n2nd line\r\n3rd line\r\n";
    struct Row {
        std::vector<std::string> body_args;
        std::string input;  // standard input
    };
    const Row rows[] = {
        {{"--body", text}, ""},
        {{"--body-file", WriteFile("body.txt", text)}, ""},
        // Windows editors start UTF-8 files with a byte order mark.
        {{"--body-file", WriteFile("bom.txt", "\xEF\xBB\xBF" + text)}, ""},
        {{"--body-file", "-"}, text},
    };
    std::string listing = "Id\tSubject\n";
    for (const Row& row : rows) {
        std::vector<std::string> args{"add-message", "--db",      Db(),       "--profile",
                                      "Main",        "--subject", "Тема 主题"};
        args.insert(args.end(), row.body_args.begin(), row.body_args.end());
        SCOPED_TRACE(CommandLine(args));
        TwkResult run = RunTwk(args, Dir(), row.input);
        ASSERT_EQ(run.code, 0) << run.err;
        MessageList messages;
        messages.LoadForProfile(profile);
        ASSERT_FALSE(messages.empty());
        const MessageRecord& added = messages.back();
        EXPECT_EQ(run.out, std::to_string(added.message_id) + "\n");
        EXPECT_EQ(added.subject, L"Тема 主题");
        EXPECT_EQ(added.msg, stored);
        listing += std::to_string(added.message_id) + "\tТема 主题\n";
    }

    TwkResult listed = RunTwk({"messages", "--db", Db(), "--profile", "Main"}, Dir());
    ASSERT_EQ(listed.code, 0) << listed.err;
    EXPECT_EQ(listed.out, listing);
}

TEST_F(SetupCommandsTest, SetThreadsStoresTheProfilesThreadCount) {
    int32_t profile = test::AddProfile(L"Main");
    for (int threads : {1, 50, 7}) {
        TwkResult run = RunTwk(
            {"set-threads", "--db", Db(), "--profile", "Main", std::to_string(threads)}, Dir());
        ASSERT_EQ(run.code, 0) << run.err;
        EXPECT_EQ(run.out, "Threads of profile 'Main': " + std::to_string(threads) + "\n");
        EXPECT_EQ(GetOptionInt(OptThreadCount, profile, 10), threads);
    }
}

TEST_F(SetupCommandsTest, ForumsListsEverythingButThePassword) {
    int32_t profile = test::AddProfile(L"Main");
    test::ForumSpec kind;
    kind.pass = L"hunter2-секрет";
    kind.forum_key = L"http://127.0.0.1:9/viewforum.php?f=2";
    ForumList forums = test::AddForums(profile, 2, kind);
    forums[1].engine = L"IPBoard";
    forums[1].forum_title = L"Новости";
    ASSERT_EQ(SaveForums(forums, true), 0);

    TwkResult run = RunTwk({"forums", "--db", Db(), "--profile", "Main"}, Dir());
    ASSERT_EQ(run.code, 0) << run.err;
    const std::string first = std::to_string(forums[0].forum_id);
    const std::string second = std::to_string(forums[1].forum_id);
    EXPECT_EQ(run.out, "Id\tScript\tMain URL\tSection\tUsername\n" + first +
                           "\tphpBB\thttp://127.0.0.1:9/\tGeneral\tTester\n" + second +
                           "\tIPBoard\thttp://127.0.0.1:9/\tНовости\tTester\n");
}

TEST_F(SetupCommandsTest, BadInputIsExplainedAndNothingIsStored) {
    int32_t profile = test::AddProfile(L"Main");
    const std::string missing_db = (Dir() / "missing.db").string();
    const std::string latin1 = WriteFile("latin1.txt",
                                         "Gr\xFC\xDF"
                                         "e");
    const std::string phpbb = "phpBB";
    const std::string url = "http://127.0.0.1:9/";
    struct Row {
        std::vector<std::string> args;
        int code;
        std::string says;
        std::string input = "";
    };
    const Row rows[] = {
        {{"profiles", "--db", missing_db}, 65, "no database at"},
        {{"profiles", "--db", Db(), "Main"}, 64, "unexpected argument 'Main'"},
        {{"add-profile", "--db", missing_db, "New"}, 65, "no database at"},
        {{"messages", "--db", Db()}, 64, "--profile is needed"},
        {{"messages", "--db", Db(), "--profile", "Nope"}, 65, "no profile named 'Nope'"},
        {{"add-message", "--db", Db(), "--profile", "Main", "--subject", "", "--body", "b"},
         64,
         "twk add-message: Empty subject\n"},
        {{"add-message", "--db", Db(), "--profile", "Main", "--subject", "s"},
         64,
         "either --body or --body-file"},
        {{"add-message", "--db", Db(), "--profile", "Main", "--subject", "s", "--body", "b",
          "--body-file", latin1},
         64,
         "either --body or --body-file"},
        {{"add-message", "--db", Db(), "--profile", "Nope", "--subject", "s", "--body", "b"},
         65,
         "no profile named 'Nope'"},
        {{"add-message", "--db", Db(), "--profile", "Main", "--subject", "s", "--body-file",
          (Dir() / "none.txt").string()},
         65,
         "cannot read " + (Dir() / "none.txt").string()},
        {{"add-message", "--db", Db(), "--profile", "Main", "--subject", "s", "--body-file",
          Dir().string()},
         65,
         "cannot read"},
        {{"add-message", "--db", Db(), "--profile", "Main", "--subject", "s", "--body-file",
          latin1},
         65,
         latin1 + " is not UTF-8 text"},
        {{"add-message", "--db", Db(), "--profile", "Main", "--subject", "s", "--body-file", "-"},
         65,
         "standard input is not UTF-8 text",
         "\xC0\xAF"},
        {{"set-threads", "--db", Db(), "--profile", "Main", "0"}, 64, "from 1 to 50, not '0'"},
        {{"set-threads", "--db", Db(), "--profile", "Main", "51"}, 64, "not '51'"},
        {{"set-threads", "--db", Db(), "--profile", "Main", "5x"}, 64, "not '5x'"},
        {{"set-threads", "--db", Db(), "--profile", "Main"}, 64, "thread count are needed"},
        {{"set-threads", "--db", Db(), "--profile", "Nope", "5"}, 65, "no profile named 'Nope'"},
        {{"forums", "--db", Db(), "--profile", "Nope"}, 65, "no profile named 'Nope'"},
        {{"add-forum", "--db", Db(), "--profile", "Main", "--script", "phpbb", "--url", url,
          "--user", "u"},
         64,
         "unknown script 'phpbb'"},
        {{"add-forum", "--db", Db(), "--profile", "Main", "--script", phpbb, "--url",
          "board.example/index.php", "--user", "u"},
         64,
         "twk add-forum: Invalid Main URL\n"},
        {{"add-forum", "--db", Db(), "--profile", "Main", "--script", phpbb, "--url",
          "ftp://board.example/", "--user", "u"},
         64,
         "Invalid Main URL"},
        {{"add-forum", "--db", Db(), "--profile", "Main", "--script", phpbb, "--url", "http:///x",
          "--user", "u"},
         64,
         "Invalid Main URL"},
        {{"add-forum", "--db", Db(), "--profile", "Main", "--script", phpbb, "--url", url, "--user",
          ""},
         64,
         "twk add-forum: Login is mandatory\n"},
        {{"add-forum", "--db", Db(), "--profile", "Main", "--script", phpbb, "--url", url, "--user",
          "u", "--section", "General"},
         64,
         "twk add-forum: Password is mandatory\n",
         "\n"},
        {{"add-forum", "--db", Db(), "--profile", "Nope", "--script", phpbb, "--url", url, "--user",
          "u"},
         65,
         "no profile named 'Nope'"},
        {{"add-forum", "--db", Db(), "--profile", "Main", "--script", phpbb, "--url", url, "--user",
          "u", "--password", "p"},
         64,
         "unknown option --password"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(CommandLine(row.args));
        TwkResult run = RunTwk(row.args, Dir(), row.input);
        EXPECT_EQ(run.code, row.code);
        EXPECT_NE(run.err.find(row.says), std::string::npos) << run.err;
        EXPECT_EQ(run.out, "");
    }
    EXPECT_EQ(ProfileNames(), std::vector<std::wstring>{L"Main"});
    MessageList messages;
    messages.LoadForProfile(profile);
    EXPECT_TRUE(messages.empty());
    ForumList forums;
    forums.LoadForProfile(profile);
    EXPECT_TRUE(forums.empty());
    EXPECT_EQ(GetOptionInt(OptThreadCount, profile, 10), 10);
}

}  // namespace
}  // namespace twk
