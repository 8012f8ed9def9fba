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
                .created = kStartTime + now * 1000 + topic_id,
                .fake_id = topic_id};
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

int FakeDiscourse::UserIdOf(const std::wstring& author) const {
    if (author.empty() || author == AccountLogin()) {
        return kUserId;
    }
    return options_.second_account && author == kSecondLogin ? kSecondUserId : -1;
}

int FakeDiscourse::PlaceTopic(FakeTopic topic) {
    const int user_id = UserIdOf(topic.author);
    const int fake_id = FakeForum::PlaceTopic(topic);
    FakeTopic stored;
    FakeForum::FindTopic(fake_id, stored);
    std::lock_guard<std::mutex> lock(mutex_);
    Topic placed{.post_id = next_post_id_++,
                 .category_id = NumberOf(stored.section),
                 .user_id = user_id,
                 .title = PrettifyTitle(WideToUtf8(stored.subject)),
                 .raw = WideToUtf8(stored.body),
                 .created = stored.posted_at * 1000,
                 .fake_id = fake_id};
    placed.id = std::max_element(topics_.begin(), topics_.end(),
                                 [](const Topic& a, const Topic& b) { return a.id < b.id; })
                    ->id +
                1;
    topics_.push_back(placed);
    id_of_[fake_id] = placed.id;
    return fake_id;
}

void FakeDiscourse::ReadTopic(const httplib::Request& request, httplib::Response& response) {
    if (!IsJsonRequest(request)) {
        SendAppShell(response);
        return;
    }
    Visit visit = Begin(request, response);
    std::optional<Topic> topic = FindTopic(std::stoi(request.matches[1].str()));
    FakeTopic stored;
    const bool placed =
        topic && topic->fake_id != 0 && FakeForum::FindTopic(topic->fake_id, stored);
    if (!topic || (placed && stored.gone)) {
        SendError(response, 404, "The requested URL or resource could not be found.", "not_found",
                  nullptr);
        return;
    }
    const std::optional<json> category = CategoryOf(topic->category_id);
    if (visit.user < 0 && category && category->value("read_restricted", false)) {
        // guardian.ensure_can_see!: a category only some groups see.
        SendError(response, 403, kInvalidAccess, "invalid_access", nullptr);
        return;
    }
    int account_id = -2;
    if (visit.user >= 0) {
        std::lock_guard<std::mutex> lock(mutex_);
        account_id = accounts_[visit.user].id;
    }
    const std::string username = UsernameOf(topic->user_id);
    const std::string slug = Slugify(topic->title);
    json body = Fixture("discourse/topic.json");
    const json post_template = body["post_stream"]["posts"][0];
    // The first post, then the replies, numbered from 1 as Discourse does.
    std::vector<json> posts;
    json first = post_template;
    first["id"] = topic->post_id;
    first["username"] = username;
    first["created_at"] = IsoTime(topic->created);
    first["updated_at"] = IsoTime(topic->created);
    first["cooked"] = Paragraph(topic->raw);
    first["user_id"] = topic->user_id;
    first["admin"] = false;
    first["staff"] = false;
    first["yours"] = topic->user_id == account_id;
    first["can_edit"] = topic->user_id == account_id && !stored.locked;
    posts.push_back(first);
    for (const FakeReply& reply : stored.replies) {
        json post = post_template;
        const int number = static_cast<int>(posts.size()) + 1;
        post["id"] = 100000 + topic->id * 100 + number;
        post["post_number"] = number;
        post["username"] = WideToUtf8(reply.author);
        post["created_at"] = IsoTime(reply.time * 1000);
        post["updated_at"] = IsoTime(reply.time * 1000);
        post["cooked"] = Paragraph(WideToUtf8(reply.body));
        post["user_id"] = UserIdOf(reply.author);
        post["yours"] = post["user_id"] == account_id;
        post["can_edit"] = post["yours"];
        posts.push_back(post);
    }
    const int count = static_cast<int>(posts.size());
    // /t/<id>/<post_number> carries the posts around that number, /t/<id> the first ones.
    const int near = request.matches.size() > 2 ? std::stoi(request.matches[2].str()) : 1;
    const int from = std::clamp(near - kChunkSize / 2, 1, std::max(1, count - kChunkSize + 1));
    body["post_stream"]["posts"] = json::array();
    body["post_stream"]["stream"] = json::array();
    for (int number = 1; number <= count; ++number) {
        const json& post = posts[static_cast<size_t>(number - 1)];
        body["post_stream"]["stream"].push_back(post["id"]);
        if (number >= from && number < from + kChunkSize) {
            body["post_stream"]["posts"].push_back(post);
        }
    }
    for (json& post : body["post_stream"]["posts"]) {
        post["topic_id"] = topic->id;
        post["topic_slug"] = slug;
    }
    const json& last = posts.back();
    body["id"] = topic->id;
    body["title"] = topic->title;
    body["fancy_title"] = WideToUtf8(EscapeHtml(Utf8ToWide(topic->title)));
    body["created_at"] = IsoTime(topic->created);
    body["last_posted_at"] = last["created_at"];
    body["posts_count"] = count;
    body["highest_post_number"] = count;
    body["reply_count"] = count - 1;
    body["closed"] = stored.locked;
    body["slug"] = slug;
    body["category_id"] = topic->category_id;
    body["user_id"] = topic->user_id;
    body["draft_key"] = "topic_" + std::to_string(topic->id);
    body["pinned"] = topic->pinned;
    body["pinned_at"] = topic->pinned ? json(IsoTime(topic->created)) : json(nullptr);
    body["details"]["created_by"]["id"] = topic->user_id;
    body["details"]["created_by"]["username"] = username;
    body["details"]["last_poster"]["id"] = last["user_id"];
    body["details"]["last_poster"]["username"] = last["username"];
    body["details"]["participants"][0]["id"] = topic->user_id;
    body["details"]["participants"][0]["username"] = username;
    SendJson(response, 200, body);
}

bool FakeDiscourse::RefusedEdit(const Topic& topic, const Visit& visit, bool title,
                                httplib::Response& response) const {
    int account_id = -2;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        account_id = accounts_[visit.user].id;
    }
    EditRefusal why = EditRefusal::kNone;
    if (topic.user_id != account_id) {
        why = EditRefusal::kNotOwn;
    } else if (topic.fake_id != 0) {
        why = CheckEdit(topic.fake_id);
    }
    switch (why) {
        case EditRefusal::kNone:
            return false;
        case EditRefusal::kGone:
            SendError(response, 404, "The requested URL or resource could not be found.",
                      "not_found", nullptr);
            return true;
        case EditRefusal::kNotOwn:
        case EditRefusal::kLocked:
            // Guardian#can_edit_post?: not the account's, or a closed topic.
            SendError(response, 403, kInvalidAccess, "invalid_access", nullptr);
            return true;
        case EditRefusal::kTooLate:
            // PostsController#update answers the time limit in its own words; the title's
            // guardian only says no.
            if (title) {
                SendError(response, 403, kInvalidAccess, "invalid_access", nullptr);
            } else {
                SendJson(response, 422,
                         {{"errors",
                           {"That post was created too long ago. It can no longer be edited or "
                            "deleted."}}});
            }
            return true;
    }
    return false;
}

void FakeDiscourse::EditPost(const httplib::Request& request, httplib::Response& response) {
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
    const int post_id = std::stoi(request.matches[1].str());
    std::optional<Topic> topic;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        for (const Topic& kept : topics_) {
            if (kept.post_id == post_id) {
                topic = kept;
            }
        }
    }
    if (!topic) {
        SendError(response, 404, "The requested URL or resource could not be found.", "not_found",
                  nullptr);
        return;
    }
    if (RefusedEdit(*topic, visit, false, response)) {
        return;
    }
    auto fields = BodyFields(request);
    const std::string raw = Field(fields, "post[raw]");
    if (static_cast<int>(Length(Trim(raw))) < options_.min_first_post_length) {
        SendJson(response, 422,
                 {{"errors",
                   {"Body is too short (minimum is " +
                    std::to_string(options_.min_first_post_length) + " characters)"}}});
        return;
    }
    {
        std::lock_guard<std::mutex> lock(mutex_);
        for (Topic& kept : topics_) {
            if (kept.post_id == post_id) {
                kept.raw = raw;
            }
        }
    }
    FakeTopic stored;
    if (topic->fake_id != 0 && FakeForum::FindTopic(topic->fake_id, stored)) {
        ApplyEdit(topic->fake_id, stored.subject, Utf8ToWide(raw), fields);
    }
    json post = Fixture("discourse/posts-create-ok.json");
    post["id"] = topic->post_id;
    post["username"] = UsernameOf(topic->user_id);
    post["cooked"] = Paragraph(raw);
    post["topic_id"] = topic->id;
    post["topic_slug"] = Slugify(topic->title);
    post["user_id"] = topic->user_id;
    post["version"] = 2;
    SendJson(response, 200, {{"post", post}});
}

void FakeDiscourse::EditTitle(const httplib::Request& request, httplib::Response& response) {
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
    std::optional<Topic> topic = FindTopic(std::stoi(request.matches[1].str()));
    if (!topic) {
        SendError(response, 404, "The requested URL or resource could not be found.", "not_found",
                  nullptr);
        return;
    }
    if (RefusedEdit(*topic, visit, true, response)) {
        return;
    }
    auto fields = BodyFields(request);
    const std::string sent = Field(fields, "title");
    const std::string title = PrettifyTitle(sent);
    if (static_cast<int>(Length(title)) < options_.min_topic_title_length) {
        SendJson(response, 422,
                 {{"errors",
                   {"Title is too short (minimum is " +
                    std::to_string(options_.min_topic_title_length) + " characters)"}}});
        return;
    }
    {
        std::lock_guard<std::mutex> lock(mutex_);
        for (Topic& kept : topics_) {
            if (kept.id == topic->id) {
                kept.title = title;
            }
        }
    }
    // The title is the second half of one edit: the post's revision counts it once.
    ChangeTopic(topic->fake_id, [&](FakeTopic& changed) {
        changed.subject = Utf8ToWide(sent);
        changed.edit_fields.insert(fields.begin(), fields.end());
    });
    if (LoseAnswer(request, response)) {
        return;
    }
    SendJson(response, 200,
             {{"basic_topic",
               {{"id", topic->id},
                {"title", title},
                {"fancy_title", WideToUtf8(EscapeHtml(Utf8ToWide(title)))},
                {"slug", Slugify(title)},
                {"posts_count", 1}}}});
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
