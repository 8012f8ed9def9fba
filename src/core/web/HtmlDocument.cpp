#include "web/HtmlDocument.h"

#include <algorithm>
#include <vector>

#include "web/Charsets.h"
#include "web/HtmlDocumentImpl.h"
#include "web/HttpHeaders.h"
#include "web/UrlResolver.h"
#include "web/WebClient.h"

namespace twk {
namespace {

constexpr uint32_t kCodePageUtf16Le = 1200;
constexpr uint32_t kCodePageUtf16Be = 1201;

bool EqualsIgnoringCase(std::string_view text, std::string_view lowerWord) {
    if (text.size() != lowerWord.size()) {
        return false;
    }
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
        if (c != lowerWord[i]) {
            return false;
        }
    }
    return true;
}

// Charset names and META contents are ASCII; other bytes cannot be part of a name.
std::wstring WidenAscii(std::string_view bytes) {
    std::wstring out;
    out.reserve(bytes.size());
    for (char c : bytes) {
        unsigned char byte = static_cast<unsigned char>(c);
        out += byte < 0x80 ? static_cast<wchar_t>(byte) : L'?';
    }
    return out;
}

size_t FindIgnoringCase(const std::wstring& text, std::wstring_view lowerWord) {
    auto lower = [](wchar_t c) { return (c >= L'A' && c <= L'Z') ? c - L'A' + L'a' : c; };
    auto it = std::search(text.begin(), text.end(), lowerWord.begin(), lowerWord.end(),
                          [&lower](wchar_t a, wchar_t b) { return lower(a) == b; });
    return it == text.end() ? std::wstring::npos : static_cast<size_t>(it - text.begin());
}

}  // namespace

HtmlDocument::HtmlDocument() : impl_(std::make_unique<Impl>()) {}
HtmlDocument::~HtmlDocument() = default;

bool HtmlDocument::Load(const WebClient& client) {
    return LoadBytes(client.body, client.current_url,
                     FindHeaderValue(client.raw_headers, L"Content-Type:"));
}

bool HtmlDocument::LoadBytes(std::string_view body, const std::wstring& url,
                             const std::wstring& contentType) {
    HtmlTree& tree = impl_->tree;
    page_url = url;
    tree.Parse(body);
    form_cursor = HtmlCursor{};
    link_cursor = HtmlCursor{};
    element_cursor = HtmlCursor{};
    code_page = ChooseCodePage(contentType);

    link_base = page_url;
    int head = tree.NextElement("head", 1);
    if (head >= 0) {
        int base = tree.NextElement("base", head + 1);
        if (base >= 0 && base < tree.SubtreeEnd(head)) {
            link_base = AttributeText(base, "href");
        }
    }
    return true;
}

// The header decides when it names a charset; a name we do not know means the default
// rather than a guess. Only a header without one lets the page speak for itself.
uint32_t HtmlDocument::ChooseCodePage(const std::wstring& contentType) const {
    std::wstring name = CharsetFromContentType(contentType);
    uint32_t chosen = name.empty() ? DeclaredCodePage() : CodePageFromCharset(name);
    return chosen != 0 ? chosen : kDefaultCodePage;
}

// The charset of the first META that declares one (<meta charset> or an http-equiv
// Content-Type); 0 when none does or the name is unknown.
uint32_t HtmlDocument::DeclaredCodePage() const {
    const HtmlTree& tree = impl_->tree;
    for (int i = 0;; ++i) {
        int meta = tree.NthElement("meta", i);
        if (meta < 0) {
            return 0;
        }
        std::wstring name;
        if (const std::string* charset = tree.Attribute(meta, "charset")) {
            name = WidenAscii(*charset);
        } else if (const std::string* equiv = tree.Attribute(meta, "http-equiv");
                   equiv != nullptr && EqualsIgnoringCase(*equiv, "content-type")) {
            const std::string* content = tree.Attribute(meta, "content");
            name = CharsetFromContentType(WidenAscii(content != nullptr ? *content : ""));
        }
        if (name.empty()) {
            continue;
        }
        uint32_t declared = CodePageFromCharset(name);
        // A page whose markup could be parsed is not UTF-16, whatever it says; browsers
        // read such pages as UTF-8.
        if (declared == kCodePageUtf16Le || declared == kCodePageUtf16Be) {
            return kCodePageUtf8;
        }
        return declared;
    }
}

HtmlCursor HtmlDocument::FindNextElement(std::string_view tag, HtmlCursor from,
                                         bool skipChildren) const {
    const HtmlTree& tree = impl_->tree;
    if (from.AtEnd() || !tree.Contains(from.node)) {
        return HtmlCursor{};
    }
    int next = skipChildren ? tree.SubtreeEnd(from.node) : from.node + 1;
    int found = tree.NextElement(tag, next);
    return found < 0 ? HtmlCursor{} : HtmlCursor{found, false};
}

HtmlCursor HtmlDocument::FindElement(int index, std::string_view tag) const {
    int found = impl_->tree.NthElement(tag, index);
    return found < 0 ? HtmlCursor{} : HtmlCursor{found, false};
}

bool HtmlDocument::SelectLink(int index) {
    link_cursor = FindElement(index, "a");
    return !link_cursor.AtEnd();
}

std::wstring HtmlDocument::LinkUrl() const {
    if (link_cursor.AtEnd() || !impl_->tree.Contains(link_cursor.node)) {
        return {};
    }
    return ResolveUrl(AttributeText(link_cursor.node, "href"));
}

std::wstring HtmlDocument::LinkText() const {
    // A link that is never closed holds every later link of the page; its text ends where
    // the next link starts, as a browser shows it. That also keeps a walk over the links
    // of such a page linear: each node is read for one link at most.
    std::wstring text = TextUpTo(link_cursor, impl_->tree.TagId("a"));
    std::wstring out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == L'\r' && i + 1 < text.size() && text[i + 1] == L'\n') {
            out += L' ';
            ++i;
        } else {
            out += text[i];
        }
    }
    return out;
}

std::wstring HtmlDocument::LinkClass() const {
    if (link_cursor.AtEnd() || !impl_->tree.Contains(link_cursor.node)) {
        return {};
    }
    return AttributeText(link_cursor.node, "class");
}

std::wstring HtmlDocument::ElementText(HtmlCursor element) const {
    return TextUpTo(element, -1);
}

std::wstring HtmlDocument::TextUpTo(HtmlCursor element, int stopTag) const {
    const HtmlTree& tree = impl_->tree;
    if (element.AtEnd() || !tree.Contains(element.node)) {
        return {};
    }
    const int br = tree.TagId("br");
    std::wstring text;
    for (int i = element.node + 1, end = tree.SubtreeEnd(element.node); i < end; ++i) {
        if (tree.IsText(i)) {
            text += DecodeText(tree.Source(i));
        } else if (br >= 0 && tree.Tag(i) == br) {
            text += L"\r\n";
        } else if (stopTag >= 0 && tree.Tag(i) == stopTag) {
            break;
        }
    }
    return text;
}

std::wstring HtmlDocument::ReadableText(HtmlCursor element) const {
    const HtmlTree& tree = impl_->tree;
    if (element.AtEnd() || !tree.Contains(element.node)) {
        return {};
    }
    static const char* const kInline[] = {"a",      "b",    "i",    "u",     "s",   "em",
                                          "strong", "span", "font", "small", "big", "code",
                                          "abbr",   "sup",  "sub",  "label", "tt"};
    std::vector<int> inline_tags;
    for (const char* name : kInline) {
        int id = tree.TagId(name);
        if (id >= 0) {
            inline_tags.push_back(id);
        }
    }
    // What a form holds is the visitor's own text, not the page's.
    const int script = tree.TagId("script");
    const int style = tree.TagId("style");
    const int textarea = tree.TagId("textarea");
    const int select = tree.TagId("select");
    std::wstring text;
    for (int i = element.node + 1, end = tree.SubtreeEnd(element.node); i < end; ++i) {
        if (tree.IsText(i)) {
            text += DecodeText(tree.Source(i));
            continue;
        }
        const int tag = tree.Tag(i);
        if (tag < 0) {
            continue;
        }
        if (tag == script || tag == style || tag == textarea || tag == select) {
            i = tree.SubtreeEnd(i) - 1;
            continue;
        }
        if (std::find(inline_tags.begin(), inline_tags.end(), tag) == inline_tags.end()) {
            text += L' ';
        }
    }
    return text;
}

bool HtmlDocument::SelectAncestor(std::string_view tag) {
    const HtmlTree& tree = impl_->tree;
    if (element_cursor.AtEnd() || !tree.Contains(element_cursor.node)) {
        return false;
    }
    int ancestor = tree.NearestAncestor(element_cursor.node, tag);
    if (ancestor <= 0) {
        return false;
    }
    element_cursor = HtmlCursor{ancestor, false};
    return true;
}

std::wstring HtmlDocument::ElementId() const {
    if (element_cursor.AtEnd() || !impl_->tree.Contains(element_cursor.node)) {
        return {};
    }
    return AttributeText(element_cursor.node, "id");
}

std::wstring HtmlDocument::ElementAttribute(HtmlCursor element, const std::string& name) const {
    if (element.AtEnd() || !impl_->tree.Contains(element.node)) {
        return {};
    }
    return AttributeText(element.node, name);
}

bool HtmlDocument::MetaRefreshUrl(std::wstring& out) const {
    const HtmlTree& tree = impl_->tree;
    for (int i = 0;; ++i) {
        int meta = tree.NthElement("meta", i);
        if (meta < 0) {
            return false;
        }
        const std::string* equiv = tree.Attribute(meta, "http-equiv");
        if (equiv == nullptr || !EqualsIgnoringCase(*equiv, "refresh")) {
            continue;
        }
        std::wstring content = AttributeText(meta, "content");
        size_t at = FindIgnoringCase(content, L"url=");
        if (at != std::wstring::npos) {
            out = content.substr(at + 4);
        }
        out = ResolveUrl(out);
        return true;
    }
}

bool HtmlDocument::Title(std::wstring& out) const {
    const HtmlTree& tree = impl_->tree;
    int title = tree.NthElement("title", 0);
    if (title < 0) {
        return false;
    }
    // An empty TITLE is still a title: the page has one, it says nothing.
    int first_child = title + 1;
    out = first_child < tree.SubtreeEnd(title) ? DecodeText(tree.Source(first_child)) : L"";
    return true;
}

std::wstring HtmlDocument::ResolveUrl(const std::wstring& relative) const {
    if (relative.empty()) {
        return page_url;
    }
    // A BASE without href (<base target="_blank">) or with a relative one still leaves the
    // page's own address to resolve against, as browsers do.
    std::wstring base = link_base;
    if (!HasUrlScheme(base)) {
        base = base.empty() ? page_url : ResolveReference(page_url, base, false);
    }
    std::wstring resolved = ResolveReference(base, relative, false);
    return resolved.empty() ? relative : resolved;
}

std::wstring HtmlDocument::DecodeText(std::string_view bytes) const {
    return DecodeEntities(DecodeBytes(bytes, code_page));
}

std::wstring HtmlDocument::AttributeText(int node, const std::string& name) const {
    const std::string* value = impl_->tree.Attribute(node, name);
    return value != nullptr ? DecodeText(*value) : std::wstring();
}

}  // namespace twk
