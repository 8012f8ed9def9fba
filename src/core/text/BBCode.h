#pragma once

#include <string>

namespace twk {

// The BBCode helpers behind the Message page's tag buttons and its preview. The preview
// is for the user's eyes only: what is posted to the forums is the BBCode as typed.

// Rows of the tag table.
enum BBTagRow : int {
    kTagBold = 0,
    kTagItalic = 1,
    kTagUnderline = 2,
    kTagImage = 3,
    kTagUrl = 4,
    kTagUrlWithText = 5,
};

// "[" name ("=" parameter when the row takes one) "]" inner "[/" name "]".
std::wstring MakeTag(int row, const std::wstring& inner, const std::wstring& parameter = {});

// What the URL dialog opens with for the selected text: an http or https address (after
// trimming) fills both fields, anything else becomes the text with an empty address.
struct UrlDialogFields {
    std::wstring url;
    std::wstring text;
};
UrlDialogFields UrlFieldsForSelection(const std::wstring& selection);

// The tag the URL dialog's OK inserts: a link with its own text when the text differs
// from the address and is not empty, otherwise a bare link.
std::wstring UrlTagFor(const UrlDialogFields& fields);

// The preview conversion: escapes &, < and >, then turns b, i, u, url, img and color tags
// into HTML and CR LF line breaks into <br>.
std::wstring BBCodeToHtml(const std::wstring& text);

// The whole preview page around BBCodeToHtml of the body.
std::wstring MakePreviewPage(const std::wstring& body);

}  // namespace twk
