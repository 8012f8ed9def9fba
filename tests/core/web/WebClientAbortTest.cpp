#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <semaphore>
#include <thread>

#include "WebTestServer.h"
#include "web/HtmlForm.h"
#include "web/WebClient.h"

namespace twk {
namespace {

using namespace std::chrono_literals;
using test::kUserAgent;

// Abort comes from another thread while the worker is blocked on a server that stalls,
// either before its answer or in the middle of the body.
class WebClientAbortTest : public ::testing::TestWithParam<const char*> {
protected:
    void SetUp() override {
        server_.server().Get("/silent",
                             [this](const httplib::Request&, httplib::Response& response) {
                                 started_.release();
                                 WaitForRelease();
                                 response.set_content("late", "text/plain");
                             });
        server_.server().Get("/slow", [this](const httplib::Request&, httplib::Response& response) {
            response.set_content_provider(1000, "text/plain",
                                          [this](size_t offset, size_t, httplib::DataSink& sink) {
                                              if (offset == 0) {
                                                  bool written = sink.write("first part", 10);
                                                  started_.release();
                                                  return written;
                                              }
                                              WaitForRelease();
                                              return false;
                                          });
        });
        server_.server().Get("/fast", [](const httplib::Request&, httplib::Response& response) {
            response.set_content("fast", "text/plain");
        });
        server_.Start();
    }

    void TearDown() override { released_ = true; }

    // Holds a server thread for at most ten seconds, so that a broken Abort fails the
    // test instead of hanging it.
    void WaitForRelease() {
        for (int i = 0; i < 1000 && !released_; ++i) {
            std::this_thread::sleep_for(10ms);
        }
    }

    std::binary_semaphore started_{0};
    std::atomic<bool> released_{false};
    // Last, so that its threads stop before the members its handlers use go away.
    test::RecordingServer server_;
};

TEST_P(WebClientAbortTest, AbortEndsABlockedRequestAndEveryLaterOne) {
    WebClient client(kUserAgent);
    std::future<bool> result = std::async(
        std::launch::async, [&client, this] { return client.Get(server_.WideUrl(GetParam()), 5); });
    ASSERT_TRUE(started_.try_acquire_for(10s));
    client.Abort();
    ASSERT_EQ(result.wait_for(10s), std::future_status::ready) << "Get did not return";
    EXPECT_FALSE(result.get());
    EXPECT_EQ(client.error_text, L"The request was aborted");

    const size_t requests = server_.Count();
    client.error_text = L"kept";
    EXPECT_FALSE(client.Get(server_.WideUrl("/fast"), 5));
    HtmlForm form;
    form.action = server_.WideUrl("/fast");
    EXPECT_FALSE(client.PostForm(form));
    client.Abort();
    EXPECT_EQ(client.error_text, L"kept");
    EXPECT_EQ(server_.Count(), requests);
}

INSTANTIATE_TEST_SUITE_P(Stalls, WebClientAbortTest, ::testing::Values("/silent", "/slow"));

TEST(WebClientAbortIdleTest, AbortBeforeAnyRequestSendsNothing) {
    test::RecordingServer server;
    server.Start();
    WebClient client(kUserAgent);
    client.Abort();
    EXPECT_FALSE(client.Get(server.WideUrl("/"), 5));
    EXPECT_EQ(client.error_text, L"");
    EXPECT_EQ(server.Count(), 0u);
}

}  // namespace
}  // namespace twk
