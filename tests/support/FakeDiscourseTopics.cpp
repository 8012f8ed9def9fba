// FakeDiscourse's topics: the new-topic request with its checks, and the reads of a topic
// and of the topic lists.
#include <algorithm>
#include <charconv>

#include "support/FakeDiscourse.h"
#include "text/Unicode.h"

namespace twk::test {

namespace {

using json = nlohmann::ordered_json;

const char* const kInvalidAccess = "You are not permitted to view the requested resource.";
// min_first_post_typing_time: a new account's first post typed in faster is a bot's.
constexpr int kMinFirstPostTypingTime = 3000;

int NumberOf(const std::string& text) {
    int value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size() ? value : 0;
}

// ActiveSupport's transliteration of the Latin-1 letters (some to one letter only); other
// scripts have none.
char Ascii(wchar_t c) {
    static const char* const kLatin1 = "aaaaaaaceeeeiiiidnooooo ouuuuyts";  // U+00C0..U+00DF
    if (c == 0xFF) {
        return 'y';
    }
    if (c >= 0xE0 && c <= 0xFE) {
        c -= 0x20;
    }
    return c >= 0xC0 && c <= 0xDF ? kLatin1[c - 0xC0] : ' ';
}

std::wstring LowerText(const std::wstring& text) {
    std::wstring lower;
    for (wchar_t c : text) {
        lower += FakeJsonForum::Lower(c);
    }
    return lower;
}

}  // namespace

std::wstring FakeDiscourse::TopicUrl(int topicId) const {
    std::optional<Topic> topic = FindTopic(DiscourseIdOf(topicId));
    return topic ? SiteUrl("/t/" + Slugify(topic->title) + "/" + std::to_string(topic->id))
                 : std::wstring();
}

int FakeDiscourse::DiscourseIdOf(int topicId) const {
    std::lock_guard<std::mutex> lock(mutex_);
    auto found = id_of_.find(topicId);
    return found == id_of_.end() ? 0 : found->second;
}

std::string FakeDiscourse::PrettifyTitle(const std::string& utf8) {
    // TextCleaner.clean_title with title_prettify on (Discourse's default for English).
    std::wstring title;
    for (wchar_t c : Utf8ToWide(Trim(utf8))) {
        if (c != L' ' || title.empty() || title.back() != L' ') {
            title += c;
        }
    }
    if (title.size() > 1 && title.back() == L'.' && title[title.size() - 2] != L'.') {
        title.pop_back();
    }
    if (!title.empty()) {
        title[0] = Upper(title[0]);
    }
    return WideToUtf8(title);
}

std::string FakeDiscourse::Slugify(const std::string& utf8) {
    // Slug.for with slug_generation_method "ascii": transliterated, lower case, everything
    // else a dash; a title of other scripts leaves nothing and becomes "topic".
    std::string slug;
    for (wchar_t c : Utf8ToWide(utf8)) {
        char ascii = c < 0x80 ? static_cast<char>(Lower(c)) : Ascii(c);
        bool kept = (ascii >= 'a' && ascii <= 'z') || (ascii >= '0' && ascii <= '9');
        if (kept) {
            slug += ascii;
        } else if (!slug.empty() && slug.back() != '-') {
            slug += '-';
        }
    }
    while (!slug.empty() && slug.back() == '-') {
        slug.pop_back();
    }
    return slug.empty() ? "topic" : slug;
}

std::optional<FakeDiscourse::Topic> FakeDiscourse::FindTopic(int id) const {
    std::lock_guard<std::mutex> lock(mutex_);
    for (const Topic& topic : topics_) {
        if (topic.id == id) {
            return topic;
        }
    }
    return std::nullopt;
}

void FakeDiscourse::CreatePost(const httplib::Request& request, httplib::Response& response) {
    if (!IsJsonRequest(request)) {
        SendAppShell(response);
        return;
    }
    Visit visit = Begin(request, response);
    if (RefusedWrite(request, response, visit)) {
        return;
    }
    if (visit.user < 0) {
        SendError(response, 403, "You need to be logged in to do that.", "not_logged_in", nullptr);
        return;
    }
    Account account;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        account = accounts_[visit.user];
    }
    if (account.silenced) {
        SendError(response, 403, kInvalidAccess, "invalid_access", nullptr);
        return;
    }
    auto fields = BodyFields(request);
    const std::string category_field = Field(fields, "category");
    int category_id = category_field.empty() && options_.allow_uncategorized_topics
                          ? kUncategorizedCategory
                          : NumberOf(category_field);
    if (!category_field.empty()) {
        const std::optional<json> category = CategoryOf(category_id);
        if (!category) {
            SendError(response, 400, "You supplied invalid parameters to the request: category",
                      "invalid_parameters", nullptr);
            return;
        }
        if ((*category)["permission"] != 1) {
            SendError(response, 403, kInvalidAccess, "invalid_access", nullptr);
            return;
        }
    }

    // Validation: every message at once, as ActiveRecord collects them.
    const std::string title = PrettifyTitle(Field(fields, "title"));
    const std::string raw = Field(fields, "raw");
    std::string body_text;
    for (char c : Trim(raw)) {
        bool space = c == ' ' || c == '\t' || c == '\r' || c == '\n';
        if (!space || body_text.empty() || body_text.back() != ' ') {
            body_text += space ? ' ' : c;
        }
    }
    json errors = json::array();
    if (static_cast<int>(Length(title)) < options_.min_topic_title_length) {
        errors.push_back("Title is too short (minimum is " +
                         std::to_string(options_.min_topic_title_length) + " characters)");
    } else if (static_cast<int>(Length(title)) > options_.max_topic_title_length) {
        errors.push_back("Title is too long (maximum is " +
                         std::to_string(options_.max_topic_title_length) + " characters)");
    }
    if (static_cast<int>(Length(body_text)) < options_.min_first_post_length) {
        errors.push_back("Body is too short (minimum is " +
                         std::to_string(options_.min_first_post_length) + " characters)");
    }
    if (category_id == 0) {
        errors.push_back("Category can't be blank");
    }
    {
        std::lock_guard<std::mutex> lock(mutex_);
        const std::wstring lower = LowerText(Utf8ToWide(title));
        if (std::any_of(topics_.begin(), topics_.end(), [&lower](const Topic& topic) {
                return LowerText(Utf8ToWide(topic.title)) == lower;
            })) {
            errors.push_back("Title has already been used");
        }
    }
    if (!errors.empty()) {
        SendJson(response, 422, {{"action", "create_post"}, {"errors", errors}});
        return;
    }

    FakeTopic accepted;
    accepted.section = std::to_string(category_id);
    accepted.subject = Utf8ToWide(Field(fields, "title"));
    accepted.body = Utf8ToWide(raw);
    accepted.fields = fields;
    const long now = Now();
    // NewPostManager: a fast typer's first post and a moderated category's topics wait.
    const bool fast_typer =
        account.trust_level == 0 && !account.has_posted &&
        NumberOf(Field(fields, "typing_duration_msecs")) < kMinFirstPostTypingTime;
    if (fast_typer || options_.moderated_categories.count(category_id) != 0) {
        const int topic_id = AddTopic(accepted);
        int pending = 0;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            held_topics_.insert(topic_id);
            Account& stored = accounts_[visit.user];
            stored.silenced = stored.silenced || fast_typer;
            pending = ++stored.pending;
        }
        if (LoseAnswer(request, response)) {
            return;
        }
        json body = Fixture("discourse/posts-create-enqueued.json");
        body["pending_count"] = pending;
        body["pending_post"] = {{"id", 40 + topic_id},
                                {"raw", raw},
                                {"created_at", IsoTime(kStartTime + now * 1000 + topic_id)}};
        SendJson(response, 200, body);
        return;
    }
    if (options_.rate_limit_create_topic > 0 && account.last_topic >= 0 &&
        now - account.last_topic < options_.rate_limit_create_topic) {
        SendRateLimit(response, options_.rate_limit_create_topic - (now - account.last_topic),
                      "You’re creating topics a bit too quickly.");
        return;
    }

    const int topic_id = AddTopic(accepted);
    Topic topic{.category_id = category_id,
                .user_id = account.id,
                .title = title,
                .raw = raw,
                .created = kStartTime + now * 1000 + topic_id};
    {
        std::lock_guard<std::mutex> lock(mutex_);
        topic.id = std::max_element(topics_.begin(), topics_.end(),
                                    [](const Topic& a, const Topic& b) { return a.id < b.id; })
                       ->id +
                   1;
        topic.post_id = next_post_id_++;
        topics_.push_back(topic);
        id_of_[topic_id] = topic.id;
        Account& stored = accounts_[visit.user];
        stored.has_posted = true;
        stored.last_topic = now;
    }
    if (LoseAnswer(request, response)) {
        return;
    }
    json post = Fixture("discourse/posts-create-ok.json");
    const std::string username = UsernameOf(account.id);
    post["id"] = topic.post_id;
    post["username"] = username;
    post["name"] = nullptr;
    post["created_at"] = IsoTime(topic.created);
    post["updated_at"] = IsoTime(topic.created);
    post["cooked"] = Paragraph(raw);
    post["topic_id"] = topic.id;
    post["topic_slug"] = Slugify(title);
    post["user_id"] = account.id;
    post["trust_level"] = account.trust_level;
    post["admin"] = false;
    post["staff"] = false;
    if (Field(fields, "nested_post") == "true") {
        post = {{"action", "create_post"}, {"post", post}, {"success", true}};
    }
    SendJson(response, 200, post);
}

void FakeDiscourse::ReadTopic(const httplib::Request& request, httplib::Response& response) {
    if (!IsJsonRequest(request)) {
        SendAppShell(response);
        return;
    }
    Begin(request, response);
    std::optional<Topic> topic = FindTopic(std::stoi(request.matches[1].str()));
    if (!topic) {
        SendError(response, 404, "The requested URL or resource could not be found.", "not_found",
                  nullptr);
        return;
    }
    const std::string username = UsernameOf(topic->user_id);
    const std::string slug = Slugify(topic->title);
    json body = Fixture("discourse/topic.json");
    json& post = body["post_stream"]["posts"][0];
    post["id"] = topic->post_id;
    post["username"] = username;
    post["created_at"] = IsoTime(topic->created);
    post["updated_at"] = IsoTime(topic->created);
    post["cooked"] = Paragraph(topic->raw);
    post["topic_id"] = topic->id;
    post["topic_slug"] = slug;
    post["user_id"] = topic->user_id;
    post["admin"] = false;
    post["staff"] = false;
    body["post_stream"]["stream"] = {topic->post_id};
    body["id"] = topic->id;
    body["title"] = topic->title;
    body["fancy_title"] = WideToUtf8(EscapeHtml(Utf8ToWide(topic->title)));
    body["created_at"] = IsoTime(topic->created);
    body["last_posted_at"] = IsoTime(topic->created);
    body["slug"] = slug;
    body["category_id"] = topic->category_id;
    body["user_id"] = topic->user_id;
    body["draft_key"] = "topic_" + std::to_string(topic->id);
    body["pinned"] = topic->pinned;
    body["pinned_at"] = topic->pinned ? json(IsoTime(topic->created)) : json(nullptr);
    for (const char* key : {"created_by", "last_poster"}) {
        body["details"][key]["id"] = topic->user_id;
        body["details"][key]["username"] = username;
    }
    body["details"]["participants"][0]["id"] = topic->user_id;
    body["details"]["participants"][0]["username"] = username;
    SendJson(response, 200, body);
}

void FakeDiscourse::List(const httplib::Request& request, httplib::Response& response) {
    if (!IsJsonRequest(request)) {
        SendAppShell(response);
        return;
    }
    Visit visit = Begin(request, response);
    const int category_id = request.matches.size() > 1 ? std::stoi(request.matches[1].str()) : 0;
    if (category_id != 0 && !CategoryOf(category_id)) {
        SendError(response, 404, "The requested URL or resource could not be found.", "not_found",
                  nullptr);
        return;
    }
    std::vector<Topic> listed;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        // /latest leaves out the categories' "About" topics, as the documentation's
        // example does; a category's list pins its own on top.
        std::copy_if(topics_.begin(), topics_.end(), std::back_inserter(listed),
                     [category_id](const Topic& topic) {
                         return category_id == 0 ? !topic.pinned : topic.category_id == category_id;
                     });
    }
    std::sort(listed.begin(), listed.end(), [](const Topic& a, const Topic& b) {
        return a.pinned != b.pinned ? a.pinned : a.created > b.created;
    });
    json body = Fixture("discourse/topic-list.json");
    const json user_template = body["users"][0];
    const json topic_template = body["topic_list"]["topics"][0];
    body["users"] = json::array();
    body["primary_groups"] = json::array();
    body["topic_list"]["can_create_topic"] = visit.user >= 0;
    body["topic_list"]["topics"] = json::array();
    std::set<int> users;
    for (const Topic& topic : listed) {
        json entry = topic_template;
        entry["id"] = topic.id;
        entry["title"] = topic.title;
        entry["fancy_title"] = WideToUtf8(EscapeHtml(Utf8ToWide(topic.title)));
        entry["slug"] = Slugify(topic.title);
        for (const char* key : {"created_at", "last_posted_at", "bumped_at"}) {
            entry[key] = IsoTime(topic.created);
        }
        entry["pinned"] = topic.pinned;
        entry["views"] = 0;
        entry["last_poster_username"] = UsernameOf(topic.user_id);
        entry["category_id"] = topic.category_id;
        entry["posters"][0]["user_id"] = topic.user_id;
        body["topic_list"]["topics"].push_back(entry);
        if (users.insert(topic.user_id).second) {
            json user = user_template;
            user["id"] = topic.user_id;
            user["username"] = UsernameOf(topic.user_id);
            body["users"].push_back(user);
        }
    }
    SendJson(response, 200, body);
}

}  // namespace twk::test
