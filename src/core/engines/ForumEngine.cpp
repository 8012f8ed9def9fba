#include "engines/ForumEngine.h"

#include <algorithm>

#include "engines/BoardText.h"
#include "engines/DiscourseEngine.h"
#include "engines/IPBoardEngine.h"
#include "engines/MyBBEngine.h"
#include "engines/NodeBBEngine.h"
#include "engines/PhpBBEngine.h"
#include "engines/SMFEngine.h"
#include "engines/VBulletinEngine.h"
#include "text/StringTable.h"
#include "text/Unicode.h"

namespace twk {

const wchar_t* const DefaultUserAgent =
    L"Mozilla/4.0 (compatible; MSIE 8.0; Windows NT 5.1; Trident/4.0; .NET CLR 2.0.50727; "
    L".NET CLR 1.1.4322; .NET CLR 3.0.04506.30; .NET CLR 3.0.04506.648)";

ForumEngine::ForumEngine() : web(DefaultUserAgent), sleeper_(&RealSleeper()) {}

ForumEngine::~ForumEngine() = default;

ResultCode ForumEngine::EditTopic(const std::wstring&, const std::wstring&, const std::wstring&) {
    failure_text = LoadText(kIdsCannotEditTopics);
    return kUnknownError;
}

ResultCode ForumEngine::ReadReplies(const std::wstring&, ReplyInfo&) {
    failure_text = LoadText(kIdsCannotReadReplies);
    return kUnknownError;
}

int ForumEngine::SetBaseUrl(const std::wstring& mainUrl) {
    base_url = mainUrl;
    return 0;
}

std::wstring ForumEngine::LastAnswerText() const {
    std::wstring text = L"<pre>";
    for (wchar_t c : Utf8ToWide(web.body)) {
        switch (c) {
            case L'&':
                text += L"&amp;";
                break;
            case L'<':
                text += L"&lt;";
                break;
            case L'>':
                text += L"&gt;";
                break;
            default:
                text += c;
        }
    }
    return text + L"</pre>";
}

bool ForumEngine::Pause(int seconds) {
    int left = seconds;
    for (;;) {
        --left;
        if (stop_requested) {
            return true;
        }
        sleeper_->Sleep(std::chrono::milliseconds(1000));
        if (left <= 0) {
            return false;
        }
    }
}

void ForumEngine::ReportStatus(int textId) {
    if (status_reporter_) {
        status_reporter_(textId);
    }
}

void ForumEngine::ReportStep(int textId) {
    step_status_ = textId;
    ReportStatus(textId);
}

bool ForumEngine::ClearToSend() {
    if (stop_requested) {
        return false;
    }
    if (send_gate_ && !send_gate_()) {
        return false;
    }
    return !stop_requested;
}

namespace {

// The seconds a Retry-After header names, or -1. Its other form, a date, is left to the
// growing pause: the board's clock need not agree with ours.
int RetryAfterSeconds(const std::wstring& value) {
    const std::wstring text = CollapseWhitespace(value);
    if (text.empty() || text.size() > 9 ||
        text.find_first_not_of(L"0123456789") != std::wstring::npos) {
        return -1;
    }
    return std::stoi(text);
}

}  // namespace

ResultCode ForumEngine::RetryPassingFaults(const std::function<bool()>& request) {
    int pause = kFirstRetryPause;
    for (int retry = 0;; ++retry) {
        const bool done = request();
        if (done && retry > 0 && step_status_ != 0) {
            ReportStatus(step_status_);
        }
        if (done) {
            return kOk;
        }
        // A person would press reload; an abort or a fault that does not pass would only
        // come again.
        if (!web.passing_fault || retry == kPassingFaultRetries || stop_requested) {
            return kConnectionError;
        }
        const int named = RetryAfterSeconds(web.ResponseHeader(L"Retry-After:"));
        const int wait = named < 0 ? pause : std::clamp(named, 1, kMaxRetryAfter);
        pause *= 2;
        ReportStatus(kIdsForumBusy);
        if (Pause(wait)) {
            return kStopped;
        }
    }
}

void ForumEngine::NoteTopicsBeforeSending(const std::vector<std::wstring>& urls) {
    listed_before_sending_.clear();
    for (const std::wstring& url : urls) {
        listed_before_sending_.push_back(WithoutSessionId(url));
    }
}

void ForumEngine::AddSection(SectionList& sections, const std::wstring& url,
                             const std::wstring& title) {
    for (const SectionRecord& section : sections) {
        if (section.key == url) {
            return;
        }
    }
    sections.push_back(SectionRecord{url, title, url});
}

void ForumEngine::NoteSignIn(const std::wstring& boardTitle, const std::wstring& password) {
    board_title_ = CollapseWhitespace(boardTitle);
    password_ = password;
}

std::wstring ForumEngine::CleanBoardText(const std::wstring& text) const {
    std::wstring clean = CollapseWhitespace(text);
    // A board may echo what it was sent; a password never goes into a result. Passwords of
    // one or two characters would blot out ordinary words and are left alone.
    if (password_.size() >= 3) {
        for (size_t at = clean.find(password_); at != std::wstring::npos;
             at = clean.find(password_, at + 3)) {
            clean.replace(at, password_.size(), L"***");
        }
    }
    return ShortenText(clean, kMaxBoardMessage);
}

bool ForumEngine::WaitOutFloodLimit(int namedSeconds) {
    const int wait =
        namedSeconds < 0 ? kDefaultFloodWait : std::min(std::max(namedSeconds, 1), kMaxFloodWait);
    ReportStatus(kIdsWaitingFloodLimit);
    if (Pause(wait)) {
        return true;
    }
    ReportStatus(kIdsSendingMessage);
    return false;
}

ResultCode ForumEngine::CheckLengthLimits(const std::wstring& subject, const std::wstring& body,
                                          int maxSubject, int maxBody) {
    struct Limit {
        const std::wstring& text;
        int most;
        int format;
    };
    for (const Limit& limit : {Limit{subject, maxSubject, kIdsSubjectTooLong},
                               Limit{body, maxBody, kIdsMessageTooLong}}) {
        // Boards count characters, as the browser's maxlength does.
        const int length = static_cast<int>(limit.text.size());
        if (limit.most >= 0 && length > limit.most) {
            failure_text = FormatText(LoadText(limit.format), length, limit.most);
            return kNoMessageForm;
        }
    }
    return kOk;
}

ResultCode ForumEngine::CheckMinimumLengths(const std::wstring& subject, const std::wstring& body,
                                            int minSubject, int minBody) {
    struct Limit {
        const std::wstring& text;
        int least;
        int format;
    };
    for (const Limit& limit : {Limit{subject, minSubject, kIdsSubjectTooShort},
                               Limit{body, minBody, kIdsMessageTooShort}}) {
        const size_t first = limit.text.find_first_not_of(L" \t\r\n");
        const size_t last = limit.text.find_last_not_of(L" \t\r\n");
        const int length = first == std::wstring::npos ? 0 : static_cast<int>(last - first + 1);
        if (limit.least > 0 && length < limit.least) {
            failure_text = FormatText(LoadText(limit.format), length, limit.least);
            return kNoMessageForm;
        }
    }
    return kOk;
}

ResultCode ForumEngine::ReadSectionTopics(TopicList&) {
    return kNotScript;
}

std::vector<std::wstring> ForumEngine::TopicsTitled(const TopicList& topics,
                                                    const std::wstring& subject) {
    std::vector<std::wstring> urls;
    const std::wstring wanted = CollapseWhitespace(subject);
    if (wanted.empty()) {
        return urls;
    }
    for (const TopicEntry& topic : topics) {
        if (CollapseWhitespace(topic.title) == wanted) {
            urls.push_back(topic.url);
        }
    }
    return urls;
}

ResultCode ForumEngine::FindTopicAfterLostAnswer(const std::wstring& subject,
                                                 const std::vector<std::wstring>& knownTopics,
                                                 std::wstring& topicUrl) {
    const std::wstring answered = failure_text;
    topicUrl.clear();
    // The board may have stored the topic before the answer was lost (a gateway error, a
    // dropped connection): a second sending would post it twice.
    TopicList topics;
    if (ReadSectionTopics(topics) == kOk) {
        for (const std::wstring& url : TopicsTitled(topics, subject)) {
            if (std::find(knownTopics.begin(), knownTopics.end(), url) == knownTopics.end()) {
                topicUrl = url;
                failure_text.clear();
                return kOk;
            }
        }
    }
    failure_text = FormatText(LoadText(kIdsAnswerLostAfterSending), answered);
    return kCheckResult;
}

// How the earlier post is told from an older topic with the same subject. The evidence, in
// the order a topic must pass it:
// - it is titled with the subject that was sent (white space folded);
// - it is not one of the topics with that subject that the section listed right before
//   the sending (listedBefore, compared without session ids): those were there before the
//   post could be;
// - where the section names who started it, that is the account that sent;
// - where the section says when it was started, that is not before the sending, allowing
//   kClockSlack for a board clock that runs behind ours.
// Boards whose pages show neither author nor time are judged by the first two alone: a
// topic with the subject on the section's first page that was not there before the
// sending.
//
// A wrong "found" costs a post that never went out (the result reads OK with the address
// of someone else's or an older topic, which the user can open and see); a wrong "not
// found" posts twice, which can get the user warned or banned and cannot be taken back.
// So the check leans to "found": any topic that passes the evidence above is taken, the
// newest first. It leans to "not found" only where it cannot see: a post the board holds
// for a moderator, or one pushed off the section's first page by later topics, is not
// listed and goes out again.
ResultCode ForumEngine::FindInterruptedPost(const std::wstring& subject, const std::wstring& login,
                                            int64_t attemptTime,
                                            const std::vector<std::wstring>& listedBefore,
                                            std::wstring& topicUrl) {
    topicUrl.clear();
    TopicList topics;
    const ResultCode read = ReadSectionTopics(topics);
    if (read == kNotScript) {
        failure_text = LoadText(kIdsSectionNotReadable);
        return kCheckResult;
    }
    if (read != kOk) {
        return read;
    }
    const std::wstring account = LowerText(CollapseWhitespace(login));
    std::vector<std::wstring> before;
    for (const std::wstring& url : listedBefore) {
        before.push_back(WithoutSessionId(url));
    }
    const std::wstring wanted = CollapseWhitespace(subject);
    for (const TopicEntry& topic : topics) {
        const std::wstring address = WithoutSessionId(topic.url);
        if (wanted.empty() || CollapseWhitespace(topic.title) != wanted ||
            std::find(before.begin(), before.end(), address) != before.end()) {
            continue;
        }
        if (!topic.author.empty() && LowerText(CollapseWhitespace(topic.author)) != account) {
            continue;
        }
        if (topic.started != 0 && topic.started < attemptTime - kClockSlack) {
            continue;
        }
        topicUrl = address;
        failure_text.clear();
        return kOk;
    }
    return kPending;
}

std::unique_ptr<ForumEngine> CreateEngine(const std::wstring& scriptName) {
    if (scriptName == L"phpBB") {
        return std::make_unique<PhpBBEngine>();
    }
    if (scriptName == L"vBulletin") {
        return std::make_unique<VBulletinEngine>();
    }
    if (scriptName == L"IPBoard") {
        return std::make_unique<IPBoardEngine>();
    }
    if (scriptName == L"SMF") {
        return std::make_unique<SMFEngine>();
    }
    if (scriptName == L"MyBB") {
        return std::make_unique<MyBBEngine>();
    }
    if (scriptName == L"NodeBB") {
        return std::make_unique<NodeBBEngine>();
    }
    if (scriptName == L"Discourse") {
        return std::make_unique<DiscourseEngine>();
    }
    return nullptr;
}

}  // namespace twk
