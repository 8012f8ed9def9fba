#include "submit/ColumnLayout.h"

#include <algorithm>
#include <optional>
#include <sstream>
#include <vector>

namespace twk::gui {
namespace {

// Splits at blanks; a token that is not a whole decimal number (or does not fit) is none.
std::vector<std::optional<long long>> Numbers(const std::wstring& text) {
    std::vector<std::optional<long long>> numbers;
    std::wistringstream stream(text);
    std::wstring token;
    while (stream >> token) {
        size_t used = 0;
        std::optional<long long> value;
        try {
            long long parsed = std::stoll(token, &used, 10);
            if (used == token.size()) {
                value = parsed;
            }
        } catch (const std::exception&) {
        }
        numbers.push_back(value);
    }
    return numbers;
}

// A width a header can take: huge values would push the other columns out of reach.
constexpr long long kMaxWidth = 10000;
// The Result column's width before it was made wide enough for a board's words.
constexpr int kEarlierResultWidth = 100;

}  // namespace

bool ParseColumnLayout(const std::wstring& text, ColumnLayout& layout) {
    const auto numbers = Numbers(text);
    if (numbers.size() < 2 || numbers[0] != 1LL || !numbers[1]) {
        return false;
    }
    const int count = static_cast<int>(std::clamp<long long>(*numbers[1], 0, kColumnCount));
    // The layout of the version before the Replies column.
    const bool earlier = count == kColumnReplies;
    const int width_before = layout.widths[kColumnResult];
    std::array<int, kColumnCount> order = layout.order;
    if (earlier) {
        order[kColumnReplies] = kColumnReplies;
    }
    bool order_complete = count == kColumnCount || earlier;
    for (int i = 0; i < count; ++i) {
        const size_t at = 2 + 2 * static_cast<size_t>(i);
        if (at < numbers.size() && numbers[at] && *numbers[at] >= 0) {
            layout.widths[i] = static_cast<int>(std::min(*numbers[at], kMaxWidth));
        }
        if (at + 1 < numbers.size() && numbers[at + 1] && *numbers[at + 1] >= 0 &&
            *numbers[at + 1] < count) {
            order[i] = static_cast<int>(*numbers[at + 1]);
        } else {
            order_complete = false;
        }
    }
    if (earlier && layout.widths[kColumnResult] == kEarlierResultWidth) {
        layout.widths[kColumnResult] = width_before;
    }
    std::array<int, kColumnCount> sorted = order;
    std::sort(sorted.begin(), sorted.end());
    if (order_complete && sorted == std::array<int, kColumnCount>{0, 1, 2, 3, 4, 5, 6}) {
        layout.order = order;
    }
    return true;
}

std::wstring FormatColumnLayout(const ColumnLayout& layout) {
    std::wstring text = L"1 " + std::to_wstring(kColumnCount);
    for (int i = 0; i < kColumnCount; ++i) {
        text += L' ' + std::to_wstring(layout.widths[i]) + L' ' + std::to_wstring(layout.order[i]);
    }
    return text;
}

}  // namespace twk::gui
