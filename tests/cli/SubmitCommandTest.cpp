// twk scan and twk submit against local boards, as a user runs them.
#include <gtest/gtest.h>

#include <signal.h>

#include <chrono>
#include <string>
#include <vector>

#include "TwkProcess.h"
#include "storage/Tables.h"
#include "support/FakePhpBB.h"
#include "support/HeldAnswer.h"
#include "support/HoldingServer.h"
#include "support/SubmitTestData.h"
#include "support/TestDatabase.h"
#include "text/Unicode.h"

namespace twk {
namespace {

using test::FakePhpBB;
using test::RunTwk;
using test::TwkResult;

class SubmitCommandTest : public ::testing::Test {
protected:
    std::string Db() const { return db_.path().string(); }
    const std::filesystem::path& Dir() const { return db_.dir().path(); }
    std::vector<std::string> SubmitArgs() const {
        return {"submit",
                "--db",
                Db(),
                "--profile",
                "Main",
                "--message",
                std::to_string(message_.message_id),
                "--no-pauses"};
    }

    test::TestDatabase db_;
    int32_t profile_ = test::AddProfile(L"Main");
    MessageRecord message_ = test::AddMessage(profile_, L"Тема из twk", L"[b]Привет[/b] & hi");
};

TEST_F(SubmitCommandTest, SubmitPostsToEveryForumAndResultsShowsThem) {
    FakePhpBB board(3);
    test::ForumSpec kind;
    kind.main_url = board.MainUrl();
    kind.forum_key = board.SectionUrl();
    kind.login = FakePhpBB::kLogin;
    kind.pass = FakePhpBB::kPassword;
    ForumList forums = test::AddForums(profile_, 3, kind);
    SetOptionInt(OptThreadCount, 2, profile_);

    TwkResult run = RunTwk(SubmitArgs(), Dir());
    ASSERT_EQ(run.code, 0) << run.out << run.err;

    std::vector<test::FakeTopic> topics = board.Topics();
    ASSERT_EQ(topics.size(), 3u);
    for (const test::FakeTopic& topic : topics) {
        EXPECT_EQ(topic.subject, L"Тема из twk");
        EXPECT_EQ(topic.body, L"[b]Привет[/b] & hi");
    }
    SubmitList stored = test::StoredResults(message_.message_id);
    ASSERT_EQ(stored.size(), 3u);
    for (const SubmitRecord& record : stored) {
        EXPECT_EQ(record.result, kOk);
        EXPECT_NE(record.thread.find(L"/viewtopic.php?t="), std::wstring::npos);
        // Each forum left its log beside the database.
        EXPECT_TRUE(std::filesystem::exists(Dir() / "log" /
                                            ("log_" + std::to_string(record.forum_id) + "_" +
                                             std::to_string(message_.message_id) + ".html")));
    }
    // One line per step and per result, then the summary.
    EXPECT_NE(run.out.find("Forum 1 / General: Sending login information ...\n"),
              std::string::npos);
    EXPECT_NE(run.out.find("Forum 3 / General: Sending message ...\n"), std::string::npos);
    EXPECT_NE(run.out.find("[3/3] "), std::string::npos);
    EXPECT_NE(run.out.find("Done this run: 3 of 3 forums. In all 3 OK, 0 failed, 0 without a "
                           "result."),
              std::string::npos)
        << run.out;

    TwkResult listed = RunTwk({"results", "--db", Db(), "--profile", "Main", "--message",
                               std::to_string(message_.message_id)},
                              Dir());
    ASSERT_EQ(listed.code, 0) << listed.err;
    for (const SubmitRecord& record : stored) {
        EXPECT_NE(listed.out.find("\tOK\t" + WideToUtf8(record.thread) + "\n"), std::string::npos)
            << listed.out;
    }
}

TEST_F(SubmitCommandTest, ScanReadsThePasswordFromStandardInput) {
    FakePhpBB board(3);
    std::string password = WideToUtf8(FakePhpBB::kPassword);
    TwkResult run = RunTwk({"scan", "--script", "phpBB", "--url", WideToUtf8(board.MainUrl()),
                            "--user", WideToUtf8(FakePhpBB::kLogin), "--db", Db(), "--no-pauses"},
                           Dir(), password + "\n");
    ASSERT_EQ(run.code, 0) << run.err;
    EXPECT_NE(run.out.find("Forum: "), std::string::npos);
    for (int section : {FakePhpBB::kGeneralForum, FakePhpBB::kNewsForum}) {
        EXPECT_NE(run.out.find(WideToUtf8(board.SectionTitle(section)) + "\t" +
                               WideToUtf8(board.SectionUrl(section)) + "\n"),
                  std::string::npos)
            << run.out;
    }
    // The password is nowhere in what twk printed.
    EXPECT_EQ(run.out.find(password), std::string::npos);
    EXPECT_EQ(run.err.find(password), std::string::npos);

    run = RunTwk({"scan", "--script", "phpBB", "--url", WideToUtf8(board.MainUrl()), "--user",
                  WideToUtf8(FakePhpBB::kLogin), "--no-pauses"},
                 Dir(), "wrong\n");
    EXPECT_EQ(run.code, kInvalidLogin);
    EXPECT_NE(run.err.find("twk scan: You have specified an incorrect password."),
              std::string::npos)
        << run.err;
    EXPECT_EQ(run.out, "");
}

TEST_F(SubmitCommandTest, ScanReadsThePasswordFromTheTerminalWithoutEcho) {
    FakePhpBB board(3);
    std::string password = WideToUtf8(FakePhpBB::kPassword);
    test::TwkProcess twk({"scan", "--script", "phpBB", "--url", WideToUtf8(board.MainUrl()),
                          "--user", WideToUtf8(FakePhpBB::kLogin), "--no-pauses"},
                         Dir(), test::TwkProcess::Terminal{});
    ASSERT_TRUE(twk.WaitForError("Password for " + WideToUtf8(FakePhpBB::kLogin) + ": "))
        << twk.Error();
    twk.Type(password + "\n");

    ASSERT_EQ(twk.Wait(), 0) << twk.Error();
    EXPECT_NE(twk.Output().find(WideToUtf8(board.SectionUrl(FakePhpBB::kGeneralForum))),
              std::string::npos)
        << twk.Output();
    EXPECT_EQ(twk.TerminalShown().find(password), std::string::npos);
}

class SubmitInterruptTest : public SubmitCommandTest {
protected:
    SubmitInterruptTest() {
        SetOptionInt(OptThreadCount, 1, profile_);
        for (const char* name : {"/first/", "/second/"}) {
            test::ForumSpec kind;
            kind.main_url = board_.WideUrl(std::string(name) + "index.php");
            kind.forum_key = board_.WideUrl(std::string(name) + "viewforum.php?f=2");
            test::AddForums(profile_, 1, kind);
        }
    }

    // Holds its answers until the test lets them go, so that Ctrl-C can arrive while a
    // forum is being worked on.
    test::HoldingServer board_;
};

TEST_F(SubmitInterruptTest, FirstCtrlCStartsNoMoreForums) {
    test::TwkProcess twk(SubmitArgs(), Dir());
    ASSERT_TRUE(board_.WaitForRequests(1));
    twk.Signal(SIGINT);
    ASSERT_TRUE(twk.WaitForError("Stopping: no new forums")) << twk.Error();
    board_.Release();

    EXPECT_EQ(twk.Wait(), 130) << twk.Output() << twk.Error();
    EXPECT_EQ(board_.CountRequests("/second/"), 0u);
    SubmitList stored = test::StoredResults(message_.message_id);
    ASSERT_EQ(stored.size(), 1u);  // the running forum finished with its own result
    EXPECT_NE(twk.Output().find("Done this run: 1 of 2 forums."), std::string::npos)
        << twk.Output();
}

TEST_F(SubmitInterruptTest, SecondCtrlCStopsTheRunningForums) {
    test::TwkProcess twk(SubmitArgs(), Dir());
    ASSERT_TRUE(board_.WaitForRequests(1));
    twk.Signal(SIGINT);
    ASSERT_TRUE(twk.WaitForError("Stopping: no new forums")) << twk.Error();
    twk.Signal(SIGINT);

    // The held request is cut off; the board never answers before twk ends.
    EXPECT_EQ(twk.Wait(), 130) << twk.Output() << twk.Error();
    EXPECT_NE(twk.Error().find("Stopping the running forums now"), std::string::npos);
    EXPECT_TRUE(test::StoredResults(message_.message_id).empty());
    EXPECT_NE(twk.Output().find("0 OK, 0 failed, 2 without a result"), std::string::npos)
        << twk.Output();
}

class SubmitEndedTest : public SubmitCommandTest {
protected:
    SubmitEndedTest() {
        test::ForumSpec kind;
        kind.main_url = board_.MainUrl();
        kind.forum_key = board_.SectionUrl();
        kind.login = FakePhpBB::kLogin;
        kind.pass = FakePhpBB::kPassword;
        test::AddForums(profile_, 1, kind);
    }
    SendingList StoredSendings() const {
        SendingList sendings;
        ListSendings(L"", sendings);
        return sendings;
    }

    FakePhpBB board_{3};
    test::HeldAnswer hold_;
};

// A shutdown (SIGTERM) or a crash (SIGKILL) after the board stored the topic and before twk
// stored the result.
class SubmitSignalTest : public SubmitEndedTest, public ::testing::WithParamInterface<int> {};

TEST_P(SubmitSignalTest, AfterThePostTheNextRunFindsItInsteadOfPostingAgain) {
    board_.SetTopicHook([this](const test::FakeTopic&) { hold_.Hold(); });
    test::TwkProcess twk(SubmitArgs(), Dir());
    ASSERT_TRUE(hold_.WaitUntilHeld()) << twk.Error();
    twk.Signal(GetParam());
    const int code = twk.Wait();
    hold_.Release();

    ASSERT_EQ(StoredSendings().size(), 1u);
    SubmitList stored = test::StoredResults(message_.message_id);
    if (GetParam() == SIGTERM) {
        EXPECT_EQ(code, 130) << twk.Output() << twk.Error();
        ASSERT_EQ(stored.size(), 1u);
        EXPECT_EQ(stored[0].result, kCheckResult);
        EXPECT_EQ(stored[0].err, L"Stopped after sending: the post may have gone out");
    } else {
        EXPECT_TRUE(stored.empty());
    }
    TwkResult listed = RunTwk({"results", "--db", Db(), "--profile", "Main", "--message",
                               std::to_string(message_.message_id)},
                              Dir());
    EXPECT_NE(listed.out.find("\tInterrupted: the post may have gone out\t\n"), std::string::npos)
        << listed.out;

    TwkResult again = RunTwk(SubmitArgs(), Dir());
    EXPECT_EQ(again.code, 0) << again.out << again.err;
    EXPECT_EQ(board_.Topics().size(), 1u);
    EXPECT_EQ(board_.CountRequests("POST /posting.php"), 1u);
    stored = test::StoredResults(message_.message_id);
    ASSERT_EQ(stored.size(), 1u);
    EXPECT_EQ(stored[0].result, kOk);
    EXPECT_EQ(stored[0].thread, board_.TopicUrl(1));
    EXPECT_TRUE(StoredSendings().empty());
}

INSTANTIATE_TEST_SUITE_P(Signals, SubmitSignalTest, ::testing::Values(SIGKILL, SIGTERM),
                         [](const ::testing::TestParamInfo<int>& signal) {
                             return signal.param == SIGKILL ? "Killed" : "Terminated";
                         });

TEST_F(SubmitEndedTest, KilledBeforeSendingTheNextRunPostsAsUsual) {
    board_.SetRequestHook([this](const httplib::Request& request) {
        if (request.method == "GET" && request.path == "/posting.php") {
            hold_.Hold();
        }
    });
    test::TwkProcess twk(SubmitArgs(), Dir());
    ASSERT_TRUE(hold_.WaitUntilHeld()) << twk.Error();
    twk.Signal(SIGKILL);
    twk.Wait();
    hold_.Release();

    EXPECT_TRUE(StoredSendings().empty());
    EXPECT_TRUE(test::StoredResults(message_.message_id).empty());
    TwkResult again = RunTwk(SubmitArgs(), Dir());
    EXPECT_EQ(again.code, 0) << again.out << again.err;
    EXPECT_EQ(again.out.find("Looking for the interrupted post"), std::string::npos) << again.out;
    EXPECT_EQ(board_.Topics().size(), 1u);
    SubmitList stored = test::StoredResults(message_.message_id);
    ASSERT_EQ(stored.size(), 1u);
    EXPECT_EQ(stored[0].result, kOk);
}

}  // namespace
}  // namespace twk
