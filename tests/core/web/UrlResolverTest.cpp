#include <gtest/gtest.h>

#include "web/UrlResolver.h"
#include "web/WebClient.h"

namespace twk {
namespace {

struct CombineRow {
    const wchar_t* base;
    const wchar_t* relative;
    const wchar_t* expected;
};

TEST(UrlResolverTest, CombineUrlResolvesAndEscapes) {
    const wchar_t* base = L"http://a/b/c/d;p?q";
    const CombineRow rows[] = {
        // RFC 3986 section 5.4.
        {base, L"g", L"http://a/b/c/g"},
        {base, L"./g", L"http://a/b/c/g"},
        {base, L"g/", L"http://a/b/c/g/"},
        {base, L"/g", L"http://a/g"},
        {base, L"//g", L"http://g/"},
        {base, L"?y", L"http://a/b/c/d;p?y"},
        {base, L"g?y", L"http://a/b/c/g?y"},
        {base, L"#s", L"http://a/b/c/d;p?q#s"},
        {base, L";x", L"http://a/b/c/;x"},
        {base, L".", L"http://a/b/c/"},
        {base, L"..", L"http://a/b/"},
        {base, L"../g", L"http://a/b/g"},
        {base, L"../..", L"http://a/"},
        {base, L"../../../../g", L"http://a/g"},
        {base, L"/./g", L"http://a/g"},
        {base, L"g/../h", L"http://a/b/c/h"},
        {base, L"g;x=1/../y", L"http://a/b/c/y"},
        {base, L"g..", L"http://a/b/c/g.."},
        {base, L"http:g", L"http://a/b/c/g"},
        // Redirect targets as forums send them.
        {L"http://forum.test/dir/sub/page.php", L"../a.php", L"http://forum.test/dir/a.php"},
        {L"http://forum.test/dir/page.php", L"/index.php?x=1", L"http://forum.test/index.php?x=1"},
        {L"http://forum.test", L"index.php", L"http://forum.test/index.php"},
        {L"http://forum.test/a", L"HTTPS://Other.test/x", L"https://Other.test/x"},
        {L"http://forum.test/a", L" /b.php \r\n", L"http://forum.test/b.php"},
        {L"http://forum.test/a", L"javascript:void(0)", L"javascript:void(0)"},
        // Unsafe characters are escaped, non-ASCII as UTF-8; escapes are kept.
        {L"http://forum.test/", L"a b.php?q=x y", L"http://forum.test/a%20b.php?q=x%20y"},
        {L"http://forum.test/", L"тема?т=1",
         L"http://forum.test/%D1%82%D0%B5%D0%BC%D0%B0?%D1%82=1"},
        {L"http://forum.test/", L"a%20b?p=100%", L"http://forum.test/a%20b?p=100%25"},
        {L"http://forum.test/", L"a\"<>{|}^`\\", L"http://forum.test/a%22%3C%3E%7B%7C%7D%5E%60%5C"},
        // An empty relative part gives the base unchanged; a base that is not absolute
        // cannot be combined.
        {L"http://forum.test/a b", L"", L"http://forum.test/a b"},
        {L"index.php", L"a.php", L""},
        {L"", L"a.php", L""},
    };
    for (const CombineRow& row : rows) {
        EXPECT_EQ(CombineUrl(row.base, row.relative), row.expected)
            << "base " << testing::PrintToString(std::wstring(row.base)) << " relative "
            << testing::PrintToString(std::wstring(row.relative));
    }
}

TEST(UrlResolverTest, WithoutEscapingTextIsKept) {
    EXPECT_EQ(ResolveUrl(L"http://forum.test/f/", L"../тема a.php?x=%zz", false),
              L"http://forum.test/тема a.php?x=%zz");
    EXPECT_EQ(ResolveUrl(L"http://forum.test/f/", L"", false), L"http://forum.test/f/");
    EXPECT_EQ(ResolveUrl(L"http://forum.test/f/#top", L"", false), L"http://forum.test/f/");
}

}  // namespace
}  // namespace twk
