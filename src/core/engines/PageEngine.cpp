#include "engines/PageEngine.h"

#include <algorithm>
#include <cwchar>

#include "engines/BoardText.h"
#include "text/StringTable.h"

namespace twk {
namespace {

const BoardWords& NoWords() {
    static const BoardWords words;
    return words;
}

// The class names of a class attribute.
std::vector<std::wstring> ClassNames(const std::wstring& value) {
    std::vector<std::wstring> names;
    std::wstring collapsed = CollapseWhitespace(value);
    size_t start = 0;
    while (start < collapsed.size()) {
        size_t end = collapsed.find(L' ', start);
        if (end == std::wstring::npos) {
            end = collapsed.size();
        }
        names.push_back(collapsed.substr(start, end - start));
        start = end + 1;
    }
    return names;
}

// True when two titles share a run of characters long enough to be a name (twelve, or the
// whole of the shorter one).
bool SharesName(const std::wstring& a, const std::wstring& b) {
    if (a.empty() || b.empty()) {
        return false;
    }
    const size_t needed = std::min<size_t>(12, std::min(a.size(), b.size()));
    std::vector<size_t> previous(b.size() + 1, 0);
    std::vector<size_t> current(b.size() + 1, 0);
    for (size_t i = 1; i <= a.size(); ++i) {
        for (size_t j = 1; j <= b.size(); ++j) {
            current[j] = a[i - 1] == b[j - 1] ? previous[j - 1] + 1 : 0;
            if (current[j] >= needed) {
                return true;
            }
        }
        std::swap(previous, current);
    }
    return false;
}

}  // namespace

PageEngine::PageEngine() : PageEngine(NoWords()) {}

PageEngine::PageEngine(const BoardWords& words) : words_(words) {}

ResultCode PageEngine::OpenSection(const std::wstring& url) {
    const ResultCode result = OpenUrl(url, false);
    if (result == kOk) {
        // Where the section's topics are read again (FindInterruptedPost) before a post.
        section_url_ = web.current_url;
    }
    return result;
}

std::wstring PageEngine::LastAnswerText() const {
    return page.DecodeText(web.body);
}

ResultCode PageEngine::OpenUrl(const std::wstring& url, bool followRefresh) {
    if (stop_requested) {
        return kStopped;
    }
    const ResultCode got = RetryPassingFaults([&] { return web.Get(url, 5); });
    if (got != kOk) {
        if (got == kConnectionError) {
            failure_text = web.error_text;
        }
        return got;
    }
    page.Load(web);
    if (followRefresh) {
        if (stop_requested) {
            return kStopped;
        }
        std::wstring target;
        if (page.MetaRefreshUrl(target)) {
            return OpenUrl(target, false);
        }
    }
    return kOk;
}

ResultCode PageEngine::SubmitForm(const HtmlForm& form, bool followRefresh, bool changesBoard) {
    if (stop_requested) {
        return kStopped;
    }
    // A form that changes the board leaves only once its owner has recorded that it does
    // (the send gate), and only once: after a fault the board may have taken it anyway.
    if (changesBoard && !ClearToSend()) {
        return kStopped;
    }
    auto send = [&] { return web.PostForm(form); };
    const ResultCode sent =
        changesBoard ? (send() ? kOk : kConnectionError) : RetryPassingFaults(send);
    if (sent != kOk) {
        if (sent == kConnectionError) {
            failure_text = web.error_text;
        }
        return sent;
    }
    page.Load(web);
    if (followRefresh) {
        if (stop_requested) {
            return kStopped;
        }
        std::wstring target;
        if (page.MetaRefreshUrl(target)) {
            return OpenUrl(target, false);
        }
    }
    return kOk;
}

bool PageEngine::FindLink(const std::vector<std::wstring>& patterns,
                          const std::vector<std::wstring>& excluded) {
    auto contains_any = [](const std::wstring& url, const std::vector<std::wstring>& list) {
        for (const std::wstring& pattern : list) {
            if (url.find(pattern) != std::wstring::npos) {
                return true;
            }
        }
        return false;
    };
    for (int i = 0; page.SelectLink(i); ++i) {
        std::wstring url = page.LinkUrl();
        if (contains_any(url, patterns) && !contains_any(url, excluded)) {
            return true;
        }
    }
    return false;
}

bool PageEngine::FindForm(HtmlForm& form, const std::function<bool(HtmlForm&)>& fits) {
    for (int i = 0;; ++i) {
        page.form_cursor = page.FindElement(i, "FORM");
        if (page.form_cursor.AtEnd()) {
            return false;
        }
        page.ReadForm(form);
        if (fits(form)) {
            return true;
        }
    }
}

ResultCode PageEngine::CheckPostResult(const std::wstring& replyPattern, std::wstring& topicUrl,
                                       const std::function<ResultCode()>& onLostAnswer) {
    topicUrl.clear();
    // The answer itself says what the board made of the post; the page it refreshes to
    // is only the topic or the section.
    const std::wstring answer = BoardMessage();
    if (page.MetaRefreshUrl(topicUrl)) {
        ResultCode opened = OpenUrl(topicUrl, false);
        topicUrl.clear();
        if (opened == kConnectionError && onLostAnswer) {
            return onLostAnswer();
        }
        if (opened != kOk) {
            return kCheckResult;
        }
    }
    if (!FindLink({replyPattern})) {
        failure_text = answer.empty() ? BoardMessage() : answer;
        return kCheckResult;
    }
    topicUrl = web.current_url;
    return kOk;
}

bool PageEngine::Matches(HtmlCursor element, const ElementMatch& match) const {
    if (match.attribute.empty()) {
        return true;
    }
    const std::wstring actual = page.ElementAttribute(element, match.attribute);
    if (match.attribute != "class") {
        return actual == match.value;
    }
    const std::vector<std::wstring> present = ClassNames(actual);
    for (const std::wstring& wanted : ClassNames(match.value)) {
        if (std::find(present.begin(), present.end(), wanted) == present.end()) {
            return false;
        }
    }
    return !present.empty();
}

bool PageEngine::HoldsFormControls(HtmlCursor element) const {
    const int end = page.FindNextElement("textarea", element, true).node;
    const HtmlCursor textarea = page.FindNextElement("textarea", element, false);
    if (!textarea.AtEnd() && (end < 0 || textarea.node < end)) {
        return true;
    }
    const HtmlCursor after = page.FindNextElement("input", element, true);
    for (HtmlCursor input = page.FindNextElement("input", element, false);
         !input.AtEnd() && !(input == after); input = page.FindNextElement("input", input, false)) {
        const std::wstring type = LowerText(page.ElementAttribute(input, "type"));
        if (type != L"hidden" && type != L"submit" && type != L"image" && type != L"button") {
            return true;
        }
    }
    return false;
}

std::wstring PageEngine::FindBoxText(const MessageBox& box) {
    std::wstring best;
    const std::string& tag = box.box.tag;
    for (HtmlCursor at = page.FindElement(0, tag); !at.AtEnd();
         at = page.FindNextElement(tag, at, false)) {
        if (!Matches(at, box.box)) {
            continue;
        }
        bool inside = true;
        const HtmlCursor saved = page.element_cursor;
        for (const ElementMatch& ancestor : box.within) {
            page.element_cursor = at;
            bool found = false;
            while (!found && page.SelectAncestor(ancestor.tag)) {
                found = Matches(page.element_cursor, ancestor);
            }
            inside = inside && found;
        }
        page.element_cursor = saved;
        if (!inside || HoldsFormControls(at)) {
            continue;
        }
        std::wstring text = CollapseWhitespace(page.ReadableText(at));
        if (text.empty()) {
            continue;
        }
        if (box.heading.empty()) {
            return text;
        }
        // A heading: the innermost element holding it, which has the shortest text.
        if (text.find(box.heading) != std::wstring::npos &&
            (best.empty() || text.size() < best.size())) {
            best = text;
        }
    }
    return best;
}

std::wstring PageEngine::BoardMessage(bool titleWhenNoBox) {
    for (const MessageBox& box : words_.message_boxes) {
        std::wstring text = FindBoxText(box);
        if (!text.empty()) {
            return CleanBoardText(text);
        }
    }
    if (!titleWhenNoBox) {
        return {};
    }
    // A title that names the board ("Board - Post a new topic") belongs to one of its own
    // pages and says nothing; one that does not (a host's suspension notice, a challenge
    // page in front of the board) is all there is to show.
    std::wstring title;
    if (page.Title(title)) {
        title = CollapseWhitespace(title);
        if (!title.empty() && !SharesName(title, BoardTitle()) &&
            !SharesName(title, section_title_)) {
            return CleanBoardText(title);
        }
    }
    return {};
}

ResultCode PageEngine::FailWithBoardMessage(ResultCode code) {
    failure_text = BoardMessage();
    return code;
}

bool PageEngine::FillNewTopicForm(HtmlForm&, const std::wstring&, const std::wstring&) {
    return false;
}

bool PageEngine::FillSignInForm(HtmlForm&, const std::wstring&, const std::wstring&) {
    return false;
}

ResultCode PageEngine::NotSignedIn(bool) {
    return kInvalidLogin;
}

ResultCode PageEngine::SignInWithForm(const SignInSteps& steps, const std::wstring& login,
                                      const std::wstring& password, std::wstring& forumTitle) {
    ResultCode result = OpenUrl(base_url, false);
    if (result != kOk) {
        return result;
    }
    std::wstring title;
    if (page.Title(title)) {
        forumTitle = steps.trim_title ? CollapseWhitespace(title) : title;
    }
    NoteSignIn(title, password);
    // A session left over in the cookies would hide the form, or sign in someone else.
    if (steps.sign_out_first && IsSignedIn(steps)) {
        result = OpenUrl(page.LinkUrl(), true);
        if (result != kOk) {
            return result;
        }
    }

    HtmlForm form;
    auto fits = [&](HtmlForm& candidate) { return FillSignInForm(candidate, login, password); };
    bool retried = false;
    while (!FindForm(form, fits)) {
        if (retried) {
            return FailWithBoardMessage(kNotScript);
        }
        retried = true;
        if (!steps.sign_out_first && IsSignedIn(steps)) {
            result = OpenUrl(page.LinkUrl(), false);
            if (result == kOk && steps.reopen_main_after_sign_out) {
                result = OpenUrl(base_url, false);
            }
        } else if (!steps.sign_in_links.empty() && !IsSignedIn(steps) &&
                   FindLink(steps.sign_in_links, steps.sign_in_links_excluded)) {
            result = OpenUrl(page.LinkUrl(), false);
        }
        if (result != kOk) {
            return result;
        }
    }

    if (steps.pause_before_sending > 0 && Pause(steps.pause_before_sending)) {
        return kStopped;
    }
    result = SubmitForm(form, false, false);
    if (result != kOk) {
        return result;
    }
    if (IsSignedIn(steps)) {
        signed_in_ = true;
        return kOk;
    }
    // The board's words are on its answer, not on the page that answer leads back to.
    const std::wstring answer = BoardMessage();
    std::wstring target;
    const bool refresh = page.MetaRefreshUrl(target);
    if (refresh) {
        result = OpenUrl(target, false);
        if (result != kOk) {
            return result;
        }
        if (IsSignedIn(steps)) {
            signed_in_ = true;
            return kOk;
        }
    }
    result = NotSignedIn(refresh);
    signed_in_ = result == kOk;
    if (result != kOk) {
        failure_text = answer.empty() ? BoardMessage() : answer;
    }
    return result;
}

bool PageEngine::FindNewTopicLink(const std::vector<std::wstring>& patterns) {
    const int section = ForumIdOfSection(section_url_);
    for (int i = 0; page.SelectLink(i); ++i) {
        std::wstring url = page.LinkUrl();
        bool matches = std::any_of(patterns.begin(), patterns.end(), [&](const std::wstring& p) {
            return url.find(p) != std::wstring::npos;
        });
        // Navigation bars carry new-topic links of other forums; a post goes only where the
        // user chose.
        if (matches && (section < 0 || ForumIdOfLink(url) == section)) {
            return true;
        }
    }
    return false;
}

ResultCode PageEngine::CheckDeclaredLimits(const HtmlForm& form, const std::wstring& subject,
                                           const std::wstring& body) {
    auto declared = [&form](const std::wstring& text) {
        for (const FormField& field : form.fields) {
            if (field.type == kFieldText && field.value == text) {
                return field.max_length;
            }
        }
        return -1;
    };
    return CheckLengthLimits(subject, body, declared(subject), declared(body));
}

TopicList PageEngine::LinksOfPage() {
    TopicList links;
    for (int i = 0; page.SelectLink(i); ++i) {
        links.push_back(TopicEntry{page.LinkUrl(), page.LinkText()});
    }
    return links;
}

ResultCode PageEngine::ReadSectionTopics(TopicList& topics) {
    if (section_url_.empty()) {
        return kNotScript;
    }
    ResultCode result = OpenUrl(section_url_, false);
    if (result == kOk) {
        topics = LinksOfPage();
    }
    return result;
}

ResultCode PageEngine::PostNewTopic(const std::wstring& subject, const std::wstring& body,
                                    std::wstring& topicUrl, const NewTopicSteps& steps) {
    topicUrl.clear();
    section_url_ = web.current_url;
    section_title_.clear();
    if (page.Title(section_title_)) {
        section_title_ = CollapseWhitespace(section_title_);
    }
    const std::vector<std::wstring> known_topics = TopicsTitled(LinksOfPage(), subject);
    NoteTopicsBeforeSending(known_topics);
    if (!FindNewTopicLink(steps.link_patterns)) {
        return FailWithBoardMessage(kNewTopicNotAllowed);
    }
    const std::wstring form_url = page.LinkUrl();

    for (bool flood_retry = false;; flood_retry = true) {
        ResultCode result = OpenUrl(form_url, false);
        if (result != kOk) {
            return result;
        }
        HtmlForm form;
        if (!FillNewTopicForm(form, subject, body)) {
            return FailWithBoardMessage(steps.form_missing);
        }
        result = CheckDeclaredLimits(form, subject, body);
        if (result != kOk) {
            return result;
        }
        if (Pause(steps.pause_before)) {
            return kStopped;
        }
        result = SubmitForm(form, false, true);
        // Boards that answer a refusal with an error status (SMF's 403 pages) still speak
        // in their own message box; a gateway's or a server's error page does not, and
        // then the answer is lost.
        bool refused_by_board = false;
        if (result == kConnectionError && web.status_code >= 400 && !web.body.empty()) {
            const std::wstring lost = failure_text;
            page.Load(web);
            refused_by_board = !BoardMessage(false).empty();
            failure_text = refused_by_board ? std::wstring() : lost;
        }
        if (result == kConnectionError && !refused_by_board) {
            return FindTopicAfterLostAnswer(subject, known_topics, topicUrl);
        }
        if (result != kOk && !refused_by_board) {
            return result;
        }
        if (steps.pause_after > 0) {
            Pause(steps.pause_after);
        }

        // A topic held for a moderator may be shown already (SMF shows it with a notice):
        // that notice comes first. Otherwise a topic page proves the post, whatever else
        // it says; only an answer without the proof is read for a flood refusal.
        const std::wstring answer = BoardMessage();
        if (ContainsAnyPhrase(answer, words_.moderation_phrases)) {
            failure_text = answer;
            return kCheckResult;
        }
        if (!refused_by_board && FindLink({steps.reply_pattern})) {
            topicUrl = web.current_url;
            return kOk;
        }
        if (refused_by_board && !ContainsAnyPhrase(answer, words_.flood_phrases)) {
            failure_text = answer;
            return kCheckResult;
        }
        if (ContainsAnyPhrase(answer, words_.flood_phrases)) {
            if (flood_retry) {
                failure_text = answer;
                return kCheckResult;
            }
            if (WaitOutFloodLimit(SecondsNamed(answer))) {
                return kStopped;
            }
            continue;
        }
        return CheckPostResult(steps.reply_pattern, topicUrl, [&] {
            return FindTopicAfterLostAnswer(subject, known_topics, topicUrl);
        });
    }
}

}  // namespace twk
