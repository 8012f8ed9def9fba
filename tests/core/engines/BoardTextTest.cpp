#include "engines/BoardText.h"

#include <gtest/gtest.h>

#include <string>

#include "text/Unicode.h"

namespace twk {
namespace {

TEST(BoardTextTest, SecondsNamedIsTheLastNumberOfSeconds) {
    struct Row {
        const wchar_t* text;
        int seconds;
    };
    for (const Row& row : {
             Row{L"This forum requires that you wait 30 seconds between posts. Please try again "
                 L"in 12 seconds.",
                 12},
             Row{L"Please wait 30 more seconds.", 30},
             Row{L"Подождите 45 секунд.", 45},
             Row{L"You cannot make another post so soon after your last.", -1},
             Row{L"Posted 2 topics in 2026.", -1},
             Row{L"Wait 99999999999 seconds", -1},
         }) {
        EXPECT_EQ(SecondsNamed(row.text), row.seconds) << WideToUtf8(row.text);
    }
}

TEST(BoardTextTest, ForumIdsOfSectionsAndPostingLinks) {
    struct Row {
        const wchar_t* url;
        int section;
        int link;
    };
    for (const Row& row : {
             Row{L"http://b/viewforum.php?f=2&sid=abc", 2, 2},
             Row{L"http://b/index.php?showforum=17", 17, -1},
             Row{L"http://b/index.php?/forum/12-news/", 12, -1},
             Row{L"http://b/forums/7-announcements.html", 7, -1},
             Row{L"http://b/forumdisplay.php?2-Main-Forum", 2, -1},
             Row{L"http://b/forumdisplay.php?fid=5", 5, 5},
             Row{L"http://b/index.php?board=3.0", 3, 3},
             Row{L"http://b/newthread.php?do=newthread&f=62", 62, 62},
             Row{L"http://b/posting.php?mode=post&f=2x", -1, -1},
             Row{L"http://b/index.php", -1, -1},
             Row{L"http://b/viewforum.php?ff=2#f=3", -1, -1},
         }) {
        EXPECT_EQ(ForumIdOfSection(row.url), row.section) << WideToUtf8(row.url);
        EXPECT_EQ(ForumIdOfLink(row.url), row.link) << WideToUtf8(row.url);
    }
}

TEST(BoardTextTest, BoardTextBecomesOneShortLine) {
    EXPECT_EQ(CollapseWhitespace(L"\r\n\t Error:\u00a0 the   subject\nis empty. "),
              L"Error: the subject is empty.");
    const std::wstring words = std::wstring(280, L'a') + L" " + std::wstring(30, L'b');
    const std::wstring cut = ShortenText(words, 300);
    EXPECT_LE(cut.size(), 300u);
    EXPECT_EQ(cut, std::wstring(280, L'a') + L"...");
    EXPECT_EQ(ShortenText(L"short", 300), L"short");
    EXPECT_TRUE(ContainsAnyPhrase(L"Ваше сообщение будет доступно после ПРОВЕРКИ модератором",
                                  {L"проверки модератором"}));
}

}  // namespace
}  // namespace twk
