#include "submit/SubmitLog.h"

#include <cerrno>
#include <fstream>
#include <string>
#include <system_error>

#include "engines/ForumEngine.h"
#include "platform/ProgramDirectory.h"
#include "text/Unicode.h"

namespace twk {

std::filesystem::path LogFilePath(int32_t forumId, int32_t messageId) {
    return ProgramDirectory() / "log" /
           ("log_" + std::to_string(forumId) + "_" + std::to_string(messageId) + ".html");
}

int WriteSubmitLog(int32_t forumId, const ForumEngine& engine, int32_t messageId) {
    std::filesystem::path path = LogFilePath(forumId, messageId);
    std::error_code error;
    std::filesystem::create_directories(path.parent_path(), error);

    std::wstring text = L"\uFEFF<body>\r\n";
    text += engine.web.current_url;
    text += L"\r\n<hr>\r\n";
    text += engine.page.DecodeText(engine.web.body);

    std::u16string utf16 = WideToUtf16(text);
    std::string bytes;
    bytes.reserve(utf16.size() * 2);
    for (char16_t unit : utf16) {
        bytes += static_cast<char>(unit & 0xFF);
        bytes += static_cast<char>(unit >> 8);
    }

    errno = 0;
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out) {
        return errno != 0 ? errno : EIO;
    }
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) {
        return errno != 0 ? errno : EIO;
    }
    return 0;
}

}  // namespace twk
