#include "submit/SubmitLog.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <system_error>

#include "engines/ForumEngine.h"
#include "platform/PrivateFiles.h"
#include "platform/ProgramDirectory.h"
#include "text/Unicode.h"

namespace twk {

std::filesystem::path LogFilePath(int32_t forumId, int32_t messageId) {
    return ProgramDirectory() / "log" /
           ("log_" + std::to_string(forumId) + "_" + std::to_string(messageId) + ".html");
}

int WriteSubmitLog(int32_t forumId, const ForumEngine& engine, int32_t messageId) {
    std::filesystem::path path = LogFilePath(forumId, messageId);
    // A log holds a page seen signed in: its folder and files are the user's alone.
    std::error_code error;
    std::filesystem::create_directories(path.parent_path().parent_path(), error);
    if (!MakePrivateDirectory(path.parent_path(), error)) {
        return error.value() != 0 ? error.value() : EIO;
    }

    std::wstring text = L"\uFEFF<body>\r\n";
    text += engine.web.current_url;
    text += L"\r\n<hr>\r\n";
    text += engine.LastAnswerText();

    std::u16string utf16 = WideToUtf16(text);
    std::string bytes;
    bytes.reserve(utf16.size() * 2);
    for (char16_t unit : utf16) {
        bytes += static_cast<char>(unit & 0xFF);
        bytes += static_cast<char>(unit >> 8);
    }

    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) {
        return errno;
    }
    // A log left by an older version may still be readable by others.
    int result = ::fchmod(fd, 0600) == 0 ? 0 : errno;
    size_t written = 0;
    while (result == 0 && written < bytes.size()) {
        const ssize_t count = ::write(fd, bytes.data() + written, bytes.size() - written);
        if (count < 0 && errno != EINTR) {
            result = errno;
        } else if (count > 0) {
            written += static_cast<size_t>(count);
        }
    }
    if (::close(fd) != 0 && result == 0) {
        result = errno;
    }
    return result;
}

std::wstring LogFailureText(int32_t forumId, int32_t messageId, int error) {
    return L"The log " + Utf8ToWide(LogFilePath(forumId, messageId).native()) +
           L" could not be written: " + Utf8ToWide(std::generic_category().message(error));
}

}  // namespace twk
