#include "text/BBCode.h"

#include <gtest/gtest.h>

namespace twk {
namespace {

struct PreviewCase {
    const char* name;
    std::wstring bbcode;
    std::wstring html;
};

void PrintTo(const PreviewCase& row, std::ostream* out) {
    *out << row.name;
}

class BBCodeToHtmlTest : public testing::TestWithParam<PreviewCase> {};

TEST_P(BBCodeToHtmlTest, Converts) {
    EXPECT_EQ(BBCodeToHtml(GetParam().bbcode), GetParam().html);
}

INSTANTIATE_TEST_SUITE_P(
    Steps, BBCodeToHtmlTest,
    testing::Values(
        PreviewCase{"Escapes", L"a & b <i>\"q\"</i>", L"a &amp; b &lt;i&gt;\"q\"&lt;/i&gt;"},
        PreviewCase{"EscapedEntityStaysVisible", L"&amp;", L"&amp;amp;"},
        PreviewCase{"Bold", L"[b]x[/b]", L"<b>x</b>"},
        PreviewCase{"TwoBoldRuns", L"[b]1[/b] and [b]2[/b]", L"<b>1</b> and <b>2</b>"},
        PreviewCase{"UnclosedTagLeft", L"[b]x", L"[b]x"},
        PreviewCase{"EmptyTagLeft", L"[b][/b]", L"[b][/b]"},
        PreviewCase{"UpperCaseNameLeft", L"[B]x[/B]", L"[B]x[/B]"},
        PreviewCase{"Nested", L"[b][i]x[/i][/b]", L"<b><i>x</i></b>"},
        PreviewCase{"Underline", L"[u]x[/u]", L"<u>x</u>"},
        PreviewCase{"BoldSpansLines", L"[b]one\r\ntwo[/b]", L"<b>one<br>\r\ntwo</b>"},
        PreviewCase{"LineBreaks", L"a\r\nb\r\n", L"a<br>\r\nb<br>\r\n"},
        PreviewCase{"LoneLineFeedKept", L"a\nb", L"a\nb"},
        PreviewCase{"LinkWithText", L"[url=http://h/p]Home[/url]",
                    L"<a href=\"http://h/p\">Home</a>"},
        PreviewCase{"LinkTextWithBracketLeft", L"[url=http://h]a]b[/url]",
                    L"[url=http://h]a]b[/url]"},
        PreviewCase{"BareLink", L"[url]https://h/?a=1&b=2[/url]",
                    L"<a href=\"https://h/?a=1&amp;b=2\">https://h/?a=1&amp;b=2</a>"},
        PreviewCase{"FtpLinkLeft", L"[url]ftp://h[/url]", L"[url]ftp://h[/url]"},
        PreviewCase{"ImageWithAlt", L"[img=http://h/i.png]cat[/img]",
                    L"<img src=\"http://h/i.png\" alt=\"cat\">"},
        PreviewCase{"Image", L"[img]http://h/i.png[/img]", L"<img src=\"http://h/i.png\">"},
        PreviewCase{"Color", L"[color=red]hot[/color]", L"<font color=\"red\">hot</font>"},
        PreviewCase{"ColorAnyText", L"[color=#f00 ;x]hot[/color]",
                    L"<font color=\"#f00 ;x\">hot</font>"},
        PreviewCase{"Cyrillic", L"[i]\u043f\u0440\u0438\u0432\u0435\u0442[/i]",
                    L"<i>\u043f\u0440\u0438\u0432\u0435\u0442</i>"},
        PreviewCase{"Empty", L"", L""}),
    [](const testing::TestParamInfo<PreviewCase>& row) { return std::string(row.param.name); });

TEST(BBCodeTest, PreviewPageWrapsTheBody) {
    EXPECT_EQ(MakePreviewPage(L"[b]x[/b]"),
              L"<html><head><meta http-equiv='Content-Type' "
              L"content='text/html;charset=utf-8'></head><body><b>x</b></body>");
    EXPECT_EQ(MakePreviewPage(L""),
              L"<html><head><meta http-equiv='Content-Type' "
              L"content='text/html;charset=utf-8'></head><body></body>");
}

TEST(BBCodeTest, MakeTagPerRow) {
    EXPECT_EQ(MakeTag(kTagBold, L"abc"), L"[b]abc[/b]");
    EXPECT_EQ(MakeTag(kTagItalic, L""), L"[i][/i]");
    EXPECT_EQ(MakeTag(kTagUnderline, L"u"), L"[u]u[/u]");
    EXPECT_EQ(MakeTag(kTagImage, L"http://h/i"), L"[img]http://h/i[/img]");
    EXPECT_EQ(MakeTag(kTagUrl, L"http://a"), L"[url]http://a[/url]");
    EXPECT_EQ(MakeTag(kTagUrlWithText, L"Home", L"http://a"), L"[url=http://a]Home[/url]");
}

TEST(BBCodeTest, UrlDialogFieldsFromSelection) {
    struct Row {
        std::wstring selection;
        std::wstring url;
        std::wstring text;
    };
    const Row rows[] = {
        {L" http://a/b ", L"http://a/b", L"http://a/b"},
        {L"https://a", L"https://a", L"https://a"},
        {L"see http://a", L"", L"see http://a"},
        {L"HTTP://a", L"", L"HTTP://a"},
        {L" words ", L"", L" words "},
        {L"", L"", L""},
    };
    for (const Row& row : rows) {
        UrlDialogFields fields = UrlFieldsForSelection(row.selection);
        EXPECT_EQ(fields.url, row.url) << "selection: " << testing::PrintToString(row.selection);
        EXPECT_EQ(fields.text, row.text) << "selection: " << testing::PrintToString(row.selection);
    }
}

TEST(BBCodeTest, UrlTagFromDialogFields) {
    EXPECT_EQ(UrlTagFor({L"http://a", L"http://a"}), L"[url]http://a[/url]");
    EXPECT_EQ(UrlTagFor({L"http://a", L""}), L"[url]http://a[/url]");
    EXPECT_EQ(UrlTagFor({L"http://a", L"Home"}), L"[url=http://a]Home[/url]");
    EXPECT_EQ(UrlTagFor({L"", L"Home"}), L"[url=]Home[/url]");
    EXPECT_EQ(UrlTagFor({L"", L""}), L"[url][/url]");
}

}  // namespace
}  // namespace twk
