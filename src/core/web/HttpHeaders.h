#pragma once

#include <string>

namespace twk {

// The value of a header in a raw header block (status line and header lines, each ended
// by CR LF). name includes its colon ("Location:") and matches at the start of a line in
// any letter case, as HTTP header names are case-insensitive. Blanks after the name are
// skipped; the value runs to the line's end. Empty when absent.
std::wstring FindHeaderValue(const std::wstring& rawHeaders, const std::wstring& name);

}  // namespace twk
