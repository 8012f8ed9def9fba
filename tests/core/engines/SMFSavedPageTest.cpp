#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engines/SMFEngine.h"
#include "support/FakeForum.h"
#include "support/FakeSleeper.h"
#include "support/TempDir.h"
#include "web/Charsets.h"

namespace twk {
namespace {

using ::testing::ElementsAre;

// The address the pages were saved from; the server puts its own in its place.
const char* const kSavedBase = "http://127.0.0.1:18083";

// How the saved board answers the new-topic form.
enum class PostAnswer { kTopic, kError, kModerated };

// Serves the saved pages of a real SMF 2.1.4 board: the guest index until the sign-in form
// comes with the password the pages were saved with, then the signed-in one; a board, its
// new-topic form, and the answers to that form.
class SavedSMF : public test::FakeForum {
public:
    static constexpr const char* kPassword = "testerpass123";

    explicit SavedSMF(PostAnswer answer) : FakeForum(kCodePageUtf8), answer_(answer) {
        server_.Get("/index.php",
                    [this](const httplib::Request& request, httplib::Response& response) {
                        const std::string& target = request.target;
                        std::string page = "index-guest";
                        if (target.find("action=login2;sa=check") != std::string::npos) {
                            // SMF's check that the new session cookie came back.
                            Redirect(response, "/index.php");
                            return;
                        }
                        if (target.find("action=login") != std::string::npos) {
                            page = "login";
                        } else if (target.find("action=post;board=") != std::string::npos) {
                            page = "newtopic";
                        } else if (target.find("topic=6.") != std::string::npos) {
                            page = "moderated";
                        } else if (target.find("topic=") != std::string::npos) {
                            page = "topic";
                        } else if (target.find("board=") != std::string::npos) {
                            page = "section";
                        } else if (signed_in_) {
                            page = "index-signed-in";
                        }
                        Send(response, page);
                    });
        server_.Post("/index.php",
                     [this](const httplib::Request& request, httplib::Response& response) {
                         std::lock_guard<std::mutex> lock(mutex_);
                         const auto fields = ParseFormFields(request.body);
                         if (request.target.find("action=login2") != std::string::npos) {
                             sign_in_fields_ = fields;
                             auto password = fields.find("passwrd");
                             if (password == fields.end() || password->second != kPassword) {
                                 Send(response, "login-wrong");
                                 return;
                             }
                             signed_in_ = true;
                             Redirect(response, "/index.php?action=login2;sa=check;member=2");
                             return;
                         }
                         post_fields_ = fields;
                         switch (answer_) {
                             case PostAnswer::kTopic:
                                 Redirect(response, "/index.php?topic=2.new#new");
                                 break;
                             case PostAnswer::kModerated:
                                 Redirect(response, "/index.php?topic=6.new#new");
                                 break;
                             case PostAnswer::kError:
                                 Send(response, "newtopic-error");
                                 break;
                         }
                     });
        Start();
    }
    ~SavedSMF() override { Stop(); }

    std::multimap<std::string, std::string> SignInFields() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return sign_in_fields_;
    }
    std::multimap<std::string, std::string> PostFields() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return post_fields_;
    }

private:
    void Send(httplib::Response& response, const std::string& name) const {
        std::string page = test::ReadFixture("smf/saved/" + name + ".html");
        const std::string local = Base();
        for (size_t at = page.find(kSavedBase); at != std::string::npos;
             at = page.find(kSavedBase, at + local.size())) {
            page.replace(at, std::string(kSavedBase).size(), local);
        }
        response.set_content(page, "text/html; charset=UTF-8");
    }
    void Redirect(httplib::Response& response, const std::string& target) const {
        response.status = 302;
        response.set_header("Location", Base() + target);
    }

    const PostAnswer answer_;
    bool signed_in_ = false;
    std::multimap<std::string, std::string> sign_in_fields_;
    std::multimap<std::string, std::string> post_fields_;
};

std::vector<std::string> Names(const std::multimap<std::string, std::string>& fields) {
    std::vector<std::string> names;
    for (const auto& [name, value] : fields) {
        names.push_back(name);
    }
    return names;
}

class SMFSavedPageTest : public ::testing::Test {
protected:
    SMFSavedPageTest() { engine.SetSleeper(sleeper); }

    ResultCode SignIn(const SavedSMF& board, const std::wstring& password) {
        engine.SetBaseUrl(board.Url("/index.php"));
        return engine.SignIn(L"tester", password, forum_title);
    }

    ResultCode Post(const SavedSMF& board) {
        ResultCode result = SignIn(board, L"testerpass123");
        if (result == kOk) {
            result = engine.OpenSection(board.Url("/index.php?board=1.0"));
        }
        if (result == kOk) {
            result = engine.PostTopic(L"Проверка", L"тест [b]жирный[/b]", topic_url);
        }
        return result;
    }

    test::FakeSleeper sleeper;
    SMFEngine engine;
    std::wstring forum_title;
    std::wstring topic_url;
};

TEST_F(SMFSavedPageTest, SignsInFromTheGuestIndexAndListsTheBoards) {
    SavedSMF board(PostAnswer::kTopic);

    ASSERT_EQ(SignIn(board, L"testerpass123"), kOk) << engine.failure_text;
    SectionList sections;
    ASSERT_EQ(engine.ReadSections(sections), kOk);

    EXPECT_EQ(forum_title, L"Lab Board - Index");
    // The sign-in form's fields as the page has them: the session field and the one-time
    // token with their random names, "Forever" as the page chose it.
    const auto fields = board.SignInFields();
    EXPECT_THAT(Names(fields),
                ElementsAre("cookielength", "ebd522ba227f", "f9d74a240a4e", "passwrd", "user"));
    EXPECT_EQ(fields.find("f9d74a240a4e")->second, "aaaed4cd55bdf3d0e056780caa37a1a4");
    EXPECT_EQ(fields.find("cookielength")->second, "3153600");
    std::vector<std::wstring> listed;
    for (const SectionRecord& section : sections) {
        listed.push_back(section.title + L" " + section.url);
    }
    EXPECT_THAT(listed, ElementsAre(L"General " + board.Url("/index.php?board=1.0"),
                                    L"Announcements " + board.Url("/index.php?board=2.0"),
                                    L"Тестирование " + board.Url("/index.php?board=3.0")));
}

TEST_F(SMFSavedPageTest, WrongPasswordShowsTheErrorBox) {
    SavedSMF board(PostAnswer::kTopic);

    EXPECT_EQ(SignIn(board, L"wrongpass"), kInvalidLogin);

    EXPECT_EQ(engine.failure_text, L"Password incorrect");
}

TEST_F(SMFSavedPageTest, PostsTheNewTopicFormAndConfirmsByTheReplyLink) {
    SavedSMF board(PostAnswer::kTopic);

    ASSERT_EQ(Post(board), kOk) << engine.failure_text;

    EXPECT_EQ(topic_url, board.Url("/index.php?topic=2.0"));
    const auto fields = board.PostFields();
    EXPECT_EQ(fields.find("subject")->second, "Проверка");
    EXPECT_EQ(fields.find("message")->second, "тест [b]жирный[/b]");
    EXPECT_EQ(fields.find("seqnum")->second, "117885");
    EXPECT_EQ(fields.find("f9d74a240a4e")->second, "aaaed4cd55bdf3d0e056780caa37a1a4");
    EXPECT_EQ(fields.find("goback")->second, "1");
    EXPECT_EQ(fields.count("post"), 1u);
    EXPECT_EQ(fields.count("preview") + fields.count("save_draft"), 0u);
}

struct AnswerCase {
    const char* name;
    PostAnswer answer;
    std::wstring says;
};

void PrintTo(const AnswerCase& row, std::ostream* out) {
    *out << row.name;
}

class SMFSavedAnswerTest : public SMFSavedPageTest,
                           public ::testing::WithParamInterface<AnswerCase> {};

TEST_P(SMFSavedAnswerTest, ReportsTheBoardsWords) {
    SavedSMF board(GetParam().answer);

    EXPECT_EQ(Post(board), kCheckResult);

    EXPECT_EQ(engine.failure_text, GetParam().says);
    EXPECT_EQ(topic_url, L"");
}

INSTANTIATE_TEST_SUITE_P(
    Answers, SMFSavedAnswerTest,
    ::testing::Values(
        // The form again, with its error list shown.
        AnswerCase{"PostError", PostAnswer::kError, L"No subject was filled in."},
        // The topic, with the notice on its message.
        AnswerCase{"Moderated", PostAnswer::kModerated,
                   L"This message is awaiting approval by a moderator."}),
    [](const ::testing::TestParamInfo<AnswerCase>& row) { return std::string(row.param.name); });

}  // namespace
}  // namespace twk
