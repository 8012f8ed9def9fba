#pragma once

#include <array>
#include <string>

namespace twk::gui {

// The Submit page's list columns, in their logical order.
enum SubmitColumn : int {
    kColumnForum = 0,
    kColumnSection = 1,
    kColumnUsername = 2,
    kColumnSubmitDate = 3,
    kColumnResult = 4,
    kColumnTopicUrl = 5,
    kColumnReplies = 6,
    kColumnCount = 7,
};

// Widths and order of the list's columns, kept program-wide as option 4 of profile 0:
// "1 7" followed by width and order entry of each column, e.g. the defaults
// "1 7 100 0 100 1 100 2 100 3 300 4 200 6 90 5". order[i] is the column shown at position
// i. The Result column starts wide enough for a board's words; Replies stands before the
// topic's address.
struct ColumnLayout {
    std::array<int, kColumnCount> widths{100, 100, 100, 100, 300, 200, 90};
    std::array<int, kColumnCount> order{0, 1, 2, 3, 4, 6, 5};

    bool operator==(const ColumnLayout&) const = default;
};

// Applies a stored layout on top of layout. Text whose first number is not 1 is ignored;
// a count above 7 is read as 7. Widths are taken for the columns the text covers; the
// order only when it covers all columns and names each of them once, because a partial or
// repeated order cannot be shown. Widths that are negative or not numbers keep the current
// width. A layout of six columns comes from the version before the Replies column: its
// order is kept with Replies last, and its Result width of 100, that version's default,
// gives way to today's. Returns false when the text was ignored.
bool ParseColumnLayout(const std::wstring& text, ColumnLayout& layout);

// The stored form of a layout.
std::wstring FormatColumnLayout(const ColumnLayout& layout);

}  // namespace twk::gui
