#pragma once

#include <atomic>
#include <mutex>
#include <string>
#include <vector>

#include "support/LocalServer.h"

namespace twk::test {

// The User-Agent the engines give their clients.
inline constexpr wchar_t kUserAgent[] =
    L"Mozilla/4.0 (compatible; MSIE 8.0; Windows NT 5.1; Trident/4.0; .NET CLR 2.0.50727; "
    L".NET CLR 1.1.4322; .NET CLR 3.0.04506.30; .NET CLR 3.0.04506.648)";

// One request as the test server saw it.
struct SeenRequest {
    std::string method;
    std::string target;  // as sent: path and query
    std::string version;
    httplib::Headers headers;
    std::string body;

    // The first value of a header (names in any letter case); empty when absent.
    std::string Header(const std::string& name) const;
    bool HasHeader(const std::string& name) const { return headers.count(name) > 0; }
};

// A local server that counts requests as they arrive and records each one (with its
// body, after its handler, before the answer is written).
class RecordingServer : public LocalServer {
public:
    RecordingServer();
    ~RecordingServer();

    std::vector<SeenRequest> Seen() const;
    size_t Count() const { return count_; }

private:
    std::atomic<size_t> count_{0};
    mutable std::mutex lock_;
    std::vector<SeenRequest> seen_;
};

}  // namespace twk::test
