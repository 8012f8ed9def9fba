// twk scan, submit and results as a user runs them, without a forum: what they say about
// bad input, and the bookkeeping of a run whose forums have no engine.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "TwkProcess.h"
#include "engines/ScriptNames.h"
#include "storage/Tables.h"
#include "support/SubmitTestData.h"
#include "support/TestDatabase.h"
#include "text/Unicode.h"

namespace twk {
namespace {

using test::AddForums;
using test::AddMessage;
using test::AddProfile;
using test::RunTwk;
using test::StoredResults;
using test::TwkResult;

class CliCommandsTest : public ::testing::Test {
protected:
    std::string Db() const { return db_.path().string(); }
    const std::filesystem::path& Dir() const { return db_.dir().path(); }

    test::TestDatabase db_;
    int32_t profile_ = AddProfile(L"Main");
    MessageRecord message_ = AddMessage(profile_, L"Hello", L"Body");
};

TEST_F(CliCommandsTest, BadInputIsExplained) {
    int32_t other = AddProfile(L"Other");
    MessageRecord foreign = AddMessage(other, L"Theirs", L"Body");
    const std::string id = std::to_string(message_.message_id);
    const std::string missing = (Dir() / "missing.db").string();
    const std::string not_db = std::string(TWK_FIXTURES_DIR) + "/storage/not-a-database.db";
    struct Row {
        std::vector<std::string> args;
        int code;
        std::string says;
    };
    const Row rows[] = {
        {{"submit", "--db", missing, "--profile", "Main", "--message", id}, 65, "no database at"},
        {{"results", "--db", missing, "--profile", "Main", "--message", id}, 65, "no database at"},
        {{"scan", "--db", missing, "--script", "phpBB", "--url", "http://127.0.0.1:9/", "--user",
          "u"},
         65,
         "no database at"},
        {{"submit", "--db", not_db, "--profile", "Main", "--message", id},
         65,
         "Invalid database file"},
        {{"submit", "--db", Db(), "--profile", "Nope", "--message", id},
         65,
         "no profile named 'Nope'; profiles: 'Main' 'Other'"},
        {{"results", "--db", Db(), "--profile", "Main", "--message", "999"},
         65,
         "the profile has no message 999"},
        {{"submit", "--db", Db(), "--profile", "Main", "--message",
          std::to_string(foreign.message_id)},
         65,
         "its messages:\n  " + id + "  Hello"},
        {{"results", "--db", Db(), "--profile", "Main", "--message", "first"},
         65,
         "--message needs a message id (a number), not 'first'"},
        {{"scan", "--db", Db(), "--profile", "Nope", "--script", "phpBB", "--url", "http://x/",
          "--user", "u"},
         65,
         "no profile named 'Nope'"},
        {{"submit", "--db", Db(), "--profile", "Main", "--message", id, "--threads", "3"},
         64,
         "unknown option --threads"},
        {{"edit-message", "--db", Db(), "--profile", "Main", "--message", id},
         64,
         "nothing to change: give --subject or a body"},
        {{"edit-message", "--db", Db(), "--profile", "Main", "--message",
          std::to_string(foreign.message_id), "--subject", "Mine now"},
         65,
         "its messages:"},
        {{"update", "--db", Db(), "--profile", "Main"}, 64, "--profile and --message are needed"},
        {{"replies", "--db", Db(), "--profile", "Main", "--message", "999"},
         65,
         "the profile has no message 999"},
        {{"submit", "--db", Db(), "--message", id}, 64, "--profile and --message are needed"},
        {{"results", "--db", Db(), "--profile", "--message", id},
         64,
         "option --profile needs a value"},
        {{"results", "--db", Db(), "--profile", "Main", "--message"},
         64,
         "option --message needs a value"},
        {{"submit", "Main", "5"}, 64, "unexpected argument 'Main'"},
        {{"scan", "--script", "NoSuchScript", "--url", "http://x/", "--user", "u"},
         64,
         "unknown script 'NoSuchScript'"},
        {{"scan", "--script", "phpBB", "--url", "http://x/", "--user", "u", "--password", "p"},
         64,
         "unknown option --password"},
        {{"scan", "--script", "phpBB", "--url", "http://x/", "--user", "u", "--no-pauses=1"},
         64,
         "option --no-pauses takes no value"},
        {{"frobnicate"}, 64, "unknown command 'frobnicate'"},
    };
    for (const Row& row : rows) {
        std::string line;
        for (const std::string& arg : row.args) {
            line += arg + " ";
        }
        SCOPED_TRACE(line);
        TwkResult run = RunTwk(row.args, Dir());
        EXPECT_EQ(run.code, row.code);
        EXPECT_NE(run.err.find(row.says), std::string::npos) << run.err;
        EXPECT_EQ(run.out, "");
    }
}

// A port on 127.0.0.1 that is bound but never listens, so a connection to it is refused
// and no other program can take it while the test runs.
class RefusingPort {
public:
    RefusingPort() : socket_(::socket(AF_INET, SOCK_STREAM, 0)) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof(address);
        auto* generic = reinterpret_cast<sockaddr*>(&address);
        if (socket_ >= 0 && ::bind(socket_, generic, size) == 0 &&
            ::getsockname(socket_, generic, &size) == 0) {
            port_ = ntohs(address.sin_port);
        }
    }
    ~RefusingPort() {
        if (socket_ >= 0) {
            ::close(socket_);
        }
    }
    RefusingPort(const RefusingPort&) = delete;
    RefusingPort& operator=(const RefusingPort&) = delete;

    int port() const { return port_; }

private:
    int socket_;
    int port_ = 0;
};

// Every script the program lists gets past the usage checks, whether or not this build can
// reach its boards yet; what fails then is the sign-in, never the command line.
TEST_F(CliCommandsTest, EveryKnownScriptIsTakenByScanAndAddForum) {
    RefusingPort nothing;
    ASSERT_NE(nothing.port(), 0);
    const std::string url = "http://127.0.0.1:" + std::to_string(nothing.port()) + "/";
    for (const std::wstring& name : KnownScripts()) {
        const std::string script = WideToUtf8(name);
        for (const std::vector<std::string>& args :
             {std::vector<std::string>{"scan", "--script", script, "--url", url, "--user", "u",
                                       "--no-pauses"},
              std::vector<std::string>{"add-forum", "--db", Db(), "--profile", "Main", "--script",
                                       script, "--url", url, "--user", "u", "--no-pauses"}}) {
            SCOPED_TRACE(args[0] + " --script " + script);
            TwkResult run = RunTwk(args, Dir(), "secret\n");
            EXPECT_NE(run.code, 64);
            EXPECT_NE(run.code, 0);
            EXPECT_EQ(run.err.find("unknown script"), std::string::npos) << run.err;
            EXPECT_EQ(run.err.find("Usage:"), std::string::npos) << run.err;
            EXPECT_EQ(run.err.find("secret"), std::string::npos) << run.err;
        }
    }
}

TEST_F(CliCommandsTest, ResultsListTheForumsAsTheSubmitPageShowsThem) {
    ForumList forums = AddForums(profile_, 3, test::ForumSpec{});
    forums[0].title = L"Форум один";
    forums[2].title = L"";  // never scanned: named by its address
    forums[2].main_url = L"http://third.example/";
    ASSERT_EQ(SaveForums(forums, true), 0);
    ASSERT_EQ(InsertSubmit({-1, forums[0].forum_id, message_.message_id, 1700000000, kOk,
                            L"http://one.example/viewtopic.php?t=7", L""}),
              0);
    ASSERT_EQ(InsertSubmit({-1, forums[2].forum_id, message_.message_id, 1700000100,
                            kConnectionError, L"", L"503 Service Unavailable"}),
              0);
    // A post that went out in a run that died before storing its result.
    ASSERT_EQ(SaveSending({forums[1].forum_id, message_.message_id, 1700000200, L"Tester",
                           L"Subject", L""}),
              0);
    // A result of another message is not shown.
    MessageRecord other = AddMessage(profile_, L"Other", L"Body");
    ASSERT_EQ(InsertSubmit({-1, forums[1].forum_id, other.message_id, 5, kOk, L"x", L""}), 0);

    TwkResult run = RunTwk({"results", "--db", Db(), "--profile", "Main", "--message",
                            std::to_string(message_.message_id)},
                           Dir());
    ASSERT_EQ(run.code, 0) << run.err;
    EXPECT_EQ(run.out,
              "Forum\tSection\tUsername\tSubmit Date\tResult\tTopic URL\n"
              "Форум один\tGeneral\tTester\t11/14/23 22:13:20\tOK\t"
              "http://one.example/viewtopic.php?t=7\n"
              "Forum 2\tGeneral\tTester\t11/14/23 22:16:40\tInterrupted: the post may have gone "
              "out\t\n"
              "http://third.example/\tGeneral\tTester\t11/14/23 22:15:00\t"
              "503 Service Unavailable\t\n");
}

TEST_F(CliCommandsTest, SubmitRunsEveryForumWithoutResultAndStoresTheResults) {
    test::ForumSpec kind;
    kind.engine = L"NoSuchScript";
    ForumList forums = AddForums(profile_, 3, kind);
    SetOptionInt(OptThreadCount, 2, profile_);
    ASSERT_EQ(InsertSubmit({-1, forums[1].forum_id, message_.message_id, 1, kOk, L"t", L""}), 0);
    const std::string id = std::to_string(message_.message_id);

    TwkResult run = RunTwk(
        {"submit", "--db", Db(), "--profile", "Main", "--message", id, "--no-pauses"}, Dir());
    EXPECT_EQ(run.code, 1) << run.err;  // results that are not OK
    EXPECT_NE(run.out.find("] Forum 1 / General: Not NoSuchScript script\n"), std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find("] Forum 3 / General: Not NoSuchScript script\n"), std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find("[3/3] "), std::string::npos) << run.out;
    EXPECT_EQ(run.out.find("Forum 2 /"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("Done this run: 2 of 3 forums. In all 1 OK, 2 failed, 0 without a "
                           "result. Logs: " +
                           (Dir() / "log").string() + "\n"),
              std::string::npos)
        << run.out;

    SubmitList stored = StoredResults(message_.message_id);
    ASSERT_EQ(stored.size(), 3u);
    EXPECT_EQ(stored[1].result, kNotScript);
    EXPECT_EQ(stored[2].result, kNotScript);

    // Every forum has its result now: a second run has nothing to do.
    run = RunTwk({"submit", "--db", Db(), "--profile", "Main", "--message", id}, Dir());
    EXPECT_EQ(run.code, 0);
    EXPECT_NE(run.out.find("Nothing to do: every forum of the profile has a result"),
              std::string::npos);
    EXPECT_EQ(StoredResults(message_.message_id).size(), 3u);
}

TEST_F(CliCommandsTest, SubmitSaysWhyItStartsNothing) {
    const std::string id = std::to_string(message_.message_id);
    TwkResult run = RunTwk({"submit", "--db", Db(), "--profile", "Main", "--message", id}, Dir());
    EXPECT_EQ(run.code, 0);
    EXPECT_EQ(run.out, "Nothing to do: the profile has no forums.\n");

    AddForums(profile_, 2, test::ForumSpec{});
    SetOptionInt(OptThreadCount, 0, profile_);
    run = RunTwk({"submit", "--db", Db(), "--profile", "Main", "--message", id}, Dir());
    EXPECT_EQ(run.code, 65);
    EXPECT_NE(run.err.find("the profile's thread count is 0"), std::string::npos) << run.err;
    EXPECT_TRUE(StoredResults(message_.message_id).empty());
}

}  // namespace
}  // namespace twk
