#include "support/FakeDiscourse.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <map>
#include <string>

#include "text/Unicode.h"

namespace twk {
namespace {

using nlohmann::json;
using test::FakeDiscourse;
using ::testing::SizeIs;

// A client of the fake as an engine would be: a cookie jar, the CSRF token, form bodies,
// ".json" addresses below the site's folder.
class DiscourseClient {
public:
    explicit DiscourseClient(const FakeDiscourse& board)
        : client_(board.Base()), prefix_(board.prefix()) {}

    httplib::Result Send(const std::string& method, const std::string& path,
                         const std::string& form = {}) {
        httplib::Headers headers = {{"X-CSRF-Token", csrf_}};
        std::string cookies;
        for (const auto& [name, value] : cookies_) {
            cookies += name + "=" + value + "; ";
        }
        headers.emplace("Cookie", cookies);
        httplib::Result result =
            method == "GET"      ? client_.Get(prefix_ + path, headers)
            : method == "DELETE" ? client_.Delete(prefix_ + path, headers)
                                 : client_.Post(prefix_ + path, headers, form,
                                                "application/x-www-form-urlencoded; charset=UTF-8");
        for (const auto& [name, value] : result->headers) {
            if (name == "Set-Cookie") {
                size_t equals = value.find('=');
                cookies_[value.substr(0, equals)] =
                    value.substr(equals + 1, value.find(';') - equals - 1);
            }
        }
        return result;
    }

    void FetchToken() { csrf_ = json::parse(Send("GET", "/session/csrf.json")->body)["csrf"]; }

    // The raw answer to a sign-in with the given password.
    std::string SignIn(const std::string& password) {
        FetchToken();
        return Send("POST", "/session.json",
                    "login=tester&password=" + httplib::detail::encode_query_param(password))
            ->body;
    }

private:
    httplib::Client client_;
    std::string prefix_;
    std::map<std::string, std::string> cookies_;
    std::string csrf_;
};

const std::string kPassword = WideToUtf8(FakeDiscourse::kPassword);

TEST(FakeDiscourseTest, SignsInCreatesATopicAndReadsItBackBelowItsFolder) {
    FakeDiscourse board({.prefix = "/forum"});
    DiscourseClient client(board);
    EXPECT_EQ(json::parse(client.SignIn(kPassword))["user"]["username"], "tester");
    json site = json::parse(client.Send("GET", "/site.json")->body);
    EXPECT_EQ(site["categories"].back()["name"], "Тестирование");
    EXPECT_EQ(site["categories"].back()["permission"], 1);

    httplib::Result created = client.Send(
        "POST", "/posts.json",
        "title=" + httplib::detail::encode_query_param("проверка связи, café.") +
            "&raw=Twenty+characters+or+more&category=8&archetype=regular"
            "&typing_duration_msecs=6000&composer_open_duration_msecs=9000&nested_post=true");

    ASSERT_EQ(created->status, 200) << created->body;
    json post = json::parse(created->body)["post"];
    EXPECT_EQ(post["topic_slug"], "cafe");
    ASSERT_THAT(board.Topics(), SizeIs(1));
    EXPECT_EQ(board.Topics()[0].body, L"Twenty characters or more");
    const std::string id = std::to_string(post["topic_id"].get<int>());
    EXPECT_EQ(board.TopicUrl(1), board.SiteUrl("/t/cafe/" + id));
    EXPECT_EQ(json::parse(client.Send("GET", "/t/" + id + ".json")->body)["title"],
              "Проверка связи, café");
    json listed = json::parse(client.Send("GET", "/c/testirovanie/8.json")->body);
    EXPECT_EQ(listed["topic_list"]["topics"][0]["pinned"], true);
    EXPECT_EQ(listed["topic_list"]["topics"][1]["id"], post["topic_id"]);
}

TEST(FakeDiscourseTest, RefusesAWrongPasswordAStaleTokenAndQueuesAFastTypersFirstTopic) {
    FakeDiscourse board;
    DiscourseClient client(board);
    EXPECT_EQ(json::parse(client.SignIn("wrong"))["error"],
              "Incorrect username, email or password");
    client.SignIn(kPassword);
    const std::string topic =
        "title=A+topic+title+long+enough&raw=Twenty+characters+or+more"
        "&category=4";

    httplib::Result queued = client.Send("POST", "/posts.json", topic);
    EXPECT_EQ(json::parse(queued->body)["action"], "enqueued");
    EXPECT_TRUE(board.Silenced());
    EXPECT_EQ(client.Send("POST", "/posts.json", topic)->status, 403);
    client.Send("DELETE", "/session/tester.json");
    httplib::Result stale = client.Send("POST", "/session.json", "login=tester&password=x");
    EXPECT_EQ(stale->status, 403);
    EXPECT_EQ(stale->body, "[\"BAD CSRF\"]");
}

}  // namespace
}  // namespace twk
