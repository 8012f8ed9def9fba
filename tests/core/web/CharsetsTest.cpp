#include <gtest/gtest.h>

#include "web/Charsets.h"
#include "web/HttpHeaders.h"

namespace twk {
namespace {

TEST(CharsetsTest, CodePageFromCharsetNames) {
    struct Row {
        const wchar_t* name;
        uint32_t code_page;
    } rows[] = {
        {L"utf-8", 65001},
        {L"UTF-8", 65001},
        {L"\"utf-8\"", 65001},
        {L"utf-8;format=flowed", 65001},
        {L"windows-1251", 1251},
        {L"Windows-1252", 1252},
        {L"koi8-r", 20866},
        {L"iso-8859-1", 28591},
        {L"Shift_JIS", 932},
        {L"no-such-charset", 0},
        {L"", 0},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(CodePageFromCharset(row.name), row.code_page) << row.name;
    }
}

TEST(CharsetsTest, CharsetFromContentTypeInAnyCase) {
    EXPECT_EQ(CharsetFromContentType(L"text/html; charset=utf-8"), L"utf-8");
    EXPECT_EQ(CharsetFromContentType(L"text/html; Charset=UTF-8"), L"UTF-8");
    EXPECT_EQ(CharsetFromContentType(L"text/html; charset=\"koi8-r\"; x=y"), L"koi8-r");
    EXPECT_EQ(CharsetFromContentType(L"text/html"), L"");
}

TEST(CharsetsTest, DecodeAndEncodeRoundTripCyrillic) {
    const std::wstring text = L"Привет, мир";
    for (uint32_t code_page : {65001u, 1251u, 20866u, 866u}) {
        std::string bytes = EncodeText(text, code_page);
        EXPECT_EQ(DecodeBytes(bytes, code_page), text) << code_page;
    }
    EXPECT_EQ(EncodeText(L"\u00FC", 1252), "\xFC");
    EXPECT_EQ(EncodeText(L"\u00FC", 65001), "\xC3\xBC");
}

TEST(CharsetsTest, UnrepresentableCharactersBecomeNumericReferences) {
    EXPECT_EQ(EncodeText(L"a\u65E5b", 1251), "a&#26085;b");
    EXPECT_EQ(EncodeText(L"\U0001F600", 1252), "&#128512;");
}

TEST(CharsetsTest, InvalidBytesBecomeReplacementCharacters) {
    EXPECT_EQ(DecodeBytes("a\xFF"
                          "b",
                          65001),
              L"a\uFFFDb");
    EXPECT_EQ(DecodeBytes("", 1251), L"");
}

TEST(CharsetsTest, DecodeEntities) {
    struct Row {
        const wchar_t* in;
        const wchar_t* out;
    } rows[] = {
        {L"&amp;lt;", L"&lt;"},
        {L"&AMP;", L"&AMP;"},
        {L"&nbsp x", L"&nbsp x"},
        {L"&#65;&#x41;&#X41;", L"AAA"},
        {L"a&#0;b&#;c", L"abc"},
        {L"&#8364;&euro;", L"\u20AC\u20AC"},
        {L"&#128512;", L"\U0001F600"},
        {L"&#65 and more text;", L"A"},
        {L"&#65 and more text that is much longer than thirty;",
         L"&#65 and more text that is much longer than thirty;"},
        {L"&copy;&apos;&yuml;&nbsp;", L"\u00A9&apos;\u00FF\u00A0"},
        {L"trailing &", L"trailing &"},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(DecodeEntities(row.in), row.out) << row.in;
    }
}

TEST(HttpHeadersTest, NamesMatchInAnyCaseAtLineStart) {
    const std::wstring raw =
        L"HTTP/1.1 302 Found\r\nX-Content-Type: nope\r\ncontent-type: text/html; "
        L"charset=UTF-8\r\nlocation:   /next.php?x=1 \r\n\r\n";
    EXPECT_EQ(FindHeaderValue(raw, L"Content-Type:"), L"text/html; charset=UTF-8");
    EXPECT_EQ(FindHeaderValue(raw, L"Location:"), L"/next.php?x=1 ");
    EXPECT_EQ(FindHeaderValue(raw, L"Set-Cookie:"), L"");
}

}  // namespace
}  // namespace twk
