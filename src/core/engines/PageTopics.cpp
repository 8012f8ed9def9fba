// The page engines' work on a posted topic: editing its first post and reading its
// replies, with the hooks each script fills in.
#include <algorithm>
#include <cwchar>

#include "engines/BoardText.h"
#include "engines/PageEngine.h"
#include "text/StringTable.h"

namespace twk {

bool PageEngine::FillEditForm(HtmlForm&, const std::wstring&, const std::wstring&) {
    return false;
}

std::wstring PageEngine::EditAddress(int) {
    return {};
}

ResultCode PageEngine::NoEditLink(const PagePost& first, std::wstring& editUrl) {
    // Boards drop the link for a locked topic, a passed time limit or another account's
    // post; the edit address itself answers which.
    editUrl = EditAddress(first.id);
    if (editUrl.empty()) {
        failure_text = LoadText(kIdsNoEditLink);
        return kEditRefused;
    }
    editUrl = page.ResolveUrl(editUrl);
    return kOk;
}

bool PageEngine::ShowsSubject(const std::wstring& subject) {
    std::wstring title;
    if (!page.Title(title)) {
        return false;
    }
    title = CollapseWhitespace(title);
    const std::wstring wanted = CollapseWhitespace(subject);
    if (wanted.empty() || !title.starts_with(wanted)) {
        return false;
    }
    const std::wstring rest = title.substr(wanted.size());
    return rest.empty() || rest.starts_with(L" - ") || rest.starts_with(L" | ") ||
           rest.starts_with(L" \x2014 ");
}

void PageEngine::ReadNewestPost(const PagePost&, ReplyInfo&) {}

int64_t PageEngine::ParseIsoTime(const std::wstring& text) {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    wchar_t sign = 0;
    int zone_hours = 0, zone_minutes = 0;
    const int read = swscanf(text.c_str(), L"%4d-%2d-%2dT%2d:%2d:%2d%lc%2d:%2d", &year, &month,
                             &day, &hour, &minute, &second, &sign, &zone_hours, &zone_minutes);
    if (read < 6 || month < 1 || month > 12 || day < 1 || day > 31) {
        return 0;
    }
    // Days since 1970-01-01 of a civil date (proleptic Gregorian).
    const int y = year - (month <= 2 ? 1 : 0);
    const int era = (y >= 0 ? y : y - 399) / 400;
    const int year_of_era = y - era * 400;
    const int day_of_year = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const int day_of_era = year_of_era * 365 + year_of_era / 4 - year_of_era / 100 + day_of_year;
    const int64_t days = static_cast<int64_t>(era) * 146097 + day_of_era - 719468;
    int64_t seconds = days * 86400 + hour * 3600 + minute * 60 + second;
    if (read == 9 && (sign == L'+' || sign == L'-')) {
        const int64_t offset = zone_hours * 3600 + zone_minutes * 60;
        seconds += sign == L'+' ? -offset : offset;
    }
    return seconds;
}

ResultCode PageEngine::OpenTopicPage(const std::wstring& url) {
    const ResultCode result = OpenUrl(url, false);
    if (result != kConnectionError || web.status_code < 400) {
        return result;
    }
    const std::wstring lost = failure_text;
    if (!web.body.empty()) {
        page.Load(web);
    }
    const std::wstring words = web.body.empty() ? std::wstring() : BoardMessage(false);
    if (web.status_code == 404 || web.status_code == 410) {
        failure_text =
            !words.empty() ? words : FormatText(LoadText(kIdsTopicAnswered), web.status_code);
        return kTopicGone;
    }
    // A board that answers with its own message box speaks for itself; a server's error
    // page is a failed read.
    if (words.empty()) {
        failure_text = lost;
        return kConnectionError;
    }
    failure_text.clear();
    return kOk;
}

std::wstring PageEngine::TopicPageMessage() {
    return BoardMessage();
}

bool PageEngine::AsksForSignIn() {
    HtmlForm scratch;
    return FindForm(scratch, [&](HtmlForm& candidate) {
        return FillSignInForm(candidate, std::wstring(), std::wstring());
    });
}

std::vector<PagePost> PageEngine::FindPosts(const TopicSteps& steps) {
    std::vector<PagePost> posts;
    const std::wstring& prefix = steps.post_id_prefix;
    for (HtmlCursor at = page.FindElement(0, steps.post_tag); !at.AtEnd();
         at = page.FindNextElement(steps.post_tag, at, false)) {
        const std::wstring id = page.ElementAttribute(at, "id");
        if (id.size() <= prefix.size() || id.size() > prefix.size() + 9 ||
            !id.starts_with(prefix) ||
            !std::all_of(id.begin() + static_cast<std::ptrdiff_t>(prefix.size()), id.end(),
                         [](wchar_t c) { return c >= L'0' && c <= L'9'; })) {
            continue;
        }
        posts.push_back(PagePost{at, std::stoi(id.substr(prefix.size()))});
    }
    return posts;
}

int PageEngine::PageValue(const std::wstring& url, const TopicSteps& steps) {
    return steps.page_param.empty() ? -1 : NumericQueryParam(url, steps.page_param);
}

int PageEngine::PostsBefore(const std::wstring&, int value, int perPage, const TopicSteps& steps) {
    return steps.page_param_counts_posts ? value : perPage * (value - 1);
}

bool PageEngine::LastPageLink(const TopicSteps& steps, int& value, std::wstring& url) {
    bool found = false;
    for (int i = 0; page.SelectLink(i); ++i) {
        const std::wstring link = page.LinkUrl();
        const int linked = PageValue(link, steps);
        if (linked <= value) {
            continue;
        }
        // Only the topic's own pagination: the page also links other topics and searches.
        bool inside = steps.pagination_boxes.empty();
        const HtmlCursor saved = page.element_cursor;
        for (const ElementMatch& box : steps.pagination_boxes) {
            page.element_cursor = page.link_cursor;
            while (!inside && page.SelectAncestor(box.tag)) {
                inside = Matches(page.element_cursor, box);
            }
        }
        page.element_cursor = saved;
        if (inside) {
            value = linked;
            url = link;
            found = true;
        }
    }
    return found;
}

ResultCode PageEngine::NotTopicPage(const TopicSteps& steps, ResultCode code, bool askSignIn) {
    failure_text = TopicPageMessage();
    const bool gone = ContainsAnyPhrase(failure_text, steps.gone_phrases);
    if (askSignIn && !signed_in_ && (steps.guest_refusal_asks_sign_in ? !gone : AsksForSignIn())) {
        return kSignInNeeded;
    }
    if (gone) {
        return kTopicGone;
    }
    if (failure_text.empty() && code == kPageError) {
        failure_text = LoadText(kIdsNoPostsShown);
    }
    return code;
}

ResultCode PageEngine::ReadTopicReplies(const std::wstring& topicUrl, ReplyInfo& info,
                                        const TopicSteps& steps) {
    info = ReplyInfo{};
    failure_text.clear();
    ResultCode result = OpenTopicPage(topicUrl);
    if (result != kOk) {
        return result;
    }
    ++info.pages_read;
    std::vector<PagePost> posts = FindPosts(steps);
    if (posts.empty()) {
        return NotTopicPage(steps, kPageError, true);
    }
    // Posts before the page shown: none on the first page.
    int before = 0;
    int value = PageValue(web.current_url, steps);
    std::wstring last_url;
    const size_t per_page = posts.size();
    if (LastPageLink(steps, value, last_url)) {
        result = OpenTopicPage(last_url);
        if (result != kOk) {
            return result;
        }
        ++info.pages_read;
        posts = FindPosts(steps);
        if (posts.empty()) {
            return NotTopicPage(steps, kPageError, false);
        }
        before = PostsBefore(last_url, value, static_cast<int>(per_page), steps);
    }
    info.replies = before + static_cast<int>(posts.size()) - 1;
    info.newest_url = WithoutSessionId(web.current_url);
    if (info.replies > 0) {
        ReadNewestPost(posts.back(), info);
    }
    return kOk;
}

ResultCode PageEngine::EditFirstPost(const std::wstring& topicUrl, const std::wstring& subject,
                                     const std::wstring& body, const TopicSteps& steps) {
    failure_text.clear();
    ResultCode result = OpenTopicPage(topicUrl);
    if (result != kOk) {
        return result;
    }
    const std::vector<PagePost> posts = FindPosts(steps);
    if (posts.empty()) {
        return NotTopicPage(steps, kPageError, false);
    }
    // Only the first post's own link: replies of the same account carry edit links too.
    const int first = posts.front().id;
    std::wstring edit_url;
    for (int i = 0; edit_url.empty() && page.SelectLink(i); ++i) {
        const std::wstring link = page.LinkUrl();
        const std::wstring number = std::to_wstring(first);
        for (const std::wstring& pattern : steps.edit_link_patterns) {
            if (!steps.edit_post_param.empty()) {
                if (link.find(pattern) != std::wstring::npos &&
                    NumericQueryParam(link, steps.edit_post_param) == first) {
                    edit_url = link;
                }
                continue;
            }
            const size_t at = link.find(pattern);
            const size_t end = at + pattern.size() + number.size();
            if (at != std::wstring::npos &&
                link.compare(at + pattern.size(), number.size(), number) == 0 &&
                (end == link.size() || link[end] < L'0' || link[end] > L'9')) {
                edit_url = link;
            }
        }
    }
    if (edit_url.empty()) {
        result = NoEditLink(posts.front(), edit_url);
        if (result != kOk) {
            return result;
        }
    }
    result = OpenTopicPage(edit_url);
    if (result != kOk) {
        return result;
    }
    HtmlForm form;
    failure_text.clear();
    if (!FillEditForm(form, subject, body)) {
        // A form that will not do says why; a page without one speaks for itself.
        const std::wstring why = failure_text;
        result = NotTopicPage(steps, kEditRefused, false);
        if (result == kEditRefused && !why.empty()) {
            failure_text = why;
        }
        return result;
    }
    result = CheckDeclaredLimits(form, subject, body);
    if (result != kOk) {
        return result;
    }
    if (Pause(steps.pause_before)) {
        return kStopped;
    }
    result = SubmitForm(form, false, true);
    if (result == kStopped) {
        return result;
    }
    std::wstring answer;
    if (result == kConnectionError && web.status_code >= 400 && !web.body.empty()) {
        const std::wstring lost = failure_text;
        page.Load(web);
        answer = BoardMessage(false);
        if (answer.empty()) {
            failure_text = lost;
        } else {
            // The board refused the edit on an error page (SMF's 403).
            result = NotTopicPage(steps, kEditRefused, false);
            return ContainsAnyPhrase(failure_text, words_.moderation_phrases) ? kCheckResult
                                                                              : result;
        }
    }
    if (result == kOk) {
        answer = BoardMessage();
        if (ContainsAnyPhrase(answer, words_.moderation_phrases)) {
            failure_text = answer;
            return kCheckResult;
        }
        // The form drawn again holds the board's objection (an invalid form, an empty
        // field, a subject too long).
        HtmlForm again;
        if (FillEditForm(again, subject, body)) {
            failure_text = answer;
            return kCheckResult;
        }
    }
    // The answer alone proves nothing (it may be the topic drawn before the edit was
    // stored, or lost): the topic, read again, must show the new subject.
    const std::wstring lost = result == kOk ? std::wstring() : failure_text;
    const ResultCode read = OpenTopicPage(topicUrl);
    if (read == kOk && ShowsSubject(subject)) {
        failure_text.clear();
        return kOk;
    }
    if (!lost.empty()) {
        failure_text = lost;
    } else if (read != kOk && read != kTopicGone) {
        // failure_text says why the topic could not be read again.
    } else {
        failure_text = answer.empty() ? LoadText(kIdsOldSubjectStillShown)
                                      : FormatText(LoadText(kIdsAnsweredOldSubject), answer);
    }
    return kCheckResult;
}

}  // namespace twk
