#include "submit/ResultText.h"

#include <ctime>
#include <iterator>

#include "text/StringTable.h"
#include "text/Unicode.h"

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
    L"Topic gone",
    L"Edit not allowed",
};

}  // namespace

std::wstring ResultText(int code, const std::wstring& failureText, const std::wstring& scriptName) {
    if (code < 0 || code >= static_cast<int>(std::size(kResultTexts))) {
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

std::wstring FormatSubmitDate(int64_t stime) {
    if (stime == 0) {
        return {};
    }
    std::time_t time = static_cast<std::time_t>(stime);
    std::tm utc{};
    if (gmtime_r(&time, &utc) == nullptr) {
        return {};
    }
    // "%c" of the "C" locale, written out so that the user's locale cannot change it.
    char buffer[100];
    size_t length = std::strftime(buffer, sizeof buffer, "%m/%d/%y %H:%M:%S", &utc);
    return Utf8ToWide(std::string_view(buffer, length));
}

}  // namespace twk
