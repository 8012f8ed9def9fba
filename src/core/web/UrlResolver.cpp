#include "web/UrlResolver.h"

#include "text/Unicode.h"

namespace twk {
namespace {

struct UrlParts {
    std::wstring scheme;  // empty when the reference has none
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

bool IsValidScheme(std::wstring_view scheme) {
    if (scheme.empty() || !IsAsciiLetter(scheme[0])) {
        return false;
    }
    for (wchar_t c : scheme) {
        if (!IsAsciiLetter(c) && !(c >= L'0' && c <= L'9') && c != L'+' && c != L'-' && c != L'.') {
            return false;
        }
    }
    return true;
}

std::wstring LowerAscii(std::wstring text) {
    for (wchar_t& c : text) {
        if (c >= L'A' && c <= L'Z') {
            c = c - L'A' + L'a';
        }
    }
    return text;
}

// Browsers drop tabs and line breaks anywhere in a URL and blanks around it; pages and
// servers rely on that (an href split over two lines, a Location with a trailing blank).
std::wstring CleanUp(std::wstring_view text) {
    size_t first = 0;
    size_t last = text.size();
    while (first < last && text[first] <= L' ') {
        ++first;
    }
    while (last > first && text[last - 1] <= L' ') {
        --last;
    }
    std::wstring out;
    out.reserve(last - first);
    for (size_t i = first; i < last; ++i) {
        if (text[i] != L'\t' && text[i] != L'\r' && text[i] != L'\n') {
            out += text[i];
        }
    }
    return out;
}

// Splits a reference with the regular expression of RFC 3986 appendix B; a candidate
// scheme with characters a scheme cannot have makes the whole text a relative path.
UrlParts Split(const std::wstring& text) {
    UrlParts parts;
    size_t pos = 0;
    size_t colon = text.find_first_of(L":/?#");
    if (colon != std::wstring::npos && text[colon] == L':' &&
        IsValidScheme(std::wstring_view(text).substr(0, colon))) {
        parts.scheme = text.substr(0, colon);
        pos = colon + 1;
    }
    if (text.compare(pos, 2, L"//") == 0) {
        parts.has_authority = true;
        size_t end = text.find_first_of(L"/?#", pos + 2);
        if (end == std::wstring::npos) {
            end = text.size();
        }
        parts.authority = text.substr(pos + 2, end - pos - 2);
        pos = end;
    }
    size_t pathEnd = text.find_first_of(L"?#", pos);
    if (pathEnd == std::wstring::npos) {
        pathEnd = text.size();
    }
    parts.path = text.substr(pos, pathEnd - pos);
    pos = pathEnd;
    if (pos < text.size() && text[pos] == L'?') {
        size_t end = text.find(L'#', pos);
        if (end == std::wstring::npos) {
            end = text.size();
        }
        parts.has_query = true;
        parts.query = text.substr(pos + 1, end - pos - 1);
        pos = end;
    }
    if (pos < text.size() && text[pos] == L'#') {
        parts.has_fragment = true;
        parts.fragment = text.substr(pos + 1);
    }
    return parts;
}

void RemoveLastSegment(std::wstring& output) {
    size_t slash = output.rfind(L'/');
    output.erase(slash == std::wstring::npos ? 0 : slash);
}

std::wstring RemoveDotSegments(const std::wstring& path) {
    std::wstring input = path;
    std::wstring output;
    auto startsWith = [&input](std::wstring_view prefix) {
        return std::wstring_view(input).substr(0, prefix.size()) == prefix;
    };
    while (!input.empty()) {
        if (startsWith(L"../")) {
            input.erase(0, 3);
        } else if (startsWith(L"./")) {
            input.erase(0, 2);
        } else if (startsWith(L"/./")) {
            input.erase(0, 2);
        } else if (input == L"/.") {
            input = L"/";
        } else if (startsWith(L"/../")) {
            input.erase(0, 3);
            RemoveLastSegment(output);
        } else if (input == L"/..") {
            input = L"/";
            RemoveLastSegment(output);
        } else if (input == L"." || input == L"..") {
            input.clear();
        } else {
            size_t end = input.find(L'/', 1);
            if (end == std::wstring::npos) {
                end = input.size();
            }
            output.append(input, 0, end);
            input.erase(0, end);
        }
    }
    return output;
}

std::wstring MergePaths(const UrlParts& base, const std::wstring& relativePath) {
    if (base.has_authority && base.path.empty()) {
        return L"/" + relativePath;
    }
    size_t slash = base.path.rfind(L'/');
    if (slash == std::wstring::npos) {
        return relativePath;
    }
    return base.path.substr(0, slash + 1) + relativePath;
}

bool IsHexDigit(wchar_t c) {
    return (c >= L'0' && c <= L'9') || (c >= L'a' && c <= L'f') || (c >= L'A' && c <= L'F');
}

bool MustEscape(wchar_t c) {
    return c <= L' ' || c >= 0x7F || c == L'"' || c == L'<' || c == L'>' || c == L'\\' ||
           c == L'^' || c == L'`' || c == L'{' || c == L'|' || c == L'}';
}

std::wstring Escape(const std::wstring& text) {
    static constexpr wchar_t kHex[] = L"0123456789ABCDEF";
    std::wstring out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        wchar_t c = text[i];
        bool startsEscape =
            c == L'%' && i + 2 < text.size() && IsHexDigit(text[i + 1]) && IsHexDigit(text[i + 2]);
        if (!MustEscape(c) && (c != L'%' || startsEscape)) {
            out += c;
            continue;
        }
        // Where wchar_t is 16 bits a character may take two units; escape them together.
        size_t units = 1;
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            units = 2;
        }
        for (unsigned char byte : WideToUtf8(std::wstring_view(text).substr(i, units))) {
            out += L'%';
            out += kHex[byte >> 4];
            out += kHex[byte & 0x0F];
        }
        i += units - 1;
    }
    return out;
}

std::wstring Join(const UrlParts& parts, bool escape) {
    std::wstring url = LowerAscii(parts.scheme) + L":";
    if (parts.has_authority) {
        url += L"//" + parts.authority;
    }
    url += escape ? Escape(parts.path) : parts.path;
    if (parts.has_query) {
        url += L"?" + (escape ? Escape(parts.query) : parts.query);
    }
    if (parts.has_fragment) {
        url += L"#" + (escape ? Escape(parts.fragment) : parts.fragment);
    }
    return url;
}

}  // namespace

std::wstring ResolveUrl(std::wstring_view base, std::wstring_view reference, bool escape) {
    UrlParts from = Split(CleanUp(base));
    if (from.scheme.empty()) {
        return {};
    }
    UrlParts ref = Split(CleanUp(reference));
    if (!ref.scheme.empty() && LowerAscii(ref.scheme) == LowerAscii(from.scheme)) {
        ref.scheme.clear();
    }

    UrlParts target;
    if (!ref.scheme.empty()) {
        target = ref;
    } else if (ref.has_authority) {
        target = ref;
        target.scheme = from.scheme;
    } else {
        target.scheme = from.scheme;
        target.has_authority = from.has_authority;
        target.authority = from.authority;
        if (ref.path.empty()) {
            target.path = from.path;
            target.has_query = ref.has_query || from.has_query;
            target.query = ref.has_query ? ref.query : from.query;
        } else {
            target.path = ref.path[0] == L'/' ? ref.path : MergePaths(from, ref.path);
            target.has_query = ref.has_query;
            target.query = ref.query;
        }
        target.has_fragment = ref.has_fragment;
        target.fragment = ref.fragment;
    }
    target.path = RemoveDotSegments(target.path);

    std::wstring scheme = LowerAscii(target.scheme);
    if (target.has_authority && target.path.empty() && (scheme == L"http" || scheme == L"https")) {
        target.path = L"/";
    }
    return Join(target, escape);
}

}  // namespace twk
