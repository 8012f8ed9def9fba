#include "text/MarkdownLayout.h"

#include <algorithm>
#include <numeric>

#include "text/MarkdownSyntax.h"

namespace twk::markdown {
namespace {

class Settler {
public:
    Settler(std::vector<Segment>& segments, std::vector<Pair>& pairs, MarkdownFlavour flavour)
        : segments_(segments), pairs_(pairs), flavour_(flavour) {}

    std::wstring Settle() {
        ResolveBreaks();
        ChooseMarks();
        return Join();
    }

private:
    struct Neighbour {
        wchar_t ch;
        bool emphasis_mark;
    };

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

    std::vector<Segment>& segments_;
    std::vector<Pair>& pairs_;
    const MarkdownFlavour flavour_;
};

}  // namespace

bool IsBlankText(const Segment& segment) {
    return segment.piece == Piece::Text &&
           segment.text.find_first_not_of(L" \t") == std::wstring::npos;
}

bool IsVisible(const Segment& segment) {
    return (segment.piece == Piece::Text || segment.piece == Piece::Markup) &&
           !segment.text.empty();
}

std::wstring SettleMarkdown(std::vector<Segment>& segments, std::vector<Pair>& pairs,
                            MarkdownFlavour flavour) {
    return Settler(segments, pairs, flavour).Settle();
}

}  // namespace twk::markdown
