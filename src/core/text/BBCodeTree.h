#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace twk {

// A message body read as a tree of the tags the preview knows, for converters that write
// another markup (MarkdownText). Pairs match the way the preview's patterns match them: an
// opening tag takes the nearest closing tag of its name, so a tag never holds another of
// its own name, and a tag with nothing inside stays text. Tag names are read without
// regard to case. A colour has no node of its own: its content joins the nodes around it,
// since the markups we convert to have no colour.
struct BBNode {
    enum class Kind { Text, Bold, Italic, Underline, Link, Image };

    Kind kind = Kind::Text;
    // Text: the characters as typed. Link written as [url]address[/url]: the address.
    // Image: the alternative text of [img=address]text[/img].
    std::wstring text;
    // Link, Image: an http or https address.
    std::wstring url;
    // Link: true for [url]address[/url], whose text is its address.
    bool bare = false;
    // Bold, Italic, Underline, Link with its own text.
    std::vector<BBNode> children;
};

std::vector<BBNode> ParseBBCode(const std::wstring& text);

// An address the converters may link to: http or https (any case) with something after
// the scheme and no control characters. Any other scheme (javascript:, data:, file:) and
// relative addresses are refused.
bool IsWebAddress(std::wstring_view address);

}  // namespace twk
