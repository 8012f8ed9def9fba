#include "text/MarkdownText.h"

#include <gtest/gtest.h>

#include "text/Unicode.h"

namespace twk {
namespace {

enum class Boards { Both, Discourse, NodeBB };

struct MarkdownCase {
    const char* name;
    std::wstring bbcode;
    Boards boards;
    std::wstring markdown;
};

void PrintTo(const MarkdownCase& row, std::ostream* out) {
    *out << row.name;
}

class BBCodeToMarkdownTest : public testing::TestWithParam<MarkdownCase> {};

TEST_P(BBCodeToMarkdownTest, Converts) {
    const MarkdownCase& row = GetParam();
    for (MarkdownFlavour flavour : {MarkdownFlavour::Discourse, MarkdownFlavour::NodeBB}) {
        const bool wanted =
            row.boards == Boards::Both ||
            (row.boards == Boards::Discourse) == (flavour == MarkdownFlavour::Discourse);
        if (wanted) {
            EXPECT_EQ(WideToUtf8(BBCodeToMarkdown(row.bbcode, flavour)), WideToUtf8(row.markdown))
                << (flavour == MarkdownFlavour::Discourse ? "Discourse" : "NodeBB");
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Tags, BBCodeToMarkdownTest,
    testing::Values(
        MarkdownCase{"Bold", L"[b]x[/b]", Boards::Both, L"**x**"},
        MarkdownCase{"Italic", L"[i]x[/i]", Boards::Both, L"*x*"},
        MarkdownCase{"NamesInAnyCase", L"[B]x[/B] [I]y[/i]", Boards::Both, L"**x** *y*"},
        MarkdownCase{"UnderlineAsDiscourseBBCode", L"[u]x[/u]", Boards::Discourse, L"[u]x[/u]"},
        MarkdownCase{"UnderlineDroppedOnNodeBB", L"a [u]x[/u]", Boards::NodeBB, L"a x"},
        MarkdownCase{"ColourDropped", L"[color=#f00]hot[/color]", Boards::Both, L"hot"},
        MarkdownCase{"BareLinkAsAutolink", L"[url]http://a.com/x_y_[/url]", Boards::Both,
                     L"<http://a.com/x_y_>"},
        MarkdownCase{"LinkWithText", L"[url=https://a.com/p?q=1]Home[/url]", Boards::Both,
                     L"[Home](https://a.com/p?q=1)"},
        MarkdownCase{"LinkWithSpaceAndParentheses", L"[url=http://a.com/a b(c)]t[/url]",
                     Boards::Both, L"[t](<http://a.com/a b(c)>)"},
        MarkdownCase{"BareLinkWithSpace", L"[url]http://a.com/a b[/url]", Boards::Both,
                     L"[http://a.com/a b](<http://a.com/a b>)"},
        MarkdownCase{"LinkEntityKept", L"[url=http://a/?x=1&amp;y=2]t[/url]", Boards::Both,
                     LR"([t](http://a/?x=1\&amp;y=2))"},
        MarkdownCase{"LinkBackslashKept", L"[url=http://a.com/a\\b]t[/url]", Boards::Both,
                     LR"([t](http://a.com/a\\b))"},
        MarkdownCase{"LinkWithoutTextShowsAddress", L"[url=http://a.com] [/url]", Boards::Both,
                     L"[http://a.com](http://a.com)"},
        MarkdownCase{"Image", L"[img]http://a/b.png[/img]", Boards::Both, L"![](http://a/b.png)"},
        MarkdownCase{"ImageWithAlt", L"[img=http://a/b.png]cat *1*[/img]", Boards::Both,
                     LR"(![cat \*1\*](http://a/b.png))"}),
    [](const testing::TestParamInfo<MarkdownCase>& row) { return std::string(row.param.name); });

INSTANTIATE_TEST_SUITE_P(
    Nesting, BBCodeToMarkdownTest,
    testing::Values(
        MarkdownCase{"BoldItalic", L"[b][i]x[/i][/b]", Boards::Both, L"**_x_**"},
        MarkdownCase{"ItalicBold", L"[i][b]x[/b][/i]", Boards::Both, L"*__x__*"},
        MarkdownCase{"BoldLinkText", L"[url=http://a][b]t[/b][/url]", Boards::Both,
                     L"[**t**](http://a)"},
        MarkdownCase{"LinkedImage", L"[url=http://a][img]http://a/i.png[/img][/url]", Boards::Both,
                     L"[![](http://a/i.png)](http://a)"},
        MarkdownCase{"BoldBareLink", L"[b][url]http://a.com[/url][/b]", Boards::Both,
                     L"**<http://a.com>**"},
        MarkdownCase{"UnderlinedBold", L"[u][b]x[/b][/u]", Boards::Discourse, L"[u]**x**[/u]"},
        MarkdownCase{"ColourInsideBold", L"[b][color=red]x[/color][/b]", Boards::Both, L"**x**"},
        MarkdownCase{"RunsSideBySideJoin", L"[b]a[/b][b]b[/b]", Boards::Both, L"**ab**"},
        MarkdownCase{"SpacesMoveOutOfMarks", L"a[b] x [/b]b", Boards::Both, L"a **x** b"},
        // "a**\"x\"**b" is no emphasis in CommonMark: punctuation inside, letters outside.
        MarkdownCase{"PunctuationInsideWordOnDiscourse", L"a[b]\"x\"[/b]b", Boards::Discourse,
                     L"a[b]\"x\"[/b]b"},
        MarkdownCase{"PunctuationInsideWordOnNodeBB", L"a[b]\"x\"[/b]b", Boards::NodeBB,
                     L"a\"x\"b"},
        MarkdownCase{"MarksTouchingOnDiscourse", L"x[b]a[/b][i]b[/i]y", Boards::Discourse,
                     L"x**a**[i]b[/i]y"},
        // "[i](x)" would be a link.
        MarkdownCase{"ParenthesisAfterBBCodeMarkEscaped", L"a[i](x)[/i]", Boards::Discourse,
                     LR"(a[i]\(x)[/i])"}),
    [](const testing::TestParamInfo<MarkdownCase>& row) { return std::string(row.param.name); });

INSTANTIATE_TEST_SUITE_P(
    TagsLeftAsText, BBCodeToMarkdownTest,
    testing::Values(
        MarkdownCase{"Unclosed", L"[b]x", Boards::Both, LR"(\[b\]x)"},
        MarkdownCase{"Empty", L"[b][/b]", Boards::Both, LR"(\[b\]\[/b\])"},
        MarkdownCase{"Unknown", L"[quote]x[/quote] [s]y[/s]", Boards::Both,
                     LR"(\[quote\]x\[/quote\] \[s\]y\[/s\])"},
        MarkdownCase{"Crossed", L"[b]a[i]b[/b]c[/i]", Boards::Both, LR"(**a\[i\]b**c\[/i\])"},
        MarkdownCase{"NearestClosingTag", L"[b]a[b]c[/b]d[/b]", Boards::Both,
                     LR"(**a\[b\]c**d\[/b\])"},
        MarkdownCase{"ColourWithoutValue", L"[color]x[/color]", Boards::Both,
                     LR"(\[color\]x\[/color\])"},
        MarkdownCase{"ScriptLink", L"[url=javascript:alert(1)]x[/url]", Boards::Both,
                     LR"(\[url=javascript:alert(1)\]x\[/url\])"},
        MarkdownCase{"ScriptBareLink", L"[url]JavaScript:alert(1)[/url]", Boards::Both,
                     LR"(\[url\]JavaScript:alert(1)\[/url\])"},
        MarkdownCase{"DataImage", L"[img]data:image/png;base64,AA[/img]", Boards::Both,
                     LR"(\[img\]data:image/png;base64,AA\[/img\])"},
        MarkdownCase{"RelativeAndFtpLinks", L"[url=/x]a[/url] [url=ftp://h]b[/url]", Boards::Both,
                     LR"(\[url=/x\]a\[/url\] \[url=ftp://h\]b\[/url\])"},
        MarkdownCase{"TagsInsideRefusedLinkStillWork", L"[url=javascript:x][b]t[/b][/url]",
                     Boards::Both, LR"(\[url=javascript:x\]**t**\[/url\])"}),
    [](const testing::TestParamInfo<MarkdownCase>& row) { return std::string(row.param.name); });

INSTANTIATE_TEST_SUITE_P(
    Escaping, BBCodeToMarkdownTest,
    testing::Values(
        MarkdownCase{"InlineMarkup", L"*a* _b_ `c` <b> [x](y) ~~s~~ a|b C:\\d", Boards::Both,
                     LR"(\*a\* \_b\_ \`c\` \<b> \[x\](y) \~\~s\~\~ a\|b C:\\d)"},
        MarkdownCase{"ProseLeftReadable", L"Dr. Smith paid $5.00 (50% off) - ok! #1 a_b_c 1.",
                     Boards::Both, L"Dr. Smith paid $5.00 (50% off) - ok! #1 a_b_c 1."},
        MarkdownCase{"Entities", L"AT&T &amp; &#169;", Boards::Both, LR"(AT&T \&amp; \&#169;)"},
        MarkdownCase{"LineStarts",
                     L"# h\n- i\n+ i\n* i\n1. o\n2) t\n> q\n---\n===\n    code\n-5 degrees",
                     Boards::Both,
                     L"\\# h\\\n\\- i\\\n\\+ i\\\n\\* i\\\n1\\. o\\\n2\\) t\\\n\\> q\\\n"
                     L"\\---\\\n\\===\\\ncode\\\n-5 degrees"},
        MarkdownCase{"LineStartBehindMarksLeft", L"x\n[b]# y[/b]", Boards::Both, L"x\\\n**# y**"},
        // Without its italic the line would start "1. ": an ordered list.
        MarkdownCase{"LineStartOnceMarksAreDropped", L"1[i].[/i] x", Boards::NodeBB, L"1\\. x"},
        MarkdownCase{"BangBeforeLink", L"Look![url=http://a]here[/url]", Boards::Both,
                     LR"(Look\![here](http://a))"},
        MarkdownCase{"AddressesInText", L"see http://a.com/_x_?a=1&b=2. (http://w.org/A_(b)) ok",
                     Boards::Both, L"see <http://a.com/_x_?a=1&b=2>. (<http://w.org/A_(b)>) ok"},
        MarkdownCase{"AddressInLinkTextStaysText", L"[url=http://a]see http://b/_c[/url]",
                     Boards::Both, LR"([see http://b/\_c](http://a))"},
        MarkdownCase{"OtherScripts", L"Привет [b]мир[/b] 你好 [i]世界[/i] 😀 café ÆØÅ", Boards::Both,
                     L"Привет **мир** 你好 *世界* 😀 café ÆØÅ"}),
    [](const testing::TestParamInfo<MarkdownCase>& row) { return std::string(row.param.name); });

INSTANTIATE_TEST_SUITE_P(
    LineBreaks, BBCodeToMarkdownTest,
    testing::Values(
        MarkdownCase{"HardBreaks", L"a\r\nb\nc\rd", Boards::Both, L"a\\\nb\\\nc\\\nd"},
        MarkdownCase{"Paragraphs", L"a\r\n\r\nb\n \n\n\nc", Boards::Both, L"a\n\nb\n\nc"},
        MarkdownCase{"EdgesTrimmed", L"\r\n\r\n  a  \n\n", Boards::Both, L"a"},
        MarkdownCase{"BreakInsideBold", L"[b]one\ntwo[/b]", Boards::Both, L"**one\\\ntwo**"},
        MarkdownCase{"ParagraphInsideBold", L"[b][i]one\n\ntwo[/i][/b]", Boards::Both,
                     L"**_one_**\n\n**_two_**"},
        MarkdownCase{"ParagraphInsideLink", L"[url=http://a]one\n\ntwo[/url]", Boards::Both,
                     L"[one\\\ntwo](http://a)"},
        MarkdownCase{"BreaksMoveOutOfMarks", L"a[b]\nx\n[/b]b", Boards::Both, L"a\\\n**x**\\\nb"},
        MarkdownCase{"Empty", L"", Boards::Both, L""}),
    [](const testing::TestParamInfo<MarkdownCase>& row) { return std::string(row.param.name); });

}  // namespace
}  // namespace twk
