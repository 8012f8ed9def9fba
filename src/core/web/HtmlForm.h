#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "web/Charsets.h"

namespace twk {

enum FieldType : int32_t {
    kFieldAny = 0,  // only as a wildcard in lookups
    kFieldHidden = 1,
    kFieldText = 2,
    kFieldCheckbox = 3,
    kFieldRadio = 4,
    kFieldSelect = 5,
    kFieldSubmit = 6,
    kFieldImage = 7,
};

struct FormField {
    std::wstring name;
    std::wstring value;
    FieldType type = kFieldText;
    // On/off state of a check box or radio button, pressed state of a Submit or Image
    // button; always true for Select and false for Hidden and Text.
    bool selected = false;
    // The most characters the page lets a user type (maxlength of a text field or TEXTAREA);
    // -1 when it sets no limit.
    int max_length = -1;
};

using FieldList = std::vector<FormField>;

// A form read from a page (HtmlDocument::ReadForm) or built by hand.
struct HtmlForm {
    std::wstring action;  // absolute address to send the form to
    std::wstring method = L"POST";
    FieldList fields;
    // Charset of the page the form came from: names and values are sent in it, as a
    // browser does. A form built by hand is sent in UTF-8.
    uint32_t code_page = kCodePageUtf8;
};

// A field position: an index into fields, or kNoField.
constexpr size_t kNoField = static_cast<size_t>(-1);

// The first field of that type (any type for kFieldAny) whose name equals name, exactly or,
// with ignoreCase, after upper-casing ASCII letters of both. kNoField if none.
size_t FindField(const FieldList& fields, const std::wstring& name, FieldType type,
                 bool ignoreCase);
// Replaces the value of the first field named name (any type); false if none.
bool SetFieldValue(FieldList& fields, const std::wstring& name, const std::wstring& value,
                   bool ignoreCase);
// Removes the first field named exactly name; false if none.
bool RemoveField(FieldList& fields, const std::wstring& name);
// Un-presses every Submit and Image field, then presses the one at position.
void PressButton(FieldList& fields, size_t position);

// The Content-Type line and the application/x-www-form-urlencoded body of a form.
struct RequestBody {
    std::wstring content_type_line;
    std::string body;
};
RequestBody BuildRequestBody(const HtmlForm& form);

// Percent-encodes text for a form body: letters, digits and "-._~" stay, a space becomes
// "+", every other character is written as the "%XX" escapes of its bytes in codePage.
// A character the charset cannot represent is sent as "&#N;" (encoded in turn), as
// browsers do.
std::string UrlEncode(const std::wstring& text, uint32_t codePage = kCodePageUtf8);

}  // namespace twk
