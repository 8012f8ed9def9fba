// twk update and twk replies against a local board, as a user runs them after posting.
#include <gtest/gtest.h>

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

class TopicCommandsTest : public ::testing::Test {
protected:
    std::vector<std::string> Args(const std::string& command) const {
        std::vector<std::string> args = {command,
                                         "--db",
                                         db_.path().string(),
                                         "--profile",
                                         "Main",
                                         "--message",
                                         std::to_string(message_.message_id)};
        if (command != "results") {
            args.push_back("--no-pauses");
        }
        return args;
    }
    TwkResult Twk(const std::string& command) { return RunTwk(Args(command), db_.dir().path()); }

    // Two forums on the board, posted with the message as it was.
    void Post() {
        test::ForumSpec kind;
        kind.main_url = board_.MainUrl();
        kind.forum_key = board_.SectionUrl();
        kind.login = FakePhpBB::kLogin;
        kind.pass = FakePhpBB::kPassword;
        test::AddForums(profile_, 2, kind);
        TwkResult run = Twk("submit");
        ASSERT_EQ(run.code, 0) << run.out << run.err;
        ASSERT_EQ(board_.Topics().size(), 2u);
    }

    test::TestDatabase db_;
    FakePhpBB board_{3};
    int32_t profile_ = test::AddProfile(L"Main");
    MessageRecord message_ = test::AddMessage(profile_, L"Тема", L"Текст");
};

TEST_F(TopicCommandsTest, UpdateEditsTheOutOfDateTopicsAndResultsSaysSo) {
    Post();
    TwkResult nothing = Twk("update");
    EXPECT_EQ(nothing.code, 0);
    EXPECT_NE(nothing.out.find("Nothing to do"), std::string::npos) << nothing.out;

    MessageRecord edited = message_;
    edited.subject = L"Тема (исправлено) 修正";
    edited.msg = L"[i]Новый[/i] текст";
    TwkResult edit = RunTwk({"edit-message", "--db", db_.path().string(), "--profile", "Main",
                             "--message", std::to_string(message_.message_id), "--subject",
                             WideToUtf8(edited.subject), "--body", WideToUtf8(edited.msg)},
                            db_.dir().path());
    ASSERT_EQ(edit.code, 0) << edit.err;
    TwkResult listed = Twk("results");
    EXPECT_NE(listed.out.find("OK (out of date)"), std::string::npos) << listed.out;

    // The first topic can no longer be edited.
    board_.ChangeTopic(1, [](test::FakeTopic& topic) { topic.locked = true; });
    TwkResult update = Twk("update");
    EXPECT_EQ(update.code, 1) << update.out << update.err;
    EXPECT_NE(update.out.find("Updated 1 of 2 topics; 1 still out of date."), std::string::npos)
        << update.out;
    std::vector<test::FakeTopic> topics = board_.Topics();
    ASSERT_EQ(topics.size(), 2u);
    EXPECT_EQ(topics[0].subject, L"Тема");
    EXPECT_EQ(topics[1].subject, edited.subject);
    EXPECT_EQ(topics[1].body, edited.msg);

    board_.ChangeTopic(1, [](test::FakeTopic& topic) { topic.locked = false; });
    update = Twk("update");
    EXPECT_EQ(update.code, 0) << update.out << update.err;
    EXPECT_EQ(board_.Topics()[0].subject, edited.subject);
    listed = Twk("results");
    EXPECT_EQ(listed.out.find("out of date"), std::string::npos) << listed.out;
    EXPECT_NE(listed.out.find("OK (updated "), std::string::npos) << listed.out;
}

TEST_F(TopicCommandsTest, RepliesListsCountsNewSinceLastCheckAndGoneTopics) {
    Post();
    board_.ChangeTopic(1, [](test::FakeTopic& topic) {
        topic.replies.push_back({L"Читатель", 1765000000, L"Спасибо"});
    });
    TwkResult first = Twk("replies");
    EXPECT_EQ(first.code, 0) << first.out << first.err;
    const std::string url = WideToUtf8(board_.TopicUrl(1));
    EXPECT_NE(first.out.find("\t1\t0\tЧитатель\t"), std::string::npos) << first.out;
    EXPECT_NE(first.out.find(url + "\n"), std::string::npos) << first.out;

    board_.ChangeTopic(1, [](test::FakeTopic& topic) {
        topic.replies.push_back({L"Другой", 1765000100, L"Вопрос"});
    });
    board_.ChangeTopic(2, [](test::FakeTopic& topic) { topic.gone = true; });
    TwkResult second = Twk("replies");
    EXPECT_EQ(second.code, 1) << second.out << second.err;
    EXPECT_NE(second.out.find("\t2\t1\tДругой\t"), std::string::npos) << second.out;
    EXPECT_NE(second.out.find("\tgone\t"), std::string::npos) << second.out;
    // Reading changed nothing on the board.
    EXPECT_EQ(board_.CountEdits(), 0);
    EXPECT_EQ(board_.Topics().size(), 2u);
}

}  // namespace
}  // namespace twk
