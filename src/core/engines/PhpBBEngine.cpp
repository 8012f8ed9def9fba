#include "engines/PhpBBEngine.h"

#include <string>
#include <vector>

#include "engines/BoardText.h"

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

// Topic pages. phpBB 3: each post is a <div id="pN" class="post ...">, the first one on page
// 1 the topic's first post; its edit link is "./posting.php?mode=edit&p=N"; the pagination
// (<div class="pagination">, above and below the posts) links the later pages with
// "start=" counting the posts before each. phpBB 2 marks a post with <a name="N"> in its
// author cell, links "posting.php?mode=editpost&p=N" and pages with "start=" in the "Goto
// page" line (<span class="nav">). Both say "does not exist" of a topic that is gone.
const TopicSteps kTopic = {
    .post_tag = "div",
    .post_id_prefix = L"p",
    .edit_link_patterns = {L"/posting.php?mode=edit&p=", L"/posting.php?mode=editpost&p="},
    .pause_before = kNewTopic.pause_before,
    .pagination_boxes = {{"div", "class", L"pagination"}, {"span", "class", L"nav"}},
    .page_param = L"start",
    .page_param_counts_posts = true,
    .gone_phrases = {L"does not exist"},
};

bool HasClass(const std::wstring& classes, const std::wstring& name) {
    return (L" " + CollapseWhitespace(classes) + L" ").find(L" " + name + L" ") !=
           std::wstring::npos;
}

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

ResultCode PhpBBEngine::EditTopic(const std::wstring& topicUrl, const std::wstring& subject,
                                  const std::wstring& body) {
    return EditFirstPost(topicUrl, subject, body, kTopic);
}

ResultCode PhpBBEngine::ReadReplies(const std::wstring& topicUrl, ReplyInfo& info) {
    return ReadTopicReplies(topicUrl, info, kTopic);
}

// The edit form is the posting form of a new topic with the post's text filled in; "post"
// ("Submit") stores the edit.
bool PhpBBEngine::FillEditForm(HtmlForm& form, const std::wstring& subject,
                               const std::wstring& body) {
    return FillNewTopicForm(form, subject, body);
}

std::wstring PhpBBEngine::EditAddress(int postId) {
    return (second_generation_ ? L"posting.php?mode=editpost&p=" : L"./posting.php?mode=edit&p=") +
           std::to_wstring(postId);
}

// phpBB 3 titles a topic page "Subject - Board"; phpBB 2 "Board :: View topic - Subject",
// and shows the subject itself as the <a class="maintitle"> link above the posts.
bool PhpBBEngine::ShowsSubject(const std::wstring& subject) {
    if (PageEngine::ShowsSubject(subject)) {
        return true;
    }
    const std::wstring wanted = CollapseWhitespace(subject);
    for (int i = 0; page.SelectLink(i); ++i) {
        if (HasClass(page.LinkClass(), L"maintitle") &&
            CollapseWhitespace(page.LinkText()) == wanted) {
            return true;
        }
    }
    return false;
}

std::vector<PagePost> PhpBBEngine::FindPosts(const TopicSteps& steps) {
    std::vector<PagePost> posts;
    for (const PagePost& post : PageEngine::FindPosts(steps)) {
        // The "pN" ids of other elements (a profile's "p" rows) are not posts.
        if (HasClass(page.ElementAttribute(post.element, "class"), L"post")) {
            posts.push_back(post);
        }
    }
    second_generation_ = posts.empty();
    if (!posts.empty()) {
        return posts;
    }
    for (HtmlCursor at = page.FindElement(0, "a"); !at.AtEnd();
         at = page.FindNextElement("a", at, false)) {
        const std::wstring name = page.ElementAttribute(at, "name");
        if (!name.empty() && name.size() <= 9 &&
            name.find_first_not_of(L"0123456789") == std::wstring::npos) {
            posts.push_back(PagePost{at, std::stoi(name)});
        }
    }
    return posts;
}

void PhpBBEngine::ReadNewestPost(const PagePost& post, ReplyInfo& info) {
    if (second_generation_) {
        // <span class="name"><a name="N"></a><b>Author</b></span>; the time has no zone.
        const HtmlCursor name = page.FindNextElement("b", post.element, false);
        if (!name.AtEnd()) {
            info.newest_author = CollapseWhitespace(page.ReadableText(name));
        }
        return;
    }
    // <p class="author"> ... by <a class="username">Author</a> ... <time datetime="...">;
    // a guest's name is a <span class="username">.
    const HtmlCursor author = page.FindNextElement("p", post.element, false);
    for (HtmlCursor at = author; !at.AtEnd(); at = page.FindNextElement("p", at, false)) {
        if (!HasClass(page.ElementAttribute(at, "class"), L"author")) {
            continue;
        }
        for (const char* tag : {"a", "span"}) {
            for (HtmlCursor name = page.FindNextElement(tag, at, false); !name.AtEnd();
                 name = page.FindNextElement(tag, name, false)) {
                const std::wstring classes = page.ElementAttribute(name, "class");
                if (HasClass(classes, L"username") || HasClass(classes, L"username-coloured")) {
                    info.newest_author = CollapseWhitespace(page.ReadableText(name));
                    break;
                }
            }
            if (!info.newest_author.empty()) {
                break;
            }
        }
        const HtmlCursor time = page.FindNextElement("time", at, false);
        if (!time.AtEnd()) {
            info.newest_time = ParseIsoTime(page.ElementAttribute(time, "datetime"));
        }
        break;
    }
}

}  // namespace twk
