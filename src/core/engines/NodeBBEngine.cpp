#include "engines/NodeBBEngine.h"

#include <algorithm>
#include <limits>
#include <nlohmann/json.hpp>

#include "engines/BoardText.h"
#include "engines/NodeBBShared.h"
#include "text/MarkdownText.h"
#include "text/StringTable.h"
#include "text/Unicode.h"
#include "web/Charsets.h"

namespace twk {

namespace {

using nodebb::IsTokenRefusal;
using nodebb::kPauseBeforeSending;
using nodebb::Title;

// The routes a NodeBB client uses. The write API (/api/v3) wraps its answers in
// {"status":{"code","message"},"response":{...}}; the page API (/api/...) sends the data
// of the page as it is.
const wchar_t* const kSignInRoute = L"/api/v3/utilities/login";
const wchar_t* const kConfigRoute = L"/api/config";
const wchar_t* const kCategoriesRoute = L"/api/v3/categories";
const wchar_t* const kCategoryRoute = L"/api/category/";
const wchar_t* const kTopicsRoute = L"/api/v3/topics";

// What the board says when a post comes too soon: "You can only post once every 10
// second(s)", "As a new user, you can only post once every 120 second(s) ...", "Sorry, you
// are required to wait 10 second(s) before making your first post".
const std::vector<std::wstring> kFloodPhrases = {L"only post once every", L"required to wait",
                                                 L"please wait before"};

int LimitOf(const nlohmann::json& config, const char* name) {
    return static_cast<int>(JsonNumber(config.value(name, nlohmann::json()), -1));
}

}  // namespace

NodeBBEngine::NodeBBEngine() = default;

namespace {

// The number right after route in url ("/category/3/..."); -1 when none.
long long NumberAfter(const std::wstring& url, const std::wstring& route) {
    const size_t at = url.find(route);
    if (at == std::wstring::npos) {
        return -1;
    }
    const size_t begin = at + route.size();
    size_t end = begin;
    while (end < url.size() && url[end] >= L'0' && url[end] <= L'9') {
        ++end;
    }
    if (end == begin || end - begin > 12) {
        return -1;
    }
    return std::stoll(url.substr(begin, end - begin));
}

}  // namespace

long long NodeBBCategoryOf(const std::wstring& url) {
    return NumberAfter(url, L"/category/");
}

long long NodeBBTopicOf(const std::wstring& url) {
    return NumberAfter(url, L"/topic/");
}

std::wstring NodeBBEngine::TopicAddress(const std::wstring& slug) const {
    return Address(L"/topic/" + slug);
}

std::wstring NodeBBEngine::AnswerMessage() const {
    nlohmann::json answer;
    if (AnswerJson(answer) && answer.is_object()) {
        if (answer.contains("status") && answer["status"].is_object()) {
            std::wstring text = JsonText(answer["status"].value("message", nlohmann::json()));
            const nlohmann::json& response = answer.value("response", nlohmann::json());
            // A queued topic says why in the response: "[[success:post-queued]]".
            if (response.is_object() && response.contains("message")) {
                text = JsonText(response["message"]);
            }
            return BoardWords(text);
        }
        return BoardWords(JsonText(answer.value("error", nlohmann::json())));
    }
    // The sign-in route and the token check answer in plain text.
    return AnswerText();
}

ResultCode NodeBBEngine::Refusal(ResultCode code) {
    failure_text = AnswerMessage();
    if (failure_text.empty()) {
        failure_text = web.status_line;
    }
    return code;
}

ResultCode NodeBBEngine::ReadConfig(bool& signedIn) {
    if (!Call(L"GET", kConfigRoute)) {
        return stop_requested ? kStopped : kConnectionError;
    }
    nlohmann::json config;
    if (Status() != 200 || !AnswerJson(config) || !config.is_object() ||
        !config.contains("csrf_token")) {
        failure_text = web.status_line;
        return kNotScript;
    }
    csrf_token = config["csrf_token"].is_string() ? config["csrf_token"].get<std::string>() : "";
    signedIn = config.value("loggedIn", false);
    board_title_ = DecodeEntities(JsonText(config.value("siteTitle", nlohmann::json())));
    limits_.min_title = LimitOf(config, "minimumTitleLength");
    limits_.max_title = LimitOf(config, "maximumTitleLength");
    limits_.min_post = LimitOf(config, "minimumPostLength");
    limits_.max_post = LimitOf(config, "maximumPostLength");
    return kOk;
}

ResultCode NodeBBEngine::SignIn(const std::wstring& login, const std::wstring& password,
                                std::wstring& forumTitle) {
    NoteSignIn({}, password);
    const nlohmann::json account = {{"username", WideToUtf8(login)},
                                    {"password", WideToUtf8(password)}};
    if (!CallJson(L"POST", kSignInRoute, account)) {
        return stop_requested ? kStopped : kConnectionError;
    }
    if (Status() == 404) {
        // A board without the write API is not NodeBB 3 or later.
        failure_text = web.status_line;
        return kNotScript;
    }
    nlohmann::json answer;
    const bool json = AnswerJson(answer);
    if (Status() != 200 || !json || !answer.is_object()) {
        // "[[error:invalid-login-credentials]]" and its kind come as bare text.
        return Refusal(Status() == 403 || Status() == 401 ? kInvalidLogin : kUnknownError);
    }
    bool signedIn = false;
    ResultCode result = ReadConfig(signedIn);
    if (result != kOk) {
        return result;
    }
    forumTitle = board_title_;
    NoteSignIn(board_title_, password);
    signed_in_ = signedIn;
    if (!signedIn) {
        // The board took the password but does not know the session on its pages: it
        // takes this client for a crawler, or keeps no cookie for it.
        failure_text = LoadText(kIdsSignInNotKept);
        return kInvalidLogin;
    }
    return kOk;
}

ResultCode NodeBBEngine::ReadSections(SectionList& sections) {
    if (!Call(L"GET", kCategoriesRoute)) {
        return stop_requested ? kStopped : kConnectionError;
    }
    nlohmann::json answer;
    if (Status() != 200 || !AnswerJson(answer) || !answer.is_object()) {
        return Refusal(kPageError);
    }
    const nlohmann::json categories =
        answer.value("response", nlohmann::json::object()).value("categories", nlohmann::json());
    if (!categories.is_array()) {
        return Refusal(kPageError);
    }
    for (const nlohmann::json& category : categories) {
        if (!category.is_object()) {
            continue;
        }
        const long long cid = JsonNumber(category.value("cid", nlohmann::json()));
        // cid -1 is the bucket of topics from other sites; links lead elsewhere.
        if (cid <= 0 || category.value("disabled", 0) != 0 ||
            !JsonText(category.value("link", nlohmann::json())).empty()) {
            continue;
        }
        // Whether the member may start topics shows only on the category's own page data.
        if (!Call(L"GET", kCategoryRoute + std::to_wstring(cid))) {
            return stop_requested ? kStopped : kConnectionError;
        }
        nlohmann::json page;
        if (Status() != 200 || !AnswerJson(page) || !page.is_object()) {
            continue;
        }
        const nlohmann::json privileges = page.value("privileges", nlohmann::json::object());
        if (!privileges.is_object() || !privileges.value("topics:create", false)) {
            continue;
        }
        const std::wstring url =
            Address(L"/category/" + JsonText(category.value("slug", nlohmann::json())));
        AddSection(sections, url, DecodeEntities(JsonText(category["name"])));
    }
    return kOk;
}

ResultCode NodeBBEngine::OpenSection(const std::wstring& url) {
    category_ = NodeBBCategoryOf(url);
    may_create_ = false;
    if (category_ <= 0) {
        failure_text = LoadText(kIdsCategoryNotFound);
        return kNewTopicNotAllowed;
    }
    if (!Call(L"GET", kCategoryRoute + std::to_wstring(category_))) {
        return stop_requested ? kStopped : kConnectionError;
    }
    nlohmann::json page;
    if (Status() == 404 || Status() == 403) {
        failure_text = LoadText(kIdsCategoryNotFound);
        return kNewTopicNotAllowed;
    }
    if (Status() != 200 || !AnswerJson(page) || !page.is_object()) {
        return Refusal(kPageError);
    }
    category_title_ = DecodeEntities(JsonText(page.value("name", nlohmann::json())));
    const nlohmann::json privileges = page.value("privileges", nlohmann::json::object());
    may_create_ = privileges.is_object() && privileges.value("topics:create", false);
    return kOk;
}

ResultCode NodeBBEngine::ReadSectionTopics(TopicList& topics) {
    if (category_ <= 0 || !Call(L"GET", kCategoryRoute + std::to_wstring(category_))) {
        return stop_requested ? kStopped : kConnectionError;
    }
    nlohmann::json page;
    if (Status() != 200 || !AnswerJson(page) || !page.is_object() ||
        !page.value("topics", nlohmann::json()).is_array()) {
        return kPageError;
    }
    for (const nlohmann::json& topic : page["topics"]) {
        if (!topic.is_object()) {
            continue;
        }
        TopicEntry entry{TopicAddress(JsonText(topic.value("slug", nlohmann::json()))),
                         Title(topic)};
        const nlohmann::json user = topic.value("user", nlohmann::json::object());
        if (user.is_object()) {
            entry.author = JsonText(user.value("username", nlohmann::json()));
        }
        entry.started = JsonNumber(topic.value("timestamp", nlohmann::json()), 0) / 1000;
        topics.push_back(std::move(entry));
    }
    return kOk;
}

ResultCode NodeBBEngine::PostTopic(const std::wstring& subject, const std::wstring& body,
                                   std::wstring& topicUrl) {
    topicUrl.clear();
    if (!may_create_) {
        failure_text = LoadText(kIdsNoRightToStartTopics);
        return kNewTopicNotAllowed;
    }
    const std::wstring content = BBCodeToMarkdown(body, MarkdownFlavour::NodeBB);
    ResultCode result = CheckLengthLimits(subject, content, limits_.max_title, limits_.max_post);
    if (result == kOk) {
        result = CheckMinimumLengths(subject, content, limits_.min_title, limits_.min_post);
    }
    if (result != kOk) {
        return result;
    }
    TopicList before;
    ReadSectionTopics(before);
    const std::vector<std::wstring> known = TopicsTitled(before, subject);
    NoteTopicsBeforeSending(known);

    const nlohmann::json topic = {{"cid", category_},
                                  {"title", WideToUtf8(subject)},
                                  {"content", WideToUtf8(content)},
                                  {"tags", nlohmann::json::array()}};
    bool token_renewed = false;
    for (bool flood_retry = false;;) {
        if (Pause(kPauseBeforeSending) || !ClearToSend()) {
            return kStopped;
        }
        if (!SendJsonOnce(L"POST", kTopicsRoute, topic)) {
            return LostAnswer(subject, known, topicUrl);
        }
        nlohmann::json answer;
        const bool json = AnswerJson(answer) && answer.is_object();
        if (!json && IsTokenRefusal(Status(), web.body) && !token_renewed) {
            // The token was not taken, so neither was the topic: a new one, and once more.
            token_renewed = true;
            bool signedIn = false;
            result = ReadConfig(signedIn);
            if (result != kOk) {
                return result;
            }
            continue;
        }
        if (!json) {
            // A gateway's or server's page, not the board's answer: the topic may be stored.
            if (Status() >= 500) {
                return LostAnswer(subject, known, topicUrl);
            }
            return Refusal(kUnknownError);
        }
        const std::string code =
            answer.value("status", nlohmann::json::object()).value("code", std::string());
        const nlohmann::json response = answer.value("response", nlohmann::json::object());
        if (Status() == 202 || response.value("queued", false)) {
            return Refusal(kCheckResult);
        }
        if (Status() == 200 && code == "ok" && response.is_object()) {
            const long long tid = JsonNumber(response.value("tid", nlohmann::json()));
            if (tid <= 0) {
                return Refusal(kCheckResult);
            }
            topicUrl = TopicAddress(JsonText(response.value("slug", nlohmann::json())));
            // The answer names the topic; reading it back proves the board kept it.
            if (!Call(L"GET", kTopicsRoute + (L"/" + std::to_wstring(tid))) || Status() != 200) {
                failure_text = FormatText(LoadText(kIdsTopicNotReadBack),
                                          web.status_code != 0 ? web.status_line : web.error_text);
                return kCheckResult;
            }
            failure_text.clear();
            return kOk;
        }
        if (Status() >= 500) {
            return LostAnswer(subject, known, topicUrl);
        }
        const std::wstring words = AnswerMessage();
        if (ContainsAnyPhrase(words, kFloodPhrases)) {
            if (flood_retry) {
                return Refusal(kCheckResult);
            }
            flood_retry = true;
            if (WaitOutFloodLimit(SecondsNamed(words))) {
                return kStopped;
            }
            continue;
        }
        if (Status() == 403) {
            return Refusal(code == "forbidden" ? kNewTopicNotAllowed : kInvalidLogin);
        }
        if (Status() == 401) {
            return Refusal(kInvalidLogin);
        }
        return Refusal(kNoMessageForm);
    }
}

}  // namespace twk
