#include "support/HoldingServer.h"

namespace twk::test {

HoldingServer::HoldingServer(size_t concurrent, std::chrono::seconds hold_limit) {
    // httplib serves each connection on a pooled thread; a request beyond the pool would
    // wait unseen in the queue and reach the handler only after others were let go.
    server_.server().new_task_queue = [concurrent] {
        return new httplib::ThreadPool(concurrent + 2);
    };
    auto hold = [this, hold_limit](const httplib::Request& request, httplib::Response& response) {
        std::unique_lock<std::mutex> lock(mutex_);
        paths_.push_back(request.path);
        changed_.notify_all();
        changed_.wait_for(lock, hold_limit, [this] { return released_; });
        response.set_content("<html><body>Board</body></html>", "text/html");
    };
    server_.server().Get(".*", hold);
    server_.server().Post(".*", hold);
    server_.Start();
}

HoldingServer::~HoldingServer() {
    Release();
    server_.Stop();
}

bool HoldingServer::WaitForRequests(size_t count, std::chrono::milliseconds limit) {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, limit, [this, count] { return paths_.size() >= count; });
}

void HoldingServer::Release() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        released_ = true;
    }
    changed_.notify_all();
}

std::vector<std::string> HoldingServer::Paths() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return paths_;
}

size_t HoldingServer::CountRequests(std::string_view prefix) const {
    std::lock_guard<std::mutex> lock(mutex_);
    size_t count = 0;
    for (const std::string& path : paths_) {
        count += path.rfind(prefix, 0) == 0 ? 1 : 0;
    }
    return count;
}

}  // namespace twk::test
