#include "support/FakeDiscourse.h"

#include <utility>

#include "text/Unicode.h"

namespace twk::test {

namespace {

using json = nlohmann::ordered_json;

const char* const kInvalidAccess = "You are not permitted to view the requested resource.";

}  // namespace

bool FakeDiscourse::IsJsonRequest(const httplib::Request& request) {
    // Rails serves JSON for a ".json" path, an XMLHttpRequest, or an Accept that asks for
    // JSON alone: a browser-like Accept ("application/json, text/javascript, */*") counts
    // only together with X-Requested-With.
    if (request.path.ends_with(".json") ||
        request.get_header_value("X-Requested-With") == "XMLHttpRequest") {
        return true;
    }
    std::string accept = request.get_header_value("Accept");
    return accept.starts_with("application/json") && accept.find("*/*") == std::string::npos;
}

void FakeDiscourse::SendAppShell(httplib::Response& response) {
    // check_xhr: the Ember application's page without any preloaded data.
    SendText(response, 200,
             "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">"
             "<title>Example Forum</title></head><body><noscript></noscript></body></html>",
             "text/html; charset=utf-8");
}

void FakeDiscourse::SendError(httplib::Response& response, int status, const std::string& message,
                              const std::string& type, const json& extras) {
    json body = {{"errors", json::array({message})}, {"error_type", type}};
    if (!extras.is_null()) {
        body["extras"] = extras;
    }
    SendJson(response, status, body);
}

void FakeDiscourse::SendRateLimit(httplib::Response& response, long wait, const std::string& text) {
    // lib/rate_limiter/limit_exceeded.rb words the time left.
    auto count = [](long n, const std::string& unit) {
        return std::to_string(n) + " " + unit + (n == 1 ? "" : "s");
    };
    std::string time_left = wait <= 3     ? std::string("a few seconds")
                            : wait < 60   ? count(wait, "second")
                            : wait < 3600 ? count(wait / 60, "minute")
                                          : count(wait / 3600, "hour");
    response.set_header("Retry-After", std::to_string(wait));
    SendError(response, 429, text + " Please wait " + time_left + " before trying again.",
              "rate_limit", {{"wait_seconds", wait}, {"time_left", time_left}});
}

const wchar_t* const FakeDiscourse::kLogin = L"tester";
const wchar_t* const FakeDiscourse::kPassword = L"p&ss=w;rd%+1 ü";
const wchar_t* const FakeDiscourse::kSecondLogin = L"second_member";
const wchar_t* const FakeDiscourse::kSecondPassword = L"Second pass 2";
const char* const FakeDiscourse::kSecondFactorCode = "123456";

FakeDiscourse::FakeDiscourse() : FakeDiscourse(Options{}) {}

FakeDiscourse::FakeDiscourse(Options options)
    : FakeJsonForum(options.prefix, options.passing_faults, options.lost_answer, options.clock),
      options_(std::move(options)) {
    SetAccount(kLogin, kPassword);
    accounts_.push_back({.id = kUserId,
                         .trust_level = options_.account_has_posted ? 1 : 0,
                         .has_posted = options_.account_has_posted});
    if (options_.second_account) {
        AddAccount(kSecondLogin, kSecondPassword);
        accounts_.push_back({.id = kSecondUserId, .trust_level = 1, .has_posted = true});
    }
    site_ = Fixture("discourse/site.json");
    for (json& category : site_["categories"]) {
        if (category["id"] == kUncategorizedCategory && options_.allow_uncategorized_topics) {
            category["permission"] = 1;
        }
        // Each category starts with its "About" topic, pinned in the category's list.
        std::string url = category["topic_url"];
        size_t id_at = url.rfind('/');
        topics_.push_back(
            {.id = std::stoi(url.substr(id_at + 1)),
             .post_id = next_post_id_++,
             .category_id = category["id"],
             .user_id = -1,
             .title = "About the " + category["name"].get<std::string>() + " category",
             .raw = category["description"],
             .created = kStartTime - 86400000,
             .pinned = true});
    }
    SetEditTimeLimit(options_.post_edit_time_limit);
    RegisterHandlers();
    Start();
}

FakeDiscourse::~FakeDiscourse() {
    // The handlers use this object's sessions and topics: no request may run once they go.
    Stop();
}

std::wstring FakeDiscourse::MainUrl() const {
    return SiteUrl("/");
}

std::set<int> FakeDiscourse::HeldTopics() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return held_topics_;
}

bool FakeDiscourse::Silenced() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return accounts_[0].silenced;
}

void FakeDiscourse::DeleteCategory(int id) {
    std::lock_guard<std::mutex> lock(mutex_);
    deleted_categories_.insert(id);
}

void FakeDiscourse::CloseCategory(int id) {
    std::lock_guard<std::mutex> lock(mutex_);
    closed_categories_.insert(id);
}

void FakeDiscourse::EndSessions() {
    std::lock_guard<std::mutex> lock(mutex_);
    auth_tokens_.clear();
}

void FakeDiscourse::ExpireForumSessions() {
    std::lock_guard<std::mutex> lock(mutex_);
    forum_sessions_.clear();
    csrf_tokens_.clear();
}

void FakeDiscourse::RegisterHandlers() {
    auto bind = [this](void (FakeDiscourse::*method)(const httplib::Request&, httplib::Response&)) {
        return [this, method](const httplib::Request& request, httplib::Response& response) {
            (this->*method)(request, response);
        };
    };
    // The site's own routes answer JSON to any request (they skip check_xhr).
    Get(R"(/site/basic-info(?:\.json)?)", [](const httplib::Request&, httplib::Response& response) {
        SendJson(response, 200, Fixture("discourse/site-basic-info.json"));
    });
    Get(R"(/site(?:\.json)?)", bind(&FakeDiscourse::SiteJson));
    Get(R"(/site/settings(?:\.json)?)",
        [this](const httplib::Request&, httplib::Response& response) {
            // No sample: SiteController#settings sends every client site setting (config/
            // site_settings.yml "client: true") as one flat object; these are its limits.
            // rate_limit_create_topic is not a client setting, so no client learns it.
            SendJson(response, 200,
                     {{"title", "Example Forum"},
                      {"min_post_length", 20},
                      {"min_first_post_length", options_.min_first_post_length},
                      {"max_post_length", 32000},
                      {"min_topic_title_length", options_.min_topic_title_length},
                      {"max_topic_title_length", options_.max_topic_title_length},
                      {"min_personal_message_title_length", 2},
                      {"allow_uncategorized_topics", options_.allow_uncategorized_topics}});
        });
    Get(R"(/session/csrf(?:\.json)?)", bind(&FakeDiscourse::Csrf));
    Post(R"(/session(?:\.json)?)", bind(&FakeDiscourse::SignIn));
    Get(R"(/session/current(?:\.json)?)", bind(&FakeDiscourse::Current));
    Delete(R"(/session/[^/]+)", bind(&FakeDiscourse::SignOut));
    Post(R"(/posts(?:\.json)?)", bind(&FakeDiscourse::CreatePost));
    // /t/<id>/<post_number> before /t/<slug>/<id>: Discourse takes a number first for the id.
    Get(R"(/t/(\d+)/(\d+)(?:\.json)?)", bind(&FakeDiscourse::ReadTopic));
    Get(R"(/t/(?:[^/]+/)?(\d+)(?:\.json)?)", bind(&FakeDiscourse::ReadTopic));
    Put(R"(/posts/(\d+)(?:\.json)?)", bind(&FakeDiscourse::EditPost));
    Put(R"(/t/[^/]+/(\d+)(?:\.json)?)", bind(&FakeDiscourse::EditTitle));
    Get(R"(/latest(?:\.json)?)", bind(&FakeDiscourse::List));
    // A subcategory's path names its parent: /c/<parent>/<slug>/<id>.
    Get(R"(/c/(?:[^/]+/)*(\d+)(?:/l/latest)?(?:\.json)?)", bind(&FakeDiscourse::List));
}

FakeDiscourse::Visit FakeDiscourse::Begin(const httplib::Request& request,
                                          httplib::Response& response) {
    Visit visit;
    visit.forum_session = CookieValue(request, "_forum_session");
    const std::string auth = CookieValue(request, "_t");
    {
        std::lock_guard<std::mutex> lock(mutex_);
        auto session = forum_sessions_.find(visit.forum_session);
        if (session != forum_sessions_.end()) {
            visit.secret = session->second;
        }
        auto signed_in = auth_tokens_.find(auth);
        if (!auth.empty() && signed_in != auth_tokens_.end()) {
            visit.user = signed_in->second;
        }
    }
    if (visit.secret.empty()) {
        visit.secret = Random(32, kTokenAlphabet);
        visit.forum_session = NewForumSession(response, visit.secret);
    }
    return visit;
}

std::string FakeDiscourse::NewForumSession(httplib::Response& response, const std::string& secret) {
    // Rails' cookie store: a new value whenever the session changes, the old one still good.
    std::string value = Random(96, kTokenAlphabet) + "--" + Random(40, kTokenAlphabet);
    {
        std::lock_guard<std::mutex> lock(mutex_);
        forum_sessions_[value] = secret;
    }
    response.set_header("Set-Cookie", "_forum_session=" + value +
                                          "; path=" + (prefix().empty() ? "/" : prefix()) +
                                          "; HttpOnly; SameSite=Lax");
    return value;
}

bool FakeDiscourse::RefusedWrite(const httplib::Request& request, httplib::Response& response,
                                 const Visit& visit) const {
    std::string token =
        options_.strips_csrf_header ? std::string() : request.get_header_value("X-CSRF-Token");
    if (token.empty()) {
        token = Field(BodyFields(request), "authenticity_token");
    }
    bool valid = false;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        auto found = csrf_tokens_.find(token);
        valid = found != csrf_tokens_.end() && found->second == visit.secret;
    }
    if (!valid) {
        SendText(response, 403, "[\"BAD CSRF\"]", "text/plain; charset=utf-8");
        return true;
    }
    if (options_.read_only) {
        SendError(response, 503, "The site is in read only mode. Interactions are disabled.",
                  "read_only", nullptr);
        return true;
    }
    return false;
}

std::string FakeDiscourse::UsernameOf(int userId) const {
    if (userId == kUserId) {
        return WideToUtf8(AccountLogin());
    }
    return userId == kSecondUserId ? WideToUtf8(kSecondLogin) : "system";
}

std::optional<json> FakeDiscourse::CategoryOf(int id) const {
    std::lock_guard<std::mutex> lock(mutex_);
    if (deleted_categories_.count(id) != 0) {
        return std::nullopt;
    }
    for (const json& category : site_["categories"]) {
        if (category["id"] == id) {
            json found = category;
            if (closed_categories_.count(id) != 0) {
                found["permission"] = nullptr;
            }
            return found;
        }
    }
    return std::nullopt;
}

void FakeDiscourse::SiteJson(const httplib::Request& request, httplib::Response& response) {
    Visit visit = Begin(request, response);
    json body = site_;
    body["categories"] = json::array();
    for (const json& listed : site_["categories"]) {
        std::optional<json> category = CategoryOf(listed["id"].get<int>());
        if (category) {
            // Site#categories: an anonymous visitor may start topics nowhere.
            if (visit.user < 0) {
                (*category)["permission"] = nullptr;
            }
            body["categories"].push_back(*category);
        }
    }
    SendJson(response, 200, body);
}

void FakeDiscourse::Csrf(const httplib::Request& request, httplib::Response& response) {
    if (!IsJsonRequest(request)) {
        SendAppShell(response);
        return;
    }
    Visit visit = Begin(request, response);
    // Rails masks the session's secret anew for every token; any of them is good.
    std::string token = Random(86, kTokenAlphabet);
    {
        std::lock_guard<std::mutex> lock(mutex_);
        csrf_tokens_[token] = visit.secret;
    }
    SendJson(response, 200, {{"csrf", token}});
}

void FakeDiscourse::SignIn(const httplib::Request& request, httplib::Response& response) {
    if (!IsJsonRequest(request)) {
        SendAppShell(response);
        return;
    }
    Visit visit = Begin(request, response);
    if (RefusedWrite(request, response, visit)) {
        return;
    }
    if (options_.sign_in_refusal == SignInRefusal::kLocalLoginsDisabled) {
        SendError(response, 403, kInvalidAccess, "invalid_access", nullptr);
        return;
    }
    // The limiter counts every attempt from the address before the password is checked.
    if (Now() < options_.sign_in_rate_limited_until) {
        SendRateLimit(response, options_.sign_in_rate_limited_until - Now(),
                      "You’ve performed this action too many times.");
        return;
    }
    auto fields = BodyFields(request);
    std::string login = Trim(Field(fields, "login"));
    if (login.starts_with("@")) {
        login.erase(0, 1);
    }
    if (login.empty() || Field(fields, "password").empty()) {
        SendError(response, 400,
                  std::string("param is missing or the value is empty: ") +
                      (login.empty() ? "login" : "password"),
                  "invalid_parameters", nullptr);
        return;
    }
    int user = -1;
    for (int i = 0; i < static_cast<int>(accounts_.size()) && user < 0; ++i) {
        std::string username = UsernameOf(accounts_[i].id);
        if ((login == username || login == username + "@example.com") &&
            CheckCredentials(username, Field(fields, "password"))) {
            user = i;
        }
    }
    if (user < 0) {
        SendJson(response, 200, {{"error", "Incorrect username, email or password"}});
        return;
    }
    const json refusals = Fixture("discourse/sign-in-refusals.json");
    const char* refusal = nullptr;
    switch (user == 0 ? options_.sign_in_refusal : SignInRefusal::kNone) {
        case SignInRefusal::kNotActivated:
            refusal = "not_activated";
            break;
        case SignInRefusal::kNotApproved:
            refusal = "not_approved";
            break;
        case SignInRefusal::kSuspended:
            refusal = "suspended";
            break;
        case SignInRefusal::kPasswordExpired:
            refusal = "password_expired";
            break;
        case SignInRefusal::kSecondFactor:
            if (Field(fields, "second_factor_token").empty()) {
                refusal = "second_factor_required";
            } else if (Field(fields, "second_factor_token") != kSecondFactorCode) {
                refusal = "second_factor_invalid";
            }
            break;
        default:
            break;
    }
    if (refusal != nullptr) {
        SendJson(response, 200, refusals[refusal]);
        return;
    }
    std::string auth = Random(32, "0123456789abcdef");
    {
        std::lock_guard<std::mutex> lock(mutex_);
        auth_tokens_[auth] = user;
    }
    response.set_header("Set-Cookie", "_t=" + auth +
                                          "; path=/; expires=Sun, 07 Feb 2027 16:56:51 GMT; "
                                          "HttpOnly; SameSite=Lax");
    NewForumSession(response, visit.secret);
    json body = Fixture("discourse/session-ok.json");
    json& member = body["user"];
    member["id"] = accounts_[user].id;
    member["username"] = UsernameOf(accounts_[user].id);
    member["trust_level"] = accounts_[user].trust_level;
    member["admin"] = false;
    SendJson(response, 200, body);
}

void FakeDiscourse::Current(const httplib::Request& request, httplib::Response& response) {
    if (!IsJsonRequest(request)) {
        SendAppShell(response);
        return;
    }
    Visit visit = Begin(request, response);
    if (visit.user < 0) {
        SendText(response, 404, "");
        return;
    }
    json body = Fixture("discourse/session-current.json");
    body["current_user"]["id"] = accounts_[visit.user].id;
    body["current_user"]["username"] = UsernameOf(accounts_[visit.user].id);
    body["current_user"]["trust_level"] = accounts_[visit.user].trust_level;
    SendJson(response, 200, body);
}

void FakeDiscourse::SignOut(const httplib::Request& request, httplib::Response& response) {
    Visit visit = Begin(request, response);
    if (RefusedWrite(request, response, visit)) {
        return;
    }
    {
        std::lock_guard<std::mutex> lock(mutex_);
        auth_tokens_.erase(CookieValue(request, "_t"));
    }
    // reset_session: a session with a new secret, so the tokens of the old one are dead.
    NewForumSession(response, Random(32, kTokenAlphabet));
    response.set_header("Set-Cookie",
                        "_t=; path=/; max-age=0; expires=Thu, 01 Jan 1970 00:00:00 GMT");
    if (request.get_header_value("X-Requested-With") != "XMLHttpRequest") {
        response.status = 302;
        response.set_header("Location", prefix() + "/");
        return;
    }
    SendJson(response, 200, {{"redirect_url", prefix() + "/"}});
}

}  // namespace twk::test
