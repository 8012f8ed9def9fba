#include "web/WebClient.h"

#include <gtest/gtest.h>

#include "FakeProxy.h"
#include "WebTestServer.h"
#include "text/Unicode.h"
#include "web/Charsets.h"
#include "web/HtmlForm.h"

namespace twk {
namespace {

using test::kUserAgent;
using test::RecordingServer;
using test::SeenRequest;

class WebClientTest : public ::testing::Test {
protected:
    void SetUp() override {
        // /hop/N answers 302 to /hop/N-1; /hop/0 is the page.
        server_.server().Get(R"(/hop/(\d+))",
                             [](const httplib::Request& request, httplib::Response& response) {
                                 int left = std::stoi(request.matches[1]);
                                 if (left == 0) {
                                     response.set_content("arrived", "text/html");
                                 } else {
                                     response.set_redirect("/hop/" + std::to_string(left - 1), 302);
                                 }
                             });
        server_.server().Get(R"(/status/(\d+))",
                             [](const httplib::Request& request, httplib::Response& response) {
                                 response.status = std::stoi(request.matches[1]);
                                 response.set_header("Location", "/hop/0");
                                 if (response.status != 204) {
                                     response.set_content("status page", "text/html");
                                 }
                             });
        server_.server().Get("/dir/sub/page.php",
                             [](const httplib::Request&, httplib::Response& response) {
                                 response.set_redirect("../a.php", 302);
                             });
        server_.server().Get("/dir/a.php",
                             [](const httplib::Request&, httplib::Response& response) {
                                 // Real PHP boards send header names in any letter case.
                                 response.status = 301;
                                 response.set_header("location", "/index.php?x=1");
                             });
        server_.server().Get(
            "/index.php", [](const httplib::Request& request, httplib::Response& response) {
                response.set_content("index " + request.get_param_value("x"), "text/html");
            });
        server_.server().Get(
            "/cookie", [](const httplib::Request& request, httplib::Response& response) {
                response.set_content("cookie=" + request.get_header_value("Cookie"), "text/plain");
            });
        server_.server().Post(
            "/login", [](const httplib::Request& request, httplib::Response& response) {
                response.set_header("Set-Cookie",
                                    "sid=" + request.get_param_value("user") + "; path=/");
                response.set_redirect("cookie", 302);
                response.set_content("answer to the POST", "text/html");
            });
        server_.server().Post("/echo",
                              [](const httplib::Request& request, httplib::Response& response) {
                                  response.set_content(request.body, "text/plain");
                              });
        server_.server().Post("/refuse", [](const httplib::Request& request,
                                            httplib::Response& response) {
            response.status = 429;
            response.set_header("Retry-After", "7");
            response.set_content("{\"seen\":\"" + request.get_header_value("X-CSRF-Token") + "\"}",
                                 "application/json");
        });
        server_.server().Post("/moved", [](const httplib::Request&, httplib::Response& response) {
            response.set_redirect("/hop/0", 307);
        });
        server_.server().Get("/moved", [](const httplib::Request&, httplib::Response& response) {
            response.set_redirect("/hop/0", 308);
        });
        server_.server().Get("/zeros", [](const httplib::Request&, httplib::Response& response) {
            response.set_content(std::string("a\0b\0\0c", 6), "application/octet-stream");
        });
        // A body over the 64 MiB limit, announced by Content-Length or just streamed.
        server_.server().Get("/announced", [](const httplib::Request&,
                                              httplib::Response& response) {
            response.set_content_provider(kBodyLimit + 1, "application/octet-stream",
                                          [](size_t, size_t, httplib::DataSink&) { return false; });
        });
        server_.server().Get("/stream", [](const httplib::Request&, httplib::Response& response) {
            response.set_content_provider("application/octet-stream",
                                          [](size_t offset, httplib::DataSink& sink) {
                                              static const std::string block(1 << 20, 'x');
                                              if (offset > kBodyLimit) {
                                                  sink.done();
                                                  return true;
                                              }
                                              return sink.write(block.data(), block.size());
                                          });
        });
        server_.Start();
    }

    static constexpr size_t kBodyLimit = size_t{64} << 20;

    HtmlForm Form(const std::string& path, std::vector<FormField> fields = {}) {
        HtmlForm form;
        form.action = server_.WideUrl(path);
        form.fields = std::move(fields);
        return form;
    }

    RecordingServer server_;
    WebClient client_{kUserAgent};
};

TEST_F(WebClientTest, FollowsFiveRedirectsAndFailsOnTheSixth) {
    EXPECT_TRUE(client_.Get(server_.WideUrl("/hop/5"), 5));
    EXPECT_EQ(client_.status_code, 200u);
    EXPECT_EQ(client_.body, "arrived");
    EXPECT_EQ(client_.current_url, server_.WideUrl("/hop/0"));
    EXPECT_EQ(server_.Count(), 6u);

    EXPECT_FALSE(client_.Get(server_.WideUrl("/hop/6"), 5));
    EXPECT_EQ(client_.status_code, 302u);
    EXPECT_EQ(client_.error_text, L"302 Found");
    EXPECT_EQ(client_.current_url, server_.WideUrl("/hop/1"));
    EXPECT_EQ(server_.Count(), 12u);
}

TEST_F(WebClientTest, ResolvesEachLocationAgainstTheHopThatCarriedIt) {
    ASSERT_TRUE(client_.Get(server_.WideUrl("/dir/sub/page.php"), 5)) << client_.error_text;
    EXPECT_EQ(client_.body, "index 1");
    EXPECT_EQ(client_.current_url, server_.WideUrl("/index.php?x=1"));
    std::vector<SeenRequest> seen = server_.Seen();
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_EQ(seen[1].target, "/dir/a.php");
    EXPECT_EQ(seen[2].target, "/index.php?x=1");
}

TEST_F(WebClientTest, StatusesOtherThan200FailWithCodeAndText) {
    struct Row {
        int status;
        const wchar_t* error;
    };
    for (Row row : {Row{303, L"303 See Other"}, Row{307, L"307 Temporary Redirect"},
                    Row{201, L"201 Created"}, Row{204, L"204 No Content"},
                    Row{404, L"404 Not Found"}, Row{500, L"500 Internal Server Error"}}) {
        SCOPED_TRACE(row.status);
        size_t before = server_.Count();
        EXPECT_FALSE(client_.Get(server_.WideUrl("/status/" + std::to_string(row.status)), 5));
        EXPECT_EQ(client_.status_code, static_cast<uint32_t>(row.status));
        EXPECT_EQ(client_.error_text, row.error);
        EXPECT_EQ(server_.Count(), before + 1) << "the Location of this status is not followed";
        EXPECT_EQ(client_.body, row.status == 204 ? "" : "status page");
    }
}

TEST_F(WebClientTest, PostAnsweredBy302IsFollowedByGetCarryingTheNewCookie) {
    ASSERT_TRUE(client_.PostForm(Form("/login", {{L"user", L"bob", kFieldText, false}})))
        << client_.error_text;
    EXPECT_EQ(client_.current_url, server_.WideUrl("/cookie"));
    EXPECT_EQ(client_.body, "cookie=sid=bob");

    std::vector<SeenRequest> seen = server_.Seen();
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0].method, "POST");
    EXPECT_EQ(seen[1].method, "GET");
    EXPECT_EQ(seen[1].body, "");
    EXPECT_FALSE(seen[1].HasHeader("Content-Type"));

    ASSERT_TRUE(client_.Get(server_.WideUrl("/cookie"), 5));
    EXPECT_EQ(client_.body, "cookie=sid=bob");
}

TEST_F(WebClientTest, SendsTheHeadersOfAnOldBrowser) {
    ASSERT_TRUE(client_.Get(server_.WideUrl("/index.php?x=2"), 5));
    EXPECT_EQ(client_.raw_headers.rfind(L"HTTP/1.1 200 OK\r\n", 0), 0u) << client_.raw_headers;
    EXPECT_EQ(client_.raw_headers.substr(client_.raw_headers.size() - 4), L"\r\n\r\n");
    EXPECT_EQ(client_.ResponseHeader(L"content-TYPE:"), L"text/html");

    HtmlForm form = Form("/echo", {{L"a", L"1 2", kFieldHidden, false}});
    ASSERT_TRUE(client_.PostForm(form)) << client_.error_text;
    EXPECT_EQ(client_.current_url, form.action);
    EXPECT_EQ(client_.body, "a=1+2");

    std::vector<SeenRequest> seen = server_.Seen();
    ASSERT_EQ(seen.size(), 2u);
    const SeenRequest& get = seen[0];
    EXPECT_EQ(get.version, "HTTP/1.0");
    EXPECT_EQ(Utf8ToWide(get.Header("User-Agent")), kUserAgent);
    EXPECT_FALSE(get.HasHeader("Referer"));

    const SeenRequest& post = seen[1];
    EXPECT_EQ(post.method, "POST");
    EXPECT_EQ(post.version, "HTTP/1.0");
    EXPECT_EQ(Utf8ToWide(post.Header("User-Agent")), kUserAgent);
    EXPECT_EQ(post.Header("Referer"), server_.Url("/index.php?x=2"));
    EXPECT_EQ(post.Header("Content-Type"), "application/x-www-form-urlencoded");
    EXPECT_EQ(post.Header("Content-Length"), "5");
    EXPECT_EQ(post.headers.count("Content-Type"), 1u);
    EXPECT_EQ(post.headers.count("Content-Length"), 1u);
    EXPECT_FALSE(post.HasHeader("Expect"));
}

TEST_F(WebClientTest, FormMethodIsTheVerbAndGetFormsAreRefused) {
    HtmlForm form = Form("/echo");
    form.method = L"GET";
    client_.error_text = L"earlier failure";
    client_.current_url = L"http://127.0.0.1/before";
    EXPECT_FALSE(client_.PostForm(form));
    EXPECT_EQ(client_.error_text, L"earlier failure");
    EXPECT_EQ(client_.current_url, L"http://127.0.0.1/before");

    form.method = L"POST\r\nX-Injected: 1";
    EXPECT_FALSE(client_.PostForm(form));
    EXPECT_NE(client_.error_text, L"earlier failure");
    EXPECT_EQ(server_.Count(), 0u);

    form.method = L"PUT";
    EXPECT_FALSE(client_.PostForm(form));
    ASSERT_EQ(server_.Count(), 1u);
    EXPECT_EQ(server_.Seen()[0].method, "PUT");
}

TEST_F(WebClientTest, BodyWithZeroBytesArrivesWhole) {
    ASSERT_TRUE(client_.Get(server_.WideUrl("/zeros"), 5));
    EXPECT_EQ(client_.body, std::string("a\0b\0\0c", 6));
}

TEST_F(WebClientTest, UnsplittableUrlFailsWithoutTouchingErrorText) {
    client_.error_text = L"earlier failure";
    for (const wchar_t* url : {L"", L"index.php", L"ftp://127.0.0.1/file", L"http:///path"}) {
        SCOPED_TRACE(url);
        EXPECT_FALSE(client_.Get(url, 5));
        EXPECT_EQ(client_.error_text, L"earlier failure");
        EXPECT_EQ(client_.status_code, 0u);
    }
}

TEST_F(WebClientTest, RefusedConnectionReportsTheStacksMessage) {
    std::wstring url = L"http://127.0.0.1:" + std::to_wstring(test::UnusedPort()) + L"/";
    EXPECT_FALSE(client_.Get(url, 5));
    EXPECT_EQ(client_.status_code, 0u);
    EXPECT_FALSE(client_.error_text.empty());
    EXPECT_LE(client_.error_text.size(), 299u);
}

TEST_F(WebClientTest, CyrillicFieldsArriveInThePagesCharset) {
    const std::wstring text = L"Привет, мир";
    for (uint32_t codePage : {kCodePageWindows1251, kCodePageUtf8}) {
        SCOPED_TRACE(codePage);
        HtmlForm form = Form("/echo", {{L"message", text, kFieldText, false}});
        form.code_page = codePage;
        ASSERT_TRUE(client_.PostForm(form)) << client_.error_text;

        httplib::Params params;
        httplib::detail::parse_query_text(server_.Seen().back().body, params);
        ASSERT_EQ(params.count("message"), 1u);
        std::string received = params.find("message")->second;
        EXPECT_EQ(received, EncodeText(text, codePage));
        EXPECT_EQ(DecodeBytes(received, codePage), text);
    }
}

TEST_F(WebClientTest, OversizedBodyFailsWithAClearText) {
    for (const char* path : {"/announced", "/stream"}) {
        SCOPED_TRACE(path);
        EXPECT_FALSE(client_.Get(server_.WideUrl(path), 5));
        EXPECT_EQ(client_.error_text, L"The response is larger than 64 MiB");
        EXPECT_LE(client_.body.size(), kBodyLimit);
    }
}

}  // namespace
}  // namespace twk

namespace twk {
namespace {

TEST_F(WebClientTest, SendKeepsTheAnswerOfARefusalWithItsHeaders) {
    HttpRequest request;
    request.method = L"POST";
    request.url = server_.WideUrl("/refuse");
    request.headers = {"X-CSRF-Token: abc", "Accept: application/json",
                       "X-Injected: a\r\nX-Evil: 1"};
    request.body = R"({"title":"Тема"})";
    request.content_type = "application/json";
    ASSERT_TRUE(client_.Send(request)) << client_.error_text;
    EXPECT_EQ(client_.status_code, 429u);
    EXPECT_EQ(client_.status_line, L"429 Too Many Requests");
    EXPECT_EQ(client_.ResponseHeader(L"Retry-After:"), L"7");
    EXPECT_EQ(client_.body, R"({"seen":"abc"})");

    const SeenRequest sent = server_.Seen().back();
    EXPECT_EQ(sent.version, "HTTP/1.1");
    EXPECT_EQ(sent.Header("Content-Type"), "application/json");
    EXPECT_EQ(sent.Header("Accept"), "application/json");
    EXPECT_EQ(sent.body, request.body);
    EXPECT_FALSE(sent.HasHeader("X-Injected"));
    EXPECT_FALSE(sent.HasHeader("X-Evil"));
    EXPECT_EQ(Utf8ToWide(sent.Header("User-Agent")), kUserAgent);
}

TEST_F(WebClientTest, SendFollowsRedirectsOfReadsButNeverResendsAWrite) {
    HttpRequest read;
    read.url = server_.WideUrl("/moved");
    ASSERT_TRUE(client_.Send(read)) << client_.error_text;
    EXPECT_EQ(client_.status_code, 200u);
    EXPECT_EQ(client_.body, "arrived");

    HttpRequest write = read;
    write.method = L"POST";
    ASSERT_TRUE(client_.Send(write)) << client_.error_text;
    EXPECT_EQ(client_.status_code, 307u);
    EXPECT_EQ(server_.Count(), 3u);
}

TEST_F(WebClientTest, SendFailsWithoutAnAnswer) {
    HttpRequest request;
    request.url = L"http://127.0.0.1:1/nothing";
    EXPECT_FALSE(client_.Send(request));
    EXPECT_FALSE(client_.error_text.empty());
    EXPECT_EQ(client_.status_code, 0u);
}

}  // namespace
}  // namespace twk
