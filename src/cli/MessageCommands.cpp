// twk messages, add-message and edit-message: the Message page's list and Continue, from
// the shell.
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
const char* const kEditMessageUsage =
    "Usage: twk edit-message --profile NAME --message ID [--subject TEXT]"
    " [--body TEXT | --body-file PATH] [--db PATH]\n";

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
bool DecodeUtf8(std::string bytes, std::wstring& text, const std::string& name,
                const std::string& command) {
    // Editors on Windows start UTF-8 files with a byte order mark.
    if (bytes.rfind("\xEF\xBB\xBF", 0) == 0) {
        bytes.erase(0, 3);
    }
    text = Wide(bytes);
    if (Narrow(text) != bytes) {
        std::cerr << "twk " << command << ": " << name << " is not UTF-8 text\n";
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

// The body given with --body or --body-file, decoded; false after saying what is wrong.
bool ReadBodyOption(const Options& options, const std::string& command, std::wstring& body) {
    std::string name = "--body";
    std::string bytes = options.Get("body").value_or("");
    if (options.Has("body-file")) {
        const std::string path = options.Get("body-file").value_or("");
        name = path == "-" ? "standard input" : path;
        if (!ReadInput(path, bytes)) {
            std::cerr << "twk " << command << ": cannot read " << name << "\n";
            return false;
        }
    }
    if (!DecodeUtf8(bytes, body, name, command)) {
        return false;
    }
    body = WithStoredLineEnds(body);
    return true;
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

    MessageRecord message;
    message.profile_id = profile_id;
    if (!DecodeUtf8(*options.Get("subject"), message.subject, "--subject", "add-message") ||
        !ReadBodyOption(options, "add-message", message.msg)) {
        return kExitData;
    }
    if (SaveMessage(message) != 0) {
        std::cerr << "twk add-message: the message could not be stored\n";
        return 1;
    }
    std::cout << LastInsertId() << "\n";
    return 0;
}

// Continue on an edited message: the message keeps its id, so its posted topics show as
// out of date until twk update puts the new text in.
int EditMessage(const std::vector<std::string>& args) {
    Options options;
    std::string error;
    if (!options.Parse(args, {"profile", "message", "subject", "body", "body-file", "db"}, {},
                       error) ||
        !options.Get("profile") || !options.Get("message")) {
        return UsageError("edit-message",
                          error.empty() ? "--profile and --message are needed" : error,
                          kEditMessageUsage);
    }
    if (options.Has("body") && options.Has("body-file")) {
        return UsageError("edit-message", "give the body with either --body or --body-file",
                          kEditMessageUsage);
    }
    if (!options.Has("subject") && !options.Has("body") && !options.Has("body-file")) {
        return UsageError("edit-message", "nothing to change: give --subject or a body",
                          kEditMessageUsage);
    }
    if (options.Has("subject") && options.Get("subject")->empty()) {
        return UsageError("edit-message", Narrow(LoadText(kIdsEmptySubject)), kEditMessageUsage);
    }
    int32_t profile_id = OpenProfileOption(options, "edit-message");
    MessageRecord message;
    if (profile_id == -1 ||
        !FindMessage(*options.Get("message"), profile_id, message, "edit-message")) {
        return kExitData;
    }
    if (options.Has("subject") &&
        !DecodeUtf8(*options.Get("subject"), message.subject, "--subject", "edit-message")) {
        return kExitData;
    }
    if ((options.Has("body") || options.Has("body-file")) &&
        !ReadBodyOption(options, "edit-message", message.msg)) {
        return kExitData;
    }
    if (SaveMessage(message) != 0) {
        std::cerr << "twk edit-message: the message could not be stored\n";
        return 1;
    }
    return 0;
}

}  // namespace twk::cli
