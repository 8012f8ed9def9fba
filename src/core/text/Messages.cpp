#include "text/Messages.h"

#include <atomic>
#include <cerrno>
#include <iostream>

#include "text/StringTable.h"
#include "text/Unicode.h"

namespace twk {
namespace {

std::atomic<MessageHost*> g_host{nullptr};

}  // namespace

void SetMessageHost(MessageHost* host) {
    g_host = host;
}

int ShowMessage(int captionId, void* owner, unsigned type, const std::wstring& text) {
    std::wstring caption = captionId == 0 ? std::wstring() : LoadText(captionId);
    if (MessageHost* host = g_host.load()) {
        return host->Show(caption, owner, type, text);
    }
    std::cerr << WideToUtf8(caption) << ": " << WideToUtf8(text) << std::endl;
    return (type & 0x0F) == kMbOkCancel ? kIdCancel : kIdOk;
}

std::wstring FormatSystemError(int formatId, std::error_code error,
                               const std::optional<std::wstring>& second) {
    std::wstring system_text;
    if (error) {
        system_text = Utf8ToWide(error.message());
    }
    if (system_text.empty()) {
        system_text = L"?";
    }
    std::wstring format = LoadText(formatId);
    if (second) {
        return FormatText(format, system_text, *second);
    }
    return FormatText(format, system_text);
}

std::wstring FormatSystemError(int formatId, const std::optional<std::wstring>& second) {
    std::error_code error(errno, std::generic_category());
    return FormatSystemError(formatId, error, second);
}

}  // namespace twk
