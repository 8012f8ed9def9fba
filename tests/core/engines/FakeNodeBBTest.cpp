#include "support/FakeNodeBB.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <string>

#include "support/FakeSleeper.h"
#include "text/Unicode.h"

namespace twk {
namespace {

using nlohmann::json;
using test::FakeNodeBB;
using ::testing::HasSubstr;
using ::testing::SizeIs;

// A client of the fake as an engine would be: one session cookie, the CSRF token from
// /api/config, JSON bodies.
class NodeBBClient {
public:
    explicit NodeBBClient(const FakeNodeBB& board) : client_(board.Base()) {}

    httplib::Result Send(const std::string& method, const std::string& path,
                         const json& body = nullptr, bool withToken = true) {
        httplib::Headers headers = {{"User-Agent", "MyClient/1.0"}};
        if (!cookie_.empty()) {
            headers.emplace("Cookie", cookie_);
        }
        if (withToken && !csrf_.empty()) {
            headers.emplace("x-csrf-token", csrf_);
        }
        httplib::Result result = method == "GET"
                                     ? client_.Get(path, headers)
                                     : client_.Post(path, headers, body.dump(), "application/json");
        if (result && result->has_header("Set-Cookie")) {
            std::string value = result->get_header_value("Set-Cookie");
            cookie_ = value.substr(0, value.find(';'));
        }
        return result;
    }

    void SignIn() {
        ASSERT_EQ(Send("POST", "/api/v3/utilities/login",
                       {{"username", WideToUtf8(FakeNodeBB::kLogin)},
                        {"password", WideToUtf8(FakeNodeBB::kPassword)}})
                      ->status,
                  200);
        csrf_ = json::parse(Send("GET", "/api/config")->body)["csrf_token"];
    }

private:
    httplib::Client client_;
    std::string cookie_;
    std::string csrf_;
};

TEST(FakeNodeBBTest, SignsInCreatesATopicAndReadsItBack) {
    FakeNodeBB board;
    NodeBBClient client(board);
    client.SignIn();
    json categories = json::parse(client.Send("GET", "/api/v3/categories")->body);
    EXPECT_THAT(categories["response"]["categories"], SizeIs(6));

    httplib::Result created = client.Send("POST", "/api/v3/topics",
                                          {{"cid", FakeNodeBB::kCyrillicCategory},
                                           {"title", "Проверка — café №1"},
                                           {"content", "**Жирный** text"}});

    ASSERT_EQ(created->status, 200) << created->body;
    json topic = json::parse(created->body)["response"];
    EXPECT_EQ(topic["slug"], "2/проверка-café-1");
    EXPECT_EQ(topic["category"]["name"], "Тестирование");
    ASSERT_THAT(board.Topics(), SizeIs(1));
    EXPECT_EQ(board.Topics()[0].section, "3");
    EXPECT_EQ(board.Topics()[0].body, L"**Жирный** text");
    EXPECT_EQ(board.TopicUrl(1), board.SiteUrl("/topic/2/проверка-café-1"));
    EXPECT_EQ(json::parse(client.Send("GET", "/api/topic/2")->body)["title"], "Проверка — café №1");
    json listed = json::parse(client.Send("GET", "/api/category/3/тестирование")->body);
    EXPECT_EQ(listed["topics"][0]["tid"], 2);
    EXPECT_EQ(listed["privileges"]["topics:create"], true);
}

TEST(FakeNodeBBTest, RefusesAWriteWithoutTokenAndATopicSoonAfterTheLastOne) {
    test::FakeSleeper clock;
    FakeNodeBB board({.post_delay = 10, .clock = &clock});
    NodeBBClient client(board);
    client.SignIn();
    json topic = {{"cid", 2}, {"title", "Hello there"}, {"content", "Long enough text"}};

    httplib::Result without_token = client.Send("POST", "/api/v3/topics", topic, false);
    EXPECT_EQ(without_token->status, 403);
    EXPECT_EQ(without_token->body, "Forbidden");
    EXPECT_EQ(client.Send("POST", "/api/v3/topics", topic)->status, 200);
    clock.Sleep(std::chrono::seconds(9));
    httplib::Result too_soon = client.Send("POST", "/api/v3/topics", topic);
    EXPECT_EQ(too_soon->status, 400);
    EXPECT_THAT(too_soon->body, HasSubstr("You can only post once every 10 second(s)"));
    EXPECT_THAT(board.Topics(), SizeIs(1));
}

TEST(FakeNodeBBTest, PassingFaultsEndAndALostAnswerKeepsTheTopic) {
    FakeNodeBB board({.passing_faults = {{.path = "/api/config", .count = 1, .retry_after = 5}},
                      .lost_answer = FakeNodeBB::LostAnswer::kClosedConnection});
    NodeBBClient client(board);

    httplib::Result refused = client.Send("GET", "/api/config");
    EXPECT_EQ(refused->status, 503);
    EXPECT_EQ(refused->get_header_value("Retry-After"), "5");
    client.SignIn();
    httplib::Result lost = client.Send(
        "POST", "/api/v3/topics", {{"cid", 2}, {"title", "Lost"}, {"content", "Stored anyway"}});

    EXPECT_FALSE(lost);
    EXPECT_THAT(board.Topics(), SizeIs(1));
}

}  // namespace
}  // namespace twk
