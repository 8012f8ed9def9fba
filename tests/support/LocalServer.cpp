#include "support/LocalServer.h"

#include <chrono>
#include <stdexcept>

#include "text/Unicode.h"

namespace twk::test {

LocalServer::LocalServer(std::unique_ptr<httplib::Server> server)
    : server_(server ? std::move(server) : std::make_unique<httplib::Server>()) {
    port_ = server_->bind_to_any_port("127.0.0.1");
    if (port_ <= 0) {
        throw std::runtime_error("cannot bind a local test server");
    }
}

LocalServer::~LocalServer() {
    Stop();
}

void LocalServer::Stop() {
    if (thread_.joinable()) {
        server_->stop();
        thread_.join();
    }
}

void LocalServer::Start() {
    thread_ = std::thread([this] { server_->listen_after_bind(); });
    // stop() only ends a server that is already running, so the destructor must not
    // come before the accept loop has started.
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!server_->is_running() && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

std::string LocalServer::Url(std::string_view path) const {
    std::string url = "http://127.0.0.1:" + std::to_string(port_);
    if (path.empty() || path.front() != '/') {
        url += '/';
    }
    url += path;
    return url;
}

std::wstring LocalServer::WideUrl(std::string_view path) const {
    return Utf8ToWide(Url(path));
}

}  // namespace twk::test
