#include "submit/ResultText.h"

#include "text/StringTable.h"

namespace twk {
namespace {

const wchar_t* const kResultTexts[] = {
    L"OK",
    L"Unknown error",
    L"Connection error",
    L"Stopped",
    L"Unk. error",
    L"Charset error",
    L"Not %1% script",
    L"Invalid login",
    L"New topic not allowed",
    L"Warning - check result",
    L"No message form",
    L"Server Error",
};

}  // namespace

std::wstring ResultText(int code, const std::wstring& failureText, const std::wstring& scriptName) {
    if (code < 0 || code > 11) {
        return L"?";
    }
    if (!failureText.empty()) {
        return failureText;
    }
    if (code == 6) {
        return FormatText(kResultTexts[code], scriptName);
    }
    return kResultTexts[code];
}

}  // namespace twk
