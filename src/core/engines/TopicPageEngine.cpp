#include "engines/TopicPageEngine.h"

#include <chrono>
#include <regex>

#include "engines/BoardText.h"
#include "text/StringTable.h"

namespace twk {
namespace {

int64_t DaysFromCivil(int year, int month, int day) {
    using namespace std::chrono;
    const year_month_day date{std::chrono::year(year),
                              std::chrono::month(static_cast<unsigned>(month)),
                              std::chrono::day(static_cast<unsigned>(day))};
    if (!date.ok()) {
        return -1;
    }
    return sys_days(date).time_since_epoch().count();
}

// Hours of a 12-hour clock as the 24-hour clock counts them.
int Hour24(int hour, const std::wstring& meridiem) {
    const std::wstring lower = LowerText(meridiem);
    if (lower == L"pm" && hour < 12) {
        return hour + 12;
    }
    if (lower == L"am" && hour == 12) {
        return 0;
    }
    return hour;
}

int64_t At(int64_t days, int hour, int minute, int second) {
    if (days < 0 || hour > 23 || minute > 59 || second > 59) {
        return 0;
    }
    return days * 86400 + hour * 3600 + minute * 60 + second;
}

int MonthNamed(const std::wstring& name) {
    static const wchar_t* const kMonths[] = {L"jan", L"feb", L"mar", L"apr", L"may", L"jun",
                                             L"jul", L"aug", L"sep", L"oct", L"nov", L"dec"};
    const std::wstring lower = LowerText(name.substr(0, 3));
    for (int i = 0; i < 12; ++i) {
        if (lower == kMonths[i]) {
            return i + 1;
        }
    }
    return 0;
}

}  // namespace

TopicPageEngine::TopicPageEngine(const BoardWords& words, const TopicPageSteps& steps)
    : PageEngine(words), steps_(steps) {}

ResultCode TopicPageEngine::OpenTopicPage(const std::wstring& url, int* counter) {
    const ResultCode opened = OpenUrl(url, false);
    if (counter != nullptr && opened != kStopped) {
        ++*counter;
    }
    if (opened == kConnectionError && (web.status_code == 404 || web.status_code == 410)) {
        failure_text = LoadFormatted(kIdsTopicAnswered, web.status_line);
        return kTopicGone;
    }
    if (opened != kOk) {
        return opened;
    }
    if (HasPosts()) {
        return kOk;
    }
    failure_text = BoardMessage();
    if (ContainsAnyPhrase(failure_text, steps_.gone_phrases)) {
        return kTopicGone;
    }
    // Boards show members-only topics to guests as a refusal with a sign-in form.
    return FindLink(steps_.sign_out_links) ? kPageError : kSignInNeeded;
}

ResultCode TopicPageEngine::EditRefusedHere() {
    failure_text = BoardMessage();
    return ContainsAnyPhrase(failure_text, steps_.gone_phrases) ? kTopicGone : kEditRefused;
}

ResultCode TopicPageEngine::SendEdit(const HtmlForm& form, const std::wstring& topicUrl,
                                     const std::wstring& subject) {
    if (Pause(steps_.pause_before)) {
        return kStopped;
    }
    const ResultCode sent = SubmitForm(form, false, true);
    if (sent == kConnectionError) {
        const std::wstring lost = failure_text;
        // An error status that carries the board's own message box is its refusal; any
        // other failure leaves the edit unknown until the topic is read again.
        if (web.status_code >= 400 && !web.body.empty()) {
            page.Load(web);
            const std::wstring words = BoardMessage(false);
            if (!words.empty()) {
                failure_text = words;
                return kEditRefused;
            }
        }
        return ConfirmEdit(topicUrl, subject, lost.empty() ? web.error_text : lost);
    }
    if (sent != kOk) {
        return sent;
    }
    const std::wstring answer = BoardMessage();
    if (ContainsAnyPhrase(answer, steps_.moderation_phrases)) {
        failure_text = answer;
        return kCheckResult;
    }
    // Taken edits are answered with a redirect screen or, after a 302, the topic; the form
    // again or a bare message is a refusal.
    std::wstring target;
    if (!page.MetaRefreshUrl(target) && !HasPosts() && !answer.empty()) {
        failure_text = answer;
        return kEditRefused;
    }
    return ConfirmEdit(topicUrl, subject, L"");
}

ResultCode TopicPageEngine::ConfirmEdit(const std::wstring& topicUrl, const std::wstring& subject,
                                        const std::wstring& lostAnswer) {
    const ResultCode read = OpenTopicPage(topicUrl);
    if (read == kStopped) {
        return kStopped;
    }
    if (read == kOk && TitleShows(subject)) {
        return kOk;
    }
    if (!lostAnswer.empty()) {
        failure_text = lostAnswer;
    } else if (read == kOk) {
        failure_text = LoadText(kIdsOldSubjectStillShown);
    }
    return kCheckResult;
}

bool TopicPageEngine::TitleShows(const std::wstring& subject) {
    std::wstring title;
    if (!page.Title(title)) {
        return false;
    }
    title = CollapseWhitespace(title);
    const std::wstring wanted = CollapseWhitespace(subject);
    if (wanted.empty() || title.compare(0, wanted.size(), wanted) != 0) {
        return false;
    }
    const std::wstring rest = title.substr(wanted.size());
    return rest.empty() || rest.rfind(L" - ", 0) == 0 || rest.rfind(L" | ", 0) == 0 ||
           rest.rfind(L" \x2014 ", 0) == 0;
}

int64_t TopicPageEngine::ParsePostTime(const std::wstring& original, int64_t now) {
    std::wstring text = original;
    for (wchar_t& c : text) {
        if (c == L'\x00a0') {
            c = L' ';
        }
    }
    std::wsmatch m;
    static const std::wregex iso(
        LR"((\d{4})-(\d{2})-(\d{2})T(\d{2}):(\d{2})(?::(\d{2}))?(Z|[+-]\d{2}:?\d{2})?)");
    if (std::regex_search(text, m, iso)) {
        int64_t at = At(DaysFromCivil(std::stoi(m[1]), std::stoi(m[2]), std::stoi(m[3])),
                        std::stoi(m[4]), std::stoi(m[5]), m[6].matched ? std::stoi(m[6]) : 0);
        const std::wstring zone = m[7].str();
        if (at != 0 && zone.size() >= 5) {
            const int hours = std::stoi(zone.substr(1, 2));
            const int minutes = std::stoi(zone.substr(zone.size() - 2));
            const int64_t offset = hours * 3600 + minutes * 60;
            at += zone[0] == L'+' ? -offset : offset;
        }
        return at;
    }
    static const std::wstring clock = LR"([ ,]+(\d{1,2}):(\d{2})(?:\s*([AaPp][Mm]))?)";
    static const std::wregex dotted(LR"((\d{1,2})\.(\d{1,2})\.(\d{4}))" + clock);
    static const std::wregex dashed(LR"((\d{1,2})[-/](\d{1,2})[-/](\d{4}))" + clock);
    static const std::wregex named(LR"(([A-Z][a-z]{2,8})\.? (\d{1,2}),? (\d{4}))" + clock);
    static const std::wregex relative(LR"((Today|Yesterday|Сегодня|Вчера|сегодня|вчера))" + clock);
    int day = 0;
    int month = 0;
    int year = 0;
    if (std::regex_search(text, m, dotted)) {
        day = std::stoi(m[1]);
        month = std::stoi(m[2]);
        year = std::stoi(m[3]);
    } else if (std::regex_search(text, m, dashed)) {
        month = std::stoi(m[1]);
        day = std::stoi(m[2]);
        year = std::stoi(m[3]);
    } else if (std::regex_search(text, m, named) && MonthNamed(m[1]) != 0) {
        month = MonthNamed(m[1]);
        day = std::stoi(m[2]);
        year = std::stoi(m[3]);
    } else if (std::regex_search(text, m, relative)) {
        const std::wstring word = LowerText(m[1]);
        int64_t days = now / 86400;
        if (word == L"yesterday" || word == L"вчера") {
            --days;
        }
        return At(days, Hour24(std::stoi(m[2]), m[4]), std::stoi(m[3]), 0);
    } else {
        return 0;
    }
    return At(DaysFromCivil(year, month, day), Hour24(std::stoi(m[4]), m[6]), std::stoi(m[5]), 0);
}

}  // namespace twk
