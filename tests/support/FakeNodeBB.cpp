#include "support/FakeNodeBB.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <optional>
#include <utility>

#include "text/Unicode.h"

namespace twk::test {

namespace {

using json = nlohmann::ordered_json;

// When the lab's clock starts, as NodeBB's answers in the samples show it (ms since 1970).
constexpr long long kStartTime = 1796921811036;
constexpr long long kWelcomeTime = 1796921361474;
constexpr int kAdminUid = 1;

// What @nodebb/spider-detector takes for a spider; "bot" anywhere (e.g. "Robot") trips it.
constexpr std::array<const char*, 12> kSpiderMarks = {"bot",
                                                      "spider",
                                                      "crawler",
                                                      "python-requests",
                                                      "apache-httpclient",
                                                      "winhttprequest",
                                                      "monit",
                                                      "yandex",
                                                      "pinterest",
                                                      "whatsapp",
                                                      "gptbot",
                                                      "applebot"};

const char* const kHexDigits = "0123456789abcdef";
const char* const kSidAlphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_";

json Envelope(const std::string& code, const std::string& message, json response = json::object()) {
    return {{"status", {{"code", code}, {"message", message}}}, {"response", std::move(response)}};
}

int NumberOf(const std::string& text) {
    int value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size() ? value : 0;
}

}  // namespace

const wchar_t* const FakeNodeBB::kLogin = L"tester";
const wchar_t* const FakeNodeBB::kPassword = L"p\"ss=w\\rd%+1ü";
const wchar_t* const FakeNodeBB::kSecondLogin = L"Второй";
const wchar_t* const FakeNodeBB::kSecondPassword = L"second pass 2";

FakeNodeBB::FakeNodeBB() : FakeNodeBB(Options{}) {}

FakeNodeBB::FakeNodeBB(Options options)
    : FakeJsonForum(options.relative_path, options.passing_faults, options.lost_answer,
                    options.clock),
      options_(std::move(options)) {
    SetAccount(kLogin, kPassword);
    SetEditTimeLimit(options_.post_edit_duration);
    if (options_.second_account) {
        AddAccount(kSecondLogin, kSecondPassword);
    }
    categories_ = Fixture("nodebb/categories-v3.json")["response"]["categories"];
    for (json& category : categories_) {
        int cid = category["cid"].get<int>();
        if (cid > 0) {
            category["postQueue"] = options_.queued_categories.count(cid) != 0 ? 1 : 0;
        }
    }
    topics_.push_back({.tid = 1,
                       .cid = kGeneralCategory,
                       .uid = kAdminUid,
                       .title = "Welcome to your NodeBB!",
                       .content = "Welcome to your brand new NodeBB forum!",
                       .timestamp = kWelcomeTime});
    RegisterHandlers();
    Start();
}

FakeNodeBB::~FakeNodeBB() {
    // The handlers use this object's sessions and topics: no request may run once they go.
    Stop();
}

std::wstring FakeNodeBB::MainUrl() const {
    return SiteUrl("/");
}

std::wstring FakeNodeBB::CategoryUrl(int cid) const {
    const json* category = CategoryOf(cid);
    return category == nullptr ? std::wstring()
                               : SiteUrl("/category/" + (*category)["slug"].get<std::string>());
}

std::wstring FakeNodeBB::TopicUrl(int topicId) const {
    std::optional<Topic> topic = FindTopic(TidOf(topicId));
    return topic ? SiteUrl("/topic/" + std::to_string(topic->tid) + "/" + Slugify(topic->title))
                 : std::wstring();
}

int FakeNodeBB::TidOf(int topicId) const {
    std::lock_guard<std::mutex> lock(mutex_);
    auto found = tid_of_.find(topicId);
    return found == tid_of_.end() ? 0 : found->second;
}

std::set<int> FakeNodeBB::HeldTopics() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return held_topics_;
}

void FakeNodeBB::PurgeTopic(int topicId) {
    int tid = TidOf(topicId);
    std::lock_guard<std::mutex> lock(mutex_);
    for (Topic& topic : topics_) {
        topic.purged = topic.purged || topic.tid == tid;
    }
}

int FakeNodeBB::PlaceTopic(FakeTopic topic) {
    const int uid = UidOf(topic.author);
    const int id = FakeForum::PlaceTopic(topic);
    FakeTopic stored;
    FakeForum::FindTopic(id, stored);
    std::lock_guard<std::mutex> lock(mutex_);
    Topic placed{.tid = topics_.back().tid + 1,
                 .cid = NumberOf(stored.section),
                 .uid = uid,
                 .title = WideToUtf8(stored.subject),
                 .content = WideToUtf8(stored.body),
                 .timestamp = stored.posted_at * 1000,
                 .id = id};
    topics_.push_back(placed);
    tid_of_[id] = placed.tid;
    return id;
}

std::string FakeNodeBB::Slugify(const std::string& utf8) {
    std::wstring slug;
    for (wchar_t c : Utf8ToWide(Trim(utf8))) {
        bool kept = IsLetter(c) || (c >= L'0' && c <= L'9') || c == L'_' || c == L'-';
        wchar_t next = kept ? Lower(c) : L'-';
        if (next != L'-' || (!slug.empty() && slug.back() != L'-')) {
            slug += next;
        }
    }
    while (!slug.empty() && slug.back() == L'-') {
        slug.pop_back();
    }
    return WideToUtf8(slug);
}

void FakeNodeBB::RegisterHandlers() {
    auto bind = [this](void (FakeNodeBB::*method)(const httplib::Request&, httplib::Response&)) {
        return [this, method](const httplib::Request& request, httplib::Response& response) {
            (this->*method)(request, response);
        };
    };
    Post("/api/v3/utilities/login", bind(&FakeNodeBB::SignIn));
    Get("/api/config", bind(&FakeNodeBB::Config));
    Get("/api/v3/categories", bind(&FakeNodeBB::Categories));
    Get(R"(/api/category/(-?\d+)(?:/[^/]*)?)", bind(&FakeNodeBB::Category));
    Post("/api/v3/topics", bind(&FakeNodeBB::CreateTopic));
    Get(R"(/api/v3/topics/(\d+))", bind(&FakeNodeBB::ReadTopicV3));
    Get(R"(/api/topic/(\d+)(?:/[^/]*)?)", bind(&FakeNodeBB::ReadTopicPage));
    Put(R"(/api/v3/posts/(\d+))", bind(&FakeNodeBB::EditPost));
}

FakeNodeBB::Visit FakeNodeBB::Begin(const httplib::Request& request, httplib::Response& response) {
    Visit visit;
    std::string agent = request.get_header_value("User-Agent");
    std::transform(agent.begin(), agent.end(), agent.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    visit.spider =
        std::any_of(kSpiderMarks.begin(), kSpiderMarks.end(),
                    [&agent](const char* mark) { return agent.find(mark) != std::string::npos; });
    // express-session signs the id: "s:<id>.<signature>", the colon percent-encoded (and
    // decoded again by some clients).
    visit.sid = CookieValue(request, "express.sid");
    for (const char* mark : {"s%3A", "s:"}) {
        if (visit.sid.starts_with(mark)) {
            visit.sid.erase(0, std::string(mark).size());
        }
    }
    {
        std::lock_guard<std::mutex> lock(mutex_);
        auto found = sessions_.find(visit.sid);
        if (found != sessions_.end()) {
            visit.session = found->second;
            return visit;
        }
    }
    visit.sid = Random(32, kSidAlphabet) + "." + Random(43, kSidAlphabet);
    visit.session.csrf = Random(128, kHexDigits);
    {
        std::lock_guard<std::mutex> lock(mutex_);
        sessions_[visit.sid] = visit.session;
    }
    SetSessionCookie(response, visit.sid);
    return visit;
}

void FakeNodeBB::SetSessionCookie(httplib::Response& response, const std::string& sid) const {
    if (!response.has_header("Set-Cookie")) {
        response.set_header("Set-Cookie", "express.sid=s%3A" + sid +
                                              "; Path=" + (prefix().empty() ? "/" : prefix()) +
                                              "; HttpOnly; SameSite=Lax");
    }
}

std::string FakeNodeBB::UsernameOf(int uid) const {
    if (uid == kUid) {
        return WideToUtf8(AccountLogin());
    }
    return uid == kSecondUid ? WideToUtf8(kSecondLogin) : "admin";
}

bool FakeNodeBB::TokenAccepted(const httplib::Request& request, const Visit& visit,
                               const std::multimap<std::string, std::string>& fields,
                               httplib::Response& response) const {
    std::string token = request.get_header_value("x-csrf-token");
    if (token.empty()) {
        token = Field(fields, fields.count("csrf_token") != 0 ? "csrf_token" : "_csrf");
    }
    if (token.empty() || token != visit.session.csrf) {
        SendText(response, 403, "Forbidden");
        return false;
    }
    return true;
}

int FakeNodeBB::UidOf(const std::wstring& author) const {
    if (author.empty() || author == AccountLogin()) {
        return kUid;
    }
    return options_.second_account && author == kSecondLogin ? kSecondUid : kAdminUid;
}

bool FakeNodeBB::MayCreate(int uid, int cid) const {
    if (uid <= 0 || CategoryOf(cid) == nullptr) {
        return false;
    }
    const std::set<int>& closed =
        uid == kSecondUid ? options_.second_account_read_only : options_.read_only_categories;
    return closed.count(cid) == 0;
}

const json* FakeNodeBB::CategoryOf(int cid) const {
    for (const json& category : categories_) {
        if (cid > 0 && category["cid"].get<int>() == cid) {
            return &category;
        }
    }
    return nullptr;
}

json FakeNodeBB::TopicJson(const json& templ, const Topic& topic) const {
    json out = templ;
    const std::string slug = std::to_string(topic.tid) + "/" + Slugify(topic.title);
    const json values = {{"tid", topic.tid},
                         {"cid", topic.cid},
                         {"uid", topic.uid},
                         {"mainPid", topic.tid},
                         {"pid", topic.tid},
                         {"title", topic.title},
                         {"titleRaw", topic.title},
                         {"slug", slug},
                         {"postcount", 1},
                         {"timestamp", topic.timestamp},
                         {"lastposttime", topic.timestamp},
                         {"timestampISO", IsoTime(topic.timestamp)},
                         {"lastposttimeISO", IsoTime(topic.timestamp)}};
    for (const auto& [key, value] : values.items()) {
        if (out.contains(key)) {
            out[key] = value;
        }
    }
    const std::string username = UsernameOf(topic.uid);
    for (const char* key : {"user", "author"}) {
        if (out.contains(key)) {
            out[key]["uid"] = topic.uid;
            out[key]["username"] = username;
            out[key]["userslug"] = Slugify(username);
            out[key]["displayname"] = username;
        }
    }
    if (out.contains("category")) {
        for (const auto& [key, value] : CategoryOf(topic.cid)->items()) {
            if (out["category"].contains(key)) {
                out["category"][key] = value;
            }
        }
    }
    return out;
}

void FakeNodeBB::SendPageNotFound(httplib::Response& response, const std::string& path) const {
    json body = Fixture("nodebb/topic-gone.json");
    std::string escaped = path;
    for (size_t at = 0; (at = escaped.find('/', at)) != std::string::npos; at += 6) {
        escaped.replace(at, 1, "&#x2F;");
    }
    body["path"] = escaped;
    body["bodyClass"] = "page-status-404 theme-harmony";
    SendJson(response, 404, body);
}

void FakeNodeBB::SignIn(const httplib::Request& request, httplib::Response& response) {
    Visit visit = Begin(request, response);
    auto fields = BodyFields(request);
    std::string login = Field(fields, "username");
    std::string password = Field(fields, "password");
    int uid = 0;
    if (options_.second_account && Utf8ToWide(login) == kSecondLogin) {
        uid = CheckCredentials(login, password) ? kSecondUid : 0;
    } else if (Utf8ToWide(login) == AccountLogin()) {
        uid = CheckCredentials(login, password) ? kUid : 0;
    }
    if (uid == 0) {
        // The raw message key, as text/html: not JSON.
        SendText(response, 403, "[[error:invalid-login-credentials]]", "text/html; charset=utf-8");
        return;
    }
    {
        std::lock_guard<std::mutex> lock(mutex_);
        sessions_[visit.sid].uid = uid;
    }
    json body = Fixture("nodebb/login-answer.json");
    const std::string username = UsernameOf(uid);
    json& user = body["response"];
    user["uid"] = uid;
    user["username"] = username;
    user["userslug"] = Slugify(username);
    user["displayname"] = username;
    user["icon:text"] = WideToUtf8(std::wstring(1, Utf8ToWide(username).front()));
    SetSessionCookie(response, visit.sid);
    SendJson(response, 200, body);
}

void FakeNodeBB::Config(const httplib::Request& request, httplib::Response& response) {
    // A spider still reads loggedIn and its uid here (observed); only page data treats it
    // as a guest.
    Visit visit = Begin(request, response);
    json body = Fixture("nodebb/config.json");
    body["relative_path"] = prefix();
    body["postQueue"] = options_.post_queue ? 1 : 0;
    body["minimumTitleLength"] = options_.minimum_title_length;
    body["maximumTitleLength"] = options_.maximum_title_length;
    body["minimumPostLength"] = options_.minimum_post_length;
    body["maximumPostLength"] = options_.maximum_post_length;
    body["loggedIn"] = visit.session.uid > 0;
    body["uid"] = visit.session.uid;
    body["csrf_token"] = visit.session.csrf;
    SetSessionCookie(response, visit.sid);
    SendJson(response, 200, body);
}

void FakeNodeBB::Categories(const httplib::Request& request, httplib::Response& response) {
    Begin(request, response);
    SendJson(response, 200, Envelope("ok", "OK", {{"categories", categories_}}));
}

void FakeNodeBB::Category(const httplib::Request& request, httplib::Response& response) {
    Visit visit = Begin(request, response);
    const int cid = NumberOf(request.matches[1]);
    const json* category = CategoryOf(cid);
    if (category == nullptr) {
        SendPageNotFound(response, "/category/" + request.matches[1].str());
        return;
    }
    json body = Fixture("nodebb/category.json");
    const json topic_template = body["topics"][0];
    for (const auto& [key, value] : category->items()) {
        if (body.contains(key)) {
            body[key] = value;
        }
    }
    body["title"] = (*category)["name"];
    body["url"] = "/category/" + (*category)["slug"].get<std::string>();
    body["relative_path"] = prefix();
    std::vector<Topic> listed;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        std::copy_if(topics_.begin(), topics_.end(), std::back_inserter(listed),
                     [cid](const Topic& topic) { return topic.cid == cid && !topic.purged; });
    }
    // The newest first: NodeBB sorts a category by its topics' last post.
    std::sort(listed.begin(), listed.end(),
              [](const Topic& a, const Topic& b) { return a.timestamp > b.timestamp; });
    body["topics"] = json::array();
    for (const Topic& topic : listed) {
        json entry = TopicJson(topic_template, topic);
        entry["index"] = body["topics"].size();
        body["topics"].push_back(entry);
    }
    body["topic_count"] = listed.size();
    body["totalTopicCount"] = listed.size();
    body["privileges"]["topics:create"] = MayCreate(visit.page_uid(), cid);
    body["privileges"]["cid"] = std::to_string(cid);
    body["privileges"]["uid"] = visit.page_uid();
    body["loggedIn"] = visit.page_uid() > 0;
    SendJson(response, 200, body);
}

void FakeNodeBB::CreateTopic(const httplib::Request& request, httplib::Response& response) {
    Visit visit = Begin(request, response);
    auto fields = BodyFields(request);
    if (!TokenAccepted(request, visit, fields, response)) {
        return;
    }
    const int uid = visit.session.uid;
    const int cid = NumberOf(Field(fields, "cid"));
    const std::string title = Trim(Field(fields, "title"));
    const std::string content = Field(fields, "content");
    // The order of NodeBB's checks: privilege, title, content, then the post delay.
    auto refuse = [&response](int status, const std::string& message) {
        SendJson(response, status, Envelope(status == 403 ? "forbidden" : "bad-request", message));
    };
    if (!MayCreate(uid, cid)) {
        refuse(403, "You do not have enough privileges for this action.");
        return;
    }
    const auto title_length = static_cast<int>(Length(title));
    if (title.empty() || title_length < options_.minimum_title_length) {
        refuse(400, "Please enter a longer title. Titles should contain at least " +
                        std::to_string(options_.minimum_title_length) + " character(s).");
        return;
    }
    if (title_length > options_.maximum_title_length) {
        refuse(400, "Please enter a shorter title. Titles can't be longer than " +
                        std::to_string(options_.maximum_title_length) + " character(s).");
        return;
    }
    const auto content_length = static_cast<int>(Length(Trim(content)));
    if (content_length < options_.minimum_post_length) {
        refuse(400, "Please enter a longer post. Posts should contain at least " +
                        std::to_string(options_.minimum_post_length) + " character(s).");
        return;
    }
    if (content_length > options_.maximum_post_length) {
        refuse(400, "Please enter a shorter post. Posts can't be longer than " +
                        std::to_string(options_.maximum_post_length) + " character(s).");
        return;
    }
    const long now = Now();
    {
        std::lock_guard<std::mutex> lock(mutex_);
        auto last = last_post_.find(uid);
        if (options_.post_delay > 0 && last != last_post_.end() &&
            now - last->second < options_.post_delay) {
            refuse(400, "You can only post once every " + std::to_string(options_.post_delay) +
                            " second(s) - please wait before posting again");
            return;
        }
    }

    FakeTopic accepted;
    accepted.section = std::to_string(cid);
    accepted.subject = Utf8ToWide(title);
    accepted.body = Utf8ToWide(content);
    accepted.fields = fields;
    const int topic_id = AddTopic(accepted);
    const long long timestamp = kStartTime + now * 1000 + topic_id;
    if (options_.post_queue && options_.queued_categories.count(cid) != 0) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            held_topics_.insert(topic_id);
        }
        if (LoseAnswer(request, response)) {
            return;
        }
        json body = Fixture("nodebb/topic-create-queued.json");
        body["response"]["id"] = "topic-" + std::to_string(timestamp);
        SendJson(response, 202, body);
        return;
    }
    Topic topic{.cid = cid,
                .uid = uid,
                .title = title,
                .content = content,
                .timestamp = timestamp,
                .id = topic_id};
    {
        std::lock_guard<std::mutex> lock(mutex_);
        topic.tid = topics_.back().tid + 1;
        topics_.push_back(topic);
        tid_of_[topic_id] = topic.tid;
        last_post_[uid] = now;
    }
    if (LoseAnswer(request, response)) {
        return;
    }
    json body = Fixture("nodebb/topic-create-answer.json");
    json& created = body["response"];
    created = TopicJson(created, topic);
    json& post = created["mainPost"];
    post = TopicJson(post, topic);
    post["content"] = Paragraph(content);
    post["url"] = Base() + prefix() + "/post/" + std::to_string(topic.tid);
    post["topic"] = TopicJson(post["topic"], topic);
    SendJson(response, 200, body);
}

void FakeNodeBB::ReadTopicV3(const httplib::Request& request, httplib::Response& response) {
    Begin(request, response);
    std::optional<Topic> topic = FindTopic(NumberOf(request.matches[1]));
    if (!topic) {
        SendJson(response, 404, Fixture("nodebb/topic-gone-v3.json"));
        return;
    }
    json body = Fixture("nodebb/topic-v3.json");
    body["response"] = TopicJson(body["response"], *topic);
    SendJson(response, 200, body);
}

void FakeNodeBB::ReadTopicPage(const httplib::Request& request, httplib::Response& response) {
    Visit visit = Begin(request, response);
    std::optional<Topic> topic = FindTopic(NumberOf(request.matches[1]));
    FakeTopic stored;
    const bool known = topic && FakeForum::FindTopic(topic->id, stored);
    if (!topic || (known && stored.gone)) {
        // NodeBB's quirk: a missing page answers plain text to a client that asks for JSON.
        if (request.get_header_value("Accept").find("application/json") != std::string::npos) {
            SendText(response, 404, "Not found");
            return;
        }
        SendPageNotFound(response, "/topic/" + request.matches[1].str());
        return;
    }
    if (visit.page_uid() <= 0 && options_.members_only_categories.count(topic->cid) != 0) {
        // helpers.notAllowed: a guest gets the bare key, and is sent to sign in.
        SendJson(response, 401, "not-authorized");
        return;
    }
    json body = TopicJson(Fixture("nodebb/topic.json"), *topic);
    const json post_template = body["posts"][0];
    // The first post, then the replies: index 0 is the topic's own post.
    std::vector<json> posts;
    json first = TopicJson(post_template, *topic);
    first["content"] = Paragraph(topic->content);
    first["selfPost"] = topic->uid == visit.page_uid();
    first["display_edit_tools"] = first["selfPost"];
    posts.push_back(first);
    for (const FakeReply& reply : stored.replies) {
        json post = post_template;
        const int index = static_cast<int>(posts.size());
        const std::string author = WideToUtf8(reply.author);
        post["pid"] = topic->tid * 1000 + index;
        post["index"] = index;
        post["uid"] = UidOf(reply.author);
        post["timestamp"] = reply.time * 1000;
        post["timestampISO"] = IsoTime(reply.time * 1000);
        post["content"] = Paragraph(WideToUtf8(reply.body));
        post["user"]["uid"] = post["uid"];
        post["user"]["username"] = author;
        post["user"]["displayname"] = author;
        post["user"]["userslug"] = Slugify(author);
        post["selfPost"] = post["uid"] == visit.page_uid();
        post["display_edit_tools"] = post["selfPost"];
        posts.push_back(post);
    }
    const int post_count = static_cast<int>(posts.size());
    const int page_count = (post_count + kPostsPerPage - 1) / kPostsPerPage;
    const int page =
        std::clamp(NumberOf(request.get_param_value("page")), 1, std::max(page_count, 1));
    body["posts"] = json::array();
    for (int i = (page - 1) * kPostsPerPage; i < std::min(page * kPostsPerPage, post_count); ++i) {
        body["posts"].push_back(posts[static_cast<size_t>(i)]);
    }
    body["postcount"] = post_count;
    body["locked"] = stored.locked ? 1 : 0;
    body["postEditDuration"] = options_.post_edit_duration;
    body["pagination"]["currentPage"] = page;
    body["pagination"]["pageCount"] = page_count;
    body["loggedIn"] = visit.page_uid() > 0;
    body["relative_path"] = prefix();
    body["url"] = prefix() + "/topic/" + EncodePath(body["slug"].get<std::string>());
    SendJson(response, 200, body);
}

void FakeNodeBB::EditPost(const httplib::Request& request, httplib::Response& response) {
    Visit visit = Begin(request, response);
    auto fields = BodyFields(request);
    if (!TokenAccepted(request, visit, fields, response)) {
        return;
    }
    auto refuse = [&response](int status, const std::string& code, const std::string& message) {
        SendJson(response, status, Envelope(code, message));
    };
    // The fake's main posts have the topic's number; replies are not edited here.
    std::optional<Topic> topic = FindTopic(NumberOf(request.matches[1]));
    if (!topic || visit.session.uid <= 0) {
        refuse(topic ? 403 : 404, topic ? "forbidden" : "not-found",
               topic ? "You do not have enough privileges for this action." : "Invalid Post ID");
        return;
    }
    switch (topic->uid != visit.session.uid ? EditRefusal::kNotOwn : CheckEdit(topic->id)) {
        case EditRefusal::kNone:
            break;
        case EditRefusal::kGone:
            refuse(404, "not-found", "Invalid Post ID");
            return;
        case EditRefusal::kNotOwn:
            refuse(403, "forbidden", "You do not have enough privileges for this action.");
            return;
        case EditRefusal::kLocked:
            refuse(400, "bad-request", "Topic Locked");
            return;
        case EditRefusal::kTooLate:
            refuse(400, "bad-request",
                   "You are only allowed to edit posts for " +
                       std::to_string(options_.post_edit_duration) + " second(s) after posting");
            return;
    }
    const std::string title = Trim(Field(fields, "title"));
    const std::string content = Field(fields, "content");
    const auto title_length = static_cast<int>(Length(title));
    if (title.empty() || title_length > options_.maximum_title_length ||
        static_cast<int>(Length(Trim(content))) < options_.minimum_post_length) {
        refuse(400, "bad-request", "Please enter a shorter title or a longer post.");
        return;
    }
    const std::string old_title = topic->title;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        for (Topic& kept : topics_) {
            if (kept.tid == topic->tid) {
                kept.title = title;
                kept.content = content;
            }
        }
    }
    ApplyEdit(topic->id, Utf8ToWide(title), Utf8ToWide(content), fields);
    if (LoseAnswer(request, response)) {
        return;
    }
    json body = Fixture("nodebb/edit-answer.json");
    json& edited = body["response"];
    edited["pid"] = topic->tid;
    edited["tid"] = topic->tid;
    edited["uid"] = topic->uid;
    edited["cid"] = topic->cid;
    edited["content"] = Paragraph(content);
    edited["url"] = Base() + prefix() + "/post/" + std::to_string(topic->tid);
    edited["oldContent"] = topic->content;
    edited["newContent"] = content;
    edited["editor"] = visit.session.uid;
    json& about = edited["topic"];
    about["tid"] = topic->tid;
    about["cid"] = topic->cid;
    about["uid"] = topic->uid;
    about["mainPid"] = topic->tid;
    about["title"] = title;
    about["titleRaw"] = title;
    about["oldTitle"] = old_title;
    about["renamed"] = title != old_title;
    about["slug"] = std::to_string(topic->tid) + "/" + Slugify(title);
    SendJson(response, 200, body);
}

std::optional<FakeNodeBB::Topic> FakeNodeBB::FindTopic(int tid) const {
    std::lock_guard<std::mutex> lock(mutex_);
    for (const Topic& topic : topics_) {
        if (topic.tid == tid && !topic.purged) {
            return topic;
        }
    }
    return std::nullopt;
}

}  // namespace twk::test
