#include "engines/IPBoardEngine.h"

#include <utility>

namespace twk {
namespace {

// Board 2 links carry "act=Login&CODE=..", IP.Board 3 links "section=login&do=..".
const std::vector<std::wstring> kSignOutLinks = {L"&do=logout", L"act=Login&CODE=03"};
const std::vector<std::wstring> kSignInLinks = {L"&section=login", L"act=Login&CODE=00"};
// IP.Board 3 puts its Facebook and Twitter sign-in links, which also contain
// "&section=login", before the board's own sign-in link.
const std::vector<std::wstring> kSocialSignInLinks = {L"serviceClick="};
const std::vector<std::wstring> kNewTopicLinks = {L"module=post&section=post&do=new_post",
                                                  L"act=post&do=new_post"};
const wchar_t* const kSectionLink = L"showforum=";
const wchar_t* const kReplyLink = L"&do=reply_post";

// Sign-in field names, tried in this order in every form. Board 2 ("UserName",
// "PassWord") and IP.Board 3.0 use the first pair; later IP.Board 3 releases (3.3 and 3.4
// at least) read only "ips_username" and "ips_password", and their forms carry nothing
// else, so without the second pair they could not be signed in at all.
const std::pair<const wchar_t*, const wchar_t*> kSignInFields[] = {
    {L"username", L"password"},
    {L"ips_username", L"ips_password"},
};
// Remember-me fields: the board would otherwise set a long-lived sign-in cookie.
const wchar_t* const kRememberMeFields[] = {L"rememberMe", L"CookieDate"};

// New-topic forms have "dosubmit", which posts, beside "preview", which only shows the
// post again and creates nothing. A form without "dosubmit" is sent with "preview"; its
// answer then shows no topic and the post ends unconfirmed.
const wchar_t* const kPostButtons[] = {L"dosubmit", L"preview"};

// Where the board speaks: Invision Power Board 2's error box (".errorwrap", "The error
// returned was:"), the list above a form sent back ("The following errors were found"),
// IP.Board 3's error and information messages.
const BoardWords kWords = {
    {
        {{"div"}, {}, L"The following errors were found"},
        {{"div", "class", L"errorwrap"}},
        {{"p", "class", L"message error"}},
        {{"div", "class", L"message error"}},
        {{"p", "class", L"message"}},
        {{"div", "class", L"message"}},
    },
    // "Flood control is enabled on this board, please wait 30 seconds before posting
    // again."
    {L"flood"},
    // "Your post will not appear until it has been approved by a moderator."
    {L"approved by a moderator", L"moderator has approved", L"awaiting approval",
     L"require approval", L"requires approval"},
};

// A session left over in the cookies would hide the sign-in form: a signed-in main page is
// signed out first.
const SignInSteps kSignIn = {
    kSignOutLinks,
    kSignInLinks,
    kSocialSignInLinks,
    true,
};

// Topic pages: an "entry<post id>" anchor before each post (<a name> in board 2, <a id> in
// IP.Board 3); the first post's Edit link, "act=post&do=edit_post&f=F&t=T&p=P" (2.1:
// "act=Post&CODE=08", IP.Board 3: "module=post&section=post&do=edit_post"), only where the
// account may edit; page links told by their own address (IPBoardTopics.cpp) wherever the
// skin puts them. Board 2: "Sorry, the link that brought you to this page seems to be out
// of date or broken."; IP.Board 3 says the topic does not exist or could not be found.
// Every guest page offers a sign-in, so a topic refused to a guest asks for one.
const TopicSteps kTopic = {
    .post_tag = "a",
    .post_id_prefix = L"entry",
    .edit_link_patterns = {L"do=edit_post", L"CODE=08"},
    .pause_before = 10,
    .gone_phrases = {L"out of date or broken", L"does not exist", L"could not be found"},
    .edit_post_param = L"p",
    .guest_refusal_asks_sign_in = true,
};

const NewTopicSteps kNewTopic = {
    kNewTopicLinks, kReplyLink, kTopic.pause_before, 0, kNotScript,
};

}  // namespace

IPBoardEngine::IPBoardEngine() : PageEngine(kWords) {}

ResultCode IPBoardEngine::EditTopic(const std::wstring& topicUrl, const std::wstring& subject,
                                    const std::wstring& body) {
    topic_ = TopicOf(topicUrl);
    return EditFirstPost(topicUrl, subject, body, kTopic);
}

ResultCode IPBoardEngine::ReadReplies(const std::wstring& topicUrl, ReplyInfo& info) {
    topic_ = TopicOf(topicUrl);
    return ReadTopicReplies(topicUrl, info, kTopic);
}

ResultCode IPBoardEngine::SignIn(const std::wstring& login, const std::wstring& password,
                                 std::wstring& forumTitle) {
    login_ = login;
    return SignInWithForm(kSignIn, login, password, forumTitle);
}

bool IPBoardEngine::FillSignInForm(HtmlForm& form, const std::wstring& login,
                                   const std::wstring& password) {
    for (const auto& [loginName, passwordName] : kSignInFields) {
        if (SetFieldValue(form.fields, loginName, login, true) &&
            SetFieldValue(form.fields, passwordName, password, true)) {
            // A form may carry a remember-me field twice (a yes and a no radio button);
            // none of them may be sent.
            for (const wchar_t* name : kRememberMeFields) {
                while (RemoveField(form.fields, name)) {
                }
            }
            return true;
        }
    }
    return false;
}

ResultCode IPBoardEngine::ReadSections(SectionList& sections) {
    ResultCode result = OpenUrl(base_url, false);
    if (result != kOk) {
        return result;
    }
    const size_t listed = sections.size();
    for (int i = 0; page.SelectLink(i); ++i) {
        std::wstring url = page.LinkUrl();
        if (url.find(kSectionLink) != std::wstring::npos) {
            AddSection(sections, url, page.LinkText());
        }
    }
    // Boards with friendly addresses have no "showforum=" links; their forum names are
    // H4 headings.
    if (sections.size() == listed) {
        for (int i = 0; page.SelectLink(i); ++i) {
            page.element_cursor = page.link_cursor;
            if (page.SelectAncestor("h4")) {
                AddSection(sections, page.LinkUrl(), page.LinkText());
            }
        }
    }
    return kOk;
}

ResultCode IPBoardEngine::PostTopic(const std::wstring& subject, const std::wstring& body,
                                    std::wstring& topicUrl) {
    return PostNewTopic(subject, body, topicUrl, kNewTopic);
}

bool IPBoardEngine::FillNewTopicForm(HtmlForm& form, const std::wstring& subject,
                                     const std::wstring& body) {
    if (!FindNewTopicForm(form, subject) || !SetFieldValue(form.fields, L"Post", body, true)) {
        return false;
    }
    size_t button = kNoField;
    for (const wchar_t* name : kPostButtons) {
        button = FindField(form.fields, name, kFieldSubmit, false);
        if (button != kNoField) {
            break;
        }
    }
    if (button == kNoField) {
        return false;
    }
    PressButton(form.fields, button);
    return true;
}

bool IPBoardEngine::FindNewTopicForm(HtmlForm& form, const std::wstring& subject) {
    return FindForm(form, [&](HtmlForm& candidate) {
        return SetFieldValue(candidate.fields, L"TopicTitle", subject, true);
    });
}

}  // namespace twk
