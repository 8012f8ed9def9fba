#include <gtest/gtest.h>

#include <string>

#include "text/Unicode.h"
#include "web/Charsets.h"
#include "web/HtmlDocument.h"
#include "web/HttpHeaders.h"

namespace twk {
namespace {

// Load takes the Content-Type value from the client's raw headers like this.
void LoadResponse(HtmlDocument& doc, const std::wstring& rawHeaders, std::string_view body) {
    doc.LoadBytes(body, L"http://forum.test/index.php",
                  FindHeaderValue(rawHeaders, L"Content-Type:"));
}

TEST(DocumentCharsetTest, HeaderThenPageThenDefault) {
    const std::string meta_utf8 = "<head><meta charset=\"utf-8\"></head>";
    const std::string meta_koi8 =
        "<head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=koi8-r\"></head>";
    struct Row {
        const wchar_t* headers;
        std::string page;
        uint32_t code_page;
    } rows[] = {
        {L"Content-Type: text/html; charset=utf-8\r\n", "", 65001},
        {L"Content-Type: text/html; Charset=UTF-8\r\n", "", 65001},
        {L"X-Content-Type-Options: nosniff\r\nContent-type: text/html; CHARSET=koi8-r\r\n", "",
         20866},
        {L"content-type: text/html; charset=\"utf-8\"; format=x\r\n", "", 65001},
        {L"Content-Type: text/html\r\n", meta_utf8, 65001},
        {L"", meta_koi8, 20866},
        {L"Content-Type: text/html; charset=windows-1251\r\n", meta_utf8, 1251},
        // A name the header gives but nobody knows means the default, not the page's say.
        {L"Content-Type: text/html; charset=no-such\r\n", meta_utf8, 1251},
        {L"Content-Type: text/html; charset=\"bogus\"\r\n", "", 1251},
        {L"", "<head><meta charset=\"bogus\"></head>", 1251},
        {L"", "<meta name=x content=y><meta charset=utf-16>", 65001},
        {L"Content-Type: text/html\r\n", "<p>nothing declared</p>", 1251},
        {L"", "", 1251},
    };
    for (const Row& row : rows) {
        HtmlDocument doc;
        LoadResponse(doc, row.headers, row.page);
        EXPECT_EQ(doc.code_page, row.code_page) << WideToUtf8(row.headers) << row.page;
    }
}

// The same page in both encodings reads the same, down to the form that goes back in the
// page's charset.
TEST(DocumentCharsetTest, CyrillicPagesDecode) {
    const std::wstring page =
        L"<html><head><title>Форум &laquo;Тест&raquo;</title></head><body>"
        L"<a href=\"viewforum.php?f=1&amp;n=Раздел\">Новости<br>и&nbsp;события</a>"
        L"<form method=post><input name=\"имя\" value=\"Имя пользователя\"></form>"
        L"</body></html>";
    struct Row {
        uint32_t code_page;
        const wchar_t* headers;
    } rows[] = {
        {1251, L"Content-Type: text/html; charset=windows-1251\r\n"},
        {1251, L"Content-Type: text/html\r\n"},
        {65001, L"Content-Type: text/html; charset=UTF-8\r\n"},
    };
    for (const Row& row : rows) {
        HtmlDocument doc;
        LoadResponse(doc, row.headers, EncodeText(page, row.code_page));
        ASSERT_EQ(doc.code_page, row.code_page);
        std::wstring title;
        EXPECT_TRUE(doc.Title(title));
        EXPECT_EQ(title, L"Форум «Тест»");
        ASSERT_TRUE(doc.SelectLink(0));
        EXPECT_EQ(doc.LinkText(), L"Новости и\u00A0события");
        EXPECT_EQ(doc.LinkUrl(), L"http://forum.test/viewforum.php?f=1&n=Раздел");
        doc.form_cursor = doc.FindElement(0, "form");
        HtmlForm form;
        doc.ReadForm(form);
        ASSERT_EQ(form.fields.size(), 1u);
        EXPECT_EQ(form.fields[0].name, L"имя");
        EXPECT_EQ(form.fields[0].value, L"Имя пользователя");
        EXPECT_EQ(form.code_page, row.code_page);
    }
}

}  // namespace
}  // namespace twk
