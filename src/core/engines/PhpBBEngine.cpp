#include "engines/PhpBBEngine.h"

#include <string>
#include <vector>

namespace twk {

namespace {

// Each purpose has one pattern for the "/ucp.php" pages of phpBB 3 and one for the
// "/login.php" and "mode=newtopic" pages of phpBB 2; either is accepted anywhere.
const std::vector<std::wstring>& SignOutPatterns() {
    static const std::vector<std::wstring> patterns = {L"/ucp.php?mode=logout",
                                                       L"/login.php?logout=true"};
    return patterns;
}

const std::vector<std::wstring>& SignInPagePatterns() {
    static const std::vector<std::wstring> patterns = {L"/ucp.php?mode=login", L"/login.php"};
    return patterns;
}

const std::vector<std::wstring>& NewTopicPatterns() {
    static const std::vector<std::wstring> patterns = {L"/posting.php?mode=post",
                                                       L"/posting.php?mode=newtopic"};
    return patterns;
}

const wchar_t* const kReplyPattern = L"/posting.php?mode=reply";

// phpBB 3.1 and later refuse a form sent within the second in which the page carrying
// it was made ("The submitted form was invalid"); the sign-in form is otherwise sent
// at once.
constexpr int kSignInDelaySeconds = 2;
constexpr int kPrePostPauseSeconds = 10;
constexpr int kPostPostPauseSeconds = 3;

}  // namespace

ResultCode PhpBBEngine::SignIn(const std::wstring& login, const std::wstring& password,
                               std::wstring& forumTitle) {
    ResultCode result = OpenUrl(base_url, false);
    if (result != kOk) {
        return result;
    }
    std::wstring title;
    if (page.Title(title)) {
        forumTitle = title;
    }

    HtmlForm form;
    bool retried = false;
    while (!FindSignInForm(form, login, password)) {
        if (retried) {
            return kNotScript;
        }
        retried = true;
        // A page that is signed in and shows no form: sign out first, so that the
        // account asked for is the one that posts.
        if (IsSignedIn()) {
            result = OpenUrl(page.LinkUrl(), false);
            if (result != kOk) {
                return result;
            }
            result = OpenUrl(base_url, false);
            if (result != kOk) {
                return result;
            }
        } else if (FindSignInLink()) {
            result = OpenUrl(page.LinkUrl(), false);
            if (result != kOk) {
                return result;
            }
        }
    }

    if (Pause(kSignInDelaySeconds)) {
        return kStopped;
    }
    // phpBB 3.1 and later answer with an empty redirect whose cookies carry the new
    // session; the client keeps them and follows it.
    result = SubmitForm(form, false);
    if (result != kOk) {
        return result;
    }
    if (IsSignedIn()) {
        return kOk;
    }
    // A page that still asks for the account is a refused sign-in: phpBB 3 shows its
    // sign-in page again, phpBB 2 a message whose refresh leads back to it.
    std::wstring target;
    if (page.MetaRefreshUrl(target)) {
        result = OpenUrl(target, false);
        if (result != kOk) {
            return result;
        }
        if (IsSignedIn()) {
            return kOk;
        }
        return HasSignInForm() ? kInvalidLogin : kNotScript;
    }
    return HasSignInForm() ? kInvalidLogin : kOk;
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
    topicUrl.clear();
    if (!FindNewTopicLink()) {
        return kNewTopicNotAllowed;
    }
    ResultCode result = OpenUrl(page.LinkUrl(), false);
    if (result != kOk) {
        return result;
    }
    const std::wstring formPageUrl = web.current_url;

    HtmlForm form;
    bool found = FindForm(form, [&](HtmlForm& candidate) {
        return SetFieldValue(candidate.fields, L"subject", subject, false);
    });
    if (!found || !SetFieldValue(form.fields, L"message", body, false)) {
        return kNotScript;
    }
    // The form offers "save" (draft) and "preview" before "post"; only "post" creates
    // the topic.
    size_t button = FindField(form.fields, L"post", kFieldSubmit, false);
    if (button == kNoField) {
        return kNotScript;
    }
    PressButton(form.fields, button);

    if (Pause(kPrePostPauseSeconds)) {
        return kStopped;
    }
    result = SubmitForm(form, false);
    if (result != kOk) {
        // phpBB 3.1 and later answer an accepted post with a redirect to the topic. When
        // only that page fails, the topic exists: report it as unconfirmed rather than as
        // a failed post, which would invite sending it again.
        bool redirected = web.current_url != form.action && web.current_url != formPageUrl;
        return result == kConnectionError && redirected ? kCheckResult : result;
    }
    Pause(kPostPostPauseSeconds);
    return CheckPostResult(kReplyPattern, topicUrl);
}

bool PhpBBEngine::IsSignedIn() {
    return FindLink(SignOutPatterns());
}

bool PhpBBEngine::FindSignInLink() {
    return FindLink(SignInPagePatterns());
}

bool PhpBBEngine::FindSignInForm(HtmlForm& form, const std::wstring& login,
                                 const std::wstring& password) {
    return FindForm(form, [&](HtmlForm& candidate) {
        if (!SetFieldValue(candidate.fields, L"username", login, false) ||
            !SetFieldValue(candidate.fields, L"password", password, false)) {
            return false;
        }
        RemoveField(candidate.fields, L"autologin");
        return true;
    });
}

bool PhpBBEngine::HasSignInForm() {
    HtmlForm scratch;
    return FindSignInForm(scratch, std::wstring(), std::wstring());
}

bool PhpBBEngine::FindNewTopicLink() {
    return FindLink(NewTopicPatterns());
}

}  // namespace twk
