#pragma once

#include <string>
#include <string_view>

namespace twk {

// Conversions at the edges of the core: wide strings hold whole code points on Linux
// (wchar_t is 32 bits), SQLite and Qt want UTF-16, files and libcurl want UTF-8.
// Invalid input never throws: broken sequences become U+FFFD.
std::string WideToUtf8(std::wstring_view text);
std::wstring Utf8ToWide(std::string_view bytes);
std::u16string WideToUtf16(std::wstring_view text);
std::wstring Utf16ToWide(std::u16string_view text);

}  // namespace twk
