#include "text/MarkdownSyntax.h"

#include <algorithm>

namespace twk::markdown {
namespace {

bool IsSpaceOrTab(wchar_t c) {
    return c == L' ' || c == L'\t';
}

bool IsAsciiDigit(wchar_t c) {
    return c >= L'0' && c <= L'9';
}

bool IsAsciiAlnum(wchar_t c) {
    return IsAsciiDigit(c) || (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z');
}

bool IsAsciiPunct(wchar_t c) {
    return (c >= 0x21 && c <= 0x2F) || (c >= 0x3A && c <= 0x40) || (c >= 0x5B && c <= 0x60) ||
           (c >= 0x7B && c <= 0x7E);
}

wchar_t AsciiLower(wchar_t c) {
    return (c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c - L'A' + L'a') : c;
}

// "&amp;" or "&#38;" typed as text must not turn into "&".
bool StartsEntity(std::wstring_view text, size_t amp) {
    size_t pos = amp + 1;
    if (pos < text.size() && text[pos] == L'#') {
        return true;
    }
    while (pos < text.size() && IsAsciiAlnum(text[pos])) {
        ++pos;
    }
    return pos > amp + 1 && pos < text.size() && text[pos] == L';';
}

bool IsUrlChar(wchar_t c) {
    return c > 0x20 && c != 0x7F && Classify(c) != CharClass::Space &&
           std::wstring_view(L"<>\"`[]{}|\\^").find(c) == std::wstring_view::npos;
}

// The length of "http://" or "https://" at the start of `text` (any case), or 0.
size_t SchemeLength(std::wstring_view text) {
    for (std::wstring_view prefix : {L"http://", L"https://"}) {
        if (text.size() >= prefix.size() &&
            std::equal(prefix.begin(), prefix.end(), text.begin(),
                       [](wchar_t a, wchar_t b) { return a == AsciiLower(b); })) {
            return prefix.size();
        }
    }
    return 0;
}

}  // namespace

CharClass Classify(wchar_t c) {
    if (c < 0x80) {
        if (c <= 0x20 || c == 0x7F) {
            return CharClass::Space;
        }
        return IsAsciiPunct(c) ? CharClass::Punct : CharClass::Word;
    }
    if (c == 0xA0 || c == 0x1680 || (c >= 0x2000 && c <= 0x200A) || c == 0x202F || c == 0x205F ||
        c == 0x3000) {
        return CharClass::Space;
    }
    struct Range {
        wchar_t first, last;
    };
    // Letters of the common scripts: Latin, Greek, Cyrillic, Armenian, Hebrew, Arabic,
    // Thai, Hangul, kana, CJK ideographs, full-width letters and digits.
    static constexpr Range kLetters[] = {
        {0xC0, 0xD6},     {0xD8, 0xF6},     {0xF8, 0x24F},    {0x388, 0x3FF},   {0x400, 0x481},
        {0x48A, 0x52F},   {0x531, 0x587},   {0x5D0, 0x5EA},   {0x620, 0x64A},   {0xE01, 0xE30},
        {0x1100, 0x11FF}, {0x3041, 0x3096}, {0x30A1, 0x30FA}, {0x3400, 0x4DBF}, {0x4E00, 0x9FFF},
        {0xAC00, 0xD7A3}, {0xF900, 0xFAFF}, {0xFF10, 0xFF19}, {0xFF21, 0xFF3A}, {0xFF41, 0xFF5A}};
    for (const Range& range : kLetters) {
        if (c >= range.first && c <= range.last) {
            return CharClass::Word;
        }
    }
    return CharClass::Unknown;
}

bool DelimiterWorks(wchar_t marker, wchar_t before, wchar_t after, bool opening) {
    const CharClass before_class = Classify(before);
    const CharClass after_class = Classify(after);
    const bool before_space = before_class == CharClass::Space;
    const bool after_space = after_class == CharClass::Space;
    for (int guess = 0; guess < 4; ++guess) {
        const bool before_punct = before_class == CharClass::Punct ||
                                  (before_class == CharClass::Unknown && (guess & 1) != 0);
        const bool after_punct = after_class == CharClass::Punct ||
                                 (after_class == CharClass::Unknown && (guess & 2) != 0);
        const bool left = !after_space && (!after_punct || before_space || before_punct);
        const bool right = !before_space && (!before_punct || after_space || after_punct);
        bool works = false;
        if (opening) {
            works = marker == L'*' ? left : left && (!right || before_punct);
        } else {
            works = marker == L'*' ? right : right && (!left || after_punct);
        }
        if (!works) {
            return false;
        }
    }
    return true;
}

std::wstring EscapeText(std::wstring_view text) {
    std::wstring out;
    out.reserve(text.size() + text.size() / 8 + 1);
    for (size_t i = 0; i < text.size(); ++i) {
        const wchar_t c = text[i];
        bool escape = false;
        switch (c) {
            case L'\\':
            case L'*':
            case L'`':
            case L'[':
            case L']':
            case L'|':
            case L'~':
            case L'<':
                escape = true;
                break;
            case L'_':
                // Inside a word an underscore can neither open nor close emphasis.
                escape = i == 0 || i + 1 == text.size() || !IsAsciiAlnum(text[i - 1]) ||
                         !IsAsciiAlnum(text[i + 1]);
                break;
            case L'&':
                escape = StartsEntity(text, i);
                break;
            default:
                break;
        }
        if (escape) {
            out += L'\\';
        }
        out += c;
    }
    return out;
}

size_t LineStartEscape(std::wstring_view line) {
    if (line.empty()) {
        return std::wstring_view::npos;
    }
    const wchar_t c = line[0];
    const wchar_t next = line.size() > 1 ? line[1] : L'\0';
    if (c == L'#' || c == L'>') {
        return 0;
    }
    if ((c == L'-' || c == L'+' || c == L'=') &&
        (next == L'\0' || IsSpaceOrTab(next) || next == c)) {
        return 0;
    }
    size_t digits = 0;
    while (digits < line.size() && IsAsciiDigit(line[digits])) {
        ++digits;
    }
    if (digits > 0 && digits < line.size() && (line[digits] == L'.' || line[digits] == L')') &&
        (digits + 1 == line.size() || IsSpaceOrTab(line[digits + 1]))) {
        return digits;
    }
    return std::wstring_view::npos;
}

std::optional<Span> FindAddress(std::wstring_view text, size_t from) {
    for (size_t pos = from; pos < text.size(); ++pos) {
        if (AsciiLower(text[pos]) != L'h' || (pos > 0 && IsAsciiAlnum(text[pos - 1]))) {
            continue;
        }
        const size_t scheme = SchemeLength(text.substr(pos));
        if (scheme == 0) {
            continue;
        }
        size_t end = pos + scheme;
        while (end < text.size() && IsUrlChar(text[end])) {
            ++end;
        }
        while (end > pos + scheme) {
            const std::wstring_view address = text.substr(pos, end - pos);
            const wchar_t last = address.back();
            const bool unmatched_paren =
                last == L')' && std::count(address.begin(), address.end(), L'(') <
                                    std::count(address.begin(), address.end(), L')');
            if (!unmatched_paren &&
                std::wstring_view(L".,:;!?'*_~").find(last) == std::wstring_view::npos) {
                break;
            }
            --end;
        }
        if (end > pos + scheme) {
            return Span{pos, end};
        }
    }
    return std::nullopt;
}

std::wstring Destination(std::wstring_view url) {
    // Angle brackets keep an address with spaces or parentheses in one piece. Markdown reads
    // escapes and entities in destinations too: backslashes are doubled and "&amp;" stays.
    const bool pointy = std::any_of(url.begin(), url.end(), [](wchar_t c) {
        return c <= 0x20 || c == L'(' || c == L')' || c == L'<' || c == L'>';
    });
    std::wstring out = pointy ? L"<" : L"";
    for (size_t i = 0; i < url.size(); ++i) {
        const wchar_t c = url[i];
        if (c == L'\\' || (pointy && (c == L'<' || c == L'>')) ||
            (c == L'&' && StartsEntity(url, i))) {
            out += L'\\';
        }
        out += c;
    }
    if (pointy) {
        out += L'>';
    }
    return out;
}

bool FitsAutolink(std::wstring_view url) {
    return std::none_of(url.begin(), url.end(),
                        [](wchar_t c) { return c <= 0x20 || c == L'<' || c == L'>'; });
}

}  // namespace twk::markdown
