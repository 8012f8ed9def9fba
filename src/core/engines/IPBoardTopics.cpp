// The topic steps of the IPBoard engine: reading a topic's replies and editing its first
// post, for Invision Power Board 2 and IP.Board 3 alike.
#include <algorithm>
#include <ctime>

#include "engines/BoardText.h"
#include "engines/IPBoardEngine.h"
#include "text/StringTable.h"

namespace twk {
namespace {

// Board 2 edit links read "act=post&do=edit_post" (2.1: "act=Post&CODE=08"), IP.Board 3
// links "module=post&section=post&do=edit_post"; each names the post as "p=".
const std::vector<std::wstring> kEditLinks = {L"do=edit_post", L"CODE=08"};
const wchar_t* const kReplyLink = L"do=reply_post";

// The topic a link belongs to: "showtopic=N", or "/topic/N-" in friendly addresses; -1.
int TopicOf(const std::wstring& url) {
    const int shown = NumericQueryParam(url, L"showtopic");
    if (shown >= 0) {
        return shown;
    }
    const size_t at = url.find(L"/topic/");
    if (at == std::wstring::npos) {
        return -1;
    }
    int number = -1;
    for (size_t i = at + 7; i < url.size() && url[i] >= L'0' && url[i] <= L'9'; ++i) {
        number = (number < 0 ? 0 : number * 10) + (url[i] - L'0');
    }
    return number;
}

// The number after marker in url ("page__st__40", "/page-3"); -1 when absent.
int NumberAfter(const std::wstring& url, const std::wstring& marker) {
    const size_t at = url.find(marker);
    if (at == std::wstring::npos) {
        return -1;
    }
    int number = -1;
    for (size_t i = at + marker.size(); i < url.size() && url[i] >= L'0' && url[i] <= L'9'; ++i) {
        number = (number < 0 ? 0 : number * 10) + (url[i] - L'0');
    }
    return number;
}

// How many posts come before the page a link opens: board 2 and IP.Board 3.0-3.3 count
// them ("st=40", "page__st__40"), IP.Board 3.4 numbers pages ("page=3", "/page-3"). 0 for
// the first page.
int OffsetOf(const std::wstring& url, int perPage) {
    int start = NumericQueryParam(url, L"st");
    if (start < 0) {
        start = NumberAfter(url, L"page__st__");
    }
    if (start >= 0) {
        return start;
    }
    int number = NumericQueryParam(url, L"page");
    if (number < 0) {
        number = NumberAfter(url, L"/page-");
    }
    return number > 1 ? (number - 1) * perPage : 0;
}

}  // namespace

bool IPBoardEngine::HasPosts() {
    return !PostAnchors().empty();
}

std::vector<HtmlCursor> IPBoardEngine::PostAnchors() const {
    // <a name="entry123"></a> (board 2) or <a id='entry123'></a> (IP.Board 3).
    std::vector<HtmlCursor> anchors;
    for (HtmlCursor at = page.FindElement(0, "a"); !at.AtEnd();
         at = page.FindNextElement("a", at, false)) {
        for (const char* attribute : {"name", "id"}) {
            const std::wstring value = page.ElementAttribute(at, attribute);
            if (value.size() > 5 && value.rfind(L"entry", 0) == 0 && value[5] >= L'0' &&
                value[5] <= L'9') {
                anchors.push_back(at);
                break;
            }
        }
    }
    return anchors;
}

std::wstring IPBoardEngine::PostAuthor(HtmlCursor anchor) {
    // The member's profile link heads the post: "showuser=7", or "/user/7-name/".
    for (HtmlCursor at = page.FindNextElement("a", anchor, false); !at.AtEnd();
         at = page.FindNextElement("a", at, false)) {
        const std::wstring href = page.ElementAttribute(at, "href");
        if (href.find(L"showuser=") != std::wstring::npos ||
            href.find(L"/user/") != std::wstring::npos) {
            return CollapseWhitespace(page.ReadableText(at));
        }
    }
    return {};
}

int64_t IPBoardEngine::PostTime(HtmlCursor anchor) const {
    const int64_t now = static_cast<int64_t>(std::time(nullptr));
    // IP.Board 3: <abbr class="published" title="2013-03-02T10:45:13+00:00">.
    for (HtmlCursor at = page.FindNextElement("abbr", anchor, false); !at.AtEnd();
         at = page.FindNextElement("abbr", at, false)) {
        const int64_t time = ParsePostTime(page.ElementAttribute(at, "title"), now);
        if (time != 0) {
            return time;
        }
    }
    // Board 2: <span class="postdetails">Posted: Dec 24 2005, 10:33 AM</span>.
    for (HtmlCursor at = page.FindNextElement("span", anchor, false); !at.AtEnd();
         at = page.FindNextElement("span", at, false)) {
        if (page.ElementAttribute(at, "class") == L"postdetails") {
            return ParsePostTime(page.ReadableText(at), now);
        }
    }
    return 0;
}

ResultCode IPBoardEngine::ReadReplies(const std::wstring& topicUrl, ReplyInfo& info) {
    info = ReplyInfo{};
    ResultCode result = OpenTopicPage(topicUrl, &info.pages_read);
    if (result != kOk) {
        return result;
    }
    // The page links ("Last »" among them) name how many posts come before their page; the
    // furthest one is the last page.
    const int perPage = static_cast<int>(PostAnchors().size());
    const int topic = TopicOf(topicUrl);
    const int current = OffsetOf(web.current_url, perPage);
    int offset = current;
    std::wstring lastUrl = topicUrl;
    for (int i = 0; page.SelectLink(i); ++i) {
        const std::wstring url = page.LinkUrl();
        const int start = OffsetOf(url, perPage);
        if (start > offset && (topic < 0 || TopicOf(url) == topic) &&
            url.find(L"view=") == std::wstring::npos) {
            offset = start;
            lastUrl = url;
        }
    }
    if (offset > current) {
        result = OpenTopicPage(lastUrl, &info.pages_read);
        if (result != kOk) {
            return result;
        }
    }
    const std::vector<HtmlCursor> anchors = PostAnchors();
    info.replies = offset + static_cast<int>(anchors.size()) - 1;
    info.newest_url = WithoutSessionId(lastUrl);
    if (info.replies > 0) {
        info.newest_author = PostAuthor(anchors.back());
        info.newest_time = PostTime(anchors.back());
    }
    return kOk;
}

ResultCode IPBoardEngine::EditLinkMissing(HtmlCursor firstPost) {
    const std::wstring author = PostAuthor(firstPost);
    if (!author.empty() && !login_.empty() && author != CollapseWhitespace(login_)) {
        failure_text = LoadFormatted(kIdsEditNotOwnPost, author);
        return kEditRefused;
    }
    // A locked topic offers no reply and says so where the reply button would be.
    if (!FindLink({kReplyLink})) {
        failure_text = BoardMessage(false);
        if (!failure_text.empty()) {
            return kEditRefused;
        }
    }
    failure_text = LoadText(kIdsEditLinkMissing);
    return kEditRefused;
}

ResultCode IPBoardEngine::EditTopic(const std::wstring& topicUrl, const std::wstring& subject,
                                    const std::wstring& body) {
    ResultCode result = OpenTopicPage(topicUrl);
    if (result != kOk) {
        return result == kSignInNeeded ? kPageError : result;
    }
    const HtmlCursor first = PostAnchors().front();
    std::wstring id = page.ElementAttribute(first, "name");
    if (id.rfind(L"entry", 0) != 0) {
        id = page.ElementAttribute(first, "id");
    }
    const int postId = NumericQueryParam(L"?p=" + id.substr(5), L"p");
    // The board shows the Edit button only where the account may edit the post.
    bool found = false;
    for (int i = 0; !found && page.SelectLink(i); ++i) {
        const std::wstring url = page.LinkUrl();
        found = NumericQueryParam(url, L"p") == postId &&
                std::any_of(kEditLinks.begin(), kEditLinks.end(), [&](const std::wstring& link) {
                    return url.find(link) != std::wstring::npos;
                });
    }
    if (!found) {
        return EditLinkMissing(first);
    }
    result = OpenUrl(page.LinkUrl(), false);
    if (result != kOk) {
        return result;
    }
    HtmlForm form;
    if (!FindForm(form, [&](HtmlForm& candidate) {
            return SetFieldValue(candidate.fields, L"Post", body, true) &&
                   FindField(candidate.fields, L"dosubmit", kFieldSubmit, false) != kNoField;
        })) {
        return EditRefusedHere();
    }
    // The title field is there only when the post opens the topic and the account may
    // retitle it.
    const size_t title = FindField(form.fields, L"TopicTitle", kFieldText, false);
    if (title == kNoField) {
        failure_text = LoadText(kIdsEditFormNoSubject);
        return kEditRefused;
    }
    result = CheckLengthLimits(subject, body, form.fields[title].max_length, -1);
    if (result != kOk) {
        return result;
    }
    form.fields[title].value = subject;
    PressButton(form.fields, FindField(form.fields, L"dosubmit", kFieldSubmit, false));
    return SendEdit(form, topicUrl, subject);
}

}  // namespace twk
