#include "web/UrlResolver.h"

#include <string_view>

#include "text/Unicode.h"

namespace twk {
namespace {

struct UrlParts {
    bool has_scheme = false;
    std::wstring scheme;
    bool has_authority = false;
    std::wstring authority;
    std::wstring path;
    bool has_query = false;
    std::wstring query;
    bool has_fragment = false;
    std::wstring fragment;
};

bool IsAsciiLetter(wchar_t c) {
    return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z');
}

bool IsSchemeCharacter(wchar_t c) {
    return IsAsciiLetter(c) || (c >= L'0' && c <= L'9') || c == L'+' || c == L'-' || c == L'.';
}

// Length of the scheme at the start of text (without its colon); 0 when there is none.
size_t SchemeLength(std::wstring_view text) {
    size_t colon = text.find_first_of(L":/?#");
    if (colon == std::wstring_view::npos || colon == 0 || text[colon] != L':' ||
        !IsAsciiLetter(text[0])) {
        return 0;
    }
    for (size_t i = 1; i < colon; ++i) {
        if (!IsSchemeCharacter(text[i])) {
            return 0;
        }
    }
    return colon;
}

// Browsers ignore blanks around an address and tabs and line breaks inside it; pages and
// servers rely on that ("href=\" ./viewtopic.php?t=1\n\"").
std::wstring Clean(const std::wstring& text) {
    size_t start = 0;
    size_t end = text.size();
    while (start < end && text[start] <= L' ') {
        ++start;
    }
    while (end > start && text[end - 1] <= L' ') {
        --end;
    }
    std::wstring out;
    out.reserve(end - start);
    for (size_t i = start; i < end; ++i) {
        if (text[i] != L'\t' && text[i] != L'\r' && text[i] != L'\n') {
            out += text[i];
        }
    }
    return out;
}

// Splits as RFC 3986 appendix B does, with the scheme checked for its syntax so that a
// relative path with a colon in it ("a b:c") is not taken for a scheme.
UrlParts Split(std::wstring_view text) {
    UrlParts parts;
    size_t scheme = SchemeLength(text);
    if (scheme > 0) {
        parts.has_scheme = true;
        parts.scheme = std::wstring(text.substr(0, scheme));
        text.remove_prefix(scheme + 1);
    }
    if (text.substr(0, 2) == L"//") {
        text.remove_prefix(2);
        size_t end = text.find_first_of(L"/?#");
        parts.has_authority = true;
        parts.authority = std::wstring(text.substr(0, end));
        text.remove_prefix(end == std::wstring_view::npos ? text.size() : end);
    }
    size_t hash = text.find(L'#');
    if (hash != std::wstring_view::npos) {
        parts.has_fragment = true;
        parts.fragment = std::wstring(text.substr(hash + 1));
        text = text.substr(0, hash);
    }
    size_t question = text.find(L'?');
    if (question != std::wstring_view::npos) {
        parts.has_query = true;
        parts.query = std::wstring(text.substr(question + 1));
        text = text.substr(0, question);
    }
    parts.path = std::wstring(text);
    return parts;
}

// RFC 3986 section 5.2.4.
std::wstring RemoveDotSegments(std::wstring_view input) {
    std::wstring output;
    auto drop_last_segment = [&output] {
        size_t slash = output.rfind(L'/');
        output.erase(slash == std::wstring::npos ? 0 : slash);
    };
    while (!input.empty()) {
        if (input.substr(0, 3) == L"../") {
            input.remove_prefix(3);
        } else if (input.substr(0, 2) == L"./") {
            input.remove_prefix(2);
        } else if (input.substr(0, 3) == L"/./") {
            input.remove_prefix(2);
        } else if (input == L"/.") {
            input = L"/";
        } else if (input.substr(0, 4) == L"/../") {
            input.remove_prefix(3);
            drop_last_segment();
        } else if (input == L"/..") {
            input = L"/";
            drop_last_segment();
        } else if (input == L"." || input == L"..") {
            input = {};
        } else {
            size_t next = input.find(L'/', 1);
            if (next == std::wstring_view::npos) {
                next = input.size();
            }
            output.append(input.substr(0, next));
            input.remove_prefix(next);
        }
    }
    return output;
}

std::wstring Merge(const UrlParts& base, const std::wstring& relativePath) {
    if (base.has_authority && base.path.empty()) {
        return L"/" + relativePath;
    }
    size_t slash = base.path.rfind(L'/');
    if (slash == std::wstring::npos) {
        return relativePath;
    }
    return base.path.substr(0, slash + 1) + relativePath;
}

bool MustEscape(wchar_t c) {
    if (c <= L' ' || c >= 0x7F) {
        return true;
    }
    return std::wstring_view(L"\"<>\\^`{|}").find(c) != std::wstring_view::npos;
}

std::wstring Escape(const std::wstring& text) {
    static const wchar_t kHex[] = L"0123456789ABCDEF";
    std::wstring out;
    out.reserve(text.size());
    for (wchar_t c : text) {
        if (!MustEscape(c)) {
            out += c;
            continue;
        }
        for (unsigned char byte : WideToUtf8(std::wstring_view(&c, 1))) {
            out += L'%';
            out += kHex[byte >> 4];
            out += kHex[byte & 0x0F];
        }
    }
    return out;
}

std::wstring Compose(const UrlParts& parts, bool escape) {
    auto piece = [escape](const std::wstring& text) { return escape ? Escape(text) : text; };
    std::wstring out;
    if (parts.has_scheme) {
        out += parts.scheme + L":";
    }
    if (parts.has_authority) {
        out += L"//" + parts.authority;
    }
    out += piece(parts.path);
    if (parts.has_query) {
        out += L"?" + piece(parts.query);
    }
    if (parts.has_fragment) {
        out += L"#" + piece(parts.fragment);
    }
    return out;
}

}  // namespace

bool HasUrlScheme(const std::wstring& text) {
    return SchemeLength(Clean(text)) > 0;
}

std::wstring ResolveReference(const std::wstring& base, const std::wstring& relative, bool escape) {
    UrlParts reference = Split(Clean(relative));
    UrlParts target;
    if (reference.has_scheme) {
        target = reference;
        target.path = RemoveDotSegments(reference.path);
        return Compose(target, escape);
    }
    UrlParts origin = Split(Clean(base));
    if (!origin.has_scheme) {
        return {};
    }
    target.has_scheme = true;
    target.scheme = origin.scheme;
    if (reference.has_authority) {
        target.has_authority = true;
        target.authority = reference.authority;
        target.path = RemoveDotSegments(reference.path);
        target.has_query = reference.has_query;
        target.query = reference.query;
    } else {
        target.has_authority = origin.has_authority;
        target.authority = origin.authority;
        if (reference.path.empty()) {
            target.path = origin.path;
            target.has_query = reference.has_query || origin.has_query;
            target.query = reference.has_query ? reference.query : origin.query;
        } else {
            target.path = RemoveDotSegments(
                reference.path.front() == L'/' ? reference.path : Merge(origin, reference.path));
            target.has_query = reference.has_query;
            target.query = reference.query;
        }
    }
    target.has_fragment = reference.has_fragment;
    target.fragment = reference.fragment;
    return Compose(target, escape);
}

}  // namespace twk
