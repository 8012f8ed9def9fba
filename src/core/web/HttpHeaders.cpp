#include "web/HttpHeaders.h"

#include <cwctype>

namespace twk {
namespace {

bool SameLetters(wchar_t a, wchar_t b) {
    auto lower = [](wchar_t c) { return (c >= L'A' && c <= L'Z') ? c - L'A' + L'a' : c; };
    return lower(a) == lower(b);
}

bool StartsWithIgnoringCase(const std::wstring& text, size_t at, const std::wstring& prefix) {
    if (text.size() - at < prefix.size()) {
        return false;
    }
    for (size_t i = 0; i < prefix.size(); ++i) {
        if (!SameLetters(text[at + i], prefix[i])) {
            return false;
        }
    }
    return true;
}

}  // namespace

std::wstring FindHeaderValue(const std::wstring& rawHeaders, const std::wstring& name) {
    if (name.empty()) {
        return {};
    }
    size_t line = 0;
    while (line < rawHeaders.size()) {
        size_t end = rawHeaders.find(L"\r\n", line);
        if (end == std::wstring::npos) {
            end = rawHeaders.size();
        }
        if (StartsWithIgnoringCase(rawHeaders, line, name) && line + name.size() <= end) {
            size_t value = line + name.size();
            while (value < end && rawHeaders[value] == L' ') {
                ++value;
            }
            return rawHeaders.substr(value, end - value);
        }
        line = end + 2;
    }
    return {};
}

}  // namespace twk
