#include <gtest/gtest.h>

#include "web/UrlResolver.h"

namespace twk {
namespace {

struct Case {
    const wchar_t* relative;
    const wchar_t* resolved;
};

// The reference resolution examples of RFC 3986 section 5.4, normal and abnormal.
TEST(UrlResolverTest, Rfc3986Examples) {
    const std::wstring base = L"http://a/b/c/d;p?q";
    const Case cases[] = {
        {L"g:h", L"g:h"},
        {L"g", L"http://a/b/c/g"},
        {L"./g", L"http://a/b/c/g"},
        {L"g/", L"http://a/b/c/g/"},
        {L"/g", L"http://a/g"},
        {L"//g", L"http://g"},
        {L"?y", L"http://a/b/c/d;p?y"},
        {L"g?y", L"http://a/b/c/g?y"},
        {L"#s", L"http://a/b/c/d;p?q#s"},
        {L"g#s", L"http://a/b/c/g#s"},
        {L"g?y#s", L"http://a/b/c/g?y#s"},
        {L";x", L"http://a/b/c/;x"},
        {L"g;x?y#s", L"http://a/b/c/g;x?y#s"},
        {L"", L"http://a/b/c/d;p?q"},
        {L".", L"http://a/b/c/"},
        {L"./", L"http://a/b/c/"},
        {L"..", L"http://a/b/"},
        {L"../g", L"http://a/b/g"},
        {L"../..", L"http://a/"},
        {L"../../g", L"http://a/g"},
        {L"../../../g", L"http://a/g"},
        {L"../../../../g", L"http://a/g"},
        {L"/./g", L"http://a/g"},
        {L"/../g", L"http://a/g"},
        {L"g.", L"http://a/b/c/g."},
        {L".g", L"http://a/b/c/.g"},
        {L"g..", L"http://a/b/c/g.."},
        {L"..g", L"http://a/b/c/..g"},
        {L"./../g", L"http://a/b/g"},
        {L"./g/.", L"http://a/b/c/g/"},
        {L"g/./h", L"http://a/b/c/g/h"},
        {L"g/../h", L"http://a/b/c/h"},
        {L"g;x=1/./y", L"http://a/b/c/g;x=1/y"},
        {L"g;x=1/../y", L"http://a/b/c/y"},
        {L"g?y/./x", L"http://a/b/c/g?y/./x"},
        {L"g?y/../x", L"http://a/b/c/g?y/../x"},
        {L"g#s/../x", L"http://a/b/c/g#s/../x"},
        {L"http:g", L"http:g"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ResolveReference(base, c.relative, false), c.resolved) << c.relative;
        EXPECT_EQ(ResolveReference(base, c.relative, true), c.resolved) << c.relative;
    }
}

TEST(UrlResolverTest, EscapingIsAChoice) {
    const std::wstring base = L"https://forum.test/board/index.php?sid=1";
    const std::wstring relative = L"./search.php?q=a b&w=\u00FC\u0416%20#x y";
    EXPECT_EQ(ResolveReference(base, relative, false),
              L"https://forum.test/board/search.php?q=a b&w=\u00FC\u0416%20#x y");
    EXPECT_EQ(ResolveReference(base, relative, true),
              L"https://forum.test/board/search.php?q=a%20b&w=%C3%BC%D0%96%20#x%20y");
    EXPECT_EQ(ResolveReference(base, L"/a<b>|\"c\"", true),
              L"https://forum.test/a%3Cb%3E%7C%22c%22");
}

TEST(UrlResolverTest, OddReferences) {
    const std::wstring base = L"http://forum.test/board/index.php";
    const Case cases[] = {
        // Blanks around and line breaks inside an address are not part of it.
        {L"  ./viewforum.php?f=2\n&sid=1 ", L"http://forum.test/board/viewforum.php?f=2&sid=1"},
        // Not a scheme: a space before the colon makes it a relative path.
        {L"a b:c", L"http://forum.test/board/a b:c"},
        {L"HTTPS://Other.test/x/../y", L"HTTPS://Other.test/y"},
        {L"javascript:void(0)", L"javascript:void(0)"},
        {L"mailto:admin@forum.test", L"mailto:admin@forum.test"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ResolveReference(base, c.relative, false), c.resolved) << c.relative;
    }
    EXPECT_EQ(ResolveReference(L"http://forum.test", L"a.php", false), L"http://forum.test/a.php");
}

TEST(UrlResolverTest, NoAbsoluteBaseCannotCombine) {
    EXPECT_EQ(ResolveReference(L"", L"a.php", false), L"");
    EXPECT_EQ(ResolveReference(L"/board/", L"a.php", false), L"");
    EXPECT_EQ(ResolveReference(L"", L"http://forum.test/./a.php", false),
              L"http://forum.test/a.php");
    EXPECT_TRUE(HasUrlScheme(L"http://x"));
    EXPECT_FALSE(HasUrlScheme(L"/board/"));
    EXPECT_FALSE(HasUrlScheme(L"1http://x"));
}

}  // namespace
}  // namespace twk
