#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "text/Unicode.h"
#include "web/HtmlDocument.h"

namespace twk {
namespace {

const std::wstring kPageUrl = L"http://forum.test/board/posting.php?mode=post";

HtmlForm ReadFormAt(HtmlDocument& doc, std::string_view html, int index = 0) {
    doc.LoadBytes(html, kPageUrl, L"text/html; charset=utf-8");
    doc.form_cursor = doc.FindElement(index, "FORM");
    HtmlForm form;
    form.fields.push_back(FormField{L"stale", L"", kFieldText, false});
    doc.ReadForm(form);
    return form;
}

std::string Describe(const FormField& field) {
    return WideToUtf8(field.name) + "=" + WideToUtf8(field.value) + " type " +
           std::to_string(field.type) + (field.selected ? " selected" : "");
}

TEST(HtmlFormReaderTest, ControlsBecomeFields) {
    HtmlDocument doc;
    HtmlForm form =
        ReadFormAt(doc,
                   "<input name=\"before\">"
                   "<form action=\"post.php?x=1&amp;y=2\" method=\"post\">"
                   "<table><tr><td><table><tr><td>"
                   "<input name=\"user\" value=\"User Name\">"
                   "<input type=\"PASSWORD\" name=\"pass\">"
                   "<input type=hidden name=sid value=\"a&amp;b\">"
                   "<input type=checkbox name=keep checked>"
                   "<input type=checkbox name=other value=1>"
                   "<input type=radio name=r value=1>"
                   "<input type=radio name=r value=2 checked=\"checked\">"
                   "<input type=\"SUBMIT\" name=\"go\" value=\"Go\">"
                   "<input type=\"Submit\" name=\"preview\" value=\"Preview\">"
                   "<input type=image name=img src=x.gif>"
                   "<input type=button name=b value=B><input type=reset>"
                   "<textarea name=message>Quoted &amp; text</textarea>"
                   "</td></tr></table></td></tr></table>"
                   "<select name=first><option value=1>One</option>"
                   "<option value=2>Two</option></select>"
                   "<select name=picked><option value=a>A</option>"
                   "<option value=b selected>B</option>"
                   "<option value=c selected=\"selected\">C</option></select>"
                   "<select name=unclosed><option value=1>One<option value=2 selected>Two"
                   "</select>"
                   "<select name=text><option>Plain &amp; text</option></select>"
                   "<select name=none></select>"
                   "</form>"
                   "<input name=\"after\">");
    EXPECT_EQ(form.action, L"http://forum.test/board/post.php?x=1&y=2");
    EXPECT_EQ(form.method, L"POST");
    const std::vector<FormField> expected = {
        {L"user", L"User Name", kFieldText, false},
        {L"pass", L"", kFieldText, false},
        {L"sid", L"a&b", kFieldHidden, false},
        {L"keep", L"", kFieldCheckbox, true},
        {L"other", L"1", kFieldCheckbox, false},
        {L"r", L"1", kFieldRadio, false},
        {L"r", L"2", kFieldRadio, true},
        {L"go", L"Go", kFieldSubmit, true},
        {L"preview", L"Preview", kFieldSubmit, false},
        {L"img", L"", kFieldImage, false},
        {L"message", L"", kFieldText, false},
        {L"first", L"1", kFieldSelect, true},
        {L"picked", L"c", kFieldSelect, true},
        {L"unclosed", L"2", kFieldSelect, true},
        {L"text", L"Plain & text", kFieldSelect, true},
        {L"none", L"", kFieldSelect, true},
    };
    ASSERT_EQ(form.fields.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(Describe(form.fields[i]), Describe(expected[i])) << i;
    }
}

TEST(HtmlFormReaderTest, ImageBeforeSubmitIsTheOnePressed) {
    HtmlDocument doc;
    HtmlForm form =
        ReadFormAt(doc, "<form><input type=image name=img><input type=submit name=go></form>");
    ASSERT_EQ(form.fields.size(), 2u);
    EXPECT_TRUE(form.fields[0].selected);
    EXPECT_FALSE(form.fields[1].selected);
}

TEST(HtmlFormReaderTest, MethodAndAction) {
    struct Row {
        const char* form;
        const wchar_t* method;
        const wchar_t* action;
    } rows[] = {
        {"<form>", L"GET", kPageUrl.c_str()},
        {"<form method=\"\" action=\"\">", L"GET", kPageUrl.c_str()},
        {"<form method=post action=\"./login.php\">", L"POST",
         L"http://forum.test/board/login.php"},
        {"<FORM METHOD=Get ACTION=\"/search.php?q=a b\">", L"GET",
         L"http://forum.test/search.php?q=a b"},
    };
    for (const Row& row : rows) {
        HtmlDocument doc;
        HtmlForm form = ReadFormAt(doc, std::string(row.form) + "<input name=a></form>");
        EXPECT_EQ(form.method, row.method) << row.form;
        EXPECT_EQ(form.action, row.action) << row.form;
        EXPECT_EQ(form.code_page, kCodePageUtf8);
        ASSERT_EQ(form.fields.size(), 1u) << row.form;
    }
}

TEST(HtmlFormReaderTest, NestedFormsAndTheEndPosition) {
    HtmlDocument doc;
    const char* page =
        "<form id=outer><input name=a><form id=inner><input name=b></form>"
        "<input name=c></form>";
    HtmlForm outer = ReadFormAt(doc, page, 0);
    ASSERT_EQ(outer.fields.size(), 3u);
    EXPECT_EQ(outer.fields[2].name, L"c");
    HtmlForm inner = ReadFormAt(doc, page, 1);
    ASSERT_EQ(inner.fields.size(), 1u);
    EXPECT_EQ(inner.fields[0].name, L"b");

    // No form at the cursor: the caller's form is left as it was.
    HtmlForm untouched = ReadFormAt(doc, page, 2);
    ASSERT_EQ(untouched.fields.size(), 1u);
    EXPECT_EQ(untouched.fields[0].name, L"stale");
    EXPECT_EQ(untouched.method, L"POST");
}

TEST(HtmlFormReaderTest, ButtonElementsAreSubmitFieldsAndLimitsAreKept) {
    HtmlDocument doc;
    HtmlForm form = ReadFormAt(doc,
                               "<form action=\"post.php\" method=\"post\">"
                               "<input name=\"subject\" maxlength=\"120\">"
                               "<input name=\"free\" maxlength=\"x\">"
                               "<textarea name=\"message\" maxlength=60000></textarea>"
                               "<button type=\"button\" name=\"bold\">B</button>"
                               "<button type=\"reset\">Reset</button>"
                               "<button name=\"preview\" value=\"Preview\"><i></i>See</button>"
                               "<button type=\"SUBMIT\" name=\"post\" value=\"1\">Post</button>"
                               "</form>");
    std::vector<std::string> fields;
    for (const FormField& field : form.fields) {
        fields.push_back(Describe(field) + " max " + std::to_string(field.max_length));
    }
    // A BUTTON without a type submits; the first submit field counts as pressed.
    EXPECT_EQ(fields,
              (std::vector<std::string>{
                  "subject= type 2 max 120", "free= type 2 max -1", "message= type 2 max 60000",
                  "preview=Preview type 6 selected max -1", "post=1 type 6 max -1"}));
}

}  // namespace
}  // namespace twk
