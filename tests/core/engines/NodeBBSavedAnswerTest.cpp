#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <vector>

#include "engines/NodeBBEngine.h"
#include "support/FakeSleeper.h"
#include "support/LocalServer.h"
#include "support/TempDir.h"

namespace twk {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;

// Serves the answers a real NodeBB 4.11.2 gave, unchanged: every category's page data is
// that of General, and POST /api/v3/topics answers with the saved file named by the test.
class SavedNodeBB {
public:
    explicit SavedNodeBB(std::string createAnswer, int createStatus,
                         std::string signInAnswer = "login-answer.json", int signInStatus = 200) {
        server_.server().Post("/api/v3/utilities/login",
                              [=](const httplib::Request&, httplib::Response& response) {
                                  Send(response, signInStatus, signInAnswer);
                              });
        server_.server().Get("/api/config", [](const httplib::Request&, httplib::Response& r) {
            Send(r, 200, "config.json");
        });
        server_.server().Get("/api/v3/categories",
                             [](const httplib::Request&, httplib::Response& r) {
                                 Send(r, 200, "categories-v3.json");
                             });
        server_.server().Get(R"(/api/category/\d+)",
                             [](const httplib::Request&, httplib::Response& r) {
                                 Send(r, 200, "section-replies.json");
                             });
        server_.server().Post("/api/v3/topics",
                              [=](const httplib::Request&, httplib::Response& response) {
                                  Send(response, createStatus, createAnswer);
                              });
        server_.server().Get(
            R"(/api/v3/topics/\d+)",
            [](const httplib::Request&, httplib::Response& r) { Send(r, 200, "topic-v3.json"); });
        server_.Start();
    }

    std::wstring Url(const std::string& path) const { return server_.WideUrl(path); }

private:
    static void Send(httplib::Response& response, int status, const std::string& name) {
        response.status = status;
        const bool json = name.size() > 5 && name.substr(name.size() - 5) == ".json";
        response.set_content(test::ReadFixture("nodebb/saved/" + name),
                             json ? "application/json; charset=utf-8" : "text/plain");
    }

    test::LocalServer server_;
};

class NodeBBSavedAnswerTest : public ::testing::Test {
protected:
    NodeBBSavedAnswerTest() { engine.SetSleeper(sleeper); }

    ResultCode Submit(const SavedNodeBB& board) {
        engine.SetBaseUrl(board.Url("/"));
        ResultCode result = engine.SignIn(L"tester", L"testerpass123", forum_title);
        if (result == kOk) {
            result = engine.OpenSection(board.Url("/category/2/general"));
        }
        if (result == kOk) {
            result = engine.PostTopic(L"A subject", L"A body of some length", topic_url);
        }
        return result;
    }

    test::FakeSleeper sleeper;
    NodeBBEngine engine;
    std::wstring forum_title;
    std::wstring topic_url;
};

TEST_F(NodeBBSavedAnswerTest, SignInScanAndPost) {
    SavedNodeBB board("topic-create-answer.json", 200);
    ASSERT_EQ(Submit(board), kOk) << engine.failure_text;
    EXPECT_EQ(forum_title, L"NodeBB Lab");
    EXPECT_EQ(topic_url, board.Url("/topic/2/проверка-связи-café-déjà-vu-日本語のタイトル-测试-1"));

    SectionList sections;
    ASSERT_EQ(engine.ReadSections(sections), kOk) << engine.failure_text;
    std::vector<std::wstring> titles;
    for (const SectionRecord& section : sections) {
        titles.push_back(section.title);
    }
    EXPECT_THAT(titles, ElementsAre(L"Announcements", L"General", L"Read-only", L"Тестирование",
                                    L"Premoderated"));
    EXPECT_EQ(sections[3].key, board.Url("/category/3/тестирование"));
}

struct SavedRefusal {
    std::string name;
    std::string answer;
    int status;
    ResultCode expected;
    std::wstring text;
};

void PrintTo(const SavedRefusal& row, std::ostream* out) {
    *out << row.name;
}

class NodeBBSavedRefusalTest : public NodeBBSavedAnswerTest,
                               public ::testing::WithParamInterface<SavedRefusal> {};

TEST_P(NodeBBSavedRefusalTest, ReadsTheBoardsAnswer) {
    const SavedRefusal& row = GetParam();
    SavedNodeBB board(row.answer, row.status);
    EXPECT_EQ(Submit(board), row.expected);
    EXPECT_THAT(engine.failure_text, HasSubstr(row.text));
    EXPECT_EQ(topic_url, L"");
}

INSTANTIATE_TEST_SUITE_P(
    Answers, NodeBBSavedRefusalTest,
    ::testing::Values(
        SavedRefusal{"NoPrivilege", "topic-create-noprivilege.json", 403, kNewTopicNotAllowed,
                     L"You do not have enough privileges for this action."},
        SavedRefusal{"Queued", "topic-create-queued.json", 202, kCheckResult, L"Post queued"},
        SavedRefusal{"TitleTooLong", "topic-create-toolong.json", 400, kNoMessageForm,
                     L"Titles can't be longer than 255 character(s)."}),
    [](const auto& row) { return row.param.name; });

TEST_F(NodeBBSavedAnswerTest, WrongPasswordIsTheBoardsKeyMadeReadable) {
    SavedNodeBB board("topic-create-answer.json", 200, "login-answer-wrong.txt", 403);
    EXPECT_EQ(Submit(board), kInvalidLogin);
    EXPECT_EQ(engine.failure_text, L"Invalid login credentials");
}

TEST_F(NodeBBSavedAnswerTest, TooSoonIsWaitedOutBeforeTheSecondRefusalEndsIt) {
    SavedNodeBB board("topic-create-toosoon.json", 400);
    EXPECT_EQ(Submit(board), kCheckResult);
    EXPECT_THAT(engine.failure_text, HasSubstr(L"You can only post once every 10 second(s)"));
    EXPECT_EQ(sleeper.sleeps(), 10 + 10 + 10);
}

TEST_F(NodeBBSavedAnswerTest, ARefusedTokenIsRenewedOnceAndNothingIsTaken) {
    SavedNodeBB board("topic-create-nocsrf.txt", 403);
    EXPECT_EQ(Submit(board), kUnknownError);
    EXPECT_THAT(engine.failure_text, HasSubstr(L"Forbidden"));
}

// The saved answers of an edit and of a topic's pages: topic 2 is the member's own one-post
// topic (edited by PUT /api/v3/posts/2 with the answer named), 4 has 45 replies over three
// pages, 5 is gone.
class SavedNodeBBTopics {
public:
    SavedNodeBBTopics(std::string editAnswer, int editStatus) {
        auto& server = server_.server();
        server.Post("/api/v3/utilities/login", [](const httplib::Request&, httplib::Response& r) {
            Send(r, 200, "login-answer.json");
        });
        server.Get("/api/config", [](const httplib::Request&, httplib::Response& r) {
            Send(r, 200, "config.json");
        });
        server.Get("/api/topic/2", [this](const httplib::Request&, httplib::Response& r) {
            Send(r, 200, edited_ ? "edit-after.json" : "edit-link-topic.json");
        });
        server.Put("/api/v3/posts/2", [=, this](const httplib::Request&, httplib::Response& r) {
            edited_ = editStatus == 200;
            Send(r, editStatus, editAnswer);
        });
        server.Get("/api/topic/4", [](const httplib::Request& request, httplib::Response& r) {
            Send(r, 200,
                 request.get_param_value("page") == "3" ? "topic-many-last.json"
                                                        : "topic-many.json");
        });
        server.Get("/api/topic/5", [](const httplib::Request&, httplib::Response& r) {
            Send(r, 404, "topic-gone.json");
        });
        server_.Start();
    }

    std::wstring Url(const std::string& path) const { return server_.WideUrl(path); }

private:
    static void Send(httplib::Response& response, int status, const std::string& name) {
        response.status = status;
        response.set_content(test::ReadFixture("nodebb/saved/" + name),
                             "application/json; charset=utf-8");
    }

    std::atomic<bool> edited_{false};
    test::LocalServer server_;
};

struct SavedEdit {
    std::string name;
    std::string answer;
    int status;
    ResultCode expected;
    std::wstring text;
};

void PrintTo(const SavedEdit& row, std::ostream* out) {
    *out << row.name;
}

class NodeBBSavedEditTest : public NodeBBSavedAnswerTest,
                            public ::testing::WithParamInterface<SavedEdit> {};

TEST_P(NodeBBSavedEditTest, ReadsTheBoardsAnswerAndTheTopicAfterIt) {
    const SavedEdit& row = GetParam();
    SavedNodeBBTopics board(row.answer, row.status);
    engine.SetBaseUrl(board.Url("/"));
    ASSERT_EQ(engine.SignIn(L"tester", L"testerpass123", forum_title), kOk);

    EXPECT_EQ(engine.EditTopic(board.Url("/topic/2/sample-topic-to-edit"),
                               L"Sample topic – edited title", L"Edited body, long enough."),
              row.expected);
    EXPECT_THAT(engine.failure_text, HasSubstr(row.text));
}

INSTANTIATE_TEST_SUITE_P(
    Answers, NodeBBSavedEditTest,
    ::testing::Values(SavedEdit{"Taken", "edit-answer.json", 200, kOk, L""},
                      SavedEdit{"AnotherMembersPost", "edit-not-own.json", 403, kEditRefused,
                                L"You do not have enough privileges for this action."},
                      SavedEdit{"TimeLimitPassed", "edit-too-late.json", 400, kEditRefused,
                                L"You are only allowed to edit posts for 2 second(s) after "
                                L"posting"}),
    [](const auto& row) { return row.param.name; });

TEST_F(NodeBBSavedAnswerTest, RepliesOfTheSavedTopicPages) {
    SavedNodeBBTopics board("edit-answer.json", 200);
    engine.SetBaseUrl(board.Url("/"));
    ReplyInfo info;

    ASSERT_EQ(engine.ReadReplies(board.Url("/topic/4/sample-topic-with-45-replies"), info), kOk)
        << engine.failure_text;
    EXPECT_EQ(info.replies, 45);
    EXPECT_EQ(info.pages_read, 2);
    EXPECT_EQ(info.newest_author, L"admin");
    EXPECT_EQ(info.newest_time, 1796922783);
    EXPECT_EQ(info.newest_url, board.Url("/topic/4/sample-topic-with-45-replies?page=3"));

    EXPECT_EQ(engine.ReadReplies(board.Url("/topic/5"), info), kTopicGone);
    EXPECT_THAT(engine.failure_text, HasSubstr(L"404"));
}

}  // namespace
}  // namespace twk
