#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

#include "engines/SMFEngine.h"
#include "support/FakeForum.h"
#include "support/FakeSleeper.h"
#include "support/TempDir.h"
#include "web/Charsets.h"

namespace twk {
namespace {

// Serves the saved pages of a real SMF 2.1.4 topic of 46 messages (15 a page) and of a
// topic that is gone, as the board served them (the gone one with its 403).
class SavedSMFTopic : public test::FakeForum {
public:
    SavedSMFTopic() : FakeForum(kCodePageUtf8) {
        server_.Get("/index.php",
                    [this](const httplib::Request& request, httplib::Response& response) {
                        const std::string& target = request.target;
                        if (target.find("topic=4.45") != std::string::npos) {
                            Send(response, "topic-many-last", 200);
                        } else if (target.find("topic=4.") != std::string::npos) {
                            Send(response, "topic-many-p1", 200);
                        } else {
                            Send(response, "topic-gone", 403);
                        }
                    });
        Start();
    }
    ~SavedSMFTopic() override { Stop(); }

private:
    void Send(httplib::Response& response, const std::string& name, int status) const {
        std::string page = test::ReadFixture("smf/saved/" + name + ".html");
        const std::string saved = "http://127.0.0.1:18083";
        for (size_t at = page.find(saved); at != std::string::npos;
             at = page.find(saved, at + Base().size())) {
            page.replace(at, saved.size(), Base());
        }
        response.status = status;
        response.set_content(page, "text/html; charset=UTF-8");
    }
};

class SMFRepliesSavedPageTest : public ::testing::Test {
protected:
    SMFRepliesSavedPageTest() {
        engine.SetSleeper(sleeper);
        engine.SetBaseUrl(board.Url("/index.php"));
    }

    SavedSMFTopic board;
    test::FakeSleeper sleeper;
    SMFEngine engine;
};

TEST_F(SMFRepliesSavedPageTest, CountsFortyFiveRepliesFromTheLastPageOnly) {
    ReplyInfo info;
    ASSERT_EQ(engine.ReadReplies(board.Url("/index.php?topic=4.0"), info), kOk)
        << engine.failure_text;
    EXPECT_EQ(info.replies, 45);
    EXPECT_EQ(info.pages_read, 2);
    EXPECT_EQ(info.newest_url, board.Url("/index.php?topic=4.45"));
    EXPECT_EQ(info.newest_author, L"admin");
    EXPECT_EQ(board.CountRequests("topic=4.15"), 0u);
}

TEST_F(SMFRepliesSavedPageTest, GoneTopicGivesTheBoardsWords) {
    ReplyInfo info;
    EXPECT_EQ(engine.ReadReplies(board.Url("/index.php?topic=5.0"), info), kTopicGone);
    EXPECT_THAT(engine.failure_text,
                ::testing::HasSubstr(L"appears to be either missing or off limits"));
}

}  // namespace
}  // namespace twk
