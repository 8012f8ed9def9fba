// A form's fields, of every type and in every code page, encoded as a request body.
#include "FuzzInput.h"
#include "web/HtmlForm.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    twk::fuzz::FuzzInput input(data, size);
    twk::HtmlForm form;
    form.code_page = twk::fuzz::PickCodePage(input.Byte());
    form.action = input.Text();
    form.method = input.Text();
    while (!input.empty() && form.fields.size() < 64) {
        twk::FormField field;
        uint8_t flags = input.Byte();
        field.type = static_cast<twk::FieldType>(flags % 8);
        field.selected = (flags & 0x80) != 0;
        field.name = input.Text();
        field.value = input.Text();
        form.fields.push_back(std::move(field));
    }
    if (!form.fields.empty()) {
        twk::SetFieldValue(form.fields, form.fields.front().value, form.action, true);
        twk::PressButton(form.fields, form.fields.size() - 1);
        twk::FindField(form.fields, form.method, twk::kFieldSubmit, false);
    }
    twk::BuildRequestBody(form);
    twk::UrlEncode(form.action, form.code_page);
    return 0;
}
