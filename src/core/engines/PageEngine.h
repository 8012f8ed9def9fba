#pragma once

#include <functional>
#include <string>
#include <vector>

#include "engines/ForumEngine.h"
#include "web/HtmlDocument.h"
#include "web/HtmlForm.h"

namespace twk {

// An element condition of a message box: the tag, and an attribute that must match ("id"
// equal to value, or "class" holding every class name of value); no attribute: any such
// element.
struct ElementMatch {
    std::string tag;
    std::string attribute = {};
    std::wstring value = {};
};

// Where a script's pages put the board's own message: the first element matching box whose
// ancestors match each of within, or, when box names no attribute, the innermost such
// element whose text contains heading (a heading such as "The following errors occurred").
// Elements that hold fields a visitor fills in are a form, never a message (a sign-in form
// under an error message is the exception that loses).
struct MessageBox {
    ElementMatch box;
    std::vector<ElementMatch> within = {};
    std::wstring heading = {};
};

// How a script's pages speak: its message boxes in the order they are tried, and the
// words (lower case) by which it refuses a post for its flood limit or holds a topic for
// a moderator.
struct BoardWords {
    std::vector<MessageBox> message_boxes;
    std::vector<std::wstring> flood_phrases;
    std::vector<std::wstring> moderation_phrases;
};

// What the sign-in of a script needs: the links that show a signed-in page (sign-out) and
// that lead to the sign-in page, and how the board wants to be signed in to.
struct SignInSteps {
    std::vector<std::wstring> sign_out_links;
    // Empty: the board shows its form on the main page (or after signing out) only.
    std::vector<std::wstring> sign_in_links = {};
    std::vector<std::wstring> sign_in_links_excluded = {};
    // A main page that is signed in already is signed out before anything else (one META
    // refresh followed); otherwise that happens only when no sign-in form is found.
    bool sign_out_first = false;
    // After such a sign-out the main page is opened again: the sign-out answer may carry
    // no form.
    bool reopen_main_after_sign_out = false;
    // Boards that refuse a form sent too soon after the page that carried it.
    int pause_before_sending = 0;
    // The forum title is the page title without the white space around it.
    bool trim_title = false;
};

// What the new-topic step of a script needs: the new-topic links, the proof of a posted
// topic, the pauses around sending, and the result when the form is missing.
struct NewTopicSteps {
    std::vector<std::wstring> link_patterns;
    std::wstring reply_pattern;
    int pause_before = 10;
    int pause_after = 0;
    ResultCode form_missing = kNotScript;
};

// What editing a topic's first post and reading its replies need of a script's topic pages.
struct TopicSteps {
    // The posts of a topic page, in page order: elements of post_tag whose id is
    // post_id_prefix followed by the post's number (phpBB "p12", MyBB "post_12").
    std::string post_tag;
    std::wstring post_id_prefix;
    // A post's edit link: one of these, followed by the post's number and no further digit.
    std::vector<std::wstring> edit_link_patterns;
    // The pre-send pause, as before a new topic.
    int pause_before = 10;
    // Where the page links to its other pages, and the query parameter of those links
    // that tells the page; page_param_counts_posts when its value is the number of posts
    // before that page (phpBB "start=40"), otherwise the page's number (MyBB "page=5").
    std::vector<ElementMatch> pagination_boxes = {};
    std::wstring page_param = {};
    bool page_param_counts_posts = true;
    // The board's words (lower case) for a topic that is not there.
    std::vector<std::wstring> gone_phrases = {};
    // Set where the edit link names its post in this query parameter after other ones
    // (IPBoard's "do=edit_post&f=2&t=5&p=12"): the link holds one of edit_link_patterns
    // anywhere and the parameter's value is the post's number.
    std::wstring edit_post_param = {};
    // Boards whose guest pages all carry a sign-in form: a guest's page without posts asks
    // for a sign-in unless the board's words say the topic is gone.
    bool guest_refusal_asks_sign_in = false;
};

// A post on a topic page: its element and its number.
struct PagePost {
    HtmlCursor element;
    int id = 0;
};

// The engine of a board that draws its pages on the server: it reads each page into a
// document and works through the board's own links and forms the way a browser user
// would. The script engines derive from it and name their links, fields and message boxes.
class PageEngine : public ForumEngine {
public:
    PageEngine();

    ResultCode OpenSection(const std::wstring& url) override;
    std::wstring LastAnswerText() const override;

    HtmlDocument page;

    // Seconds since the epoch of an ISO 8601 time ("2026-12-10T17:06:02+00:00", a "Z" or
    // no zone: UTC); 0 when text is not one.
    static int64_t ParseIsoTime(const std::wstring& text);

protected:
    explicit PageEngine(const BoardWords& words);

    ResultCode OpenUrl(const std::wstring& url, bool followRefresh);
    // changesBoard: the form posts something (a topic): it passes the send gate
    // (ClearToSend) first and is never sent twice. Otherwise (a sign-in) a passing fault is
    // tried again (RetryPassingFaults), as page reads by OpenUrl always are.
    ResultCode SubmitForm(const HtmlForm& form, bool followRefresh, bool changesBoard);
    // Link search: the first link of the page whose absolute URL contains one of the
    // patterns (case-sensitive) and none of the excluded ones; leaves the link cursor on it.
    bool FindLink(const std::vector<std::wstring>& patterns,
                  const std::vector<std::wstring>& excluded = {});
    // Form search: reads the page's forms in document order into form until fits accepts
    // one (fits fills the fields it needs and says whether they were all there). False
    // when no form fits.
    bool FindForm(HtmlForm& form, const std::function<bool(HtmlForm&)>& fits);
    // The result of a post: follows one META refresh (failure: 9), then looks for the
    // reply link; 0 with topicUrl set to the page reached, else 9 with the board's message.
    // A refresh target that cannot be opened leaves the post unconfirmed; onLostAnswer,
    // when given, then decides instead.
    ResultCode CheckPostResult(const std::wstring& replyPattern, std::wstring& topicUrl,
                               const std::function<ResultCode()>& onLostAnswer = nullptr);

    // The board's message on the current page (its message boxes, else the page title when
    // that is neither the board's nor the section's), as one line of at most
    // kMaxBoardMessage characters. Empty when the page says nothing of its own; without
    // titleWhenNoBox only the message boxes count.
    std::wstring BoardMessage(bool titleWhenNoBox = true);
    // Sets failure_text to the board's message and returns code.
    ResultCode FailWithBoardMessage(ResultCode code);

    // The sign-in every script shares: the main page (its title reported), signing out where
    // the steps say so, the form (FillSignInForm) on the page or behind the sign-in link,
    // the pause, the sending, one META refresh, then the sign-out link proves it; without
    // one, NotSignedIn decides, with the board's words as the failure text.
    ResultCode SignInWithForm(const SignInSteps& steps, const std::wstring& login,
                              const std::wstring& password, std::wstring& forumTitle);
    // Finds the sign-in form on the current page and fills in the account. False when no
    // form has the fields.
    virtual bool FillSignInForm(HtmlForm& form, const std::wstring& login,
                                const std::wstring& password);
    // The result of a sign-in the board answered without a sign-out link; refreshFollowed
    // tells whether the answer led on by a META refresh. 7 unless a script knows better.
    virtual ResultCode NotSignedIn(bool refreshFollowed);
    bool IsSignedIn(const SignInSteps& steps) { return FindLink(steps.sign_out_links); }

    // The new-topic step every script shares, run on the section page: the new-topic link
    // into that section, the form (FillNewTopicForm), the limits the form declares, the
    // pauses, the sending, a second sending after a flood refusal, and what became of the
    // post.
    ResultCode PostNewTopic(const std::wstring& subject, const std::wstring& body,
                            std::wstring& topicUrl, const NewTopicSteps& steps);
    // Finds the new-topic form on the current page and fills in subject and body and the
    // button to press. False when the page has no complete form.
    virtual bool FillNewTopicForm(HtmlForm& form, const std::wstring& subject,
                                  const std::wstring& body);
    // Link search for a new-topic link that leads into the opened section: when the section's
    // address names its forum id, only a link with that "f=" id is taken.
    bool FindNewTopicLink(const std::vector<std::wstring>& patterns);

    // Every link of the section page, as the topics it may list.
    ResultCode ReadSectionTopics(TopicList& topics) override;

    // The edit every script shares: the topic page, the edit link of its first post (or,
    // where the page offers none, EditAddress opened to learn the board's reason), the
    // edit form (FillEditForm), its declared limits, the pre-send pause, the send gate,
    // one sending, and the proof: the topic, read again, shows the new subject
    // (ShowsSubject). A lost answer is judged by that reading alone.
    ResultCode EditFirstPost(const std::wstring& topicUrl, const std::wstring& subject,
                             const std::wstring& body, const TopicSteps& steps);
    // Finds the edit form on the current page and fills in subject and body and the
    // button to press. False when the page has no complete form; failure_text may then
    // say why a form it found will not do.
    virtual bool FillEditForm(HtmlForm& form, const std::wstring& subject,
                              const std::wstring& body);
    // The address that edits post postId, for a topic page without the link (the board
    // then answers why). Empty: none is known.
    virtual std::wstring EditAddress(int postId);
    // What follows when the topic page shows no edit link on its first post. The default
    // takes EditAddress (kOk, editUrl set) and refuses when none is known.
    virtual ResultCode NoEditLink(const PagePost& first, std::wstring& editUrl);
    // True when the current topic page shows subject as the topic's title. The default
    // reads the page title: the subject alone or followed by " - " and the board's name.
    virtual bool ShowsSubject(const std::wstring& subject);

    // The reply count every script shares: the topic page, its last page when the
    // pagination links one (LastPageLink; one more fetch, never every page), the posts
    // counted on it plus those before it, and the newest post (ReadNewestPost). A page
    // without posts is a sign-in form (kSignInNeeded before SignIn), a gone topic or the
    // board's own message.
    ResultCode ReadTopicReplies(const std::wstring& topicUrl, ReplyInfo& info,
                                const TopicSteps& steps);
    // The posts of the current page. The default takes the elements TopicSteps names.
    virtual std::vector<PagePost> FindPosts(const TopicSteps& steps);
    // The value of the page parameter of a topic page's address (-1 when it has none,
    // which is the first page).
    virtual int PageValue(const std::wstring& url, const TopicSteps& steps);
    // The posts before the topic page at pageUrl, whose page value is value, when perPage
    // posts fill a page. The default follows page_param_counts_posts.
    virtual int PostsBefore(const std::wstring& pageUrl, int value, int perPage,
                            const TopicSteps& steps);
    // Fills newest_author and newest_time from a post where the board shows them.
    virtual void ReadNewestPost(const PagePost& post, ReplyInfo& info);
    // Opens a topic (or edit) page. The board's pages that come with an error status
    // (SMF's 403, phpBB's 404) are read like any other: kOk then; 404 and 410 are
    // kTopicGone with the board's words (or the status).
    ResultCode OpenTopicPage(const std::wstring& url);
    // True when the current page asks a guest to sign in. The default looks for the
    // script's sign-in form (FillSignInForm).
    virtual bool AsksForSignIn();
    // The board's words on a page that is neither the topic nor the edit form. The
    // default is BoardMessage().
    virtual std::wstring TopicPageMessage();
    // True after a sign-in of this engine succeeded.
    bool SignedIn() const { return signed_in_; }

private:
    bool Matches(HtmlCursor element, const ElementMatch& match) const;
    // True when the element holds a TEXTAREA or a field a visitor types into or ticks.
    bool HoldsFormControls(HtmlCursor element) const;
    std::wstring FindBoxText(const MessageBox& box);
    TopicList LinksOfPage();
    // A failure when the form declares a limit the subject or body exceeds; 0 otherwise.
    ResultCode CheckDeclaredLimits(const HtmlForm& form, const std::wstring& subject,
                                   const std::wstring& body);

    // The page link with the highest page value in the pagination boxes (without boxes:
    // anywhere, PageValue alone telling the topic's page links), and that value; false
    // when the page links no page after value.
    bool LastPageLink(const TopicSteps& steps, int& value, std::wstring& url);
    // The failure of a page that should have been a topic or an edit form: kSignInNeeded
    // for a sign-in form (when askSignIn and not signed in; see
    // guest_refusal_asks_sign_in), kTopicGone for the board's gone words, otherwise code;
    // the board's words in failure_text.
    ResultCode NotTopicPage(const TopicSteps& steps, ResultCode code, bool askSignIn);

    const BoardWords& words_;
    bool signed_in_ = false;
    std::wstring section_title_;
    std::wstring section_url_;
};

}  // namespace twk
