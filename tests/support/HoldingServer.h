#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "support/LocalServer.h"

namespace twk::test {

// A server on 127.0.0.1 that holds every request it receives until Release() (or until
// hold_limit passes, so that a client that is never stopped still ends its test), then
// answers with a small page. Clients stay blocked in their transfer meanwhile: what stop
// tests need. Room for `concurrent` held requests at once.
class HoldingServer {
public:
    explicit HoldingServer(size_t concurrent = 8,
                           std::chrono::seconds hold_limit = std::chrono::seconds(60));
    ~HoldingServer();
    HoldingServer(const HoldingServer&) = delete;
    HoldingServer& operator=(const HoldingServer&) = delete;

    std::string Url(std::string_view path) const { return server_.Url(path); }
    std::wstring WideUrl(std::string_view path) const { return server_.WideUrl(path); }

    // True once count requests have arrived (waits up to limit).
    bool WaitForRequests(size_t count, std::chrono::milliseconds limit = std::chrono::seconds(30));
    // Lets every held request, and every later one, be answered.
    void Release();
    // The paths of the requests received so far, in order of arrival.
    std::vector<std::string> Paths() const;
    // Requests received whose path starts with prefix.
    size_t CountRequests(std::string_view prefix = {}) const;

private:
    LocalServer server_;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<std::string> paths_;
    bool released_ = false;
};

}  // namespace twk::test
