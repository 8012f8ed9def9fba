#pragma once

#include <cstdint>
#include <string>

namespace twk {

// The text shown for a result: the failure text when there is one (a failed request's
// own message), else the code's text ("Not <script> script" for 6); "?" for codes
// outside 0 to 13.
std::wstring ResultText(int code, const std::wstring& failureText, const std::wstring& scriptName);

// A submit time (seconds since 1970, UTC) as the result lists show it: "%c" in the "C"
// locale, e.g. "12/10/26 14:03:07". Empty for 0 (no result yet).
std::wstring FormatSubmitDate(int64_t stime);

}  // namespace twk
