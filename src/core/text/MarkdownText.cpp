#include "text/MarkdownText.h"

#include <algorithm>
#include <optional>
#include <vector>

#include "text/BBCodeTree.h"
#include "text/MarkdownLayout.h"
#include "text/MarkdownSyntax.h"

// What the two boards read, from their own sources:
// - Both cook with markdown-it (CommonMark). A backslash at the end of a line is a hard
//   break whatever the board's line-break setting (Discourse's traditional_markdown_
//   linebreaks, the NodeBB plugin's "breaks"), and a backslash before ASCII punctuation
//   makes it literal (markdown-it lib/rules_inline/escape).
// - Discourse also reads inline BBCode (discourse-markdown/bbcode-inline.js): [b], [i],
//   [u] and [s] become span.bbcode-b/-i/-u/-s, paired like emphasis but without the rules
//   about the characters around the marks. So underline goes out as [u], and bold or
//   italic fall back to [b] or [i] where ** or * would not be read as emphasis.
// - nodebb-plugin-markdown (index.js) starts markdown-it with html: false, so <u> would
//   arrive as text: on NodeBB underlined text loses its underline, nothing else.
// - markdown-it's linkify reads an address in running text from the raw source,
//   backslashes included (lib/rules_inline/linkify), so such an address goes out as an
//   autolink <...> with nothing escaped in it. Discourse makes oneboxes of linkified
//   addresses only, not of autolinks (discourse-markdown/onebox.js): the address stays a
//   plain link, as in the preview.
namespace twk {
namespace {

using markdown::Destination;
using markdown::EscapeText;
using markdown::IsBlankText;
using markdown::IsVisible;
using markdown::Mode;
using markdown::Pair;
using markdown::Piece;
using markdown::Segment;
using markdown::Style;

// Writes the tree as segments (MarkdownLayout), which SettleMarkdown turns into the text.
class MarkdownWriter {
public:
    explicit MarkdownWriter(MarkdownFlavour flavour) : flavour_(flavour) {}

    std::wstring Write(const std::vector<BBNode>& nodes) {
        WriteNodes(nodes);
        return markdown::SettleMarkdown(segments_, pairs_, flavour_);
    }

private:
    void WriteNodes(const std::vector<BBNode>& nodes) {
        for (const BBNode& node : nodes) {
            switch (node.kind) {
                case BBNode::Kind::Text:
                    WriteText(node.text);
                    break;
                case BBNode::Kind::Bold:
                    WriteStyle(node, Style::Bold);
                    break;
                case BBNode::Kind::Italic:
                    WriteStyle(node, Style::Italic);
                    break;
                case BBNode::Kind::Underline:
                    WriteStyle(node, Style::Underline);
                    break;
                case BBNode::Kind::Link:
                    WriteLink(node);
                    break;
                case BBNode::Kind::Image:
                    WriteImage(node);
                    break;
            }
        }
    }

    void WriteText(std::wstring_view text) {
        size_t pos = 0;
        for (;;) {
            const size_t end = text.find(L'\n', pos);
            WriteLine(text.substr(pos, end == std::wstring_view::npos ? end : end - pos));
            if (end == std::wstring_view::npos) {
                return;
            }
            segments_.push_back({Piece::Break, {}});
            pos = end + 1;
        }
    }

    void WriteLine(std::wstring_view line) {
        size_t pos = 0;
        while (pos < line.size()) {
            // Inside a link's text an address stays text: links do not nest.
            std::optional<markdown::Span> address;
            if (link_depth_ == 0) {
                address = markdown::FindAddress(line, pos);
            }
            AddText(line.substr(pos, (address ? address->begin : line.size()) - pos));
            if (!address) {
                return;
            }
            AddMarkup(L"<" +
                      std::wstring(line.substr(address->begin, address->end - address->begin)) +
                      L">");
            pos = address->end;
        }
    }

    void WriteStyle(const BBNode& node, Style style) {
        Mode mode = Mode::Star;
        if (style == Style::Underline) {
            mode = flavour_ == MarkdownFlavour::Discourse ? Mode::BBCode : Mode::None;
        }
        size_t open = OpenPair(style, mode, {});
        WriteNodes(node.children);
        if (!ClosePair(open)) {
            pairs_[segments_[open].pair].mode = Mode::None;
        }
    }

    void WriteLink(const BBNode& node) {
        if (node.bare && markdown::FitsAutolink(node.url)) {
            AddMarkup(L"<" + node.url + L">");
            return;
        }
        size_t open = OpenPair(Style::Link, Mode::Link, L"](" + Destination(node.url) + L")");
        ++link_depth_;
        if (node.bare) {
            AddText(node.text);
        } else {
            WriteNodes(node.children);
        }
        --link_depth_;
        if (!ClosePair(open)) {
            // A link whose text is only spaces would be invisible: it shows its address.
            segments_.insert(segments_.begin() + static_cast<std::ptrdiff_t>(open) + 1,
                             {Piece::Text, EscapeText(node.url)});
        }
    }

    void WriteImage(const BBNode& node) {
        // A blank line inside the brackets would end the paragraph and the image with it.
        std::wstring alt = node.text;
        std::replace(alt.begin(), alt.end(), L'\n', L' ');
        AddMarkup(L"![" + EscapeText(alt) + L"](" + Destination(node.url) + L")");
    }

    void AddText(std::wstring_view text) {
        if (text.empty()) {
            return;
        }
        segments_.push_back({Piece::Text, EscapeText(text)});
    }

    void AddMarkup(std::wstring text) { segments_.push_back({Piece::Markup, std::move(text)}); }

    size_t OpenPair(Style style, Mode mode, std::wstring link_end) {
        pairs_.push_back({style, mode, std::move(link_end)});
        segments_.push_back({Piece::Open, {}, pairs_.size() - 1});
        return segments_.size() - 1;
    }

    // Closes the pair opened at `open` (which moves along) and moves the spaces and line
    // breaks at its inner edges outside it: "** x**" is not emphasis, and a break inside
    // a link's brackets is not wanted. False when nothing is left inside.
    bool ClosePair(size_t& open) {
        segments_.push_back({Piece::Close, {}, segments_[open].pair});
        size_t close = segments_.size() - 1;
        while (open + 1 < close) {
            Segment& first = segments_[open + 1];
            if (first.piece == Piece::Break || IsBlankText(first)) {
                std::swap(segments_[open], segments_[open + 1]);
                ++open;
                continue;
            }
            if (first.piece == Piece::Text) {
                const size_t kept = first.text.find_first_not_of(L" \t");
                if (kept > 0) {
                    Segment spaces{Piece::Text, first.text.substr(0, kept)};
                    first.text.erase(0, kept);
                    segments_.insert(segments_.begin() + static_cast<std::ptrdiff_t>(open),
                                     std::move(spaces));
                    ++open;
                    ++close;
                }
            }
            break;
        }
        while (open + 1 < close) {
            Segment& last = segments_[close - 1];
            if (last.piece == Piece::Break || IsBlankText(last)) {
                std::swap(segments_[close - 1], segments_[close]);
                --close;
                continue;
            }
            if (last.piece == Piece::Text) {
                const size_t end = last.text.find_last_not_of(L" \t") + 1;
                if (end < last.text.size()) {
                    Segment spaces{Piece::Text, last.text.substr(end)};
                    last.text.erase(end);
                    segments_.insert(segments_.begin() + static_cast<std::ptrdiff_t>(close) + 1,
                                     std::move(spaces));
                }
            }
            break;
        }
        return std::any_of(segments_.begin() + static_cast<std::ptrdiff_t>(open) + 1,
                           segments_.begin() + static_cast<std::ptrdiff_t>(close), IsVisible);
    }

    const MarkdownFlavour flavour_;
    std::vector<Segment> segments_;
    std::vector<Pair> pairs_;
    int link_depth_ = 0;
};

// CR LF and lone CR become LF, and each line loses the spaces and tabs at its ends: the
// preview's HTML does not show them, and Markdown would read four leading spaces as code.
std::wstring NormaliseLines(const std::wstring& text) {
    std::wstring lines;
    lines.reserve(text.size());
    size_t pos = 0;
    for (;;) {
        size_t end = text.find_first_of(L"\r\n", pos);
        const std::wstring_view line = std::wstring_view(text).substr(
            pos, end == std::wstring::npos ? std::wstring::npos : end - pos);
        const size_t first = line.find_first_not_of(L" \t");
        if (first != std::wstring_view::npos) {
            lines.append(line.substr(first, line.find_last_not_of(L" \t") - first + 1));
        }
        if (end == std::wstring::npos) {
            return lines;
        }
        lines += L'\n';
        pos = end + (text.compare(end, 2, L"\r\n") == 0 ? 2 : 1);
    }
}

}  // namespace

std::wstring BBCodeToMarkdown(const std::wstring& bbcode, MarkdownFlavour flavour) {
    return MarkdownWriter(flavour).Write(ParseBBCode(NormaliseLines(bbcode)));
}

}  // namespace twk
