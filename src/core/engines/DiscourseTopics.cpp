// The topic steps of the Discourse engine: reading a topic's replies and editing its first
// post.
#include <algorithm>
#include <limits>

#include "engines/BoardText.h"
#include "engines/DiscourseEngine.h"
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

// What the site says when the edit time of a post has passed: "That post was created too
// long ago. It can no longer be edited or deleted."
const std::vector<std::wstring> kTooLatePhrases = {L"too long ago"};

}  // namespace

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

}  // namespace twk
