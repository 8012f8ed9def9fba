#pragma once

#include <string>

namespace twk {

// The text shown for a result: the failure text when there is one (a failed request's
// own message), else the code's text ("Not <script> script" for 6); "?" for codes
// outside 0 to 11.
std::wstring ResultText(int code, const std::wstring& failureText, const std::wstring& scriptName);

}  // namespace twk
