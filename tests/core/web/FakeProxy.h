#pragma once

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace twk::test {

// A stand-in for an HTTP proxy on 127.0.0.1: for each connection it reads one request
// head (and a body announced by Content-Length), records the head, sends what the
// responder returns and closes the connection. Raw sockets, because a proxy sees
// absolute-form targets and CONNECT, which an HTTP server library need not accept.
class FakeProxy {
public:
    using Responder = std::function<std::string(const std::string& head)>;

    explicit FakeProxy(Responder responder);
    ~FakeProxy();
    FakeProxy(const FakeProxy&) = delete;
    FakeProxy& operator=(const FakeProxy&) = delete;

    int port() const { return port_; }
    // The request heads received so far, in order.
    std::vector<std::string> Requests() const;

private:
    void Serve();
    void Answer(int connection);

    Responder responder_;
    int listener_ = -1;
    int port_ = 0;
    std::atomic<bool> stopping_{false};
    mutable std::mutex lock_;
    std::vector<std::string> requests_;
    std::thread thread_;
};

// A loopback port on which nothing listens (connections are refused).
int UnusedPort();

}  // namespace twk::test
