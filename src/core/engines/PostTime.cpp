#include "engines/PostTime.h"

#include <chrono>
#include <regex>

#include "engines/BoardText.h"

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

int64_t ParsePostTime(const std::wstring& original, int64_t now) {
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
