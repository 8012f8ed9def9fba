#include "web/HtmlForm.h"

#include "web/Charsets.h"

namespace twk {
namespace {

std::wstring UpperAscii(const std::wstring& text) {
    std::wstring out = text;
    for (wchar_t& c : out) {
        if (c >= L'a' && c <= L'z') {
            c = c - L'a' + L'A';
        }
    }
    return out;
}

bool IsUnreserved(unsigned char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '.' || c == '_' || c == '~';
}

void AppendPair(std::string& body, const std::string& name, const std::string& value) {
    if (!body.empty()) {
        body += '&';
    }
    body += name;
    body += '=';
    body += value;
}

}  // namespace

size_t FindField(const FieldList& fields, const std::wstring& name, FieldType type,
                 bool ignoreCase) {
    const std::wstring wanted = ignoreCase ? UpperAscii(name) : name;
    for (size_t i = 0; i < fields.size(); ++i) {
        const FormField& field = fields[i];
        if (type != kFieldAny && field.type != type) {
            continue;
        }
        if ((ignoreCase ? UpperAscii(field.name) : field.name) == wanted) {
            return i;
        }
    }
    return kNoField;
}

bool SetFieldValue(FieldList& fields, const std::wstring& name, const std::wstring& value,
                   bool ignoreCase) {
    size_t position = FindField(fields, name, kFieldAny, ignoreCase);
    if (position == kNoField) {
        return false;
    }
    fields[position].value = value;
    return true;
}

bool RemoveField(FieldList& fields, const std::wstring& name) {
    size_t position = FindField(fields, name, kFieldAny, false);
    if (position == kNoField) {
        return false;
    }
    fields.erase(fields.begin() + static_cast<std::ptrdiff_t>(position));
    return true;
}

void PressButton(FieldList& fields, size_t position) {
    for (FormField& field : fields) {
        if (field.type == kFieldSubmit || field.type == kFieldImage) {
            field.selected = false;
        }
    }
    if (position < fields.size()) {
        fields[position].selected = true;
    }
}

RequestBody BuildRequestBody(const HtmlForm& form) {
    RequestBody request;
    request.content_type_line = L"Content-Type: application/x-www-form-urlencoded";
    for (const FormField& field : form.fields) {
        if (field.name.empty()) {
            continue;
        }
        std::string name = UrlEncode(field.name, form.code_page);
        if (field.type == kFieldImage) {
            if (field.selected) {
                AppendPair(request.body, name + ".x", "1");
                AppendPair(request.body, name + ".y", "1");
            }
            continue;
        }
        if (field.selected || field.type == kFieldText || field.type == kFieldHidden) {
            AppendPair(request.body, name, UrlEncode(field.value, form.code_page));
        }
    }
    return request;
}

std::string UrlEncode(const std::wstring& text, uint32_t codePage) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string bytes = EncodeText(text, codePage);
    std::string out;
    out.reserve(bytes.size() * 3);
    for (char byte : bytes) {
        unsigned char c = static_cast<unsigned char>(byte);
        if (IsUnreserved(c)) {
            out += static_cast<char>(c);
        } else if (c == ' ') {
            out += '+';
        } else {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 0x0F];
        }
    }
    return out;
}

}  // namespace twk
