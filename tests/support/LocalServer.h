#pragma once

#include <httplib.h>

#include <memory>
#include <string>
#include <string_view>
#include <thread>

namespace twk::test {

// A cpp-httplib server on 127.0.0.1 and an ephemeral port, serving from a background
// thread for the life of the object. Register handlers on server() first, then Start();
// the destructor stops the server and waits for its thread. Pass an httplib::SSLServer to
// serve https (Url then still says http; build the address from port()).
class LocalServer {
public:
    explicit LocalServer(std::unique_ptr<httplib::Server> server = nullptr);
    ~LocalServer();
    LocalServer(const LocalServer&) = delete;
    LocalServer& operator=(const LocalServer&) = delete;

    httplib::Server& server() { return *server_; }
    void Start();
    // Stops serving and waits for the thread; a derived class whose handlers use its own
    // members calls it in its destructor, before those members go away.
    void Stop();
    int port() const { return port_; }

    // "http://127.0.0.1:PORT/path"; a leading "/" in path is optional.
    std::string Url(std::string_view path) const;
    std::wstring WideUrl(std::string_view path) const;

private:
    std::unique_ptr<httplib::Server> server_;
    int port_ = -1;
    std::thread thread_;
};

}  // namespace twk::test
