#include "engines/BoardText.h"

#include <cwchar>
#include <cwctype>

namespace twk {
namespace {

bool IsSpace(wchar_t c) {
    // No-break spaces (&nbsp;) pad board messages as often as plain ones.
    return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n' || c == L'\f' || c == L'\v' ||
           c == 0x00A0 || c == 0x2007 || c == 0x202F || c == 0x3000;
}

bool IsDigit(wchar_t c) {
    return c >= L'0' && c <= L'9';
}

// The value of digits starting at position, or -1 when there are none or too many.
int ReadNumber(const std::wstring& text, size_t position, size_t* end = nullptr) {
    size_t i = position;
    long value = 0;
    while (i < text.size() && IsDigit(text[i])) {
        value = value * 10 + (text[i] - L'0');
        if (value > 1000000000L) {
            return -1;
        }
        ++i;
    }
    if (end != nullptr) {
        *end = i;
    }
    return i == position ? -1 : static_cast<int>(value);
}

}  // namespace

std::wstring CollapseWhitespace(const std::wstring& text) {
    std::wstring out;
    out.reserve(text.size());
    bool space = false;
    for (wchar_t c : text) {
        if (IsSpace(c)) {
            space = !out.empty();
            continue;
        }
        if (space) {
            out += L' ';
            space = false;
        }
        out += c;
    }
    return out;
}

std::wstring ShortenText(const std::wstring& text, size_t limit) {
    if (text.size() <= limit) {
        return text;
    }
    const std::wstring ellipsis = L"...";
    size_t cut = limit > ellipsis.size() ? limit - ellipsis.size() : 0;
    // A cut at a word reads better, unless the last word is very long.
    size_t space = text.rfind(L' ', cut);
    if (space != std::wstring::npos && space + 40 > cut) {
        cut = space;
    }
    return text.substr(0, cut) + ellipsis;
}

std::wstring LowerText(std::wstring text) {
    for (wchar_t& c : text) {
        if (c >= L'A' && c <= L'Z') {
            c = c - L'A' + L'a';
        } else if (c >= 0x0410 && c <= 0x042F) {
            c = c + 0x20;
        } else if (c >= 0x0400 && c <= 0x040F) {
            c = c + 0x50;
        }
    }
    return text;
}

bool ContainsAnyPhrase(const std::wstring& text, const std::vector<std::wstring>& phrases) {
    const std::wstring lower = LowerText(text);
    for (const std::wstring& phrase : phrases) {
        if (!phrase.empty() && lower.find(phrase) != std::wstring::npos) {
            return true;
        }
    }
    return false;
}

int SecondsNamed(const std::wstring& text) {
    const std::wstring lower = LowerText(text);
    int found = -1;
    for (size_t i = 0; i < lower.size(); ++i) {
        if (!IsDigit(lower[i]) || (i > 0 && IsDigit(lower[i - 1]))) {
            continue;
        }
        size_t end = 0;
        int value = ReadNumber(lower, i, &end);
        if (value < 0) {
            continue;
        }
        size_t word = end;
        while (word < lower.size() && IsSpace(lower[word])) {
            ++word;
        }
        // MyBB: "Please wait 30 more seconds."
        if (lower.compare(word, 5, L"more ") == 0) {
            word += 5;
        }
        if (lower.compare(word, 3, L"sec") == 0 || lower.compare(word, 3, L"сек") == 0) {
            found = value;
        }
        i = end;
    }
    return found;
}

int NumericQueryParam(const std::wstring& url, const std::wstring& name) {
    size_t query = url.find(L'?');
    if (query == std::wstring::npos) {
        return -1;
    }
    size_t end = url.find(L'#', query);
    if (end == std::wstring::npos) {
        end = url.size();
    }
    size_t start = query + 1;
    while (start < end) {
        size_t stop = url.find_first_of(L"&;", start);
        if (stop == std::wstring::npos || stop > end) {
            stop = end;
        }
        if (stop - start > name.size() && url.compare(start, name.size(), name) == 0 &&
            url[start + name.size()] == L'=') {
            size_t number_end = 0;
            int value = ReadNumber(url, start + name.size() + 1, &number_end);
            // "f=12.0" (SMF) still names 12; "f=12abc" names nothing.
            if (value >= 0 && (number_end == stop || url[number_end] == L'.')) {
                return value;
            }
            return -1;
        }
        start = stop + 1;
    }
    return -1;
}

std::wstring WithoutSessionId(const std::wstring& url) {
    const std::wstring address = url.substr(0, url.find(L'#'));
    const size_t query = address.find(L'?');
    if (query == std::wstring::npos) {
        return address;
    }
    std::wstring kept = address.substr(0, query);
    bool first = true;
    for (size_t start = query + 1; start <= address.size();) {
        size_t stop = address.find_first_of(L"&;", start);
        if (stop == std::wstring::npos) {
            stop = address.size();
        }
        const std::wstring param = address.substr(start, stop - start);
        const std::wstring name = param.substr(0, param.find(L'='));
        // phpBB's "sid", vBulletin's and IPBoard's "s", SMF's "PHPSESSID".
        if (!param.empty() && name != L"sid" && name != L"s" && name != L"PHPSESSID") {
            kept += first ? L'?' : address[start - 1];
            kept += param;
            first = false;
        }
        start = stop + 1;
    }
    return kept;
}

int ForumIdOfSection(const std::wstring& url) {
    for (const wchar_t* name : {L"f", L"showforum", L"fid", L"board"}) {
        int id = NumericQueryParam(url, name);
        if (id >= 0) {
            return id;
        }
    }
    const std::wstring address = url.substr(0, url.find(L'#'));
    for (const std::wstring marker :
         {L"/forum/", L"/forums/", L"forumdisplay.php?", L"forumdisplay.php/"}) {
        size_t at = address.find(marker);
        if (at == std::wstring::npos) {
            continue;
        }
        size_t end = 0;
        int id = ReadNumber(address, at + marker.size(), &end);
        if (id >= 0 && end < address.size() && address[end] == L'-') {
            return id;
        }
    }
    return -1;
}

int ForumIdOfLink(const std::wstring& url) {
    for (const wchar_t* name : {L"f", L"fid", L"board"}) {
        int id = NumericQueryParam(url, name);
        if (id >= 0) {
            return id;
        }
    }
    return -1;
}

}  // namespace twk
