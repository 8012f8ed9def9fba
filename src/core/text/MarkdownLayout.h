#pragma once

#include <string>
#include <vector>

#include "text/MarkdownText.h"

// The message as MarkdownText writes it before its marks and breaks are settled: escaped
// text, finished markup, the two ends of each pair of marks, line breaks. Settling is a
// pass of its own because how a pair of marks can be written depends on the characters
// that end up on both sides of each mark.
namespace twk::markdown {

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

bool IsBlankText(const Segment& segment);
bool IsVisible(const Segment& segment);

// Turns the breaks into hard or paragraph breaks, chooses how each pair of marks is
// written and joins the segments into the Markdown text. Changes both lists on the way.
std::wstring SettleMarkdown(std::vector<Segment>& segments, std::vector<Pair>& pairs,
                            MarkdownFlavour flavour);

}  // namespace twk::markdown
