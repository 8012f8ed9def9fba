#include <gtest/gtest.h>

#include "web/HtmlForm.h"

namespace twk {
namespace {

FormField Field(const wchar_t* name, const wchar_t* value, FieldType type, bool selected) {
    return FormField{name, value, type, selected};
}

TEST(HtmlFormTest, BodySendsTextHiddenAndThePressedButtonOnly) {
    HtmlForm form;
    form.fields = {
        Field(L"sid", L"ab c", kFieldHidden, false),     Field(L"user", L"", kFieldText, false),
        Field(L"keep", L"1", kFieldCheckbox, false),     Field(L"go", L"Go", kFieldSubmit, true),
        Field(L"prev", L"Preview", kFieldSubmit, false), Field(L"", L"unnamed", kFieldText, false)};
    RequestBody request = BuildRequestBody(form);
    EXPECT_EQ(request.content_type_line, L"Content-Type: application/x-www-form-urlencoded");
    EXPECT_EQ(request.body, "sid=ab+c&user=&go=Go");
}

TEST(HtmlFormTest, PressedImageSendsCoordinatesAndUnpressesOthers) {
    HtmlForm form;
    form.fields = {Field(L"go", L"Go", kFieldSubmit, true),
                   Field(L"btn", L"ignored", kFieldImage, false)};
    PressButton(form.fields, FindField(form.fields, L"btn", kFieldImage, false));
    EXPECT_EQ(BuildRequestBody(form).body, "btn.x=1&btn.y=1");
}

TEST(HtmlFormTest, EmptyOrUnsentFieldsGiveAnEmptyBody) {
    HtmlForm form;
    form.fields = {Field(L"", L"x", kFieldHidden, false), Field(L"r", L"1", kFieldRadio, false)};
    EXPECT_EQ(BuildRequestBody(form).body, "");
}

TEST(HtmlFormTest, FieldLookupAndRemoval) {
    FieldList fields = {Field(L"username", L"", kFieldText, false),
                        Field(L"dup", L"1", kFieldHidden, false),
                        Field(L"dup", L"2", kFieldHidden, false)};
    EXPECT_TRUE(SetFieldValue(fields, L"USERNAME", L"bob", true));
    EXPECT_FALSE(SetFieldValue(fields, L"USERNAME", L"bob", false));
    EXPECT_EQ(fields[0].value, L"bob");
    EXPECT_EQ(FindField(fields, L"dup", kFieldText, false), kNoField);
    EXPECT_TRUE(RemoveField(fields, L"dup"));
    ASSERT_EQ(fields.size(), 2u);
    EXPECT_EQ(fields[1].value, L"2");
    EXPECT_FALSE(RemoveField(fields, L"missing"));
}

TEST(HtmlFormTest, UrlEncodeInThePagesCharset) {
    struct Row {
        const wchar_t* text;
        uint32_t code_page;
        const char* encoded;
    } rows[] = {
        {L"a b&c", kCodePageUtf8, "a+b%26c"}, {L"%+=&-._~", kCodePageUtf8, "%25%2B%3D%26-._~"},
        {L"\r\n", kCodePageUtf8, "%0D%0A"},   {L"\u00FC", 1252, "%FC"},
        {L"\u00FC", kCodePageUtf8, "%C3%BC"}, {L"Мир", kCodePageUtf8, "%D0%9C%D0%B8%D1%80"},
        {L"Мир", 1251, "%CC%E8%F0"},          {L"日本", 1251, "%26%2326085%3B%26%2326412%3B"},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(UrlEncode(row.text, row.code_page), row.encoded) << row.encoded;
    }
}

}  // namespace
}  // namespace twk
