#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "support/LocalServer.h"
#include "web/WebClient.h"

namespace twk {
namespace {

using namespace std::chrono_literals;

constexpr wchar_t kUserAgent[] = L"Mozilla/4.0 (compatible; MSIE 8.0; Windows NT 5.1)";

// Forums that never finish: one sends a byte every half second, the other sends its
// headers and then nothing. Each gives up after 30 s at the latest, so that a broken
// limit fails the test rather than hanging it.
class WebClientTimeLimitTest : public ::testing::Test {
protected:
    void SetUp() override {
        server_.server().Get("/trickle",
                             [this](const httplib::Request&, httplib::Response& response) {
                                 response.set_chunked_content_provider(
                                     "text/html", [this](size_t, httplib::DataSink& sink) {
                                         for (int i = 0; i < 60 && !done_; ++i) {
                                             if (!sink.write("x", 1)) {
                                                 return false;
                                             }
                                             Pause(500ms);
                                         }
                                         sink.done();
                                         return true;
                                     });
                             });
        server_.server().Get("/headers-only",
                             [this](const httplib::Request&, httplib::Response& response) {
                                 response.set_chunked_content_provider(
                                     "text/html", [this](size_t, httplib::DataSink& sink) {
                                         Pause(30s);
                                         sink.done();
                                         return true;
                                     });
                             });
        server_.Start();
    }

    void TearDown() override { done_ = true; }

    void Pause(std::chrono::milliseconds length) {
        for (auto waited = 0ms; waited < length && !done_; waited += 10ms) {
            std::this_thread::sleep_for(10ms);
        }
    }

    std::atomic<bool> done_{false};
    test::LocalServer server_;  // last: its threads stop before done_ goes away
};

TEST_F(WebClientTimeLimitTest, ASlowForumIsGivenUpWithinTheLimit) {
    struct Row {
        const char* path;
        TransferLimits limits;
        const char* why;
    } rows[] = {
        // Two bytes a second pass a floor of one, so only the overall limit can end it.
        {"/trickle", {5, 1500, 1, 60}, "overall limit"},
        {"/trickle", {5, 60'000, 100, 1}, "low-speed floor"},
        {"/headers-only", {5, 1500, 1, 60}, "overall limit, nothing sent"},
    };
    for (const Row& row : rows) {
        WebClient client(kUserAgent);
        client.SetTransferLimits(row.limits);
        const auto start = std::chrono::steady_clock::now();
        EXPECT_FALSE(client.Get(server_.WideUrl(row.path), 5)) << row.why;
        const auto took = std::chrono::steady_clock::now() - start;
        EXPECT_EQ(client.error_text, L"The forum did not answer in time") << row.why;
        EXPECT_GE(took, 900ms) << row.why;
        EXPECT_LT(took, 10s) << row.why;
    }
}

}  // namespace
}  // namespace twk
