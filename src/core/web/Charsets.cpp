#include "web/Charsets.h"

#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <cwchar>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace twk {
namespace {

struct Charset {
    const char* label;  // lower case
    uint32_t code_page;
};

// The usual IANA names and aliases. Latin-1 and ASCII labels are decoded and encoded as
// windows-1252, as browsers do: servers that say ISO-8859-1 mean windows-1252.
constexpr Charset kCharsets[] = {
    {"utf-8", 65001},       {"utf8", 65001},         {"unicode-1-1-utf-8", 65001},
    {"windows-1250", 1250}, {"cp1250", 1250},        {"x-cp1250", 1250},
    {"windows-1251", 1251}, {"cp1251", 1251},        {"x-cp1251", 1251},
    {"win-1251", 1251},     {"windows-1252", 1252},  {"cp1252", 1252},
    {"x-cp1252", 1252},     {"windows-1253", 1253},  {"cp1253", 1253},
    {"windows-1254", 1254}, {"cp1254", 1254},        {"windows-1255", 1255},
    {"cp1255", 1255},       {"windows-1256", 1256},  {"cp1256", 1256},
    {"windows-1257", 1257}, {"cp1257", 1257},        {"windows-1258", 1258},
    {"cp1258", 1258},       {"windows-874", 874},    {"tis-620", 874},
    {"iso-8859-1", 28591},  {"iso8859-1", 28591},    {"iso_8859-1", 28591},
    {"latin1", 28591},      {"l1", 28591},           {"us-ascii", 20127},
    {"ascii", 20127},       {"iso-8859-2", 28592},   {"iso8859-2", 28592},
    {"latin2", 28592},      {"iso-8859-4", 28594},   {"iso-8859-5", 28595},
    {"iso8859-5", 28595},   {"iso-8859-7", 28597},   {"iso-8859-9", 28599},
    {"latin5", 28599},      {"iso-8859-13", 28603},  {"iso-8859-15", 28605},
    {"iso8859-15", 28605},  {"latin-9", 28605},      {"koi8-r", 20866},
    {"koi8r", 20866},       {"koi8-u", 21866},       {"ibm866", 866},
    {"cp866", 866},         {"shift_jis", 932},      {"shift-jis", 932},
    {"sjis", 932},          {"windows-31j", 932},    {"x-sjis", 932},
    {"euc-jp", 20932},      {"iso-2022-jp", 50220},  {"gb2312", 936},
    {"gbk", 936},           {"cp936", 936},          {"x-gbk", 936},
    {"gb18030", 54936},     {"big5", 950},           {"big5-hkscs", 950},
    {"euc-kr", 949},        {"ks_c_5601-1987", 949}, {"windows-949", 949},
    {"utf-16", 1200},       {"utf-16le", 1200},      {"utf-16be", 1201},
};

struct CodePageName {
    uint32_t code_page;
    const char* iconv_name;
};

constexpr CodePageName kConverters[] = {
    {65001, "UTF-8"},        {1250, "WINDOWS-1250"}, {1251, "WINDOWS-1251"},
    {1252, "WINDOWS-1252"},  {1253, "WINDOWS-1253"}, {1254, "WINDOWS-1254"},
    {1255, "WINDOWS-1255"},  {1256, "WINDOWS-1256"}, {1257, "WINDOWS-1257"},
    {1258, "WINDOWS-1258"},  {874, "CP874"},         {28591, "WINDOWS-1252"},
    {20127, "WINDOWS-1252"}, {28592, "ISO-8859-2"},  {28594, "ISO-8859-4"},
    {28595, "ISO-8859-5"},   {28597, "ISO-8859-7"},  {28599, "ISO-8859-9"},
    {28603, "ISO-8859-13"},  {28605, "ISO-8859-15"}, {20866, "KOI8-R"},
    {21866, "KOI8-U"},       {866, "CP866"},         {932, "CP932"},
    {20932, "EUC-JP"},       {50220, "ISO-2022-JP"}, {936, "GBK"},
    {54936, "GB18030"},      {950, "BIG5-HKSCS"},    {949, "CP949"},
    {1200, "UTF-16LE"},      {1201, "UTF-16BE"},
};

const char* IconvName(uint32_t codePage) {
    for (const auto& entry : kConverters) {
        if (entry.code_page == codePage) {
            return entry.iconv_name;
        }
    }
    return "WINDOWS-1251";
}

// iconv descriptors are costly to open and not safe to share between threads, so each
// thread keeps its own per direction and code page.
class Converters {
public:
    ~Converters() {
        for (auto& [key, cd] : open_) {
            iconv_close(cd);
        }
    }
    // A reset descriptor, or null when iconv does not know the charset.
    iconv_t Get(uint32_t codePage, bool toWide) {
        auto key = std::make_pair(codePage, toWide);
        auto it = open_.find(key);
        if (it == open_.end()) {
            const char* name = IconvName(codePage);
            iconv_t cd = toWide ? iconv_open("UTF-32LE", name) : iconv_open(name, "UTF-32LE");
            it = open_.emplace(key, cd).first;
        }
        if (it->second == reinterpret_cast<iconv_t>(-1)) {
            return nullptr;
        }
        iconv(it->second, nullptr, nullptr, nullptr, nullptr);
        return it->second;
    }

private:
    std::map<std::pair<uint32_t, bool>, iconv_t> open_;
};

Converters& ThreadConverters() {
    thread_local Converters converters;
    return converters;
}

std::string Utf32Bytes(std::wstring_view text) {
    std::string bytes;
    bytes.reserve(text.size() * 4);
    for (wchar_t w : text) {
        uint32_t c = static_cast<uint32_t>(w);
        for (int shift = 0; shift < 32; shift += 8) {
            bytes += static_cast<char>((c >> shift) & 0xFF);
        }
    }
    return bytes;
}

void AppendUtf32(std::wstring& out, const char* data, size_t length) {
    for (size_t i = 0; i + 3 < length; i += 4) {
        uint32_t c = 0;
        for (int k = 3; k >= 0; --k) {
            c = (c << 8) | static_cast<unsigned char>(data[i + k]);
        }
        out += static_cast<wchar_t>(c);
    }
}

std::string ToLowerAscii(std::wstring_view text) {
    std::string out;
    out.reserve(text.size());
    for (wchar_t c : text) {
        if (c > 0x7F) {
            return {};
        }
        out += static_cast<char>((c >= L'A' && c <= L'Z') ? c - L'A' + L'a' : c);
    }
    return out;
}

struct Entity {
    const wchar_t* name;
    wchar_t code;
};

// The four markup characters, the Latin-1 set in code point order and the euro sign.
const std::vector<Entity>& EntityTable() {
    static const std::vector<Entity> table = [] {
        std::vector<Entity> entries = {
            {L"quot;", 0x22}, {L"amp;", 0x26}, {L"lt;", 0x3C}, {L"gt;", 0x3E}};
        static const wchar_t* const kLatin1[] = {
            L"nbsp;",   L"iexcl;",  L"cent;",   L"pound;",  L"curren;", L"yen;",    L"brvbar;",
            L"sect;",   L"uml;",    L"copy;",   L"ordf;",   L"laquo;",  L"not;",    L"shy;",
            L"reg;",    L"macr;",   L"deg;",    L"plusmn;", L"sup2;",   L"sup3;",   L"acute;",
            L"micro;",  L"para;",   L"middot;", L"cedil;",  L"sup1;",   L"ordm;",   L"raquo;",
            L"frac14;", L"frac12;", L"frac34;", L"iquest;", L"Agrave;", L"Aacute;", L"Acirc;",
            L"Atilde;", L"Auml;",   L"Aring;",  L"AElig;",  L"Ccedil;", L"Egrave;", L"Eacute;",
            L"Ecirc;",  L"Euml;",   L"Igrave;", L"Iacute;", L"Icirc;",  L"Iuml;",   L"ETH;",
            L"Ntilde;", L"Ograve;", L"Oacute;", L"Ocirc;",  L"Otilde;", L"Ouml;",   L"times;",
            L"Oslash;", L"Ugrave;", L"Uacute;", L"Ucirc;",  L"Uuml;",   L"Yacute;", L"THORN;",
            L"szlig;",  L"agrave;", L"aacute;", L"acirc;",  L"atilde;", L"auml;",   L"aring;",
            L"aelig;",  L"ccedil;", L"egrave;", L"eacute;", L"ecirc;",  L"euml;",   L"igrave;",
            L"iacute;", L"icirc;",  L"iuml;",   L"eth;",    L"ntilde;", L"ograve;", L"oacute;",
            L"ocirc;",  L"otilde;", L"ouml;",   L"divide;", L"oslash;", L"ugrave;", L"uacute;",
            L"ucirc;",  L"uuml;",   L"yacute;", L"thorn;",  L"yuml;"};
        wchar_t code = 0xA0;
        for (const wchar_t* name : kLatin1) {
            entries.push_back({name, code++});
        }
        entries.push_back({L"euro;", 0x20AC});
        return entries;
    }();
    return table;
}

// Appends the character of a numeric reference; nothing for 0, U+FFFD for values that
// are no character.
void AppendNumericReference(std::wstring& out, std::wstring digits) {
    bool hex = !digits.empty() && (digits[0] == L'x' || digits[0] == L'X');
    if (hex) {
        digits.erase(0, 1);
    }
    errno = 0;
    long long value = std::wcstoll(digits.c_str(), nullptr, hex ? 16 : 10);
    if (value == 0) {
        return;
    }
    if (value < 0 || value > 0x10FFFF || errno == ERANGE || (value >= 0xD800 && value <= 0xDFFF)) {
        out += static_cast<wchar_t>(0xFFFD);
        return;
    }
    out += static_cast<wchar_t>(value);
}

}  // namespace

uint32_t CodePageFromCharset(std::wstring_view name) {
    size_t start = name.find_first_not_of(L" \t\"'");
    if (start == std::wstring_view::npos) {
        return 0;
    }
    size_t end = name.find_first_of(L" \t\"';,", start);
    std::string label =
        ToLowerAscii(name.substr(start, end == std::wstring_view::npos ? end : end - start));
    for (const auto& entry : kCharsets) {
        if (label == entry.label) {
            return entry.code_page;
        }
    }
    return 0;
}

std::wstring CharsetFromContentType(std::wstring_view value) {
    std::string lower = ToLowerAscii(value);
    if (lower.size() != value.size()) {
        // Non-ASCII text: search a lower-cased copy that keeps the positions.
        lower.clear();
        for (wchar_t c : value) {
            lower += (c >= L'A' && c <= L'Z') ? static_cast<char>(c - L'A' + L'a')
                     : (c < 0x80)             ? static_cast<char>(c)
                                              : '?';
        }
    }
    size_t at = lower.find("charset=");
    if (at == std::string::npos) {
        return {};
    }
    std::wstring_view rest = value.substr(at + 8);
    size_t start = rest.find_first_not_of(L" \t\"'");
    if (start == std::wstring_view::npos) {
        return {};
    }
    size_t end = rest.find_first_of(L" \t\"';,", start);
    return std::wstring(rest.substr(start, end == std::wstring_view::npos ? end : end - start));
}

namespace {

// Charsets whose bytes below 0x80 are ASCII, one byte a character: all of the table but
// the multi-byte ones (whose bytes may pair up) and UTF-16. A code page the table does
// not know is read as windows-1251, which is one of them.
bool IsAsciiSuperset(uint32_t codePage) {
    switch (codePage) {
        case 932:
        case 20932:
        case 50220:
        case 936:
        case 54936:
        case 950:
        case 949:
        case 1200:
        case 1201:
            return false;
        default:
            return true;
    }
}

}  // namespace

std::wstring DecodeBytes(std::string_view bytes, uint32_t codePage) {
    if (bytes.empty()) {
        return {};
    }
    if (codePage == kCodePageUtf8) {
        return Utf8ToWide(bytes);
    }
    // Most of a page's texts and addresses are plain ASCII, which every single-byte
    // charset of the table writes as ASCII; iconv is needed only for the other bytes.
    if (IsAsciiSuperset(codePage) && std::all_of(bytes.begin(), bytes.end(), [](char c) {
            return static_cast<unsigned char>(c) < 0x80;
        })) {
        return std::wstring(bytes.begin(), bytes.end());
    }
    iconv_t cd = ThreadConverters().Get(codePage, true);
    if (cd == nullptr) {
        cd = ThreadConverters().Get(kDefaultCodePage, true);
        if (cd == nullptr) {
            return Utf8ToWide(bytes);
        }
    }
    std::wstring out;
    out.reserve(bytes.size());
    char* in = const_cast<char*>(bytes.data());
    size_t in_left = bytes.size();
    char buffer[4096];
    while (in_left > 0) {
        char* out_ptr = buffer;
        size_t out_left = sizeof buffer;
        size_t rc = iconv(cd, &in, &in_left, &out_ptr, &out_left);
        AppendUtf32(out, buffer, sizeof buffer - out_left);
        if (rc == static_cast<size_t>(-1)) {
            if (errno == E2BIG) {
                continue;
            }
            // An invalid or truncated sequence: one replacement character, skip a byte.
            out += static_cast<wchar_t>(0xFFFD);
            ++in;
            --in_left;
            iconv(cd, nullptr, nullptr, nullptr, nullptr);
        }
    }
    return out;
}

std::string EncodeText(std::wstring_view text, uint32_t codePage) {
    if (codePage == kCodePageUtf8 || codePage == 0) {
        return WideToUtf8(text);
    }
    iconv_t cd = ThreadConverters().Get(codePage, false);
    if (cd == nullptr) {
        return WideToUtf8(text);
    }
    std::string out;
    out.reserve(text.size());
    char buffer[64];
    for (wchar_t c : text) {
        std::string in_bytes = Utf32Bytes(std::wstring_view(&c, 1));
        char* in = in_bytes.data();
        size_t in_left = in_bytes.size();
        char* out_ptr = buffer;
        size_t out_left = sizeof buffer;
        if (iconv(cd, &in, &in_left, &out_ptr, &out_left) == static_cast<size_t>(-1)) {
            iconv(cd, nullptr, nullptr, nullptr, nullptr);
            out += "&#" + std::to_string(static_cast<uint32_t>(c)) + ";";
            continue;
        }
        out.append(buffer, sizeof buffer - out_left);
    }
    // Stateful encodings (ISO-2022-JP) end with a shift back to ASCII.
    char* out_ptr = buffer;
    size_t out_left = sizeof buffer;
    iconv(cd, nullptr, nullptr, &out_ptr, &out_left);
    out.append(buffer, sizeof buffer - out_left);
    return out;
}

std::wstring DecodeEntities(std::wstring_view text) {
    std::wstring out;
    out.reserve(text.size());
    const auto& table = EntityTable();
    size_t i = 0;
    while (i < text.size()) {
        wchar_t c = text[i];
        if (c != L'&' || i + 1 >= text.size()) {
            out += c;
            ++i;
            continue;
        }
        if (text[i + 1] == L'#') {
            // At most 30 characters from the "#" up to the semicolon; looking no further
            // keeps a text of many "&#" without semicolons linear.
            size_t semicolon = text.substr(0, i + 32).find(L';', i + 2);
            if (semicolon != std::wstring_view::npos) {
                AppendNumericReference(out, std::wstring(text.substr(i + 2, semicolon - i - 2)));
                i = semicolon + 1;
            } else {
                out += c;
                ++i;
            }
            continue;
        }
        std::wstring_view rest = text.substr(i + 1);
        bool matched = false;
        for (const auto& entity : table) {
            // The first letter rules out nearly every name before a whole comparison.
            if (entity.name[0] != rest[0]) {
                continue;
            }
            std::wstring_view name(entity.name);
            if (rest.substr(0, name.size()) == name) {
                out += entity.code;
                i += 1 + name.size();
                matched = true;
                break;
            }
        }
        if (!matched) {
            out += c;
            ++i;
        }
    }
    return out;
}

}  // namespace twk
