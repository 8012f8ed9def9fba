// Loads a page and asks it what the engines ask: links with their addresses, texts and
// classes, the enclosing cells, every form read field by field, the refresh and the title.
// Small pages are also held to htmlcxx's own DOM parser, whose tree the document keeps.
#include <htmlcxx/html/ParserDom.h>

#include <cstdlib>
#include <string>
#include <string_view>
#include <unordered_map>

#include "web/HtmlDocument.h"
#include "web/HtmlForm.h"
#include "web/HtmlTree.h"

namespace {

// Each engine question is asked of at most this many elements, as the engines stop at
// the first match; the walk stays linear in the page.
constexpr int kMaxWalk = 200;

void CompareWithHtmlcxx(const std::string& html) {
    htmlcxx::HTML::ParserDom parser;
    const tree<htmlcxx::HTML::Node>& dom = parser.parseTree(html);
    twk::HtmlTree flat;
    flat.Parse(html);
    std::unordered_map<const void*, int> indexes;
    int index = 0;
    for (auto it = dom.begin(); it != dom.end(); ++it, ++index) {
        indexes[it.node] = index;
        if (index >= flat.Size() || std::string_view(it->text()) != flat.Source(index) ||
            it->isComment() != flat.IsComment(index) ||
            (!it->isTag() && !it->isComment()) != flat.IsText(index)) {
            std::abort();
        }
        if (index > 0 && indexes.at(dom.parent(it).node) != flat.Parent(index)) {
            std::abort();
        }
    }
    if (index != flat.Size()) {
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string html(reinterpret_cast<const char*>(data), size);
    if (size <= 4096) {
        CompareWithHtmlcxx(html);
    }

    twk::HtmlDocument doc;
    const wchar_t* type = size % 2 == 0 ? L"text/html; charset=utf-8" : L"text/html";
    doc.LoadBytes(html, L"http://forum.test/board/index.php?x=1", type);
    std::wstring text;
    doc.Title(text);
    doc.MetaRefreshUrl(text);
    for (int i = 0; i < kMaxWalk && doc.SelectLink(i); ++i) {
        doc.LinkUrl();
        doc.LinkText();
        doc.LinkClass();
        doc.element_cursor = doc.link_cursor;
        if (doc.SelectAncestor("td")) {
            doc.ElementId();
            doc.ElementText(doc.element_cursor);
        }
    }
    for (int i = 0; i < kMaxWalk; ++i) {
        doc.form_cursor = doc.FindElement(i, "FORM");
        if (doc.form_cursor.AtEnd()) {
            break;
        }
        twk::HtmlForm form;
        doc.ReadForm(form);
        twk::BuildRequestBody(form);
    }
    twk::HtmlCursor cursor = doc.FindElement(0, "DIV");
    for (int i = 0; i < kMaxWalk && !cursor.AtEnd(); ++i) {
        cursor = doc.FindNextElement("div", cursor, i % 2 == 0);
    }
    return 0;
}
