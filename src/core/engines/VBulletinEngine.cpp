#include "engines/VBulletinEngine.h"

#include <cwctype>

#include "engines/BoardText.h"

namespace twk {

namespace {

const wchar_t* const kSignOutPattern = L"?do=logout";
const wchar_t* const kNewTopicPattern = L"/newthread.php?do=newthread";
const wchar_t* const kSectionPattern = L"forumdisplay.php?f=";
const wchar_t* const kReplyPattern = L"/newreply.php";

// Where the board speaks: the error list above a form sent back ("The following errors
// occurred with your submission", a table in vBulletin 3, a block in 4), vBulletin 4's
// standard_error and error rows, and vBulletin 3's message panel (standard error and
// redirect pages alike).
const BoardWords kWords = {
    {
        {{"table"}, {}, L"The following errors occurred with your submission"},
        {{"div"}, {}, L"The following errors occurred with your submission"},
        {{"div", "class", L"standard_error"}},
        {{"div", "class", L"blockrow error"}},
        {{"div", "class", L"panel"}, {{"td", "class", L"panelsurround"}}},
    },
    // "This forum requires that you wait 30 seconds between posts. Please try again in 12
    // seconds."
    // Russian boards: "... подождали 30 секунд между сообщениями ...".
    {L"between posts", L"flood", L"между сообщениями"},
    // "Thank you for posting! Your post will not be visible until a moderator has approved
    // it for posting."
    {L"until a moderator has approved", L"approved by a moderator", L"awaiting moderation",
     L"проверки модератором"},
};

// A board that still knows us from an earlier visit shows no sign-in form; signing out once
// brings the guest page (vBulletin's "cookies cleared" page) that carries it. The answer to
// the form is the "Thank you for logging in" page, without a navigation bar; the page it
// refreshes to shows whether the board took the account. There is no separate sign-in page.
const SignInSteps kSignIn = {
    {kSignOutPattern}, {}, {}, false, false, 0, true,
};

// Thread pages: each post carries <a id="postcount<post id>">, the first one on page 1 the
// thread's first post; its Edit button "editpost.php?do=editpost&p=<post id>" is there only
// where the account may edit. Page links "showthread.php?t=T&page=N" (PageValue tells them
// from other threads'). "Invalid Thread specified. If you followed a valid link, please
// notify the administrator", and the same for a post; Russian boards: "Неверно указана
// тема." Guest pages carry the sign-in form, so a thread refused to a guest asks for one.
const TopicSteps kTopic = {
    .post_tag = "a",
    .post_id_prefix = L"postcount",
    .edit_link_patterns = {L"do=editpost&p="},
    .pause_before = 15,
    .page_param = L"page",
    .page_param_counts_posts = false,
    .gone_phrases = {L"invalid thread specified", L"invalid post specified", L"no thread specified",
                     L"неверно указана тема", L"неверно указано сообщение"},
    .guest_refusal_asks_sign_in = true,
};

const NewTopicSteps kNewTopic = {
    {kNewTopicPattern}, kReplyPattern, kTopic.pause_before, 3, kNoMessageForm,
};

// Forum cells of the board index carry ids "f" + forum number.
bool IsForumCellId(const std::wstring& id) {
    return !id.empty() && id[0] == L'f';
}

// Link texts and titles come with the indentation of the page source around them.
std::wstring Trimmed(const std::wstring& text) {
    size_t first = 0;
    while (first < text.size() && std::iswspace(text[first])) {
        ++first;
    }
    size_t last = text.size();
    while (last > first && std::iswspace(text[last - 1])) {
        --last;
    }
    return text.substr(first, last - first);
}

}  // namespace

VBulletinEngine::VBulletinEngine() : PageEngine(kWords) {}

ResultCode VBulletinEngine::EditTopic(const std::wstring& topicUrl, const std::wstring& subject,
                                      const std::wstring& body) {
    thread_ = NumericQueryParam(topicUrl, L"t");
    return EditFirstPost(topicUrl, subject, body, kTopic);
}

ResultCode VBulletinEngine::ReadReplies(const std::wstring& topicUrl, ReplyInfo& info) {
    thread_ = NumericQueryParam(topicUrl, L"t");
    return ReadTopicReplies(topicUrl, info, kTopic);
}

ResultCode VBulletinEngine::SignIn(const std::wstring& login, const std::wstring& password,
                                   std::wstring& forumTitle) {
    return SignInWithForm(kSignIn, login, password, forumTitle);
}

bool VBulletinEngine::FillSignInForm(HtmlForm& form, const std::wstring& login,
                                     const std::wstring& password) {
    if (!SetFieldValue(form.fields, L"vb_login_username", login, false) ||
        !SetFieldValue(form.fields, L"vb_login_password", password, false)) {
        return false;
    }
    // The two md5 fields stay empty: the board then checks the plain password.
    RemoveField(form.fields, L"cookieuser");
    return true;
}

ResultCode VBulletinEngine::ReadSections(SectionList& sections) {
    ResultCode result = OpenUrl(base_url, false);
    if (result != kOk) {
        return result;
    }
    if (FindNewTopicLink({kNewTopicPattern})) {
        std::wstring title;
        page.Title(title);
        AddSection(sections, web.current_url, Trimmed(title));
        return kOk;
    }

    SectionList found;
    for (int i = 0; page.SelectLink(i); ++i) {
        std::wstring url;
        if (!IsSectionCandidate(url)) {
            continue;
        }
        page.element_cursor = page.link_cursor;
        if (!page.SelectAncestor("TD")) {
            continue;
        }
        std::wstring id = page.ElementId();
        // Styles wrap the link in a cell of its own inside the forum's cell.
        if (!IsForumCellId(id)) {
            if (!page.SelectAncestor("TD")) {
                continue;
            }
            id = page.ElementId();
            if (!IsForumCellId(id)) {
                continue;
            }
        }
        if (id.size() < 2 || id[1] < L'0' || id[1] > L'9') {
            continue;
        }
        AddSection(found, url, Trimmed(page.LinkText()));
    }

    if (found.empty()) {
        for (int i = 0; page.SelectLink(i); ++i) {
            std::wstring url;
            if (!IsSectionCandidate(url)) {
                continue;
            }
            bool section = url.find(kSectionPattern) != std::wstring::npos;
            if (!section) {
                page.element_cursor = page.link_cursor;
                section = page.SelectAncestor("TD") && IsForumCellId(page.ElementId());
            }
            if (section) {
                AddSection(found, url, Trimmed(page.LinkText()));
            }
        }
    }

    for (const SectionRecord& section : found) {
        AddSection(sections, section.url, section.title);
    }
    return kOk;
}

ResultCode VBulletinEngine::PostTopic(const std::wstring& subject, const std::wstring& body,
                                      std::wstring& topicUrl) {
    return PostNewTopic(subject, body, topicUrl, kNewTopic);
}

bool VBulletinEngine::FillNewTopicForm(HtmlForm& form, const std::wstring& subject,
                                       const std::wstring& body) {
    bool found = FindForm(form, [&](HtmlForm& candidate) {
        return SetFieldValue(candidate.fields, L"subject", subject, false);
    });
    if (!found || !SetFieldValue(form.fields, L"message", body, false)) {
        return false;
    }
    size_t button = FindField(form.fields, L"sbutton", kFieldSubmit, false);
    if (button == kNoField) {
        return false;
    }
    PressButton(form.fields, button);
    // In WYSIWYG mode the board reads the message as the editor's HTML and drops its line
    // breaks; the message is BBCode, so ask for the plain editor's reading.
    SetFieldValue(form.fields, L"wysiwyg", L"0", false);
    return true;
}

bool VBulletinEngine::IsSectionCandidate(std::wstring& url) const {
    url = page.LinkUrl();
    // An anchor without an address (<a name=...>, or a stray "<a>" in a forum description)
    // resolves to the index itself, which is never one of its sections.
    return url != page.page_url;
}

}  // namespace twk
