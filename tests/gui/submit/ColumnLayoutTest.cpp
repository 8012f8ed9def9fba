#include "submit/ColumnLayout.h"

#include <gtest/gtest.h>

#include "SubmitPageTest.h"

namespace twk::gui {
namespace {

using Widths = std::array<int, kColumnCount>;

struct LayoutCase {
    const char* name;
    std::wstring stored;
    bool applied;
    Widths widths;
    Widths order;
};

const Widths kDefaultWidths{100, 100, 100, 100, 300, 200, 90};
const Widths kDefaultOrder{0, 1, 2, 3, 4, 6, 5};
const Widths kStoredOrder{0, 1, 2, 3, 4, 5, 6};

void PrintTo(const LayoutCase& row, std::ostream* out) {
    *out << row.name;
}

class ColumnLayoutParse : public testing::TestWithParam<LayoutCase> {};

TEST_P(ColumnLayoutParse, AppliesWhatTheStoredTextCovers) {
    const LayoutCase& c = GetParam();
    ColumnLayout layout;
    EXPECT_EQ(ParseColumnLayout(c.stored, layout), c.applied);
    EXPECT_EQ(layout.widths, c.widths);
    EXPECT_EQ(layout.order, c.order);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, ColumnLayoutParse,
    testing::Values(
        LayoutCase{"Defaults", L"1 7 100 0 100 1 100 2 100 3 300 4 200 6 90 5", true,
                   kDefaultWidths, kDefaultOrder},
        LayoutCase{"Reordered",
                   L"1 7 10 5 20 4 30 3 40 2 50 1 60 0 70 6",
                   true,
                   {10, 20, 30, 40, 50, 60, 70},
                   {5, 4, 3, 2, 1, 0, 6}},
        // The version before the Replies column: its widths and order, Replies last, and
        // its default Result width widened.
        LayoutCase{"EarlierDefaults",
                   L"1 6 100 0 100 1 100 2 100 3 100 4 200 5",
                   true,
                   {100, 100, 100, 100, 300, 200, 90},
                   kStoredOrder},
        LayoutCase{"EarlierSetByUser",
                   L"1 6 10 5 20 4 30 3 40 2 50 1 60 0",
                   true,
                   {10, 20, 30, 40, 50, 60, 90},
                   {5, 4, 3, 2, 1, 0, 6}},
        // A count above 7 reads seven columns and leaves the rest of the text alone.
        LayoutCase{"CountAboveSeven",
                   L"1 9 11 1 12 0 13 2 14 3 15 4 16 5 17 6 18 7 19 8",
                   true,
                   {11, 12, 13, 14, 15, 16, 17},
                   {1, 0, 2, 3, 4, 5, 6}},
        LayoutCase{"OtherVersion", L"2 6 10 5 20 4 30 3 40 2 50 1 60 0", false, kDefaultWidths,
                   kDefaultOrder},
        LayoutCase{"Empty", L"", false, kDefaultWidths, kDefaultOrder},
        LayoutCase{"NotNumbers", L"one six", false, kDefaultWidths, kDefaultOrder},
        // Fewer columns: their widths, but an order for some columns only cannot be shown.
        LayoutCase{"CountBelowSix",
                   L"1 2 70 1 80 0",
                   true,
                   {70, 80, 100, 100, 300, 200, 90},
                   kDefaultOrder},
        LayoutCase{"RepeatedOrder",
                   L"1 7 10 0 20 0 30 2 40 3 50 4 60 5 70 6",
                   true,
                   {10, 20, 30, 40, 50, 60, 70},
                   kDefaultOrder},
        LayoutCase{"OrderOutOfRange",
                   L"1 7 10 0 20 1 30 2 40 3 50 4 60 5 70 7",
                   true,
                   {10, 20, 30, 40, 50, 60, 70},
                   kDefaultOrder},
        LayoutCase{
            "TextEndsEarly", L"1 7 10 0 20", true, {10, 20, 100, 100, 300, 200, 90}, kDefaultOrder},
        LayoutCase{"NegativeAndGarbageWidths",
                   L"1 7 -5 0 x 1 30 2 40 3 50 4 60 5 70 6",
                   true,
                   {100, 100, 30, 40, 50, 60, 70},
                   kStoredOrder}),
    [](const testing::TestParamInfo<LayoutCase>& row) { return row.param.name; });

TEST(ColumnLayoutFormat, WritesVersionCountAndEachColumnsWidthAndOrderEntry) {
    EXPECT_EQ(FormatColumnLayout(ColumnLayout{}), L"1 7 100 0 100 1 100 2 100 3 300 4 200 6 90 5");
    ColumnLayout layout{{10, 20, 30, 40, 50, 60, 70}, {5, 4, 3, 2, 1, 0, 6}};
    ColumnLayout read;
    ASSERT_TRUE(ParseColumnLayout(FormatColumnLayout(layout), read));
    EXPECT_EQ(read, layout);
}

class ColumnLayoutList : public test::SubmitPageTest {};

TEST_F(ColumnLayoutList, ShowsTheStoredLayoutAndWritesTheCurrentOneWhenItGoes) {
    SetOptionText(0, OptListLayout, L"1 8 61 2 62 0 63 1 64 5 65 4 66 3 67 6 68 7");
    ShowWindow();
    QHeaderView* header = List().horizontalHeader();
    for (int column = 0; column < kColumnCount; ++column) {
        EXPECT_EQ(header->sectionSize(column), 61 + column);
    }
    EXPECT_EQ(header->logicalIndex(0), 2);
    EXPECT_EQ(header->logicalIndex(3), 5);

    // The user drags the Result column to the front and widens the first column.
    header->moveSection(header->visualIndex(kColumnResult), 0);
    header->resizeSection(kColumnForum, 150);
    CloseWindow();

    EXPECT_EQ(GetOptionText(OptListLayout, 0), L"1 7 150 4 62 2 63 0 64 1 65 5 66 3 67 6");
}

TEST_F(ColumnLayoutList, IgnoresAStoredLayoutOfAnotherVersion) {
    SetOptionText(0, OptListLayout, L"0 6 10 5 20 4 30 3 40 2 50 1 60 0");
    Window();
    QHeaderView* header = List().horizontalHeader();
    EXPECT_EQ(header->sectionSize(kColumnForum), 100);
    EXPECT_EQ(header->sectionSize(kColumnTopicUrl), 200);
    EXPECT_EQ(header->logicalIndex(0), kColumnForum);
    CloseWindow();
    EXPECT_EQ(GetOptionText(OptListLayout, 0), L"1 7 100 0 100 1 100 2 100 3 300 4 200 6 90 5");
}

}  // namespace
}  // namespace twk::gui
