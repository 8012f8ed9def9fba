// The topic steps of the IPBoard engine: reading a topic's replies and editing its first
// post, for Invision Power Board 2 and IP.Board 3 alike, through PageEngine's shared steps.
#include <ctime>

#include "engines/BoardText.h"
#include "engines/IPBoardEngine.h"
#include "engines/PostTime.h"
#include "text/StringTable.h"

namespace twk {
namespace {

const wchar_t* const kReplyLink = L"do=reply_post";

// The number after marker in url ("showtopic=5", "page__st__40", "/page-3"); -1 when
// absent.
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

// The posts before a page, where its address counts them: board 2 and IP.Board 3.0-3.3
// ("st=40", "page__st__40"); -1 when it numbers pages instead.
int CountedStart(const std::wstring& url) {
    const int start = NumericQueryParam(url, L"st");
    return start >= 0 ? start : NumberAfter(url, L"page__st__");
}

}  // namespace

int IPBoardEngine::TopicOf(const std::wstring& url) {
    const int shown = NumericQueryParam(url, L"showtopic");
    return shown >= 0 ? shown : NumberAfter(url, L"/topic/");
}

std::vector<PagePost> IPBoardEngine::FindPosts(const TopicSteps&) {
    // <a name="entry123"></a> (board 2) or <a id='entry123'></a> (IP.Board 3) before each
    // post.
    std::vector<PagePost> posts;
    for (HtmlCursor at = page.FindElement(0, "a"); !at.AtEnd();
         at = page.FindNextElement("a", at, false)) {
        for (const char* attribute : {"name", "id"}) {
            const std::wstring value = page.ElementAttribute(at, attribute);
            const int number = NumberAfter(value, L"entry");
            if (value.starts_with(L"entry") && number >= 0) {
                posts.push_back(PagePost{at, number});
                break;
            }
        }
    }
    return posts;
}

int IPBoardEngine::PageValue(const std::wstring& url, const TopicSteps&) {
    // Only the read topic's page links; "view=getlastpost" and the like lead elsewhere.
    if ((topic_ >= 0 && TopicOf(url) != topic_) || url.find(L"view=") != std::wstring::npos) {
        return -1;
    }
    const int start = CountedStart(url);
    if (start >= 0) {
        return start;
    }
    // IP.Board 3.4 numbers its pages ("page=3", "/page-3").
    const int number = NumericQueryParam(url, L"page");
    return number >= 0 ? number : NumberAfter(url, L"/page-");
}

int IPBoardEngine::PostsBefore(const std::wstring& pageUrl, int value, int perPage,
                               const TopicSteps&) {
    return CountedStart(pageUrl) >= 0 ? value : perPage * (value - 1);
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

void IPBoardEngine::ReadNewestPost(const PagePost& post, ReplyInfo& info) {
    info.newest_author = PostAuthor(post.element);
    info.newest_time = PostTime(post.element);
}

ResultCode IPBoardEngine::NoEditLink(const PagePost& first, std::wstring&) {
    // The board shows the Edit button only where the account may edit the post: another
    // member's post, a locked topic or (neither shown) the time limit.
    const std::wstring author = PostAuthor(first.element);
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

bool IPBoardEngine::FillEditForm(HtmlForm& form, const std::wstring& subject,
                                 const std::wstring& body) {
    if (!FindForm(form, [&](HtmlForm& candidate) {
            return SetFieldValue(candidate.fields, L"Post", body, true) &&
                   FindField(candidate.fields, L"dosubmit", kFieldSubmit, false) != kNoField;
        })) {
        return false;
    }
    // The title field is there only when the post opens the topic and the account may
    // retitle it.
    const size_t title = FindField(form.fields, L"TopicTitle", kFieldText, false);
    if (title == kNoField) {
        failure_text = LoadText(kIdsEditFormNoSubject);
        return false;
    }
    form.fields[title].value = subject;
    PressButton(form.fields, FindField(form.fields, L"dosubmit", kFieldSubmit, false));
    return true;
}

}  // namespace twk
