// `twk init-db`, run as its own process.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "storage/Database.h"
#include "storage/Tables.h"
#include "support/RecordingMessageHost.h"
#include "support/SqliteConnection.h"
#include "support/TempDir.h"

extern char** environ;

namespace twk {
namespace {

using test::SqliteConnection;
using test::TempDir;
using Rows = std::vector<SqliteConnection::Row>;

// Runs twk with the arguments, its output going to a file in dir; returns the exit code,
// or -1 when it could not be started or did not exit normally.
int RunTwk(const std::vector<std::string>& args, const TempDir& dir) {
    std::vector<std::string> words{TWK_CLI_PATH};
    words.insert(words.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& word : words) {
        argv.push_back(word.data());
    }
    argv.push_back(nullptr);

    std::string output = (dir / "output.txt").string();
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, output.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0600);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    pid_t pid = 0;
    int rc = posix_spawn(&pid, TWK_CLI_PATH, &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) {
        return -1;
    }
    int status = 0;
    if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) {
        return -1;
    }
    return WEXITSTATUS(status);
}

std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

class InitDbTest : public ::testing::Test {
protected:
    void TearDown() override { CloseConnection(); }
    TempDir dir_{"twk-cli"};
};

TEST_F(InitDbTest, CreatesADatabaseTheProgramAccepts) {
    for (const char* name : {"twk.db", "База данных 🌲.db"}) {
        SCOPED_TRACE(name);
        std::filesystem::path path = dir_ / std::filesystem::path(name);
        ASSERT_EQ(RunTwk({"init-db", path.string()}, dir_), 0) << ReadFile(dir_ / "output.txt");
        // It will hold forum passwords: its owner's alone, whatever the umask.
        EXPECT_EQ(std::filesystem::status(path).permissions(),
                  std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);

        {
            SqliteConnection raw(path);
            EXPECT_EQ(raw.Query("SELECT [name] FROM sqlite_master WHERE [type]='table' "
                                "ORDER BY [name]"),
                      (Rows{{"forum"},
                            {"message"},
                            {"option"},
                            {"profile"},
                            {"sending"},
                            {"submit"},
                            {"topic"}}));
            EXPECT_EQ(raw.Query("SELECT [profile_id], [option], [value] FROM [option]"),
                      (Rows{{"0", "0", "1"}}));
        }

        test::RecordingMessageHost host;
        ASSERT_TRUE(OpenDatabase(path));
        EXPECT_TRUE(host.messages().empty());
        // The new file takes every kind of record.
        ASSERT_EQ(InsertProfile(ProfileRecord{-1, L"Default"}), 0);
        MessageRecord message{-1, LastInsertId(), L"Subject", L"Body"};
        EXPECT_EQ(SaveMessage(message), 0);
        ForumList forums(1);
        EXPECT_EQ(SaveForums(forums, false), 0);
        EXPECT_EQ(InsertSubmit(SubmitRecord{}), 0);
        SetOptionInt(OptThreadCount, 4, 1);
        EXPECT_EQ(GetOptionInt(OptThreadCount, 1, 10), 4);
        CloseConnection();
    }
}

TEST_F(InitDbTest, RefusesAnExistingFileAndLeavesItAlone) {
    std::filesystem::path path = dir_ / "twk.db";
    const std::string content = "someone's data";
    std::ofstream(path, std::ios::binary) << content;

    int code = RunTwk({"init-db", path.string()}, dir_);
    EXPECT_NE(code, 0);
    EXPECT_NE(code, -1);
    EXPECT_EQ(ReadFile(path), content);
    EXPECT_NE(ReadFile(dir_ / "output.txt").find(path.string()), std::string::npos);

    // A database made earlier is refused the same way.
    std::filesystem::path made = dir_ / "made.db";
    ASSERT_EQ(RunTwk({"init-db", made.string()}, dir_), 0);
    std::string before = ReadFile(made);
    EXPECT_NE(RunTwk({"init-db", made.string()}, dir_), 0);
    EXPECT_EQ(ReadFile(made), before);
}

TEST_F(InitDbTest, RefusesBadUsage) {
    std::filesystem::path path = dir_ / "twk.db";
    EXPECT_EQ(RunTwk({"init-db", path.string(), "extra"}, dir_), 64);
    EXPECT_FALSE(std::filesystem::exists(path));
    EXPECT_EQ(RunTwk({"init-db", (dir_ / "missing-folder" / "twk.db").string()}, dir_), 1);
    EXPECT_EQ(RunTwk({"no-such-command"}, dir_), 64);
}

}  // namespace
}  // namespace twk
