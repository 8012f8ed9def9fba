// The string table and filling its placeholders.
#include <gtest/gtest.h>

#include <locale>
#include <string>

#include "text/StringTable.h"

namespace twk {
namespace {

TEST(StringTableTest, EveryKnownIdHasItsTextAndOtherIdsNone) {
    // The lookup is a binary search, so one entry out of order hides others.
    const int ids[] = {101, 102, 103, 104, 105, 106, 107, 108, 109, 110, 111, 112, 113, 114, 115,
                       116, 117, 118, 119, 120, 123, 124, 126, 127, 128, 129, 130, 131, 132, 133,
                       134, 135, 136, 137, 138, 139, 140, 141, 142, 143, 144, 145, 146, 150, 151,
                       152, 153, 154, 155, 156, 157, 158, 159, 160, 161, 162, 163, 164, 165, 170,
                       171, 172, 173, 174, 175, 176, 177, 178, 179, 180, 181, 182, 183, 184, 185,
                       186, 187, 188, 190, 191, 192, 210, 211, 212, 230, 231, 232, 233};
    for (int id : ids) {
        EXPECT_FALSE(LoadText(id).empty()) << id;
    }
    for (int id : {0, -1, 100, 121, 122, 125, 147, 149, 166, 189, 193, 213, 234, 1000}) {
        EXPECT_EQ(LoadText(id), L"") << id;
    }
}

TEST(StringTableTest, TextsThatCarryMeaningBeyondTheirWords) {
    EXPECT_EQ(LoadText(kIdsError), L"Error");
    EXPECT_EQ(LoadText(kIdsWarning), L"Warning");
    EXPECT_EQ(LoadText(kIdsInvalidDatabase), L"Invalid database file %1%");
    EXPECT_EQ(LoadText(kIdsDatabaseSaved), L"Database saved succesfully");
    EXPECT_EQ(LoadText(kIdsBlankCaption), L" ");
    EXPECT_EQ(LoadText(kIdsCopyError), L"Error while copying the database\r\n%1%");
    EXPECT_EQ(LoadText(kIdsMoveError), L"Error while moving file %2%\r\n%1%");
    EXPECT_EQ(LoadText(kIdsSendingLogin), L"Sending login information ...");
}

struct GroupingPunct : std::numpunct<wchar_t> {
    wchar_t do_thousands_sep() const override { return L','; }
    std::string do_grouping() const override { return "\3"; }
};

TEST(StringTableTest, FormatTextFillsPlaceholdersInOrder) {
    EXPECT_EQ(LoadFormatted(kIdsItemsFound, 42), L"42 items found");
    EXPECT_EQ(LoadFormatted(kIdsProfileExists, std::wstring(L"Зима")),
              L"Profile Зима already exists.");
    EXPECT_EQ(LoadFormatted(kIdsMoveError, std::wstring(L"reason"), std::wstring(L"/a/twk.db")),
              L"Error while moving file /a/twk.db\r\nreason");
    // Percent signs inside an argument are not placeholders.
    EXPECT_EQ(FormatText(L"Invalid database file %1%", std::wstring(L"/tmp/100%1%.db")),
              L"Invalid database file /tmp/100%1%.db");
    EXPECT_EQ(FormatText(L"%1%", -7), L"-7");
}

TEST(StringTableTest, FormatTextNeverThrows) {
    EXPECT_EQ(FormatText(L"%1% and %2%", 1), L"%1% and %2%");  // too few arguments
    EXPECT_EQ(FormatText(L"%1%", 1, 2), L"%1%");               // too many
    EXPECT_EQ(FormatText(L"100%", 1), L"100%");                // malformed text
    EXPECT_EQ(FormatText(L"plain"), L"plain");
}

TEST(StringTableTest, IntegersAreNotGroupedWhateverTheGlobalLocale) {
    std::locale previous =
        std::locale::global(std::locale(std::locale::classic(), new GroupingPunct));
    EXPECT_EQ(LoadFormatted(kIdsItemsFound, 1234567), L"1234567 items found");
    std::locale::global(previous);
}

}  // namespace
}  // namespace twk
