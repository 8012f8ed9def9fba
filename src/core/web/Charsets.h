#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "text/Unicode.h"

namespace twk {

// Windows code page numbers identify charsets throughout the program; one table maps the
// usual IANA names to them and to iconv's converters.
constexpr uint32_t kCodePageUtf8 = 65001;
constexpr uint32_t kCodePageWindows1251 = 1251;
constexpr uint32_t kDefaultCodePage = kCodePageWindows1251;

// The code page of a charset name (any letter case; surrounding quotes and a following
// ";parameter" are not part of the name). 0 when the name is unknown.
uint32_t CodePageFromCharset(std::wstring_view name);

// The charset value of "charset=" (any letter case) in a Content-Type value or a META
// content; empty when there is none.
std::wstring CharsetFromContentType(std::wstring_view value);

// Bytes in codePage to text. Invalid sequences become U+FFFD; empty gives empty.
std::wstring DecodeBytes(std::string_view bytes, uint32_t codePage);

// The bytes of text in codePage. Characters the charset cannot represent are written as
// the HTML numeric character reference "&#N;".
std::string EncodeText(std::wstring_view text, uint32_t codePage);

// Resolves HTML character references: numeric ones (decimal and hexadecimal, any code
// point) and the 101 named entities of the table (case-sensitive names).
std::wstring DecodeEntities(std::wstring_view text);

}  // namespace twk
