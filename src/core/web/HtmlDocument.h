#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "web/HtmlForm.h"

namespace twk {

class WebClient;

// A position in the parsed page: an element, or the end position (no element).
struct HtmlCursor {
    int node = -1;  // index of the node in document order; -1 is the end position
    bool skip_children = false;
    bool AtEnd() const { return node < 0; }
    bool operator==(const HtmlCursor& other) const { return node == other.node; }
};

// The parsed last page of a WebClient and the questions the engines ask of it: links,
// elements, the META refresh target, the title and forms. Owned by an engine next to its
// client; used by the engine's worker thread only. Each Load replaces the page and resets
// the cursors.
class HtmlDocument {
public:
    HtmlDocument();
    ~HtmlDocument();
    HtmlDocument(const HtmlDocument&) = delete;
    HtmlDocument& operator=(const HtmlDocument&) = delete;

    uint32_t code_page = 0;
    HtmlCursor form_cursor;
    HtmlCursor link_cursor;
    HtmlCursor element_cursor;
    std::wstring page_url;
    std::wstring link_base;

    // Builds the document from the client's last response; always true.
    bool Load(const WebClient& client);
    // The same from bytes, for callers that have no client (tests, benchmarks).
    // contentType is the value of the response's Content-Type header, if any.
    bool LoadBytes(std::string_view body, const std::wstring& url, const std::wstring& contentType);

    HtmlCursor FindNextElement(std::string_view tag, HtmlCursor from, bool skipChildren) const;
    HtmlCursor FindElement(int index, std::string_view tag) const;

    bool SelectLink(int index);
    std::wstring LinkUrl() const;
    std::wstring LinkText() const;
    std::wstring LinkClass() const;

    std::wstring ElementText(HtmlCursor element) const;
    // An element's text as a reader sees it: a space wherever an element other than inline
    // markup (B, SPAN, A ...) separates words; scripts, styles and the contents of form
    // controls left out.
    std::wstring ReadableText(HtmlCursor element) const;
    bool SelectAncestor(std::string_view tag);
    std::wstring ElementId() const;
    // The decoded value of an element's attribute (name in lower case); empty when absent.
    std::wstring ElementAttribute(HtmlCursor element, const std::string& name) const;

    bool MetaRefreshUrl(std::wstring& out) const;
    bool Title(std::wstring& out) const;
    void ReadForm(HtmlForm& form) const;
    std::wstring ResolveUrl(const std::wstring& relative) const;

    // Page bytes in code_page to text, with character references resolved.
    std::wstring DecodeText(std::string_view bytes) const;

private:
    // The decoded value of a node's attribute (name in lower case); empty when absent.
    std::wstring AttributeText(int node, const std::string& name) const;
    uint32_t ChooseCodePage(const std::wstring& contentType) const;
    uint32_t DeclaredCodePage() const;
    std::wstring SelectValue(int select) const;
    // ElementText up to the first descendant element of tag id stopTag (-1: none).
    std::wstring TextUpTo(HtmlCursor element, int stopTag) const;

    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace twk
