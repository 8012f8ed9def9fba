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

bool ForumEngine::ClearToSend() {
    if (stop_requested) {
        return false;
    }
    if (send_gate_ && !send_gate_()) {
        return false;
    }
    return !stop_requested;
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
