#include "engines/SMFEngine.h"

#include <cwctype>

#include "engines/BoardText.h"
#include "text/StringTable.h"

namespace twk {

namespace {

// Links carry "PHPSESSID=...&" in front of their parameters until the session cookie comes
// back, so the patterns name a parameter, not the start of the query.
const wchar_t* const kSignOutPattern = L"action=logout";
const wchar_t* const kSignInPagePattern = L"action=login";
const wchar_t* const kSignInSendPattern = L"action=login2";
const wchar_t* const kSectionPattern = L"board=";
const wchar_t* const kReplyPattern = L"action=post;topic=";

// Where the board speaks: the error list of the posting form (always on the page, empty
// and hidden until there is an error), the error box of the sign-in form, the fatal error
// page (flood limit, refused session or token, no permission) and the notice on a message
// that waits for a moderator.
const BoardWords kWords = {
    {
        {{"dd", "id", L"error_list"}},
        {{"div", "class", L"errorbox"}},
        {{"div", "class", L"padding"}, {{"div", "id", L"fatal_error"}}},
        {{"div", "class", L"noticebox"}, {{"div", "class", L"approvebg"}}},
    },
    // "The last posting from your IP was less than 30 seconds ago. Please try again later."
    {L"the last posting from your ip", L"seconds ago. please try again later"},
    // "This message is awaiting approval by a moderator."
    {L"awaiting approval by a moderator", L"approved by a moderator"},
};

// The board index has no sign-in form, only the link to the sign-in page; a board that
// still knows us shows the sign-out link instead. Signing out leads back to the index. SMF
// does not look at the age of its sign-in form, so it is sent at once; a right password is
// answered with two empty redirects, the first carrying the new session.
const SignInSteps kSignIn = {
    .sign_out_links = {kSignOutPattern},
    .sign_in_links = {kSignInPagePattern},
    .sign_in_links_excluded = {kSignInSendPattern},
    .sign_out_first = true,
    .pause_before_sending = 0,
    .trim_title = true,
};

// "New poll" leads to the same form with ";poll" added; it comes after "New Topic".
const NewTopicSteps kNewTopic = {
    {L"action=post;board="}, kReplyPattern, 10, 3, kNoMessageForm,
};

// Topic pages: each message is a <div class="windowbg" id="msgM">, the first one on page 1
// the topic's first message; its "Modify" link is "action=post;msg=M;topic=T.0" (missing
// where the member may not edit). The page links (<div class="pagelinks">) give each
// page as "topic=T.<messages before it>". A topic that is gone, or one a guest may not
// see, is a 403 error page: "The topic or board you are looking for appears to be either
// missing or off limits to you."
const TopicSteps kTopic = {
    .post_tag = "div",
    .post_id_prefix = L"msg",
    .edit_link_patterns = {L"action=post;msg="},
    .pause_before = kNewTopic.pause_before,
    .pagination_boxes = {{"div", "class", L"pagelinks"}},
    .page_param = L"topic",
    .page_param_counts_posts = true,
    .gone_phrases = {L"appears to be either missing or off limits"},
};

bool HasClass(const std::wstring& classes, const std::wstring& name) {
    return (L" " + CollapseWhitespace(classes) + L" ").find(L" " + name + L" ") !=
           std::wstring::npos;
}

// SMF keeps the first 100 characters of a subject and drops the rest without a word, also
// where a theme's form sets no maxlength.
constexpr size_t kMaxSubjectLength = 100;

// The answer to a post leads to "topic=T.new#new", the first message the visitor has not
// read, which stops being the new topic once it is read; the topic's own address, as its
// links and its canonical link give it, is "topic=T.0".
std::wstring TopicAddress(const std::wstring& url) {
    const size_t at = url.find(L"topic=");
    if (at == std::wstring::npos) {
        return url;
    }
    size_t end = at + 6;
    while (end < url.size() && std::iswdigit(url[end])) {
        ++end;
    }
    return end == at + 6 ? url : url.substr(0, end) + L".0";
}

}  // namespace

SMFEngine::SMFEngine() : PageEngine(kWords) {}

ResultCode SMFEngine::SignIn(const std::wstring& login, const std::wstring& password,
                             std::wstring& forumTitle) {
    const ResultCode result = SignInWithForm(kSignIn, login, password, forumTitle);
    // SMF refuses a session field or sign-in token it no longer knows with a 403 page; its
    // words say which, where the status line would only say "Forbidden".
    if (result == kConnectionError &&
        web.current_url.find(kSignInSendPattern) != std::wstring::npos && LoadErrorPage()) {
        return FailWithBoardMessage(kInvalidLogin);
    }
    return result;
}

ResultCode SMFEngine::ReadSections(SectionList& sections) {
    ResultCode result = OpenUrl(base_url, false);
    if (result != kOk) {
        return result;
    }
    // Board names are the links of class "subject" in the board index, child boards the
    // links in a board's "children" list; the same page links each board again for its
    // unread posts ("action=unread;board=N.0").
    for (int i = 0; page.SelectLink(i); ++i) {
        const std::wstring url = page.LinkUrl();
        if (url.find(kSectionPattern) == std::wstring::npos ||
            url.find(L"action=") != std::wstring::npos) {
            continue;
        }
        if (HasClass(page.LinkClass(), L"subject") || InChildBoardList()) {
            AddSection(sections, url, CollapseWhitespace(page.LinkText()));
        }
    }
    return kOk;
}

ResultCode SMFEngine::PostTopic(const std::wstring& subject, const std::wstring& body,
                                std::wstring& topicUrl) {
    if (subject.size() > kMaxSubjectLength) {
        topicUrl.clear();
        failure_text = FormatText(LoadText(kIdsSubjectTooLong), static_cast<int>(subject.size()),
                                  static_cast<int>(kMaxSubjectLength));
        return kNoMessageForm;
    }
    const ResultCode result = PostNewTopic(subject, body, topicUrl, kNewTopic);
    if (result == kOk) {
        topicUrl = TopicAddress(topicUrl);
    }
    return result;
}

bool SMFEngine::FillNewTopicForm(HtmlForm& form, const std::wstring& subject,
                                 const std::wstring& body) {
    // The quick-reply form of a topic page has a subject too, but its text box is
    // "quickReply".
    bool found = FindForm(form, [&](HtmlForm& candidate) {
        return SetFieldValue(candidate.fields, L"subject", subject, false) &&
               SetFieldValue(candidate.fields, L"message", body, false);
    });
    if (!found) {
        return false;
    }
    // "Save draft" and "Preview" come before "Post"; only "post" creates the topic.
    const size_t button = FindField(form.fields, L"post", kFieldSubmit, false);
    if (button == kNoField) {
        return false;
    }
    PressButton(form.fields, button);
    // "Return to this topic" makes the answer lead to the new topic, where its reply link
    // confirms it; without it SMF answers with the board.
    const size_t goback = FindField(form.fields, L"goback", kFieldCheckbox, false);
    if (goback != kNoField) {
        form.fields[goback].selected = true;
    }
    return true;
}

bool SMFEngine::FillSignInForm(HtmlForm& form, const std::wstring& login,
                               const std::wstring& password) {
    // Every hidden field goes back as the form has it: the session field and the sign-in
    // token both have random names.
    return SetFieldValue(form.fields, L"user", login, false) &&
           SetFieldValue(form.fields, L"passwrd", password, false);
}

bool SMFEngine::InChildBoardList() {
    page.element_cursor = page.link_cursor;
    while (page.SelectAncestor("div")) {
        if (HasClass(page.ElementAttribute(page.element_cursor, "class"), L"children")) {
            return true;
        }
    }
    return false;
}

bool SMFEngine::LoadErrorPage() {
    if (web.status_code < 400 || web.body.empty()) {
        return false;
    }
    page.Load(web);
    return true;
}

ResultCode SMFEngine::EditTopic(const std::wstring& topicUrl, const std::wstring& subject,
                                const std::wstring& body) {
    if (subject.size() > kMaxSubjectLength) {
        failure_text = FormatText(LoadText(kIdsSubjectTooLong), static_cast<int>(subject.size()),
                                  static_cast<int>(kMaxSubjectLength));
        return kNoMessageForm;
    }
    return EditFirstPost(topicUrl, subject, body, kTopic);
}

ResultCode SMFEngine::ReadReplies(const std::wstring& topicUrl, ReplyInfo& info) {
    return ReadTopicReplies(topicUrl, info, kTopic);
}

// The modify form is the posting form with the message's text ("Save" is named "post").
bool SMFEngine::FillEditForm(HtmlForm& form, const std::wstring& subject,
                             const std::wstring& body) {
    return FillNewTopicForm(form, subject, body);
}

// A topic page shows no "Modify" link for another member's post, a locked topic or an
// edit time that has passed; the link's own address then answers with SMF's reason on a
// 403 page ("You aren't allowed to modify posts.", "This topic is locked, ...", "... the
// time limit for edits has passed."). It names the message and the topic's first page.
std::wstring SMFEngine::EditAddress(int postId) {
    std::wstring address = L"index.php?action=post;msg=" + std::to_wstring(postId);
    const std::wstring topic = TopicAddress(web.current_url);
    const size_t at = topic.find(L"topic=");
    if (at != std::wstring::npos && topic.ends_with(L".0")) {
        address += L";" + topic.substr(at);
    }
    return address;
}

// "topic=4.30" is the page after 30 messages; "topic=4.0" and "topic=4.msg12" are not
// page links of a later page.
int SMFEngine::PageValue(const std::wstring& url, const TopicSteps&) {
    const size_t at = url.find(L"topic=");
    if (at == std::wstring::npos) {
        return -1;
    }
    size_t dot = at + 6;
    while (dot < url.size() && std::iswdigit(url[dot])) {
        ++dot;
    }
    if (dot >= url.size() || url[dot] != L'.' || dot + 1 >= url.size() ||
        !std::iswdigit(url[dot + 1])) {
        return -1;
    }
    size_t end = dot + 1;
    while (end < url.size() && end < dot + 10 && std::iswdigit(url[end])) {
        ++end;
    }
    return std::stoi(url.substr(dot + 1, end - dot - 1));
}

// <div class="poster"><h4><a ...>name</a>. SMF writes times relative to the visitor's day
// ("Today at 05:08 PM") in the visitor's time zone, so no time is taken.
void SMFEngine::ReadNewestPost(const PagePost& post, ReplyInfo& info) {
    for (HtmlCursor at = page.FindNextElement("div", post.element, false); !at.AtEnd();
         at = page.FindNextElement("div", at, false)) {
        if (HasClass(page.ElementAttribute(at, "class"), L"poster")) {
            const HtmlCursor heading = page.FindNextElement("h4", at, false);
            if (!heading.AtEnd()) {
                info.newest_author = CollapseWhitespace(page.ReadableText(heading));
            }
            return;
        }
    }
}

}  // namespace twk
