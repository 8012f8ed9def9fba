// The topic steps of the vBulletin engine: reading a topic's replies and editing its first
// post, for vBulletin 3 and 4 alike.
#include <algorithm>
#include <ctime>

#include "engines/BoardText.h"
#include "engines/VBulletinEngine.h"
#include "text/StringTable.h"

namespace twk {
namespace {

const wchar_t* const kEditLink = L"editpost.php";
const wchar_t* const kEditStep = L"do=editpost";
const wchar_t* const kTopicPage = L"showthread.php";

bool HasClass(const std::wstring& classes, const std::wstring& name) {
    const std::wstring spaced = L" " + CollapseWhitespace(classes) + L" ";
    return spaced.find(L" " + name + L" ") != std::wstring::npos;
}

int NumberIn(const std::wstring& text) {
    int value = 0;
    bool seen = false;
    for (wchar_t c : text) {
        if (c >= L'0' && c <= L'9') {
            value = value * 10 + (c - L'0');
            seen = true;
        } else if (seen) {
            break;
        }
    }
    return seen ? value : 0;
}

}  // namespace

bool VBulletinEngine::HasPosts() {
    return !PostMarks().empty();
}

std::vector<VBulletinEngine::PostMark> VBulletinEngine::PostMarks() const {
    // Each post carries <a id="postcount<post id>" name="<number>">, the number also being
    // the link text in vBulletin 3 ("#<strong>3</strong>").
    std::vector<PostMark> marks;
    const std::wstring prefix = L"postcount";
    for (HtmlCursor at = page.FindElement(0, "a"); !at.AtEnd();
         at = page.FindNextElement("a", at, false)) {
        const std::wstring id = page.ElementAttribute(at, "id");
        if (id.rfind(prefix, 0) != 0 || id.size() == prefix.size()) {
            continue;
        }
        int number = NumberIn(page.ElementAttribute(at, "name"));
        if (number == 0) {
            number = NumberIn(page.ReadableText(at));
        }
        if (number > 0) {
            marks.push_back(PostMark{id.substr(prefix.size()), number});
        }
    }
    return marks;
}

void VBulletinEngine::ReadNewestPost(const PostMark& post, ReplyInfo& info) {
    // The author's link follows the post's number: class "bigusername" in vBulletin 3,
    // "username" in 4. The date stands in the post's head, beside <a name="post<id>">: in
    // the head's cell (3) or block (4).
    bool inPost = false;
    for (HtmlCursor at = page.FindElement(0, "a"); !at.AtEnd();
         at = page.FindNextElement("a", at, false)) {
        if (page.ElementAttribute(at, "id") == L"postcount" + post.id) {
            inPost = true;
            continue;
        }
        const std::wstring classes = page.ElementAttribute(at, "class");
        if (inPost && (HasClass(classes, L"bigusername") || HasClass(classes, L"username"))) {
            info.newest_author = CollapseWhitespace(page.ReadableText(at));
            break;
        }
    }
    const int64_t now = static_cast<int64_t>(std::time(nullptr));
    for (HtmlCursor at = page.FindElement(0, "a"); !at.AtEnd();
         at = page.FindNextElement("a", at, false)) {
        if (page.ElementAttribute(at, "name") != L"post" + post.id) {
            continue;
        }
        for (const char* holder : {"td", "div"}) {
            page.element_cursor = at;
            if (page.SelectAncestor(holder)) {
                info.newest_time = ParsePostTime(page.ReadableText(page.element_cursor), now);
                if (info.newest_time != 0) {
                    return;
                }
            }
        }
        return;
    }
}

ResultCode VBulletinEngine::ReadReplies(const std::wstring& topicUrl, ReplyInfo& info) {
    info = ReplyInfo{};
    ResultCode result = OpenTopicPage(topicUrl, &info.pages_read);
    if (result != kOk) {
        return result;
    }
    // The page navigation links every page ("showthread.php?t=13217&page=2", the last
    // one with "Last Page" in its title); the highest page number is the last page.
    const int topic = NumericQueryParam(topicUrl, L"t");
    const int current = std::max(1, NumericQueryParam(web.current_url, L"page"));
    int lastPage = current;
    std::wstring lastUrl = topicUrl;
    for (int i = 0; page.SelectLink(i); ++i) {
        const std::wstring url = page.LinkUrl();
        const int number = NumericQueryParam(url, L"page");
        if (url.find(kTopicPage) != std::wstring::npos && number > lastPage &&
            (topic < 0 || NumericQueryParam(url, L"t") == topic)) {
            lastPage = number;
            lastUrl = url;
        }
    }
    if (lastPage > current) {
        result = OpenTopicPage(lastUrl, &info.pages_read);
        if (result != kOk) {
            return result;
        }
    }
    const std::vector<PostMark> marks = PostMarks();
    const PostMark newest =
        *std::max_element(marks.begin(), marks.end(),
                          [](const PostMark& a, const PostMark& b) { return a.number < b.number; });
    info.replies = newest.number - 1;
    info.newest_url = WithoutSessionId(lastUrl);
    if (info.replies > 0) {
        ReadNewestPost(newest, info);
    }
    return kOk;
}

ResultCode VBulletinEngine::EditTopic(const std::wstring& topicUrl, const std::wstring& subject,
                                      const std::wstring& body) {
    ResultCode result = OpenTopicPage(topicUrl);
    if (result != kOk) {
        return result == kSignInNeeded ? kPageError : result;
    }
    const std::vector<PostMark> marks = PostMarks();
    const PostMark first =
        *std::min_element(marks.begin(), marks.end(),
                          [](const PostMark& a, const PostMark& b) { return a.number < b.number; });
    const int firstId = NumberIn(first.id);
    // vBulletin shows the Edit button only where the account may edit; without one its
    // edit page says why (closed thread, time limit, no permission).
    std::wstring editUrl;
    for (int i = 0; editUrl.empty() && page.SelectLink(i); ++i) {
        const std::wstring url = page.LinkUrl();
        if (url.find(kEditLink) != std::wstring::npos &&
            url.find(kEditStep) != std::wstring::npos && NumericQueryParam(url, L"p") == firstId) {
            editUrl = url;
        }
    }
    if (editUrl.empty()) {
        editUrl = page.ResolveUrl(std::wstring(kEditLink) + L"?" + kEditStep + L"&p=" + first.id);
    }
    result = OpenUrl(editUrl, false);
    if (result != kOk) {
        return result;
    }
    // The edit form beside the page's delete form: "title", "message", "sbutton".
    HtmlForm form;
    const bool found = FindForm(form, [&](HtmlForm& candidate) {
        return SetFieldValue(candidate.fields, L"message", body, false) &&
               FindField(candidate.fields, L"sbutton", kFieldSubmit, false) != kNoField;
    });
    if (!found) {
        return EditRefusedHere();
    }
    const size_t title = FindField(form.fields, L"title", kFieldText, false);
    if (title == kNoField) {
        failure_text = LoadText(kIdsEditFormNoSubject);
        return kEditRefused;
    }
    result = CheckLengthLimits(subject, body, form.fields[title].max_length, -1);
    if (result != kOk) {
        return result;
    }
    form.fields[title].value = subject;
    PressButton(form.fields, FindField(form.fields, L"sbutton", kFieldSubmit, false));
    // The message is BBCode, not the WYSIWYG editor's HTML (as for a new thread).
    SetFieldValue(form.fields, L"wysiwyg", L"0", false);
    return SendEdit(form, topicUrl, subject);
}

}  // namespace twk
