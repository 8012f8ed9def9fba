#include <gtest/gtest.h>

#include "web/WebClient.h"

namespace twk {
namespace {

struct CombineRow {
    const wchar_t* base;
    const wchar_t* relative;
    const wchar_t* expected;
};

// Redirect targets as servers send them; the resolver itself has its own tests.
TEST(CombineUrlTest, ResolvesRedirectTargetsAndEscapesThem) {
    const CombineRow rows[] = {
        {L"http://forum.test/dir/sub/page.php", L"../a.php", L"http://forum.test/dir/a.php"},
        {L"http://forum.test/dir/page.php", L"/index.php?x=1", L"http://forum.test/index.php?x=1"},
        {L"http://forum.test/dir/page.php?sid=1", L"?sid=2",
         L"http://forum.test/dir/page.php?sid=2"},
        {L"http://forum.test/a/page.php", L"./b/../c.php", L"http://forum.test/a/c.php"},
        {L"http://forum.test", L"index.php", L"http://forum.test/index.php"},
        {L"http://forum.test/a", L"//other.test/x", L"http://other.test/x"},
        {L"http://forum.test/a", L"https://other.test/x/../y", L"https://other.test/y"},
        {L"http://forum.test/a", L" /b.php \r\n", L"http://forum.test/b.php"},
        // Unsafe characters are escaped, non-ASCII as UTF-8; escapes already there stay.
        {L"http://forum.test/", L"a b.php?q=x y", L"http://forum.test/a%20b.php?q=x%20y"},
        {L"http://forum.test/", L"тема?т=1",
         L"http://forum.test/%D1%82%D0%B5%D0%BC%D0%B0?%D1%82=1"},
        {L"http://forum.test/", L"a%20b.php", L"http://forum.test/a%20b.php"},
        {L"http://forum.test/", L"a\"<>{|}^`\\", L"http://forum.test/a%22%3C%3E%7B%7C%7D%5E%60%5C"},
        // An empty relative part gives the base unchanged; without an absolute base the
        // two cannot be combined.
        {L"http://forum.test/a b", L"", L"http://forum.test/a b"},
        {L"index.php", L"a.php", L""},
        {L"", L"a.php", L""},
    };
    for (const CombineRow& row : rows) {
        EXPECT_EQ(CombineUrl(row.base, row.relative), row.expected)
            << testing::PrintToString(std::wstring(row.base)) << " + "
            << testing::PrintToString(std::wstring(row.relative));
    }
}

}  // namespace
}  // namespace twk
