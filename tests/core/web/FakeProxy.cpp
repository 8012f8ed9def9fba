#include "FakeProxy.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <stdexcept>

namespace twk::test {
namespace {

constexpr int kReadTimeoutMilliseconds = 5000;

int BindLoopback(int* port) {
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0) {
        throw std::runtime_error("socket failed");
    }
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    socklen_t length = sizeof(address);
    if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
        getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        close(fd);
        throw std::runtime_error("bind failed");
    }
    *port = ntohs(address.sin_port);
    return fd;
}

bool WaitReadable(int fd, int milliseconds) {
    pollfd entry{fd, POLLIN, 0};
    return poll(&entry, 1, milliseconds) > 0;
}

size_t ContentLength(const std::string& head) {
    std::string lower = head;
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    size_t at = lower.find("\r\ncontent-length:");
    if (at == std::string::npos) {
        return 0;
    }
    return std::stoul(lower.substr(at + 17));
}

}  // namespace

FakeProxy::FakeProxy(Responder responder) : responder_(std::move(responder)) {
    listener_ = BindLoopback(&port_);
    if (listen(listener_, 16) != 0) {
        close(listener_);
        throw std::runtime_error("listen failed");
    }
    thread_ = std::thread([this] { Serve(); });
}

FakeProxy::~FakeProxy() {
    stopping_ = true;
    thread_.join();
    close(listener_);
}

std::vector<std::string> FakeProxy::Requests() const {
    std::lock_guard<std::mutex> guard(lock_);
    return requests_;
}

void FakeProxy::Serve() {
    while (!stopping_) {
        if (!WaitReadable(listener_, 50)) {
            continue;
        }
        int connection = accept(listener_, nullptr, nullptr);
        if (connection >= 0) {
            Answer(connection);
            close(connection);
        }
    }
}

void FakeProxy::Answer(int connection) {
    std::string data;
    char buffer[4096];
    size_t headEnd = std::string::npos;
    while (headEnd == std::string::npos) {
        if (!WaitReadable(connection, kReadTimeoutMilliseconds)) {
            return;
        }
        ssize_t count = recv(connection, buffer, sizeof(buffer), 0);
        if (count <= 0) {
            return;
        }
        data.append(buffer, static_cast<size_t>(count));
        headEnd = data.find("\r\n\r\n");
    }
    std::string head = data.substr(0, headEnd + 4);
    // Read the body too, so that closing the socket does not reset the connection
    // before the client has read the answer.
    size_t wanted = head.size() + ContentLength(head);
    while (data.size() < wanted && WaitReadable(connection, kReadTimeoutMilliseconds)) {
        ssize_t count = recv(connection, buffer, sizeof(buffer), 0);
        if (count <= 0) {
            break;
        }
        data.append(buffer, static_cast<size_t>(count));
    }
    {
        std::lock_guard<std::mutex> guard(lock_);
        requests_.push_back(head);
    }
    std::string answer = responder_(head);
    size_t sent = 0;
    while (sent < answer.size()) {
        ssize_t count = send(connection, answer.data() + sent, answer.size() - sent, MSG_NOSIGNAL);
        if (count <= 0) {
            break;
        }
        sent += static_cast<size_t>(count);
    }
    shutdown(connection, SHUT_WR);
    // Let the client read the answer and close first.
    while (WaitReadable(connection, 1000) && recv(connection, buffer, sizeof(buffer), 0) > 0) {
    }
}

int UnusedPort() {
    int port = 0;
    int fd = BindLoopback(&port);
    close(fd);
    return port;
}

}  // namespace twk::test
