#pragma once

#include <string>

namespace twk {

// The boards that take Markdown instead of BBCode. Both cook with markdown-it; they differ
// in what else they accept around it.
enum class MarkdownFlavour {
    // Discourse's cooker also reads inline BBCode [b], [i], [u] and [s] (its bbcode-inline
    // rules), so underline survives as [u] there.
    Discourse,
    // nodebb-plugin-markdown: plain markdown-it with HTML switched off by default, so there
    // is no way to underline at all.
    NodeBB,
};

// The message body as typed on the Message page (BBCode, with the tags the preview knows:
// b, i, u, url, url=, img, img=, color=) turned into Markdown that the board shows the way
// the preview does: tags become Markdown, every other character arrives literally, each
// line break stays a line break and blank lines separate paragraphs. Tag names are read
// without regard to case; a tag without its closing tag, an unknown tag and a link or image
// whose address is not http or https stay as text.
std::wstring BBCodeToMarkdown(const std::wstring& bbcode, MarkdownFlavour flavour);

}  // namespace twk
