#include "engines/DiscourseEngine.h"

#include <algorithm>
#include <limits>

#include "engines/BoardText.h"
#include "text/MarkdownText.h"
#include "text/StringTable.h"
#include "web/HtmlForm.h"

namespace twk {
namespace {

using discourse::PostAnswer;
using discourse::SignInAnswer;

// Discourse's routes below the site's folder, as its own scripts call them.
constexpr struct {
    const wchar_t* basic_info = L"/site/basic-info.json";  // the site's title
    const wchar_t* csrf = L"/session/csrf.json";
    const wchar_t* session = L"/session.json";
    const wchar_t* settings = L"/site/settings.json";  // the client site settings
    const wchar_t* site = L"/site.json";               // the categories
    const wchar_t* posts = L"/posts.json";
    const wchar_t* topic = L"/t/";              // + id + ".json"; + slug + "/" + id + ".json"
    const wchar_t* post = L"/posts/";           // + id + ".json"
    const wchar_t* newest = L"/l/latest.json";  // after a category's path
} kRoutes;

constexpr const char* kFormType = "application/x-www-form-urlencoded; charset=UTF-8";

// The pause before the topic leaves, as for the other scripts.
constexpr int kPauseBeforeSending = 10;
// What a site allows when it does not say: 255 is the longest title any site may set; the
// body's default of 32000 may be raised. Shortest titles and bodies are checked only where
// the site publishes them: Japanese and Chinese sites default to fewer, and a refusal from
// the board costs nothing.
constexpr int kMaxTitle = 255;
constexpr int kDefaultMaxPost = 32000;

// Discourse queues the first topic of a new account typed in under 3 s, and silences the
// account: the composer's times of a person who wrote the message, by its length.
constexpr long long kTypingMsPerCharacter = 40;
constexpr long long kLeastTypingMs = 6000;
constexpr long long kMostTypingMs = 180000;
constexpr long long kComposerOpenBeforeTypingMs = 25000;

// Refused sign-ins: the result and the text around the board's words (0: its words alone).
constexpr struct {
    SignInAnswer::Kind kind;
    ResultCode code;
    int text;
} kSignInRefusals[] = {
    {SignInAnswer::kRefused, kInvalidLogin, 0},  // wrong password, not activated, suspended
    {SignInAnswer::kPasswordExpired, kInvalidLogin, kIdsPasswordExpired},
    {SignInAnswer::kSecondFactor, kUnknownError, kIdsSecondFactorNeeded},
    {SignInAnswer::kSingleSignOnOnly, kUnknownError, kIdsSingleSignOnOnly},
    {SignInAnswer::kReadOnly, kServerError, 0},
    {SignInAnswer::kRateLimited, kServerError, 0},  // again after the wait, or for hours
    {SignInAnswer::kBadCsrf, kServerError, 0},      // again with a fresh token
};

// Refused topics, in the board's words.
constexpr struct {
    PostAnswer::Kind kind;
    ResultCode code;
} kPostRefusals[] = {
    {PostAnswer::kInvalid, kNoMessageForm},  // 422: a title or body the board's rules refuse
    {PostAnswer::kInvalidParameters, kNoMessageForm},
    {PostAnswer::kForbidden, kNewTopicNotAllowed},
    {PostAnswer::kNoCategory, kNewTopicNotAllowed},
    {PostAnswer::kSignedOut, kInvalidLogin},
    {PostAnswer::kRateLimited, kCheckResult},  // again after the wait, or for hours
    {PostAnswer::kBadCsrf, kServerError},      // again with a fresh token
    {PostAnswer::kReadOnly, kServerError},
    {PostAnswer::kRefused, kServerError},
};

// What the site says when the edit time of a post has passed: "That post was created too
// long ago. It can no longer be edited or deleted."
const std::vector<std::wstring> kTooLatePhrases = {L"too long ago"};

long long CategoryIdOf(const std::wstring& url) {
    std::wstring path = url.substr(0, url.find_first_of(L"?#"));
    while (!path.empty() && path.back() == L'/') {
        path.pop_back();
    }
    const std::wstring last = path.substr(path.rfind(L'/') + 1);
    if (last.empty() || last.size() > 15 || last.find_first_not_of(L"0123456789") != last.npos) {
        return -1;
    }
    return std::stoll(last);
}

std::string NewTopicForm(const std::wstring& subject, const std::wstring& raw, long long category) {
    const long long typing = std::clamp(static_cast<long long>(raw.size()) * kTypingMsPerCharacter,
                                        kLeastTypingMs, kMostTypingMs);
    return "title=" + UrlEncode(subject) + "&raw=" + UrlEncode(raw) +
           "&category=" + std::to_string(category) + "&archetype=regular&nested_post=true" +
           "&typing_duration_msecs=" + std::to_string(typing) +
           "&composer_open_duration_msecs=" + std::to_string(typing + kComposerOpenBeforeTypingMs);
}

}  // namespace

ResultCode DiscourseEngine::SignIn(const std::wstring& login, const std::wstring& password,
                                   std::wstring& forumTitle) {
    failure_text.clear();
    csrf_token.clear();
    settings_ = {};
    NoteSignIn(L"", password);
    if (!Call(L"GET", kRoutes.basic_info)) {
        return NoAnswer();
    }
    discourse::ReadSettings(web.body, settings_);
    ResultCode result = FetchCsrf();
    if (result != kOk) {
        return result;
    }
    const std::string form = "login=" + UrlEncode(login) + "&password=" + UrlEncode(password);
    bool waited = false;
    bool refreshed = false;
    for (;;) {
        if (!Call(L"POST", kRoutes.session, form, kFormType)) {
            return NoAnswer();
        }
        const SignInAnswer answer =
            discourse::ReadSignInAnswer(Status(), web.body, web.ResponseHeader(L"Retry-After:"));
        if (answer.kind == SignInAnswer::kSignedIn) {
            break;
        }
        if (answer.kind == SignInAnswer::kBadCsrf && !refreshed) {
            refreshed = true;
            result = FetchCsrf();
            if (result != kOk) {
                return result;
            }
            continue;
        }
        if (answer.kind == SignInAnswer::kRateLimited && !waited &&
            answer.wait_seconds <= kMaxFloodWait) {
            waited = true;
            if (WaitOutFloodLimit(answer.wait_seconds)) {
                return kStopped;
            }
            continue;
        }
        for (const auto& refusal : kSignInRefusals) {
            if (refusal.kind == answer.kind) {
                const std::wstring words =
                    answer.words.empty() ? web.status_line : BoardWords(answer.words);
                return Fail(refusal.code,
                            refusal.text == 0 ? words : FormatText(LoadText(refusal.text), words));
            }
        }
        return NotUnderstood();
    }
    // The token outlives the sign-in as long as the session cookie does, but Discourse's
    // own page reads a fresh one after signing in, and so does this engine.
    result = FetchCsrf();
    if (result != kOk) {
        return result;
    }
    if (!Call(L"GET", kRoutes.settings)) {
        return NoAnswer();
    }
    discourse::ReadSettings(web.body, settings_);
    forumTitle = settings_.title;
    NoteSignIn(settings_.title, password);
    signed_in_ = true;
    return kOk;
}

ResultCode DiscourseEngine::ReadSections(SectionList& sections) {
    discourse::Site site;
    const ResultCode result = ReadSite(site);
    if (result != kOk) {
        return result;
    }
    for (const discourse::Category& category : site.categories) {
        if (MayStartTopics(site, category)) {
            AddSection(sections, Root() + discourse::CategoryPath(site, category), category.name);
        }
    }
    return kOk;
}

ResultCode DiscourseEngine::OpenSection(const std::wstring& url) {
    failure_text.clear();
    category_id_ = -1;
    known_topics_.clear();
    discourse::Site site;
    const ResultCode result = ReadSite(site);
    if (result != kOk) {
        return result;
    }
    const discourse::Category* category = discourse::FindCategory(site, CategoryIdOf(url));
    if (category == nullptr) {
        return Fail(kNewTopicNotAllowed, FormatText(LoadText(kIdsNoSuchCategory), url));
    }
    if (!MayStartTopics(site, *category)) {
        return Fail(kNewTopicNotAllowed,
                    FormatText(LoadText(kIdsCategoryClosed), BoardWords(category->name)));
    }
    category_id_ = category->id;
    category_path_ = discourse::CategoryPath(site, *category);
    return ReadSectionTopics(known_topics_);
}

ResultCode DiscourseEngine::PostTopic(const std::wstring& subject, const std::wstring& body,
                                      std::wstring& topicUrl) {
    topicUrl.clear();
    failure_text.clear();
    subject_ = subject;
    if (category_id_ < 0) {
        return kNewTopicNotAllowed;
    }
    const std::wstring raw = BBCodeToMarkdown(body, MarkdownFlavour::Discourse);
    ResultCode result = CheckLimits(subject, raw);
    if (result != kOk) {
        return result;
    }
    std::vector<std::wstring> known;
    for (const TopicEntry& topic : known_topics_) {
        if (discourse::SameTitle(topic.title, subject)) {
            known.push_back(topic.url);
        }
    }
    NoteTopicsBeforeSending(known);
    if (Pause(kPauseBeforeSending)) {
        return kStopped;
    }
    const std::string form = NewTopicForm(subject, raw, category_id_);
    bool waited = false;
    bool refreshed = false;
    for (;;) {
        if (!ClearToSend()) {
            return kStopped;
        }
        if (!SendOnce(L"POST", kRoutes.posts, form, kFormType)) {
            return LostAnswer(subject, known, topicUrl);
        }
        const PostAnswer answer =
            discourse::ReadPostAnswer(Status(), web.body, web.ResponseHeader(L"Retry-After:"));
        switch (answer.kind) {
            case PostAnswer::kCreated:
                return ConfirmTopic(subject, answer, topicUrl);
            case PostAnswer::kEnqueued:
                return Fail(
                    kCheckResult,
                    FormatText(LoadText(kIdsHeldForModerator),
                               answer.words.empty() ? std::wstring()
                                                    : L" (" + BoardWords(answer.words) + L")"));
            case PostAnswer::kLost:
                return LostAnswer(subject, known, topicUrl);
            case PostAnswer::kRateLimited:
                if (!waited && answer.wait_seconds <= kMaxFloodWait) {
                    waited = true;
                    if (WaitOutFloodLimit(answer.wait_seconds)) {
                        return kStopped;
                    }
                    continue;
                }
                break;
            case PostAnswer::kBadCsrf:
                // Discourse refuses the request before reading it: nothing was posted.
                if (!refreshed) {
                    refreshed = true;
                    result = FetchCsrf();
                    if (result != kOk) {
                        return result;
                    }
                    continue;
                }
                break;
            default:
                break;
        }
        for (const auto& refusal : kPostRefusals) {
            if (refusal.kind == answer.kind) {
                // A proxy's refusal has no words of the board's: its status line speaks.
                return Fail(refusal.code,
                            answer.words.empty() ? web.status_line : BoardWords(answer.words));
            }
        }
        return LostAnswer(subject, known, topicUrl);
    }
}

ResultCode DiscourseEngine::ReadTopicView(const std::wstring& path, discourse::Topic& topic) {
    if (!Call(L"GET", path)) {
        return NoAnswer();
    }
    const std::wstring words = discourse::ReadWords(web.body);
    if (Status() == 404 || Status() == 410) {
        return Fail(kTopicGone, words.empty()
                                    ? FormatText(LoadText(kIdsTopicAnswered), web.status_line)
                                    : BoardWords(words));
    }
    // A category only some groups see, or a site for members only: 403 (invalid_access or
    // not_logged_in) to a guest.
    if (Status() == 403 || Status() == 401) {
        if (!signed_in_) {
            return Fail(kSignInNeeded, {});
        }
        return Fail(kPageError, words.empty() ? web.status_line : BoardWords(words));
    }
    if (Status() != 200 || !discourse::ReadTopic(web.body, topic)) {
        return NotUnderstood();
    }
    return kOk;
}

ResultCode DiscourseEngine::ReadReplies(const std::wstring& topicUrl, ReplyInfo& info) {
    info = ReplyInfo{};
    failure_text.clear();
    const long long id = discourse::TopicIdOf(topicUrl);
    if (id <= 0) {
        return Fail(kPageError, FormatText(LoadText(kIdsNoTopicInAddress), topicUrl));
    }
    const std::wstring number = std::to_wstring(id);
    discourse::Topic topic;
    ++info.pages_read;
    ResultCode result = ReadTopicView(kRoutes.topic + number + L".json", topic);
    if (result != kOk) {
        return result;
    }
    // posts_count counts the first post.
    info.replies = static_cast<int>(
        std::clamp<long long>(topic.posts_count - 1, 0, std::numeric_limits<int>::max()));
    const std::wstring address = discourse::TopicAddress(Root(), topic.slug, topic.id);
    info.newest_url = address;
    if (info.replies == 0) {
        return kOk;
    }
    const discourse::TopicPost* newest = discourse::NewestPost(topic);
    if (newest == nullptr || newest->post_number < topic.highest_post_number) {
        // The view carries the first posts only; the one around the newest number holds it.
        ++info.pages_read;
        result = ReadTopicView(
            kRoutes.topic + number + L"/" + std::to_wstring(topic.highest_post_number) + L".json",
            topic);
        if (result != kOk) {
            return result;
        }
        newest = discourse::NewestPost(topic);
    }
    if (newest != nullptr && newest->post_number > 1) {
        info.newest_author = newest->username;
        info.newest_time = newest->created_at;
        info.newest_url = address + L"/" + std::to_wstring(newest->post_number);
    }
    return kOk;
}

ResultCode DiscourseEngine::EditTopic(const std::wstring& topicUrl, const std::wstring& subject,
                                      const std::wstring& body) {
    failure_text.clear();
    const long long id = discourse::TopicIdOf(topicUrl);
    if (id <= 0) {
        return Fail(kPageError, FormatText(LoadText(kIdsNoTopicInAddress), topicUrl));
    }
    const std::wstring view = kRoutes.topic + std::to_wstring(id) + L".json";
    discourse::Topic topic;
    ResultCode result = ReadTopicView(view, topic);
    if (result != kOk) {
        return result;
    }
    const discourse::TopicPost* first = nullptr;
    for (const discourse::TopicPost& post : topic.posts) {
        first = post.post_number == 1 ? &post : first;
    }
    if (first == nullptr) {
        return NotUnderstood();
    }
    // Whether the site lets it be edited now (time limit, a closed or archived topic) it
    // says itself, in its words; whose post it is the view says.
    if (!first->yours) {
        return Fail(kEditRefused, LoadText(kIdsNotOwnFirstPost));
    }
    const std::wstring raw = BBCodeToMarkdown(body, MarkdownFlavour::Discourse);
    result = CheckLimits(subject, raw);
    if (result != kOk) {
        return result;
    }
    auto read_back = [&](bool& shown) {
        discourse::Topic now;
        const ResultCode read = ReadTopicView(view, now);
        shown = read == kOk && discourse::SameTitle(now.title, subject);
        return read;
    };
    if (Pause(kPauseBeforeSending)) {
        return kStopped;
    }
    if (!ClearToSend()) {
        return kStopped;
    }
    // The body first: its refusals leave the topic as it was. The title follows at once,
    // as the site's composer sends both halves of one edit.
    bool lost = false;
    result = SendEditPart(kRoutes.post + std::to_wstring(first->id) + L".json",
                          "post%5Braw%5D=" + UrlEncode(raw), lost);
    if (result == kOk && !discourse::SameTitle(topic.title, subject)) {
        // The site finds the topic by its number; the slug in the path is not checked.
        std::wstring slug = topic.slug;
        if (slug.empty() ||
            std::any_of(slug.begin(), slug.end(), [](wchar_t c) { return c >= 0x80; })) {
            slug = L"topic";
        }
        result = SendEditPart(kRoutes.topic + slug + L"/" + std::to_wstring(id) + L".json",
                              "title=" + UrlEncode(subject), lost);
    }
    if (lost || result == kOk) {
        return SettleEdit(read_back, lost);
    }
    return result;
}

ResultCode DiscourseEngine::SendEditPart(const std::wstring& path, const std::string& form,
                                         bool& lost) {
    lost = false;
    for (bool refreshed = false;;) {
        if (!SendOnce(L"PUT", path, form, kFormType)) {
            lost = true;
            return kCheckResult;
        }
        const PostAnswer answer =
            discourse::ReadEditAnswer(Status(), web.body, web.ResponseHeader(L"Retry-After:"));
        if (answer.kind == PostAnswer::kCreated) {
            return kOk;
        }
        if (answer.kind == PostAnswer::kLost) {
            lost = true;
            return kCheckResult;
        }
        // Refused before it was read: nothing changed, and it goes again with a fresh token.
        if (answer.kind == PostAnswer::kBadCsrf && !refreshed) {
            refreshed = true;
            const ResultCode result = FetchCsrf();
            if (result != kOk) {
                return result;
            }
            if (!ClearToSend()) {
                return kStopped;
            }
            continue;
        }
        return EditRefused(answer);
    }
}

ResultCode DiscourseEngine::EditRefused(const PostAnswer& answer) {
    const std::wstring words = answer.words.empty() ? web.status_line : BoardWords(answer.words);
    switch (answer.kind) {
        case PostAnswer::kForbidden:  // another account's post, a closed or archived topic
            return Fail(kEditRefused, words);
        case PostAnswer::kInvalid:
            return Fail(ContainsAnyPhrase(words, kTooLatePhrases) ? kEditRefused : kNoMessageForm,
                        words);
        case PostAnswer::kSignedOut:
            return Fail(kInvalidLogin, words);
        case PostAnswer::kEnqueued:
            return Fail(kCheckResult,
                        FormatText(LoadText(kIdsHeldForModerator),
                                   answer.words.empty() ? std::wstring() : L" (" + words + L")"));
        case PostAnswer::kRateLimited:
            return Fail(kCheckResult, words);
        case PostAnswer::kBadCsrf:
        case PostAnswer::kReadOnly:
            return Fail(kServerError, words);
        default:
            break;
    }
    if (Status() == 404 || Status() == 410) {
        return Fail(kTopicGone, words);
    }
    return Fail(kNoMessageForm, words);
}

ResultCode DiscourseEngine::ReadSectionTopics(TopicList& topics) {
    topics.clear();
    if (!Call(L"GET", category_path_ + kRoutes.newest)) {
        return NoAnswer();
    }
    if (Status() != 200) {
        return NotUnderstood();
    }
    topics = discourse::ReadTopicList(web.body, Root());
    // The board stores the subject prettified; the topic so titled is the subject's.
    for (TopicEntry& topic : topics) {
        if (!subject_.empty() && discourse::SameTitle(topic.title, subject_)) {
            topic.title = subject_;
        }
    }
    return kOk;
}

ResultCode DiscourseEngine::FetchCsrf() {
    csrf_token.clear();
    if (!Call(L"GET", kRoutes.csrf)) {
        return NoAnswer();
    }
    csrf_token = discourse::ReadCsrf(web.body);
    return Status() == 200 && !csrf_token.empty() ? kOk : NotUnderstood();
}

ResultCode DiscourseEngine::ReadSite(discourse::Site& site) {
    if (!Call(L"GET", kRoutes.site)) {
        return NoAnswer();
    }
    return Status() == 200 && discourse::ReadSite(web.body, site) ? kOk : NotUnderstood();
}

bool DiscourseEngine::MayStartTopics(const discourse::Site& site,
                                     const discourse::Category& category) const {
    // Uncategorized takes topics only where the site allows topics without a category,
    // whatever its permission says.
    return category.may_create &&
           (category.id != site.uncategorized_id || settings_.allow_uncategorized);
}

ResultCode DiscourseEngine::CheckLimits(const std::wstring& subject, const std::wstring& raw) {
    // Discourse counts the characters of the trimmed text, each run of white space one.
    const std::wstring title = discourse::CountedText(subject);
    const std::wstring text = discourse::CountedText(raw);
    const ResultCode result =
        CheckLengthLimits(title, text, settings_.max_title > 0 ? settings_.max_title : kMaxTitle,
                          settings_.max_post > 0 ? settings_.max_post : kDefaultMaxPost);
    if (result != kOk) {
        return result;
    }
    const struct {
        const std::wstring& text;
        int least;
        int format;
    } minimums[] = {{title, settings_.min_title, kIdsSubjectTooShort},
                    {text, settings_.min_first_post, kIdsMessageTooShort}};
    for (const auto& minimum : minimums) {
        const int length = static_cast<int>(minimum.text.size());
        if (length < minimum.least) {
            return Fail(kNoMessageForm,
                        FormatText(LoadText(minimum.format), length, minimum.least));
        }
    }
    return kOk;
}

ResultCode DiscourseEngine::ConfirmTopic(const std::wstring& subject, const PostAnswer& answer,
                                         std::wstring& topicUrl) {
    const std::wstring number = std::to_wstring(answer.topic_id);
    topicUrl = discourse::TopicAddress(Root(), answer.topic_slug, answer.topic_id);
    if (!Call(L"GET", kRoutes.topic + number + L".json")) {
        return Fail(kCheckResult, FormatText(LoadText(kIdsTopicNotShown), number, failure_text));
    }
    discourse::Topic topic;
    if (Status() != 200 || !discourse::ReadTopic(web.body, topic) || topic.id != answer.topic_id) {
        return Fail(kCheckResult, FormatText(LoadText(kIdsTopicNotShown), number, web.status_line));
    }
    if (!discourse::SameTitle(topic.title, subject)) {
        return Fail(kCheckResult, FormatText(LoadText(kIdsTopicNotShown), number,
                                             L"\"" + BoardWords(topic.title) + L"\""));
    }
    if (!topic.slug.empty()) {
        topicUrl = discourse::TopicAddress(Root(), topic.slug, topic.id);
    }
    return kOk;
}

ResultCode DiscourseEngine::NoAnswer() const {
    return stop_requested ? kStopped : kConnectionError;
}

ResultCode DiscourseEngine::NotUnderstood() {
    // Discourse's words where it gave any; else a server's or proxy's error, or another
    // program altogether.
    const std::wstring words = discourse::ReadWords(web.body);
    if (!words.empty()) {
        return Fail(kServerError, BoardWords(words));
    }
    if (Status() >= 500) {
        return Fail(kServerError, web.status_line);
    }
    return Fail(kNotScript, {});
}

ResultCode DiscourseEngine::Fail(ResultCode code, const std::wstring& text) {
    failure_text = text;
    return code;
}

}  // namespace twk
