#include "text/MarkdownText.h"

#include <algorithm>
#include <numeric>
#include <optional>
#include <vector>

#include "text/BBCodeTree.h"
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

using markdown::DelimiterWorks;
using markdown::Destination;
using markdown::EscapeText;

enum class Style { Bold, Italic, Underline, Link };

// How a pair of marks is written. Bold and italic try Star, then Underscore, then (on
// Discourse) BBCode, then None; underline is BBCode on Discourse and None on NodeBB.
enum class Mode { Star, Underscore, BBCode, None, Link };

struct Pair {
    Style style;
    Mode mode;
    std::wstring link_end;  // Link: "](destination)"
};

enum class Piece { Text, Markup, Open, Close, Break };

struct Segment {
    Piece piece;
    std::wstring text;  // Text (escaped), Markup; Break once the breaks are resolved
    size_t pair = 0;    // Open, Close
};

bool IsBlankText(const Segment& segment) {
    return segment.piece == Piece::Text &&
           segment.text.find_first_not_of(L" \t") == std::wstring::npos;
}

bool IsVisible(const Segment& segment) {
    return (segment.piece == Piece::Text || segment.piece == Piece::Markup) &&
           !segment.text.empty();
}

// Writes the tree as a list of segments first, since how a pair of marks can be written
// depends on the characters that end up on both sides of each mark.
class MarkdownWriter {
public:
    explicit MarkdownWriter(MarkdownFlavour flavour) : flavour_(flavour) {}

    std::wstring Write(const std::vector<BBNode>& nodes) {
        WriteNodes(nodes);
        ResolveBreaks();
        ChooseMarks();
        return Join();
    }

private:
    struct Neighbour {
        wchar_t ch;
        bool emphasis_mark;
    };

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

    // A run of line breaks (with blank text and empty pairs between them) becomes a hard
    // break, or a paragraph break when it holds a blank line. Emphasis cannot span
    // paragraphs, so the pairs open there are closed before one and opened again after it.
    // A link is never split: inside its text a blank line becomes a hard break. Breaks
    // before the first and after the last visible text are dropped.
    void ResolveBreaks() {
        const size_t original_pairs = pairs_.size();
        std::vector<size_t> current(original_pairs);
        std::iota(current.begin(), current.end(), size_t{0});
        std::vector<size_t> open_pairs;  // original ids, outermost first
        size_t last_visible = std::wstring::npos;
        for (size_t i = 0; i < segments_.size(); ++i) {
            if (IsVisible(segments_[i])) {
                last_visible = i;
            }
        }
        auto quiet = [this](const Segment& s) {
            return s.piece == Piece::Break || IsBlankText(s) ||
                   ((s.piece == Piece::Open || s.piece == Piece::Close) &&
                    pairs_[s.pair].mode == Mode::None);
        };
        std::vector<Segment> out;
        out.reserve(segments_.size());
        bool seen_visible = false;
        for (size_t i = 0; i < segments_.size();) {
            Segment segment = segments_[i];
            if (segment.piece != Piece::Break) {
                const bool tracked =
                    (segment.piece == Piece::Open || segment.piece == Piece::Close) &&
                    pairs_[segment.pair].mode != Mode::None;
                if (tracked && segment.piece == Piece::Open) {
                    open_pairs.push_back(segment.pair);
                } else if (tracked) {
                    open_pairs.pop_back();
                    segment.pair = current[segment.pair];
                }
                seen_visible = seen_visible || IsVisible(segment);
                out.push_back(std::move(segment));
                ++i;
                continue;
            }
            size_t end = i;
            int breaks = 0;
            while (end < segments_.size() && quiet(segments_[end])) {
                breaks += segments_[end].piece == Piece::Break ? 1 : 0;
                ++end;
            }
            const bool in_link =
                std::any_of(open_pairs.begin(), open_pairs.end(),
                            [this](size_t p) { return pairs_[p].style == Style::Link; });
            const bool edge =
                !seen_visible || last_visible == std::wstring::npos || end > last_visible;
            const bool paragraph = breaks >= 2 && !in_link && !edge;
            if (paragraph) {
                for (auto p = open_pairs.rbegin(); p != open_pairs.rend(); ++p) {
                    out.push_back({Piece::Close, {}, current[*p]});
                }
            }
            bool first = true;
            for (size_t j = i; j < end; ++j) {
                Segment quiet_segment = segments_[j];
                if (quiet_segment.piece == Piece::Break) {
                    if (first && !edge) {
                        quiet_segment.text = paragraph ? L"\n\n" : L"\\\n";
                    }
                    first = false;
                }
                out.push_back(std::move(quiet_segment));
            }
            if (paragraph) {
                for (size_t p : open_pairs) {
                    Pair copy = pairs_[current[p]];
                    pairs_.push_back(std::move(copy));
                    current[p] = pairs_.size() - 1;
                    out.push_back({Piece::Open, {}, current[p]});
                }
            }
            i = end;
        }
        segments_ = std::move(out);
    }

    // Settles how each pair of marks is written. A pair whose marks would not be read as
    // emphasis with the characters around them (CommonMark's flanking rules), or that would
    // touch another mark of the same character and merge with it, moves on to its next way;
    // that can change its neighbours' surroundings, so the rounds repeat until none moves.
    // Inner pairs go first, so that "[b][i]x[/i][/b]" comes out as **_x_**.
    void ChooseMarks() {
        std::vector<size_t> open_at(pairs_.size(), 0);
        std::vector<size_t> close_at(pairs_.size(), 0);
        std::vector<bool> used(pairs_.size(), false);
        std::vector<size_t> visible_before(segments_.size() + 1, 0);
        for (size_t i = 0; i < segments_.size(); ++i) {
            visible_before[i + 1] = visible_before[i] + (IsVisible(segments_[i]) ? 1 : 0);
            if (segments_[i].piece == Piece::Open) {
                open_at[segments_[i].pair] = i;
                used[segments_[i].pair] = true;
            } else if (segments_[i].piece == Piece::Close) {
                close_at[segments_[i].pair] = i;
            }
        }
        // A paragraph break right after an opening mark leaves an empty part before it.
        for (size_t p = 0; p < pairs_.size(); ++p) {
            if (used[p] && pairs_[p].mode != Mode::Link &&
                visible_before[close_at[p]] == visible_before[open_at[p] + 1]) {
                pairs_[p].mode = Mode::None;
            }
        }
        for (bool changed = true; changed;) {
            changed = false;
            for (size_t p = pairs_.size(); p-- > 0;) {
                while (used[p] && !Fits(pairs_[p], open_at[p], close_at[p])) {
                    pairs_[p].mode = NextMode(pairs_[p].mode);
                    changed = true;
                }
            }
        }
    }

    Mode NextMode(Mode mode) const {
        if (mode == Mode::Star) {
            return Mode::Underscore;
        }
        if (mode == Mode::Underscore && flavour_ == MarkdownFlavour::Discourse) {
            return Mode::BBCode;
        }
        return Mode::None;
    }

    bool Fits(const Pair& pair, size_t open, size_t close) const {
        if (pair.mode == Mode::None || pair.mode == Mode::Link || pair.mode == Mode::BBCode) {
            return true;
        }
        const wchar_t marker = pair.mode == Mode::Star ? L'*' : L'_';
        for (size_t mark : {open, close}) {
            const Neighbour before = Before(mark);
            const Neighbour after = After(mark);
            if ((before.emphasis_mark && before.ch == marker) ||
                (after.emphasis_mark && after.ch == marker) ||
                !DelimiterWorks(marker, before.ch, after.ch, mark == open)) {
                return false;
            }
        }
        return true;
    }

    Neighbour Before(size_t index) const {
        for (size_t j = index; j-- > 0;) {
            const std::wstring_view text = Rendered(segments_[j]);
            if (!text.empty()) {
                return {text.back(), IsEmphasisMark(segments_[j])};
            }
        }
        return {L'\n', false};
    }

    Neighbour After(size_t index) const {
        for (size_t j = index + 1; j < segments_.size(); ++j) {
            const std::wstring_view text = Rendered(segments_[j]);
            if (!text.empty()) {
                return {text.front(), IsEmphasisMark(segments_[j])};
            }
        }
        return {L'\n', false};
    }

    bool IsEmphasisMark(const Segment& segment) const {
        if (segment.piece != Piece::Open && segment.piece != Piece::Close) {
            return false;
        }
        const Mode mode = pairs_[segment.pair].mode;
        return mode == Mode::Star || mode == Mode::Underscore;
    }

    std::wstring_view Rendered(const Segment& segment) const {
        if (segment.piece != Piece::Open && segment.piece != Piece::Close) {
            return segment.text;
        }
        const Pair& pair = pairs_[segment.pair];
        const bool open = segment.piece == Piece::Open;
        const bool bold = pair.style == Style::Bold;
        switch (pair.mode) {
            case Mode::Star:
                return bold ? L"**" : L"*";
            case Mode::Underscore:
                return bold ? L"__" : L"_";
            case Mode::BBCode:
                if (bold) {
                    return open ? L"[b]" : L"[/b]";
                }
                if (pair.style == Style::Italic) {
                    return open ? L"[i]" : L"[/i]";
                }
                return open ? L"[u]" : L"[/u]";
            case Mode::Link:
                return open ? std::wstring_view(L"[") : std::wstring_view(pair.link_end);
            case Mode::None:
                break;
        }
        return {};
    }

    // The segments end to end. Each line loses the spaces at its ends (a space moved out of
    // a pair of marks must not indent a line) and gets a backslash where its start would
    // read as a block. A '!' typed just before a link would make it an image, and a '(' or
    // ':' typed just after a BBCode mark a link ("[b](x)") or a link definition ("[b]: x").
    std::wstring Join() const {
        std::wstring text;
        bool after_bbcode_mark = false;
        for (const Segment& segment : segments_) {
            const std::wstring_view rendered = Rendered(segment);
            if (rendered.empty()) {
                continue;
            }
            if (after_bbcode_mark && (rendered.front() == L'(' || rendered.front() == L':')) {
                text += L'\\';
            }
            if (segment.piece == Piece::Open && pairs_[segment.pair].mode == Mode::Link &&
                !text.empty() && text.back() == L'!') {
                const size_t bang = text.size() - 1;
                size_t backslashes = 0;
                while (backslashes < bang && text[bang - 1 - backslashes] == L'\\') {
                    ++backslashes;
                }
                if (backslashes % 2 == 0) {
                    text.insert(bang, 1, L'\\');
                }
            }
            text += rendered;
            after_bbcode_mark = (segment.piece == Piece::Open || segment.piece == Piece::Close) &&
                                pairs_[segment.pair].mode == Mode::BBCode;
        }
        std::wstring out;
        out.reserve(text.size());
        size_t pos = 0;
        for (;;) {
            const size_t end = text.find(L'\n', pos);
            std::wstring_view line = std::wstring_view(text).substr(
                pos, end == std::wstring::npos ? std::wstring::npos : end - pos);
            const size_t first = line.find_first_not_of(L" \t");
            if (first != std::wstring_view::npos) {
                line = line.substr(first, line.find_last_not_of(L" \t") - first + 1);
                const size_t escape = markdown::LineStartEscape(line);
                if (escape != std::wstring_view::npos) {
                    out.append(line.substr(0, escape));
                    out += L'\\';
                    line.remove_prefix(escape);
                }
                out.append(line);
            }
            if (end == std::wstring::npos) {
                return out;
            }
            out += L'\n';
            pos = end + 1;
        }
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
