#pragma once

#include <optional>
#include <string>
#include <string_view>

// How Markdown (CommonMark as markdown-it reads it) sees characters, and the small pieces
// of Markdown that MarkdownText writes: escaped text, link destinations, autolinks.
namespace twk::markdown {

// Unknown covers the characters that one version of CommonMark counts as punctuation and
// another does not (symbols, emoji), and scripts this table does not list.
enum class CharClass { Space, Punct, Word, Unknown };

CharClass Classify(wchar_t c);

// Whether a run of `marker` ('*' or '_') between `before` and `after` can open (or close)
// emphasis under CommonMark's flanking rules, for every way an Unknown character may be
// classed. Line ends and the ends of the text count as spaces.
bool DelimiterWorks(wchar_t marker, wchar_t before, wchar_t after, bool opening);

// `text` (one line's piece, no line breaks) with a backslash before each character that
// Markdown would read as inline markup.
std::wstring EscapeText(std::wstring_view text);

// Where a backslash must go into an output line (without leading spaces) so that its start
// is not read as a heading, quote, list item or setext underline ("# ", "> ", "- ", "==",
// "1. "), or npos. Checked on the finished lines, since the characters that make such a
// start may come from different pieces once marks around them are dropped.
size_t LineStartEscape(std::wstring_view line);

struct Span {
    size_t begin;
    size_t end;
};

// The next http or https address in running text at or after `from`, ending where
// linkify ends one: before trailing punctuation and an unmatched closing parenthesis.
std::optional<Span> FindAddress(std::wstring_view text, size_t from);

// A link or image destination for an address IsWebAddress accepted.
std::wstring Destination(std::wstring_view url);

// Whether <url> is an autolink: no spaces, controls or angle brackets.
bool FitsAutolink(std::wstring_view url);

}  // namespace twk::markdown
