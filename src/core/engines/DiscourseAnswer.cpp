#include "engines/DiscourseAnswer.h"

#include <algorithm>
#include <ctime>
#include <map>
#include <nlohmann/json.hpp>

#include "engines/BoardText.h"
#include "engines/JsonEngine.h"
#include "text/Unicode.h"

namespace twk::discourse {
namespace {

using nlohmann::json;

// The words and values of Discourse's answers (app/controllers/session_controller.rb,
// application_controller.rb, lib/json_error.rb, new_post_result_serializer.rb).
constexpr const char* kBadCsrfBodies[] = {R"(["BAD CSRF"])", "['BAD CSRF']"};
// A refused second factor: the reasons of SecondFactorManager's results.
constexpr const char* kSecondFactorReasons[] = {
    "invalid_second_factor_method", "invalid_second_factor", "not_enabled_second_factor_method",
    "invalid_security_key"};
constexpr const char* kExpiredReason = "expired";
constexpr const char* kEnqueuedAction = "enqueued";
// error_type of the JSON error shape.
constexpr const char* kRateLimit = "rate_limit";
constexpr const char* kInvalidAccess = "invalid_access";
constexpr const char* kNotLoggedIn = "not_logged_in";
constexpr const char* kInvalidParameters = "invalid_parameters";
constexpr const char* kReadOnly = "read_only";
// The parameter Discourse names when the category does not exist.
constexpr const wchar_t* kCategoryParameter = L"category";

json Parse(std::string_view body) {
    return json::parse(body.begin(), body.end(), nullptr, false);
}

const json* Member(const json& object, const char* key) {
    if (!object.is_object()) {
        return nullptr;
    }
    auto it = object.find(key);
    return it == object.end() ? nullptr : &*it;
}

std::wstring TextOf(const json& object, const char* key) {
    const json* value = Member(object, key);
    return value == nullptr ? std::wstring() : JsonText(*value);
}

std::string StringOf(const json& object, const char* key) {
    const json* value = Member(object, key);
    return value != nullptr && value->is_string() ? value->get<std::string>() : std::string();
}

long long NumberOf(const json& object, const char* key, long long fallback = -1) {
    const json* value = Member(object, key);
    return value == nullptr ? fallback : JsonNumber(*value, fallback);
}

// "errors" joined, else "error", else "message": the board's words for a refusal.
std::wstring WordsOf(const json& answer) {
    std::wstring words;
    if (const json* errors = Member(answer, "errors"); errors != nullptr && errors->is_array()) {
        for (const json& error : *errors) {
            const std::wstring text = JsonText(error);
            if (!text.empty()) {
                words += (words.empty() ? L"" : L" ") + text;
            }
        }
    }
    for (const char* key : {"error", "message"}) {
        if (words.empty()) {
            words = TextOf(answer, key);
        }
    }
    return words;
}

bool IsBadCsrf(std::string_view body) {
    while (!body.empty() && (body.back() == '\n' || body.back() == '\r' || body.back() == ' ')) {
        body.remove_suffix(1);
    }
    for (const char* bad : kBadCsrfBodies) {
        if (body == bad) {
            return true;
        }
    }
    return false;
}

int SecondsOf(const std::wstring& header) {
    const std::wstring text = CollapseWhitespace(header);
    if (text.empty() || text.size() > 9 || text.find_first_not_of(L"0123456789") != text.npos) {
        return -1;
    }
    return std::stoi(text);
}

// extras.wait_seconds of a rate_limit answer, else the Retry-After header.
int WaitOf(const json& answer, const std::wstring& retryAfter) {
    const json* extras = Member(answer, "extras");
    const long long wait = extras == nullptr ? -1 : NumberOf(*extras, "wait_seconds");
    if (wait >= 0) {
        return wait > 1000000000LL ? 1000000000 : static_cast<int>(wait);
    }
    return SecondsOf(retryAfter);
}

template <size_t N>
bool OneOf(const std::string& value, const char* const (&list)[N]) {
    for (const char* item : list) {
        if (value == item) {
            return true;
        }
    }
    return false;
}

wchar_t FoldCase(wchar_t c) {
    if ((c >= L'A' && c <= L'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7) ||
        (c >= 0x391 && c <= 0x3A9) || (c >= 0x410 && c <= 0x42F)) {
        return static_cast<wchar_t>(c + 0x20);
    }
    if (c >= 0x400 && c <= 0x40F) {
        return static_cast<wchar_t>(c + 0x50);
    }
    // Latin Extended-A pairs a capital with the small letter after it.
    if (c >= 0x100 && c <= 0x137 && c % 2 == 0) {
        return static_cast<wchar_t>(c + 1);
    }
    return c;
}

std::wstring TitleKey(const std::wstring& title) {
    std::wstring key;
    for (wchar_t c : CollapseWhitespace(title)) {
        if ((c == L'!' || c == L'?') && !key.empty() && key.back() == c) {
            continue;
        }
        key += FoldCase(c);
    }
    while (!key.empty() && (key.back() == L'.' || key.back() == L' ')) {
        key.pop_back();
    }
    return key;
}

// "2016-10-29T14:14:20.321Z" in seconds since 1970; 0 when it is not such a time.
int64_t TimeOf(const std::string& iso) {
    // Digits of each field and the character after it: YYYY-MM-DDTHH:MM:SS.
    constexpr struct {
        size_t at, length;
    } kFields[] = {{0, 4}, {5, 2}, {8, 2}, {11, 2}, {14, 2}, {17, 2}};
    int values[6] = {};
    if (iso.size() < 19 || iso[4] != '-' || iso[7] != '-' || iso[10] != 'T') {
        return 0;
    }
    for (size_t i = 0; i < 6; ++i) {
        for (size_t j = 0; j < kFields[i].length; ++j) {
            const char c = iso[kFields[i].at + j];
            if (c < '0' || c > '9') {
                return 0;
            }
            values[i] = values[i] * 10 + (c - '0');
        }
    }
    std::tm time{};
    time.tm_year = values[0] - 1900;
    time.tm_mon = values[1] - 1;
    time.tm_mday = values[2];
    time.tm_hour = values[3];
    time.tm_min = values[4];
    time.tm_sec = values[5];
    return values[0] < 1970 ? 0 : static_cast<int64_t>(timegm(&time));
}

}  // namespace

SignInAnswer ReadSignInAnswer(int status, std::string_view body, const std::wstring& retryAfter) {
    SignInAnswer answer;
    if (IsBadCsrf(body)) {
        answer.kind = SignInAnswer::kBadCsrf;
        answer.words = Utf8ToWide(body);
        return answer;
    }
    const json parsed = Parse(body);
    answer.json = parsed.is_object();
    if (!answer.json) {
        if (status == 429) {
            answer.kind = SignInAnswer::kRateLimited;
            answer.wait_seconds = SecondsOf(retryAfter);
        }
        return answer;
    }
    answer.words = WordsOf(parsed);
    const std::string type = StringOf(parsed, "error_type");
    const std::string reason = StringOf(parsed, "reason");
    if (status == 429 || type == kRateLimit) {
        answer.kind = SignInAnswer::kRateLimited;
        answer.wait_seconds = WaitOf(parsed, retryAfter);
    } else if (type == kInvalidAccess) {
        answer.kind = SignInAnswer::kSingleSignOnOnly;
    } else if (type == kReadOnly) {
        answer.kind = SignInAnswer::kReadOnly;
    } else if (OneOf(reason, kSecondFactorReasons) ||
               (StringOf(parsed, "failed") == "FAILED" && Member(parsed, "totp_enabled"))) {
        answer.kind = SignInAnswer::kSecondFactor;
    } else if (reason == kExpiredReason) {
        answer.kind = SignInAnswer::kPasswordExpired;
    } else if (Member(parsed, "error") != nullptr) {
        answer.kind = SignInAnswer::kRefused;
    } else if (status == 200 &&
               (Member(parsed, "user") != nullptr || StringOf(parsed, "success") == "OK")) {
        answer.kind = SignInAnswer::kSignedIn;
    }
    return answer;
}

PostAnswer ReadPostAnswer(int status, std::string_view body, const std::wstring& retryAfter) {
    PostAnswer answer;
    if (IsBadCsrf(body)) {
        answer.kind = PostAnswer::kBadCsrf;
        answer.words = Utf8ToWide(body);
        return answer;
    }
    const json parsed = Parse(body);
    if (!parsed.is_object()) {
        // A proxy's own rate limit turned the request away before the board saw it.
        if (status == 429) {
            answer.kind = PostAnswer::kRateLimited;
            answer.wait_seconds = SecondsOf(retryAfter);
        }
        return answer;
    }
    answer.words = WordsOf(parsed);
    const std::string type = StringOf(parsed, "error_type");
    const json* post = Member(parsed, "post");
    const json& created = post != nullptr && post->is_object() ? *post : parsed;
    if (status == 429 || type == kRateLimit) {
        answer.kind = PostAnswer::kRateLimited;
        answer.wait_seconds = WaitOf(parsed, retryAfter);
    } else if (type == kInvalidAccess) {
        answer.kind = PostAnswer::kForbidden;
    } else if (type == kNotLoggedIn) {
        answer.kind = PostAnswer::kSignedOut;
    } else if (type == kInvalidParameters) {
        answer.kind = answer.words.find(kCategoryParameter) != std::wstring::npos
                          ? PostAnswer::kNoCategory
                          : PostAnswer::kInvalidParameters;
    } else if (type == kReadOnly) {
        answer.kind = PostAnswer::kReadOnly;
    } else if (StringOf(parsed, "action") == kEnqueuedAction) {
        answer.kind = PostAnswer::kEnqueued;
        // 2.x names the rule that held the post; 3.x tells staff only, and may add a message.
        std::wstring reason = TextOf(parsed, "message");
        if (reason.empty()) {
            reason = TextOf(parsed, "reason");
            for (wchar_t& c : reason) {
                c = c == L'_' ? L' ' : c;
            }
        }
        answer.words = reason;
    } else if (status == 422 || (!answer.words.empty() && status >= 400 && status < 500)) {
        answer.kind = status == 422 ? PostAnswer::kInvalid : PostAnswer::kRefused;
    } else if (status == 200 && answer.words.empty() && NumberOf(created, "topic_id") > 0) {
        answer.kind = PostAnswer::kCreated;
        answer.topic_id = NumberOf(created, "topic_id");
        answer.topic_slug = TextOf(created, "topic_slug");
    }
    return answer;
}

std::wstring ReadWords(std::string_view body) {
    return WordsOf(Parse(body));
}

std::string ReadCsrf(std::string_view body) {
    std::string token = StringOf(Parse(body), "csrf");
    // The token goes back in a header line: base64 of either alphabet, nothing else.
    if (token.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"
                                "0123456789+/=-_") != std::string::npos) {
        token.clear();
    }
    return token;
}

bool ReadSite(std::string_view body, Site& site) {
    const json parsed = Parse(body);
    const json* categories = Member(parsed, "categories");
    if (categories == nullptr || !categories->is_array()) {
        return false;
    }
    site = Site{};
    site.uncategorized_id = NumberOf(parsed, "uncategorized_category_id");
    for (const json& item : *categories) {
        Category category;
        category.id = NumberOf(item, "id");
        if (category.id < 0) {
            continue;
        }
        category.parent_id = NumberOf(item, "parent_category_id");
        category.name = TextOf(item, "name");
        category.slug = TextOf(item, "slug");
        // Site#categories sends 1 or null: the other permission types never reach it.
        category.may_create = NumberOf(item, "permission") == 1;
        site.categories.push_back(std::move(category));
    }
    return true;
}

const Category* FindCategory(const Site& site, long long id) {
    for (const Category& category : site.categories) {
        if (category.id == id) {
            return &category;
        }
    }
    return nullptr;
}

std::wstring CategoryPath(const Site& site, const Category& category) {
    std::wstring path = L"/" + std::to_wstring(category.id);
    if (!category.slug.empty()) {
        path = L"/" + category.slug + path;
    }
    // Parents up to the top, each once: a loop in a broken list ends there.
    std::vector<long long> seen = {category.id};
    for (const Category* parent = FindCategory(site, category.parent_id);
         parent != nullptr && std::find(seen.begin(), seen.end(), parent->id) == seen.end();
         parent = FindCategory(site, parent->parent_id)) {
        seen.push_back(parent->id);
        if (!parent->slug.empty()) {
            path = L"/" + parent->slug + path;
        }
    }
    return L"/c" + path;
}

void ReadSettings(std::string_view body, Settings& settings) {
    const json parsed = Parse(body);
    if (!parsed.is_object()) {
        return;
    }
    const std::wstring title = TextOf(parsed, "title");
    if (!title.empty()) {
        settings.title = title;
    }
    auto limit = [&parsed](const char* key, int& value) {
        const long long number = NumberOf(parsed, key);
        if (number > 0 && number < 10000000) {
            value = static_cast<int>(number);
        }
    };
    limit("min_topic_title_length", settings.min_title);
    limit("max_topic_title_length", settings.max_title);
    limit("min_first_post_length", settings.min_first_post);
    limit("max_post_length", settings.max_post);
    if (const json* allow = Member(parsed, "allow_uncategorized_topics");
        allow != nullptr && allow->is_boolean()) {
        settings.allow_uncategorized = allow->get<bool>();
    }
}

PostAnswer ReadEditAnswer(int status, std::string_view body, const std::wstring& retryAfter) {
    PostAnswer answer = ReadPostAnswer(status, body, retryAfter);
    // {"post": {...}} for the body, {"basic_topic": {...}} for the title.
    if (answer.kind == PostAnswer::kLost && status == 200) {
        const json parsed = Parse(body);
        if (parsed.is_object() && WordsOf(parsed).empty() &&
            (Member(parsed, "post") != nullptr || Member(parsed, "basic_topic") != nullptr)) {
            answer.kind = PostAnswer::kCreated;
        }
    }
    return answer;
}

bool ReadTopic(std::string_view body, Topic& topic) {
    const json parsed = Parse(body);
    topic = Topic{};
    topic.id = NumberOf(parsed, "id");
    topic.title = TextOf(parsed, "title");
    topic.slug = TextOf(parsed, "slug");
    topic.posts_count = NumberOf(parsed, "posts_count");
    topic.highest_post_number = NumberOf(parsed, "highest_post_number");
    const json* stream = Member(parsed, "post_stream");
    const json* posts = stream == nullptr ? nullptr : Member(*stream, "posts");
    if (posts != nullptr && posts->is_array()) {
        for (const json& item : *posts) {
            TopicPost post;
            post.id = NumberOf(item, "id");
            post.post_number = NumberOf(item, "post_number");
            post.username = TextOf(item, "username");
            post.created_at = TimeOf(StringOf(item, "created_at"));
            const json* yours = Member(item, "yours");
            post.yours = yours != nullptr && yours->is_boolean() && yours->get<bool>();
            if (post.id > 0 && post.post_number > 0) {
                topic.posts.push_back(std::move(post));
            }
        }
    }
    return topic.id > 0 && !topic.title.empty();
}

const TopicPost* NewestPost(const Topic& topic) {
    const TopicPost* newest = nullptr;
    for (const TopicPost& post : topic.posts) {
        if (newest == nullptr || post.post_number > newest->post_number) {
            newest = &post;
        }
    }
    return newest;
}

long long TopicIdOf(const std::wstring& url) {
    std::wstring path = url.substr(0, url.find_first_of(L"?#"));
    const size_t at = path.find(L"/t/");
    if (at == std::wstring::npos) {
        return -1;
    }
    // /t/<id> and /t/<id>/<post_number> start with the number; /t/<slug>/<id> has it second.
    std::vector<std::wstring> parts;
    for (size_t begin = at + 3; begin <= path.size() && parts.size() < 2;) {
        const size_t end = std::min(path.find(L'/', begin), path.size());
        parts.push_back(path.substr(begin, end - begin));
        begin = end + 1;
    }
    auto number = [](const std::wstring& part) {
        return !part.empty() && part.size() <= 15 &&
                       part.find_first_not_of(L"0123456789") == std::wstring::npos
                   ? std::stoll(part)
                   : -1LL;
    };
    if (!parts.empty() && number(parts[0]) > 0) {
        return number(parts[0]);
    }
    return parts.size() > 1 ? number(parts[1]) : -1;
}

TopicList ReadTopicList(std::string_view body, const std::wstring& root) {
    TopicList topics;
    const json parsed = Parse(body);
    std::map<long long, std::wstring> users;
    if (const json* list = Member(parsed, "users"); list != nullptr && list->is_array()) {
        for (const json& user : *list) {
            users[NumberOf(user, "id")] = TextOf(user, "username");
        }
    }
    const json* list = Member(parsed, "topic_list");
    const json* items = list == nullptr ? nullptr : Member(*list, "topics");
    if (items == nullptr || !items->is_array()) {
        return topics;
    }
    for (const json& item : *items) {
        const long long id = NumberOf(item, "id");
        if (id <= 0) {
            continue;
        }
        TopicEntry entry{TopicAddress(root, TextOf(item, "slug"), id), TextOf(item, "title")};
        entry.started = TimeOf(StringOf(item, "created_at"));
        // The first poster is the one who started the topic.
        const json* posters = Member(item, "posters");
        if (posters != nullptr && posters->is_array() && !posters->empty()) {
            auto user = users.find(NumberOf((*posters)[0], "user_id"));
            if (user != users.end()) {
                entry.author = user->second;
            }
        }
        topics.push_back(std::move(entry));
    }
    return topics;
}

std::wstring TopicAddress(const std::wstring& root, const std::wstring& slug, long long id) {
    // Discourse finds a topic by its number whatever the slug says; "topic" is its own
    // slug for titles with nothing to spell in ASCII.
    return root + L"/t/" + (slug.empty() ? std::wstring(L"topic") : slug) + L"/" +
           std::to_wstring(id);
}

bool SameTitle(const std::wstring& storedTitle, const std::wstring& subject) {
    const std::wstring key = TitleKey(subject);
    return !key.empty() && TitleKey(storedTitle) == key;
}

std::wstring CountedText(const std::wstring& text) {
    return CollapseWhitespace(text);
}

}  // namespace twk::discourse
