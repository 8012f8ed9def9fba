// The topic steps of the NodeBB engine: reading a topic's replies and editing its first
// post.
#include <algorithm>
#include <limits>
#include <nlohmann/json.hpp>

#include "engines/BoardText.h"
#include "engines/NodeBBEngine.h"
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

const wchar_t* const kTopicPageRoute = L"/api/topic/";
const wchar_t* const kPostsRoute = L"/api/v3/posts/";

// Why the board refuses an edit of the member's own post: "You are only allowed to edit
// posts for 2 second(s) after posting", "Topic Locked".
const std::vector<std::wstring> kEditRefusalPhrases = {L"allowed to edit", L"locked"};

// The highest page number taken from a topic's page data: more than any topic has, and
// still a number a request can carry.
constexpr long long kMostPages = 10000000;

}  // namespace

ResultCode NodeBBEngine::ReadTopicPage(long long tid, int page, nlohmann::json& data) {
    std::wstring path = kTopicPageRoute + std::to_wstring(tid);
    if (page > 1) {
        path += L"?page=" + std::to_wstring(page);
    }
    if (!Call(L"GET", path)) {
        return stop_requested ? kStopped : kConnectionError;
    }
    if (Status() == 404 || Status() == 410) {
        failure_text = FormatText(LoadText(kIdsTopicAnswered), web.status_line);
        return kTopicGone;
    }
    // A guest asking for a topic it may not read gets 401 "not-authorized"; a member, 403.
    if (!signed_in_ && (Status() == 401 || Status() == 403)) {
        failure_text.clear();
        return kSignInNeeded;
    }
    if (Status() == 401) {
        return Refusal(kInvalidLogin);
    }
    if (Status() != 200 || !AnswerJson(data) || !data.is_object() ||
        !data.value("posts", nlohmann::json()).is_array()) {
        return Refusal(kPageError);
    }
    return kOk;
}

ResultCode NodeBBEngine::ReadReplies(const std::wstring& topicUrl, ReplyInfo& info) {
    info = ReplyInfo{};
    failure_text.clear();
    const long long tid = NodeBBTopicOf(topicUrl);
    if (tid <= 0) {
        failure_text = FormatText(LoadText(kIdsNoTopicInAddress), topicUrl);
        return kPageError;
    }
    nlohmann::json page;
    ++info.pages_read;
    ResultCode result = ReadTopicPage(tid, 1, page);
    if (result != kOk) {
        return result;
    }
    // "postcount" counts the first post; the page data names its pages, so only the last
    // one is read for the newest reply.
    const long long postcount = JsonNumber(page.value("postcount", nlohmann::json()), -1);
    const nlohmann::json pagination = page.value("pagination", nlohmann::json::object());
    // A page count no board reaches is taken for the last page a request can name.
    const long long pages = std::min(
        pagination.is_object() ? JsonNumber(pagination.value("pageCount", nlohmann::json()), 1) : 1,
        kMostPages);
    std::wstring slug = JsonText(page.value("slug", nlohmann::json()));
    if (slug.empty()) {
        slug = std::to_wstring(tid);
    }
    info.newest_url = TopicAddress(slug);
    if (pages > 1) {
        ++info.pages_read;
        result = ReadTopicPage(tid, static_cast<int>(pages), page);
        if (result != kOk) {
            return result;
        }
        info.newest_url += L"?page=" + std::to_wstring(pages);
    }
    const nlohmann::json& posts = page["posts"];
    const nlohmann::json last = posts.empty() ? nlohmann::json() : posts.back();
    // posts[].index runs from 0, the first post, so the last one's is the count of replies.
    const long long index =
        last.is_object() ? JsonNumber(last.value("index", nlohmann::json()), -1) : -1;
    info.replies = static_cast<int>(std::clamp<long long>(postcount > 0 ? postcount - 1 : index, 0,
                                                          std::numeric_limits<int>::max()));
    if (index >= 1 && info.replies > 0) {
        const nlohmann::json user = last.value("user", nlohmann::json::object());
        if (user.is_object()) {
            info.newest_author = DecodeEntities(JsonText(user.value("username", nlohmann::json())));
        }
        info.newest_time = JsonNumber(last.value("timestamp", nlohmann::json()), 0) / 1000;
    }
    return kOk;
}

ResultCode NodeBBEngine::EditTopic(const std::wstring& topicUrl, const std::wstring& subject,
                                   const std::wstring& body) {
    failure_text.clear();
    const long long tid = NodeBBTopicOf(topicUrl);
    if (tid <= 0) {
        failure_text = FormatText(LoadText(kIdsNoTopicInAddress), topicUrl);
        return kPageError;
    }
    nlohmann::json page;
    ResultCode result = ReadTopicPage(tid, 1, page);
    if (result == kSignInNeeded) {
        return Refusal(kInvalidLogin);
    }
    if (result != kOk) {
        return result;
    }
    // There is no edit link: the page data says whether the first post (index 0, pid
    // mainPid) is the member's own, and the post is edited through the write API.
    const nlohmann::json& posts = page["posts"];
    const nlohmann::json first = posts.empty() ? nlohmann::json() : posts.front();
    if (!first.is_object() || JsonNumber(first.value("index", nlohmann::json()), -1) != 0) {
        return Refusal(kPageError);
    }
    if (!first.value("selfPost", false)) {
        failure_text = LoadText(kIdsNotOwnFirstPost);
        return kEditRefused;
    }
    const long long pid = JsonNumber(page.value("mainPid", nlohmann::json()),
                                     JsonNumber(first.value("pid", nlohmann::json())));
    const std::wstring content = BBCodeToMarkdown(body, MarkdownFlavour::NodeBB);
    result = CheckLengthLimits(subject, content, limits_.max_title, limits_.max_post);
    if (result == kOk) {
        result = CheckMinimumLengths(subject, content, limits_.min_title, limits_.min_post);
    }
    if (result != kOk) {
        return result;
    }
    // The title is taken only with the topic's main post, which this is.
    const nlohmann::json edit = {{"content", WideToUtf8(content)}, {"title", WideToUtf8(subject)}};
    const std::wstring route = kPostsRoute + std::to_wstring(pid);
    auto read_back = [&](bool& shown) {
        nlohmann::json now;
        const ResultCode read = ReadTopicPage(tid, 1, now);
        shown = read == kOk && CollapseWhitespace(Title(now)) == CollapseWhitespace(subject);
        return read;
    };
    if (Pause(kPauseBeforeSending)) {
        return kStopped;
    }
    for (bool token_renewed = false;;) {
        if (!ClearToSend()) {
            return kStopped;
        }
        if (!SendJsonOnce(L"PUT", route, edit)) {
            return SettleEdit(read_back, true);
        }
        nlohmann::json answer;
        const bool json = AnswerJson(answer) && answer.is_object();
        if (!json && IsTokenRefusal(Status(), web.body) && !token_renewed) {
            token_renewed = true;
            bool signedIn = false;
            result = ReadConfig(signedIn);
            if (result != kOk) {
                return result;
            }
            continue;
        }
        if (Status() >= 500) {
            return SettleEdit(read_back, true);
        }
        if (!json) {
            return Refusal(kUnknownError);
        }
        const std::string code =
            answer.value("status", nlohmann::json::object()).value("code", std::string());
        if (Status() == 200 && code == "ok") {
            return SettleEdit(read_back, false);
        }
        if (Status() == 404 || Status() == 410) {
            return Refusal(kTopicGone);
        }
        if (Status() == 401) {
            return Refusal(kInvalidLogin);
        }
        // 403: another member's post; 400 with the time limit or the lock named.
        if (Status() == 403 || ContainsAnyPhrase(AnswerMessage(), kEditRefusalPhrases)) {
            return Refusal(kEditRefused);
        }
        return Refusal(kNoMessageForm);
    }
}

}  // namespace twk
