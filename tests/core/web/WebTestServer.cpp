#include "WebTestServer.h"

namespace twk::test {

std::string SeenRequest::Header(const std::string& name) const {
    auto found = headers.find(name);
    return found == headers.end() ? std::string() : found->second;
}

RecordingServer::RecordingServer() {
    server().set_pre_routing_handler([this](const httplib::Request&, httplib::Response&) {
        ++count_;
        return httplib::Server::HandlerResponse::Unhandled;
    });
    server().set_post_routing_handler([this](const httplib::Request& request, httplib::Response&) {
        std::lock_guard<std::mutex> guard(lock_);
        seen_.push_back(
            {request.method, request.target, request.version, request.headers, request.body});
    });
}

// The handlers above use this object's members, so serving stops before they go away.
RecordingServer::~RecordingServer() {
    Stop();
}

std::vector<SeenRequest> RecordingServer::Seen() const {
    std::lock_guard<std::mutex> guard(lock_);
    return seen_;
}

}  // namespace twk::test
