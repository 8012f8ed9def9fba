// twk messages and add-message: the Message page's list and Continue, from the shell.
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>

#include "CliCommands.h"
#include "CliSupport.h"
#include "storage/Database.h"
#include "storage/Tables.h"
#include "text/StringTable.h"

namespace twk::cli {
namespace {

const char* const kAddMessageUsage =
    "Usage: twk add-message --profile NAME --subject TEXT (--body TEXT | --body-file PATH)"
    " [--db PATH]\n";

// The bytes of a file, or of standard input for "-". False when it cannot be read.
bool ReadInput(const std::string& path, std::string& bytes) {
    if (path == "-") {
        bytes.assign(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>());
        return !std::cin.bad();
    }
    // A folder opens like a file and reads as nothing.
    std::error_code error;
    if (std::filesystem::is_directory(path, error)) {
        return false;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return false;
    }
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

// Decoding turns broken sequences into U+FFFD; a message with its text silently replaced
// would be posted to every forum, so only text that survives the round trip is taken.
// name says where the bytes came from.
bool DecodeUtf8(std::string bytes, std::wstring& text, const std::string& name) {
    // Editors on Windows start UTF-8 files with a byte order mark.
    if (bytes.rfind("\xEF\xBB\xBF", 0) == 0) {
        bytes.erase(0, 3);
    }
    text = Wide(bytes);
    if (Narrow(text) != bytes) {
        std::cerr << "twk add-message: " << name << " is not UTF-8 text\n";
        return false;
    }
    return true;
}

// The desktop program stores every line end as CR LF, so the engines send the same text
// whichever program stored it.
std::wstring WithStoredLineEnds(const std::wstring& text) {
    std::wstring stored;
    stored.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == L'\r' || text[i] == L'\n') {
            stored += L"\r\n";
            if (text[i] == L'\r' && i + 1 < text.size() && text[i + 1] == L'\n') {
                ++i;
            }
            continue;
        }
        stored += text[i];
    }
    return stored;
}

}  // namespace

int Messages(const std::vector<std::string>& args) {
    Options options;
    std::string error;
    if (!options.Parse(args, {"profile", "db"}, {}, error) || !options.Get("profile")) {
        return UsageError("messages", error.empty() ? "--profile is needed" : error,
                          "Usage: twk messages --profile NAME [--db PATH]\n");
    }
    int32_t profile_id = OpenProfileOption(options, "messages");
    if (profile_id == -1) {
        return kExitData;
    }
    MessageList messages;
    messages.LoadForProfile(profile_id);
    std::cout << "Id\tSubject\n";
    for (const MessageRecord& message : messages) {
        std::cout << message.message_id << "\t" << Narrow(message.subject) << "\n";
    }
    return 0;
}

int AddMessage(const std::vector<std::string>& args) {
    Options options;
    std::string error;
    if (!options.Parse(args, {"profile", "subject", "body", "body-file", "db"}, {}, error) ||
        !options.Get("profile") || !options.Get("subject")) {
        return UsageError("add-message",
                          error.empty() ? "--profile and --subject are needed" : error,
                          kAddMessageUsage);
    }
    if (options.Has("body") == options.Has("body-file")) {
        return UsageError("add-message", "give the body with either --body or --body-file",
                          kAddMessageUsage);
    }
    if (options.Get("subject")->empty()) {
        return UsageError("add-message", Narrow(LoadText(kIdsEmptySubject)), kAddMessageUsage);
    }
    int32_t profile_id = OpenProfileOption(options, "add-message");
    if (profile_id == -1) {
        return kExitData;
    }

    std::string body_name = "--body";
    std::string body_bytes = options.Get("body").value_or("");
    if (options.Has("body-file")) {
        const std::string path = options.Get("body-file").value_or("");
        body_name = path == "-" ? "standard input" : path;
        if (!ReadInput(path, body_bytes)) {
            std::cerr << "twk add-message: cannot read " << body_name << "\n";
            return kExitData;
        }
    }
    MessageRecord message;
    message.profile_id = profile_id;
    std::wstring body;
    if (!DecodeUtf8(*options.Get("subject"), message.subject, "--subject") ||
        !DecodeUtf8(body_bytes, body, body_name)) {
        return kExitData;
    }
    message.msg = WithStoredLineEnds(body);
    if (SaveMessage(message) != 0) {
        std::cerr << "twk add-message: the message could not be stored\n";
        return 1;
    }
    std::cout << LastInsertId() << "\n";
    return 0;
}

}  // namespace twk::cli
