#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace twk::sql {

// Pieces of SQL text shared by the access layer and the table operations. Only fixed
// fragments and integers ever go into SQL text; text values are bound as parameters.

// An integer in plain decimal with a leading "-" when negative. Independent of any locale,
// so that a digit-grouping locale installed by a front end cannot break a statement.
std::wstring Decimal(int64_t value);

// "[table].[a],[table].[b]": the columns of a table as they follow "SELECT ".
std::wstring QualifiedColumns(const std::wstring& table, std::span<const wchar_t* const> columns);

// "[a],[b]": the columns as INSERT and REPLACE name them.
std::wstring UnqualifiedColumns(std::span<const wchar_t* const> columns);

}  // namespace twk::sql
