#include "engines/PhpBBEngine.h"

#include <string>
#include <vector>

namespace twk {

namespace {

const wchar_t* const kReplyPattern = L"/posting.php?mode=reply";

// Where the board speaks: phpBB 3's message panel (prosilver message_body), the error line
// of its sign-in and posting forms; phpBB 2's message table (subSilver message_body) and
// the error row of its posting form, both a "gen" span in a centred cell.
const BoardWords kWords = {
    {
        {{"p"}, {{"div", "id", L"message"}}},
        {{"div", "id", L"message"}},
        {{"p", "class", L"error"}},
        {{"div", "class", L"error"}},
        {{"span", "class", L"gen"}, {{"td", "align", L"center"}, {"table", "class", L"forumline"}}},
    },
    // phpBB 3: "You cannot make another post so soon after your last." phpBB 2: the same
    // words followed by "; please try again in a short while."
    {L"so soon after your last", L"flood"},
    // phpBB 3: "This message has been submitted successfully, but it will need to be
    // approved by a moderator before it is publicly viewable."
    {L"approved by a moderator", L"awaiting approval", L"одобрен"},
};

const NewTopicSteps kNewTopic = {
    {L"/posting.php?mode=post", L"/posting.php?mode=newtopic"}, kReplyPattern, 10, 3, kNotScript,
};

// Each purpose has one pattern for the "/ucp.php" pages of phpBB 3 and one for the
// "/login.php" and "mode=newtopic" pages of phpBB 2; either is accepted anywhere. A main
// page that is signed in and shows no form is signed out first, so that the account asked
// for is the one that posts. phpBB 3.1 and later refuse a form sent within the second in
// which the page carrying it was made ("The submitted form was invalid").
const SignInSteps kSignIn = {
    {L"/ucp.php?mode=logout", L"/login.php?logout=true"},
    {L"/ucp.php?mode=login", L"/login.php"},
    {},
    false,
    true,
    2,
};

}  // namespace

PhpBBEngine::PhpBBEngine() : PageEngine(kWords) {}

ResultCode PhpBBEngine::SignIn(const std::wstring& login, const std::wstring& password,
                               std::wstring& forumTitle) {
    return SignInWithForm(kSignIn, login, password, forumTitle);
}

bool PhpBBEngine::FillSignInForm(HtmlForm& form, const std::wstring& login,
                                 const std::wstring& password) {
    if (!SetFieldValue(form.fields, L"username", login, false) ||
        !SetFieldValue(form.fields, L"password", password, false)) {
        return false;
    }
    RemoveField(form.fields, L"autologin");
    return true;
}

// A page that still asks for the account is a refused sign-in: phpBB 3 shows its sign-in
// page again, phpBB 2 a message whose refresh leads back to it. An answer with neither a
// form nor a refresh is taken as signed in (phpBB 3.1 and later answer with an empty
// redirect whose cookies carry the new session).
ResultCode PhpBBEngine::NotSignedIn(bool refreshFollowed) {
    HtmlForm scratch;
    if (FindForm(scratch, [&](HtmlForm& candidate) {
            return FillSignInForm(candidate, std::wstring(), std::wstring());
        })) {
        return kInvalidLogin;
    }
    return refreshFollowed ? kNotScript : kOk;
}

ResultCode PhpBBEngine::ReadSections(SectionList& sections) {
    ResultCode result = OpenUrl(base_url, false);
    if (result != kOk) {
        return result;
    }
    for (int i = 0; page.SelectLink(i); ++i) {
        std::wstring linkClass = page.LinkClass();
        if (linkClass == L"forumtitle" || linkClass.starts_with(L"forumlink")) {
            AddSection(sections, page.LinkUrl(), page.LinkText());
        }
    }
    return kOk;
}

ResultCode PhpBBEngine::PostTopic(const std::wstring& subject, const std::wstring& body,
                                  std::wstring& topicUrl) {
    return PostNewTopic(subject, body, topicUrl, kNewTopic);
}

bool PhpBBEngine::FillNewTopicForm(HtmlForm& form, const std::wstring& subject,
                                   const std::wstring& body) {
    bool found = FindForm(form, [&](HtmlForm& candidate) {
        return SetFieldValue(candidate.fields, L"subject", subject, false);
    });
    if (!found || !SetFieldValue(form.fields, L"message", body, false)) {
        return false;
    }
    // The form offers "save" (draft) and "preview" before "post"; only "post" creates
    // the topic.
    size_t button = FindField(form.fields, L"post", kFieldSubmit, false);
    if (button == kNoField) {
        return false;
    }
    PressButton(form.fields, button);
    return true;
}

}  // namespace twk
