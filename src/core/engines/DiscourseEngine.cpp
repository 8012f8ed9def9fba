#include "engines/DiscourseEngine.h"

#include <algorithm>
#include <limits>

#include "engines/BoardText.h"
#include "engines/DiscourseShared.h"
#include "text/MarkdownText.h"
#include "text/StringTable.h"
#include "web/HtmlForm.h"

namespace twk {
namespace {

using discourse::kFormType;
using discourse::kPauseBeforeSending;
using discourse::kRoutes;
using discourse::PostAnswer;
using discourse::SignInAnswer;

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
