#include "storage/SqlText.h"

#include <iterator>

namespace twk::sql {

std::wstring Decimal(int64_t value) {
    // Built by hand rather than through a stream: streams take the global locale, which
    // may group digits ("1,234") and would then produce broken SQL.
    uint64_t magnitude =
        value < 0 ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
    wchar_t digits[24];
    wchar_t* end = digits + std::size(digits);
    wchar_t* begin = end;
    do {
        *--begin = static_cast<wchar_t>(L'0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    if (value < 0) {
        *--begin = L'-';
    }
    return std::wstring(begin, end);
}

std::wstring QualifiedColumns(const std::wstring& table, std::span<const wchar_t* const> columns) {
    std::wstring text;
    for (const wchar_t* column : columns) {
        if (!text.empty()) {
            text += L',';
        }
        text += table;
        text += L'.';
        text += column;
    }
    return text;
}

std::wstring UnqualifiedColumns(std::span<const wchar_t* const> columns) {
    std::wstring text;
    for (const wchar_t* column : columns) {
        if (!text.empty()) {
            text += L',';
        }
        text += column;
    }
    return text;
}

}  // namespace twk::sql
