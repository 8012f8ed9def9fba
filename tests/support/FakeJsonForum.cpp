#include "support/FakeJsonForum.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cctype>
#include <ctime>
#include <filesystem>
#include <utility>

#include "support/FakeSleeper.h"
#include "support/TempDir.h"
#include "text/Unicode.h"
#include "web/Charsets.h"

namespace twk::test {

namespace {

int PortOf(const sockaddr_storage& address) {
    if (address.ss_family == AF_INET) {
        return ntohs(reinterpret_cast<const sockaddr_in*>(&address)->sin_port);
    }
    if (address.ss_family == AF_INET6) {
        return ntohs(reinterpret_cast<const sockaddr_in6*>(&address)->sin6_port);
    }
    return -1;
}

// cpp-httplib has no way to leave a request unanswered. The socket that carries this
// request is found by its two ports and replaced by /dev/null: the connection closes at
// once, and the server writes its answer into nothing and then reads the end of it.
void CloseConnection(const httplib::Request& request) {
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd", error)) {
        int fd = -1;
        try {
            fd = std::stoi(entry.path().filename().string());
        } catch (const std::exception&) {
            continue;
        }
        sockaddr_storage local{};
        sockaddr_storage peer{};
        socklen_t local_size = sizeof(local);
        socklen_t peer_size = sizeof(peer);
        if (getsockname(fd, reinterpret_cast<sockaddr*>(&local), &local_size) != 0 ||
            getpeername(fd, reinterpret_cast<sockaddr*>(&peer), &peer_size) != 0) {
            continue;
        }
        if (PortOf(local) == request.local_port && PortOf(peer) == request.remote_port) {
            int null = open("/dev/null", O_RDWR | O_CLOEXEC);
            if (null >= 0) {
                dup2(null, fd);
                close(null);
            }
            return;
        }
    }
}

}  // namespace

FakeJsonForum::FakeJsonForum(std::string prefix, std::vector<PassingFault> passingFaults,
                             LostAnswer lostAnswer, const FakeSleeper* clock)
    : FakeForum(kCodePageUtf8),
      prefix_(std::move(prefix)),
      passing_faults_(std::move(passingFaults)),
      lost_answer_(lostAnswer),
      clock_(clock),
      fault_hits_(passing_faults_.size(), 0) {}

std::wstring FakeJsonForum::SiteUrl(const std::string& path) const {
    return Url(prefix_ + EncodePath(path));
}

std::string FakeJsonForum::EncodePath(std::string_view utf8) {
    static const char* const kHex = "0123456789ABCDEF";
    std::string out;
    for (char c : utf8) {
        auto byte = static_cast<unsigned char>(c);
        if (std::isalnum(byte) != 0 || c == '-' || c == '_' || c == '.' || c == '~' || c == '/' ||
            c == '?' || c == '=' || c == '&') {
            out += c;
        } else {
            out += '%';
            out += kHex[byte >> 4];
            out += kHex[byte & 15];
        }
    }
    return out;
}

FakeJsonForum::Handler FakeJsonForum::Guarded(Handler handler) {
    return [this, handler = std::move(handler)](const httplib::Request& request,
                                                httplib::Response& response) {
        if (!PassingFaultHit(request, response)) {
            handler(request, response);
        }
    };
}

void FakeJsonForum::Get(const std::string& pattern, Handler handler) {
    server_.Get(prefix_ + pattern, Guarded(std::move(handler)));
}

void FakeJsonForum::Post(const std::string& pattern, Handler handler) {
    server_.Post(prefix_ + pattern, Guarded(std::move(handler)));
}

void FakeJsonForum::Put(const std::string& pattern, Handler handler) {
    server_.Put(prefix_ + pattern, Guarded(std::move(handler)));
}

void FakeJsonForum::Delete(const std::string& pattern, Handler handler) {
    server_.Delete(prefix_ + pattern, Guarded(std::move(handler)));
}

bool FakeJsonForum::PassingFaultHit(const httplib::Request& request, httplib::Response& response) {
    const std::string path = request.path.substr(prefix_.size());
    const PassingFault* hit = nullptr;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        for (size_t i = 0; i < passing_faults_.size(); ++i) {
            if (path.starts_with(passing_faults_[i].path) &&
                fault_hits_[i] < passing_faults_[i].count) {
                ++fault_hits_[i];
                hit = &passing_faults_[i];
                break;
            }
        }
    }
    if (hit == nullptr) {
        return false;
    }
    if (hit->status == 0) {
        CloseConnection(request);
        return true;
    }
    if (hit->retry_after >= 0) {
        response.set_header("Retry-After", std::to_string(hit->retry_after));
    }
    SendText(response, hit->status,
             "<html><head><title>" + std::to_string(hit->status) +
                 " Service Temporarily Unavailable</title></head><body><center><h1>" +
                 std::to_string(hit->status) +
                 " Service Temporarily Unavailable</h1></center><hr><center>nginx</center>"
                 "</body></html>",
             "text/html");
    return true;
}

long FakeJsonForum::Now() const {
    return clock_ == nullptr ? 0 : clock_->total_ms() / 1000;
}

bool FakeJsonForum::LoseAnswer(const httplib::Request& request, httplib::Response& response) const {
    switch (lost_answer_) {
        case LostAnswer::kNone:
            return false;
        case LostAnswer::kBadGateway:
            SendText(response, 502,
                     "<html><head><title>502 Bad Gateway</title></head><body><center>"
                     "<h1>502 Bad Gateway</h1></center><hr><center>nginx</center>"
                     "</body></html>",
                     "text/html");
            return true;
        case LostAnswer::kClosedConnection:
            CloseConnection(request);
            return true;
    }
    return false;
}

void FakeJsonForum::SendJson(httplib::Response& response, int status,
                             const nlohmann::ordered_json& body) {
    response.status = status;
    // Text a client sent may not be valid UTF-8; the board would store it mangled, not fail.
    response.set_content(
        body.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace),
        "application/json; charset=utf-8");
}

void FakeJsonForum::SendText(httplib::Response& response, int status, const std::string& text,
                             const char* contentType) {
    response.status = status;
    response.set_content(text, contentType);
}

nlohmann::ordered_json FakeJsonForum::Fixture(const std::string& relative) {
    return nlohmann::ordered_json::parse(ReadFixture(relative));
}

std::string FakeJsonForum::CookieValue(const httplib::Request& request, const std::string& name) {
    const std::string cookies = request.get_header_value("Cookie");
    const std::string wanted = name + "=";
    for (size_t at = 0; at < cookies.size();) {
        size_t end = cookies.find(';', at);
        if (end == std::string::npos) {
            end = cookies.size();
        }
        std::string pair = cookies.substr(at, end - at);
        pair.erase(0, pair.find_first_not_of(' '));
        if (pair.starts_with(wanted)) {
            return pair.substr(wanted.size());
        }
        at = end + 1;
    }
    return {};
}

std::multimap<std::string, std::string> FakeJsonForum::BodyFields(const httplib::Request& request) {
    if (request.get_header_value("Content-Type").find("json") == std::string::npos) {
        return ParseFormFields(request.body);
    }
    std::multimap<std::string, std::string> fields;
    nlohmann::ordered_json body = nlohmann::ordered_json::parse(request.body, nullptr, false);
    if (body.is_object()) {
        for (const auto& [name, value] : body.items()) {
            fields.emplace(name, value.is_string() ? value.get<std::string>() : value.dump());
        }
    }
    return fields;
}

std::string FakeJsonForum::Field(const std::multimap<std::string, std::string>& fields,
                                 const std::string& name) {
    auto found = fields.find(name);
    return found == fields.end() ? std::string() : found->second;
}

size_t FakeJsonForum::Length(const std::string& utf8) {
    return Utf8ToWide(utf8).size();
}

std::string FakeJsonForum::Trim(const std::string& text) {
    const char* const kSpace = " \t\r\n";
    size_t begin = text.find_first_not_of(kSpace);
    if (begin == std::string::npos) {
        return {};
    }
    return text.substr(begin, text.find_last_not_of(kSpace) - begin + 1);
}

bool FakeJsonForum::IsLetter(wchar_t c) {
    if (c < 0x80) {
        return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z');
    }
    return (c >= 0xC0 && c <= 0x24F && c != 0xD7 && c != 0xF7) || (c >= 0x370 && c <= 0x52F) ||
           (c >= 0x590 && c <= 0x6FF) || (c >= 0x3040 && c <= 0x30FF && c != 0x30FB) ||
           (c >= 0x3400 && c <= 0x9FFF) || (c >= 0xAC00 && c <= 0xD7AF);
}

wchar_t FakeJsonForum::Lower(wchar_t c) {
    if ((c >= L'A' && c <= L'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7) ||
        (c >= 0x391 && c <= 0x3A9) || (c >= 0x410 && c <= 0x42F)) {
        return c + 0x20;
    }
    if (c >= 0x400 && c <= 0x40F) {
        return c + 0x50;
    }
    return c;
}

wchar_t FakeJsonForum::Upper(wchar_t c) {
    if ((c >= L'a' && c <= L'z') || (c >= 0xE0 && c <= 0xFE && c != 0xF7) ||
        (c >= 0x3B1 && c <= 0x3C9 && c != 0x3C2) || (c >= 0x430 && c <= 0x44F)) {
        return c - 0x20;
    }
    if (c >= 0x450 && c <= 0x45F) {
        return c - 0x50;
    }
    return c;
}

std::string FakeJsonForum::Paragraph(const std::string& text) {
    return "<p>" + WideToUtf8(EscapeHtml(Utf8ToWide(text))) + "</p>";
}

std::string FakeJsonForum::IsoTime(long long milliseconds) {
    std::time_t seconds = static_cast<std::time_t>(milliseconds / 1000);
    std::tm utc{};
    gmtime_r(&seconds, &utc);
    char text[32];
    std::strftime(text, sizeof(text), "%Y-%m-%dT%H:%M:%S", &utc);
    std::string millis = std::to_string(1000 + milliseconds % 1000).substr(1);
    return std::string(text) + "." + millis + "Z";
}

std::string FakeJsonForum::Random(size_t length, std::string_view alphabet) {
    std::lock_guard<std::mutex> lock(mutex_);
    std::string text;
    for (size_t i = 0; i < length; ++i) {
        random_state_ = random_state_ * 6364136223846793005UL + 1442695040888963407UL;
        text += alphabet[(random_state_ >> 33) % alphabet.size()];
    }
    return text;
}

}  // namespace twk::test
