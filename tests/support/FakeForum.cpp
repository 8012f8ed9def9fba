#include "support/FakeForum.h"

#include <chrono>
#include <ctime>
#include <optional>
#include <stdexcept>

#include "web/Charsets.h"

namespace twk::test {

namespace {

int HexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

std::string PercentDecode(std::string_view text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '+') {
            out += ' ';
        } else if (text[i] == '%' && i + 2 < text.size() && HexDigit(text[i + 1]) >= 0 &&
                   HexDigit(text[i + 2]) >= 0) {
            out += static_cast<char>(HexDigit(text[i + 1]) * 16 + HexDigit(text[i + 2]));
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

}  // namespace

FakeForum::FakeForum(uint32_t codePage) : code_page_(codePage) {
    // Logged before the answer goes out (a logger runs after it), so that a client that
    // has its answer finds its request in the log.
    server_.set_pre_routing_handler(
        [this](const httplib::Request& request, httplib::Response& response) {
            const std::string line = request.method + " " + request.target;
            std::function<void(const httplib::Request&)> hook;
            std::optional<Fault> fault;
            {
                std::lock_guard<std::mutex> lock(mutex_);
                requests_.push_back({line, request.headers});
                for (FaultRule& rule : faults_) {
                    if (rule.left > 0 && line.find(rule.what) != std::string::npos) {
                        --rule.left;
                        fault = rule.fault;
                        break;
                    }
                }
                hook = request_hook_;
            }
            if (fault) {
                AnswerWithFault(response, *fault);
                return httplib::Server::HandlerResponse::Handled;
            }
            if (hook) {
                hook(request);
            }
            return httplib::Server::HandlerResponse::Unhandled;
        });
}

void FakeForum::AnswerWithFault(httplib::Response& response, const Fault& fault) {
    if (fault.status == 0) {
        // The page never comes: the connection ends once the status line is out.
        response.set_content_provider(1000, "text/html",
                                      [](size_t, size_t, httplib::DataSink&) { return false; });
        return;
    }
    response.status = fault.status;
    if (fault.retry_after >= 0) {
        response.set_header("Retry-After", std::to_string(fault.retry_after));
    }
    // A gateway's page, as nginx sends it: nothing of the board's own.
    const std::string status = std::to_string(fault.status);
    response.set_content("<html><head><title>" + status + "</title></head><body><center><h1>" +
                             status + "</h1></center><hr><center>nginx</center></body></html>",
                         "text/html");
}

void FakeForum::FailRequests(const std::string& what, int count, Fault fault) {
    std::lock_guard<std::mutex> lock(mutex_);
    faults_.push_back({what, count, fault});
}

void FakeForum::SetRequestHook(std::function<void(const httplib::Request&)> hook) {
    std::lock_guard<std::mutex> lock(mutex_);
    request_hook_ = std::move(hook);
}

void FakeForum::SetTopicHook(std::function<void(const FakeTopic&)> hook) {
    std::lock_guard<std::mutex> lock(mutex_);
    topic_hook_ = std::move(hook);
}

FakeForum::~FakeForum() {
    Stop();
}

void FakeForum::Stop() {
    server_.stop();
    if (thread_.joinable()) {
        thread_.join();
    }
}

void FakeForum::Start() {
    port_ = server_.bind_to_any_port("127.0.0.1");
    if (port_ <= 0) {
        throw std::runtime_error("the fake forum cannot bind a port");
    }
    thread_ = std::thread([this] { server_.listen_after_bind(); });
    // stop() only ends a server whose accept loop has started: a fake destroyed right after
    // its construction would otherwise leave the destructor waiting forever.
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!server_.is_running() && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

std::string FakeForum::Base() const {
    return "http://127.0.0.1:" + std::to_string(port_);
}

std::wstring FakeForum::Url(const std::string& pathAndQuery) const {
    std::string url = Base() + pathAndQuery;
    return std::wstring(url.begin(), url.end());
}

void FakeForum::SetAccount(const std::wstring& login, const std::wstring& password) {
    std::lock_guard<std::mutex> lock(mutex_);
    login_ = login;
    password_ = password;
}

std::vector<FakeTopic> FakeForum::Topics() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return topics_;
}

std::vector<std::string> FakeForum::Requests() const {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<std::string> lines;
    for (const LoggedRequest& request : requests_) {
        lines.push_back(request.line);
    }
    return lines;
}

size_t FakeForum::CountRequests(const std::string& substring) const {
    std::lock_guard<std::mutex> lock(mutex_);
    size_t count = 0;
    for (const LoggedRequest& request : requests_) {
        if (request.line.find(substring) != std::string::npos) {
            ++count;
        }
    }
    return count;
}

std::string FakeForum::LastHeader(const std::string& substring, const std::string& header) const {
    std::lock_guard<std::mutex> lock(mutex_);
    for (auto it = requests_.rbegin(); it != requests_.rend(); ++it) {
        if (it->line.find(substring) != std::string::npos) {
            auto found = it->headers.find(header);
            return found == it->headers.end() ? std::string() : found->second;
        }
    }
    return {};
}

std::string FakeForum::SessionOf(const httplib::Request& request) const {
    std::string cookies = request.get_header_value("Cookie");
    const std::string key = "fake_sid=";
    size_t at = cookies.find(key);
    if (at == std::string::npos) {
        return {};
    }
    size_t end = cookies.find(';', at);
    return cookies.substr(at + key.size(),
                          end == std::string::npos ? std::string::npos : end - at - key.size());
}

bool FakeForum::IsSignedIn(const httplib::Request& request) const {
    std::string session = SessionOf(request);
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = sessions_.find(session);
    return it != sessions_.end() && it->second;
}

std::string FakeForum::OpenSession(httplib::Response& response) {
    std::string session;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        session = "s" + std::to_string(next_session_++);
        sessions_[session] = false;
    }
    response.set_header("Set-Cookie", "fake_sid=" + session + "; path=/; HttpOnly");
    return session;
}

void FakeForum::SetSignedIn(const std::string& session, bool signedIn) {
    std::lock_guard<std::mutex> lock(mutex_);
    sessions_[session] = signedIn;
}

bool FakeForum::CheckCredentials(const std::string& login, const std::string& password) const {
    std::wstring decoded_login = Decode(login);
    std::wstring decoded_password = Decode(password);
    std::lock_guard<std::mutex> lock(mutex_);
    if (decoded_login == login_ && decoded_password == password_) {
        return true;
    }
    auto other = more_accounts_.find(decoded_login);
    return other != more_accounts_.end() && other->second == decoded_password;
}

std::wstring FakeForum::AccountLogin() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return login_;
}

void FakeForum::AddAccount(const std::wstring& login, const std::wstring& password) {
    std::lock_guard<std::mutex> lock(mutex_);
    more_accounts_[login] = password;
}

std::wstring FakeForum::Decode(const std::string& raw) const {
    return DecodeBytes(raw, code_page_);
}

std::string FakeForum::Encode(const std::wstring& text) const {
    return EncodeText(text, code_page_);
}

void FakeForum::SendPage(httplib::Response& response, const std::wstring& html) const {
    std::string charset = code_page_ == kCodePageUtf8 ? "UTF-8" : "windows-1251";
    std::string type = declare_charset_in_header ? "text/html; charset=" + charset : "text/html";
    response.set_content(Encode(html), type.c_str());
}

int FakeForum::AddTopic(FakeTopic topic) {
    std::function<void(const FakeTopic&)> hook;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        topic.id = static_cast<int>(topics_.size()) + 1;
        if (topic.posted_at == 0) {
            topic.posted_at = static_cast<int64_t>(std::time(nullptr));
        }
        topics_.push_back(topic);
        hook = topic_hook_;
    }
    if (hook) {
        hook(topic);
    }
    return topic.id;
}

int FakeForum::PlaceTopic(FakeTopic topic) {
    std::lock_guard<std::mutex> lock(mutex_);
    topic.id = static_cast<int>(topics_.size()) + 1;
    if (topic.posted_at == 0) {
        topic.posted_at = static_cast<int64_t>(std::time(nullptr));
    }
    topics_.push_back(topic);
    return topic.id;
}

void FakeForum::ChangeTopic(int id, const std::function<void(FakeTopic&)>& change) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (id >= 1 && static_cast<size_t>(id) <= topics_.size()) {
        change(topics_[static_cast<size_t>(id) - 1]);
    }
}

void FakeForum::SetEditTimeLimit(int seconds) {
    std::lock_guard<std::mutex> lock(mutex_);
    edit_time_limit_ = seconds;
}

int FakeForum::CountEdits() const {
    std::lock_guard<std::mutex> lock(mutex_);
    int count = 0;
    for (const FakeTopic& topic : topics_) {
        count += topic.edits;
    }
    return count;
}

bool FakeForum::FindTopic(int id, FakeTopic& topic) const {
    std::lock_guard<std::mutex> lock(mutex_);
    if (id < 1 || static_cast<size_t>(id) > topics_.size()) {
        return false;
    }
    topic = topics_[static_cast<size_t>(id) - 1];
    return true;
}

EditRefusal FakeForum::CheckEdit(int id) const {
    FakeTopic topic;
    if (!FindTopic(id, topic) || topic.gone) {
        return EditRefusal::kGone;
    }
    std::lock_guard<std::mutex> lock(mutex_);
    if (!topic.author.empty() && topic.author != login_) {
        return EditRefusal::kNotOwn;
    }
    if (topic.locked) {
        return EditRefusal::kLocked;
    }
    if (edit_time_limit_ > 0 &&
        static_cast<int64_t>(std::time(nullptr)) - topic.posted_at > edit_time_limit_) {
        return EditRefusal::kTooLate;
    }
    return EditRefusal::kNone;
}

void FakeForum::ApplyEdit(int id, const std::wstring& subject, const std::wstring& body,
                          const std::multimap<std::string, std::string>& fields) {
    ChangeTopic(id, [&](FakeTopic& topic) {
        topic.subject = subject;
        topic.body = body;
        topic.edit_fields = fields;
        ++topic.edits;
    });
}

std::multimap<std::string, std::string> FakeForum::ParseFormFields(std::string_view text) {
    std::multimap<std::string, std::string> fields;
    while (!text.empty()) {
        size_t end = text.find('&');
        std::string_view pair = text.substr(0, end);
        size_t equals = pair.find('=');
        if (!pair.empty()) {
            fields.emplace(PercentDecode(pair.substr(0, equals)),
                           equals == std::string_view::npos
                               ? std::string()
                               : PercentDecode(pair.substr(equals + 1)));
        }
        if (end == std::string_view::npos) {
            break;
        }
        text.remove_prefix(end + 1);
    }
    return fields;
}

std::wstring FakeForum::Widen(const std::string& ascii) {
    return std::wstring(ascii.begin(), ascii.end());
}

std::wstring FakeForum::EscapeHtml(const std::wstring& text) {
    std::wstring out;
    for (wchar_t c : text) {
        switch (c) {
            case L'&':
                out += L"&amp;";
                break;
            case L'<':
                out += L"&lt;";
                break;
            case L'>':
                out += L"&gt;";
                break;
            case L'"':
                out += L"&quot;";
                break;
            case L'\'':
                out += L"&#39;";
                break;
            default:
                out += c;
        }
    }
    return out;
}

}  // namespace twk::test
