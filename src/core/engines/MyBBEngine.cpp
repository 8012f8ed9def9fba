#include "engines/MyBBEngine.h"

#include <cwchar>
#include <string>
#include <vector>

#include "engines/BoardText.h"

namespace twk {

namespace {

const wchar_t* const kSignOutPattern = L"/member.php?action=logout";
const wchar_t* const kSignInPagePattern = L"/member.php?action=login";
const wchar_t* const kSectionPattern = L"/forumdisplay.php?fid=";

// Where the board speaks: the error list above a form sent back ("Please correct the
// following errors before continuing:"), the error box itself, and the middle cell of the
// redirect pages that answer a sign-in or a post (the notice of a thread held for
// moderation among them).
const BoardWords kWords = {
    {
        {{"ul"}, {{"div", "class", L"error"}}},
        {{"div", "class", L"error"}},
        {{"td", "class", L"trow1"}, {{"div", "align", L"center"}}},
    },
    // "You are trying to post a message too quickly after posting a previous message.
    // Please wait 30 more seconds."
    {L"too quickly after posting", L"flood"},
    // "Thank you, your thread has been posted. The administrator has specified that all new
    // threads require moderation."
    {L"require moderation", L"awaiting moderation", L"approved by a moderator", L"модерац"},
};

// The section's "Post Thread" button; the new thread's "New Reply" button and the "Reply"
// of each post lead to newreply.php.
const NewTopicSteps kNewTopic = {
    {L"/newthread.php?fid="}, L"/newreply.php?tid=", 10, 3, kNoMessageForm,
};

// Every page carries the header's quick sign-in form; the board's main page has no other,
// so the sign-in page is opened for the full form. A board that still knows the account
// from an earlier visit is signed out first (its answer refreshes to the main page), so
// that the account asked for is the one that posts. The post key of the form belongs to
// the guest session of the page that carried it, whose cookies the client keeps. A right
// password is answered with a redirect page (or, with friendly redirects off, a 302) to
// the main page, which shows the sign-out link.
const SignInSteps kSignIn = {
    {kSignOutPattern}, {kSignInPagePattern}, {}, true, false, 0, true,
};

// Thread pages: each post is a <div class="post " id="post_P">, the first one on page 1 the
// thread's first post; its edit link is "editpost.php?pid=P" (beside a script-only "Quick
// Edit"). The pagination (<div class="pagination">) links "showthread.php?tid=T&page=N".
// A thread that is gone or unknown: "The specified thread does not exist."
const TopicSteps kTopic = {
    .post_tag = "div",
    .post_id_prefix = L"post_",
    .edit_link_patterns = {L"editpost.php?pid="},
    .pause_before = kNewTopic.pause_before,
    .pagination_boxes = {{"div", "class", L"pagination"}},
    .page_param = L"page",
    .page_param_counts_posts = false,
    .gone_phrases = {L"does not exist"},
};

// MyBB's default date and time format, "12-10-2026, 05:07 PM" (month first), in the
// board's time zone, UTC unless the board sets another; 0 for other text ("Yesterday").
int64_t ParseMyBBTime(const std::wstring& text) {
    int month = 0, day = 0, year = 0, hour = 0, minute = 0;
    wchar_t half[3] = {};
    if (swscanf(text.c_str(), L"%2d-%2d-%4d, %2d:%2d %2ls", &month, &day, &year, &hour, &minute,
                half) != 6 ||
        hour < 1 || hour > 12) {
        return 0;
    }
    const bool pm = half[0] == L'P' || half[0] == L'p';
    hour = hour % 12 + (pm ? 12 : 0);
    wchar_t iso[32];
    swprintf(iso, 32, L"%04d-%02d-%02dT%02d:%02d:00", year, month, day, hour, minute);
    return PageEngine::ParseIsoTime(iso);
}

bool HasClass(const std::wstring& classes, const std::wstring& name) {
    const std::wstring padded = L" " + CollapseWhitespace(classes) + L" ";
    return padded.find(L" " + name + L" ") != std::wstring::npos;
}

}  // namespace

MyBBEngine::MyBBEngine() : PageEngine(kWords) {}

ResultCode MyBBEngine::SignIn(const std::wstring& login, const std::wstring& password,
                              std::wstring& forumTitle) {
    password_ = password;
    board_name_.clear();
    ResultCode result = SignInWithForm(kSignIn, login, password, forumTitle);
    board_name_ = CollapseWhitespace(forumTitle);
    return result == kStopped || result == kConnectionError ? result : WithPageError(result);
}

ResultCode MyBBEngine::ReadSections(SectionList& sections) {
    ResultCode result = OpenUrl(base_url, false);
    if (result != kOk) {
        return result;
    }
    for (int i = 0; page.SelectLink(i); ++i) {
        const std::wstring url = page.LinkUrl();
        // Sorting and paging links of a forum carry more parameters after its id.
        if (url.find(kSectionPattern) == std::wstring::npos ||
            url.find(L'&') != std::wstring::npos) {
            continue;
        }
        // A category has the same address as a forum, but stands in a table's head cell;
        // MyBB lets no one post into it.
        page.element_cursor = page.link_cursor;
        if (page.SelectAncestor("td") &&
            HasClass(page.ElementAttribute(page.element_cursor, "class"), L"thead")) {
            continue;
        }
        AddSection(sections, url, CollapseWhitespace(page.LinkText()));
    }
    return kOk;
}

ResultCode MyBBEngine::PostTopic(const std::wstring& subject, const std::wstring& body,
                                 std::wstring& topicUrl) {
    const ResultCode result = PostNewTopic(subject, body, topicUrl, kNewTopic);
    return result == kStopped || result == kConnectionError ? result : WithPageError(result);
}

bool MyBBEngine::FillNewTopicForm(HtmlForm& form, const std::wstring& subject,
                                  const std::wstring& body) {
    // The thread page's quick reply form has a subject and a message too; only the new
    // thread form carries do_newthread.
    bool found = FindForm(form, [&](HtmlForm& candidate) {
        size_t action = FindField(candidate.fields, L"action", kFieldHidden, false);
        return action != kNoField && candidate.fields[action].value == L"do_newthread" &&
               SetFieldValue(candidate.fields, L"subject", subject, false);
    });
    if (!found || !SetFieldValue(form.fields, L"message", body, false)) {
        return false;
    }
    // The form's other buttons preview the post, save a draft or upload an attachment;
    // only "Post Thread" (named "submit") creates the thread.
    size_t button = FindField(form.fields, L"submit", kFieldSubmit, false);
    if (button == kNoField) {
        return false;
    }
    PressButton(form.fields, button);
    return true;
}

bool MyBBEngine::FillSignInForm(HtmlForm& form, const std::wstring& login,
                                const std::wstring& password) {
    // The header's quick sign-in form names its fields quick_username and quick_password;
    // the sign-in page's own form is the one with the plain names.
    if (!SetFieldValue(form.fields, L"username", login, false) ||
        !SetFieldValue(form.fields, L"password", password, false)) {
        return false;
    }
    RemoveField(form.fields, L"remember");
    return true;
}

ResultCode MyBBEngine::WithPageError(ResultCode code) {
    if (code == kOk || !failure_text.empty() || board_name_.empty()) {
        return code;
    }
    failure_text = PageErrorText();
    return code;
}

std::wstring MyBBEngine::PageErrorText() {
    // Before a sign-in the board's name is the error page's own title.
    std::wstring name = board_name_;
    if (name.empty() && page.Title(name)) {
        name = CollapseWhitespace(name);
    }
    for (HtmlCursor head = page.FindElement(0, "td"); !head.AtEnd();
         head = page.FindNextElement("td", head, false)) {
        if (!HasClass(page.ElementAttribute(head, "class"), L"thead") ||
            CollapseWhitespace(page.ReadableText(head)) != name) {
            continue;
        }
        const HtmlCursor cell = page.FindNextElement("td", head, true);
        if (!cell.AtEnd() && HasClass(page.ElementAttribute(cell, "class"), L"trow1")) {
            std::wstring text = CollapseWhitespace(page.ReadableText(cell));
            // As in every failure text, an echoed password is masked.
            if (password_.size() >= 3) {
                for (size_t at = text.find(password_); at != std::wstring::npos;
                     at = text.find(password_, at + 3)) {
                    text.replace(at, password_.size(), L"***");
                }
            }
            return ShortenText(text, kMaxBoardMessage);
        }
        break;
    }
    return {};
}

ResultCode MyBBEngine::EditTopic(const std::wstring& topicUrl, const std::wstring& subject,
                                 const std::wstring& body) {
    return EditFirstPost(topicUrl, subject, body, kTopic);
}

ResultCode MyBBEngine::ReadReplies(const std::wstring& topicUrl, ReplyInfo& info) {
    return ReadTopicReplies(topicUrl, info, kTopic);
}

bool MyBBEngine::FillEditForm(HtmlForm& form, const std::wstring& subject,
                              const std::wstring& body) {
    // editpost.php also carries a delete form; only the edit form has do_editpost and a
    // subject. "Update Post" (submitbutton) stores the edit.
    bool found = FindForm(form, [&](HtmlForm& candidate) {
        size_t action = FindField(candidate.fields, L"action", kFieldHidden, false);
        return action != kNoField && candidate.fields[action].value == L"do_editpost" &&
               SetFieldValue(candidate.fields, L"subject", subject, false);
    });
    if (!found || !SetFieldValue(form.fields, L"message", body, false)) {
        return false;
    }
    const size_t button = FindField(form.fields, L"submitbutton", kFieldSubmit, false);
    if (button == kNoField) {
        return false;
    }
    PressButton(form.fields, button);
    return true;
}

std::wstring MyBBEngine::EditAddress(int postId) {
    return L"editpost.php?pid=" + std::to_wstring(postId);
}

void MyBBEngine::ReadNewestPost(const PagePost& post, ReplyInfo& info) {
    // <div class="author_information"> <strong><span class="largetext"><a ...>name</a>;
    // <span class="post_date"> with the full date in a title while the post is recent.
    for (HtmlCursor at = page.FindNextElement("div", post.element, false); !at.AtEnd();
         at = page.FindNextElement("div", at, false)) {
        if (HasClass(page.ElementAttribute(at, "class"), L"author_information")) {
            const HtmlCursor name = page.FindNextElement("a", at, false);
            if (!name.AtEnd()) {
                info.newest_author = CollapseWhitespace(page.ReadableText(name));
            }
            break;
        }
    }
    for (HtmlCursor at = page.FindNextElement("span", post.element, false); !at.AtEnd();
         at = page.FindNextElement("span", at, false)) {
        if (!HasClass(page.ElementAttribute(at, "class"), L"post_date")) {
            continue;
        }
        const HtmlCursor inner = page.FindNextElement("span", at, false);
        std::wstring shown = inner.AtEnd() ? std::wstring() : page.ElementAttribute(inner, "title");
        if (shown.empty()) {
            shown = CollapseWhitespace(page.ReadableText(at));
        }
        info.newest_time = ParseMyBBTime(shown);
        break;
    }
}

// A guest is shown the no-permission page, whose only sign-in form is the header's quick
// one.
bool MyBBEngine::AsksForSignIn() {
    return ContainsAnyPhrase(PageErrorText(), {L"do not have permission"});
}

std::wstring MyBBEngine::TopicPageMessage() {
    std::wstring text = BoardMessage(false);
    return text.empty() ? PageErrorText() : text;
}

}  // namespace twk
