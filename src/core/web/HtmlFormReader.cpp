#include <string>
#include <utility>

#include "web/HtmlDocument.h"
#include "web/HtmlDocumentImpl.h"

namespace twk {
namespace {

std::wstring UpperAscii(std::wstring text) {
    for (wchar_t& c : text) {
        if (c >= L'a' && c <= L'z') {
            c = c - L'a' + L'A';
        }
    }
    return text;
}

std::string LowerAscii(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return text;
}

// A maxlength attribute as a browser reads it: a whole number, else no limit.
int MaxLength(const std::string* raw) {
    if (raw == nullptr || raw->empty() || raw->size() > 9) {
        return -1;
    }
    int value = 0;
    for (char c : *raw) {
        if (c < '0' || c > '9') {
            return -1;
        }
        value = value * 10 + (c - '0');
    }
    return value;
}

}  // namespace

void HtmlDocument::ReadForm(HtmlForm& form) const {
    const HtmlTree& tree = impl_->tree;
    if (form_cursor.AtEnd() || !tree.Contains(form_cursor.node)) {
        return;
    }
    const int form_node = form_cursor.node;
    form.fields.clear();
    form.action = ResolveUrl(AttributeText(form_node, "action"));
    std::wstring method = AttributeText(form_node, "method");
    form.method = method.empty() ? L"GET" : UpperAscii(method);
    form.code_page = code_page;

    const int input = tree.TagId("input");
    const int textarea = tree.TagId("textarea");
    const int select = tree.TagId("select");
    const int button = tree.TagId("button");
    // Only the first button counts as pressed, as when the user presses Enter in a field.
    bool pressed = false;
    // Controls are looked for everywhere under the FORM (tables, fieldsets, labels), and
    // nowhere outside it.
    for (int i = form_node + 1, end = tree.SubtreeEnd(form_node); i < end; ++i) {
        const int tag = tree.Tag(i);
        if (tag < 0) {
            continue;
        }
        if (tag == input) {
            FormField field;
            field.name = AttributeText(i, "name");
            field.value = AttributeText(i, "value");
            const std::string* raw_type = tree.Attribute(i, "type");
            const std::string type = raw_type != nullptr ? LowerAscii(*raw_type) : std::string();
            if (type == "button" || type == "reset") {
                continue;
            }
            if (type == "checkbox" || type == "radio") {
                field.type = type == "checkbox" ? kFieldCheckbox : kFieldRadio;
                field.selected = tree.Attribute(i, "checked") != nullptr;
            } else if (type == "submit" || type == "image") {
                field.type = type == "submit" ? kFieldSubmit : kFieldImage;
                field.selected = !pressed;
                pressed = true;
            } else if (type == "hidden") {
                field.type = kFieldHidden;
            } else {
                field.type = kFieldText;
                field.max_length = MaxLength(tree.Attribute(i, "maxlength"));
            }
            form.fields.push_back(std::move(field));
        } else if (tag == textarea) {
            // The text a page puts into a TEXTAREA is a placeholder or a quote; what is
            // sent is what the engine fills in.
            FormField field{AttributeText(i, "name"), L"", kFieldText, false};
            field.max_length = MaxLength(tree.Attribute(i, "maxlength"));
            form.fields.push_back(std::move(field));
        } else if (tag == button) {
            // Themes draw their buttons as BUTTON elements; one without a type submits
            // the form, as in a browser.
            const std::string* raw_type = tree.Attribute(i, "type");
            const std::string type = raw_type != nullptr ? LowerAscii(*raw_type) : "submit";
            if (type != "submit") {
                continue;
            }
            FormField field{AttributeText(i, "name"), AttributeText(i, "value"), kFieldSubmit,
                            !pressed};
            pressed = true;
            form.fields.push_back(std::move(field));
        } else if (tag == select) {
            form.fields.push_back(
                FormField{AttributeText(i, "name"), SelectValue(i), kFieldSelect, true});
        }
    }
}

// The first OPTION's value, or that of the last OPTION marked "selected", as a browser
// sends it.
std::wstring HtmlDocument::SelectValue(int select) const {
    const HtmlTree& tree = impl_->tree;
    const int option = tree.TagId("option");
    if (option < 0) {
        return {};
    }
    std::wstring value;
    bool first = true;
    for (int i = select + 1, end = tree.SubtreeEnd(select); i < end; ++i) {
        if (tree.Tag(i) != option) {
            continue;
        }
        if (first || tree.Attribute(i, "selected") != nullptr) {
            value = tree.Attribute(i, "value") != nullptr ? AttributeText(i, "value")
                                                          : ElementText(HtmlCursor{i, false});
            first = false;
        }
    }
    return value;
}

}  // namespace twk
