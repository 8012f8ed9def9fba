// The topic steps of the vBulletin engine: reading a topic's replies and editing its first
// post, for vBulletin 3 and 4 alike, through PageEngine's shared steps.
#include <ctime>

#include "engines/BoardText.h"
#include "engines/PostTime.h"
#include "engines/VBulletinEngine.h"
#include "text/StringTable.h"

namespace twk {
namespace {

const wchar_t* const kTopicPage = L"showthread.php";

bool HasClass(const std::wstring& classes, const std::wstring& name) {
    const std::wstring spaced = L" " + CollapseWhitespace(classes) + L" ";
    return spaced.find(L" " + name + L" ") != std::wstring::npos;
}

}  // namespace

int VBulletinEngine::PageValue(const std::wstring& url, const TopicSteps& steps) {
    // The page navigation links every page ("showthread.php?t=13217&page=2", the last one
    // with "Last Page" in its title); other threads' links are not this thread's pages.
    if (url.find(kTopicPage) == std::wstring::npos ||
        (thread_ >= 0 && NumericQueryParam(url, L"t") != thread_)) {
        return -1;
    }
    return PageEngine::PageValue(url, steps);
}

void VBulletinEngine::ReadNewestPost(const PagePost& post, ReplyInfo& info) {
    // The author's link follows the post's number: class "bigusername" in vBulletin 3,
    // "username" in 4. The date stands in the post's head, beside <a name="post<id>">: in
    // the head's cell (3) or block (4).
    for (HtmlCursor at = page.FindNextElement("a", post.element, false); !at.AtEnd();
         at = page.FindNextElement("a", at, false)) {
        const std::wstring classes = page.ElementAttribute(at, "class");
        if (HasClass(classes, L"bigusername") || HasClass(classes, L"username")) {
            info.newest_author = CollapseWhitespace(page.ReadableText(at));
            break;
        }
    }
    const int64_t now = static_cast<int64_t>(std::time(nullptr));
    const std::wstring name = L"post" + std::to_wstring(post.id);
    for (HtmlCursor at = page.FindElement(0, "a"); !at.AtEnd();
         at = page.FindNextElement("a", at, false)) {
        if (page.ElementAttribute(at, "name") != name) {
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

std::wstring VBulletinEngine::EditAddress(int postId) {
    // Without an Edit button the edit page itself says why (closed thread, time limit, no
    // permission).
    return L"editpost.php?do=editpost&p=" + std::to_wstring(postId);
}

bool VBulletinEngine::FillEditForm(HtmlForm& form, const std::wstring& subject,
                                   const std::wstring& body) {
    // The edit form beside the page's delete form: "title", "message", "sbutton".
    if (!FindForm(form, [&](HtmlForm& candidate) {
            return SetFieldValue(candidate.fields, L"message", body, false) &&
                   FindField(candidate.fields, L"sbutton", kFieldSubmit, false) != kNoField;
        })) {
        return false;
    }
    const size_t title = FindField(form.fields, L"title", kFieldText, false);
    if (title == kNoField) {
        failure_text = LoadText(kIdsEditFormNoSubject);
        return false;
    }
    form.fields[title].value = subject;
    PressButton(form.fields, FindField(form.fields, L"sbutton", kFieldSubmit, false));
    // The message is BBCode, not the WYSIWYG editor's HTML (as for a new thread).
    SetFieldValue(form.fields, L"wysiwyg", L"0", false);
    return true;
}

}  // namespace twk
