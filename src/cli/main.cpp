// twk: the command-line tool. Runs the same core as the desktop program, for people who
// work from scripts or on a schedule.
#include <iostream>
#include <map>
#include <string>
#include <vector>

#include "CliCommands.h"
#include "CliSupport.h"
#include "engines/ScriptNames.h"
#include "platform/Versions.h"
#include "text/Messages.h"
#include "text/Unicode.h"

namespace {

// Messages of the core go to standard error; confirmations are never needed here.
class ConsoleMessages : public twk::MessageHost {
public:
    int Show(const std::wstring&, void*, unsigned type, const std::wstring& text) override {
        std::cerr << "twk: " << twk::WideToUtf8(text) << "\n";
        return (type & 0x0F) == twk::kMbOkCancel ? twk::kIdCancel : twk::kIdOk;
    }
};

void PrintUsage(std::ostream& out) {
    out << "Usage: twk COMMAND [OPTIONS]\n"
           "\n"
           "Setting up:\n"
           "  init-db [PATH]\n"
           "      Create a fresh database (default: the database below).\n"
           "  profiles\n"
           "      List the profiles (id, name).\n"
           "  add-profile NAME\n"
           "      Create a profile; prints its id.\n"
           "  set-threads --profile NAME N\n"
           "      Work on N forums at once (1 to 50; a new profile has 10).\n"
           "  messages --profile NAME\n"
           "      List the profile's messages (id, subject).\n"
           "  add-message --profile NAME --subject TEXT (--body TEXT | --body-file PATH)\n"
           "      Store a message (BBCode; the file is UTF-8, \"-\" reads standard input);\n"
           "      prints its id.\n"
           "  edit-message --profile NAME --message ID [--subject TEXT]\n"
           "               [--body TEXT | --body-file PATH]\n"
           "      Change a stored message in place; its posted topics are then out of date\n"
           "      until 'update' puts the new text in.\n"
           "  forums --profile NAME\n"
           "      List the profile's forums (id, script, main URL, section, user name).\n"
           "  add-forum --profile NAME --script SCRIPT --url URL --user NAME\n"
           "            --section URL-OR-TITLE\n"
           "      Sign in with the profile's connection settings, read the sections and store\n"
           "      the forum with the section of that address or title; prints its id. The\n"
           "      password is read as scan reads it. Without a section that matches exactly\n"
           "      one, lists the sections and stores nothing.\n"
           "\n"
           "Running:\n"
           "  scan --script SCRIPT --url URL --user NAME [--profile NAME]\n"
           "      Sign in to a forum and list its sections. The password is read from the\n"
           "      terminal without echo, or from standard input. With --profile, the\n"
           "      profile's connection settings are used. Exit code: the result code.\n"
           "  submit --profile NAME --message ID\n"
           "      Post the message to every forum of the profile that has no result for it\n"
           "      yet. Ctrl-C once: start no more forums; twice: stop the running ones.\n"
           "      Exit code 0 when every forum has an OK result, 1 otherwise, 130 when\n"
           "      interrupted.\n"
           "  results --profile NAME --message ID\n"
           "      List the profile's forums with the results for the message; a topic that\n"
           "      no longer shows the message's subject and text is \"out of date\".\n"
           "  update --profile NAME --message ID\n"
           "      Edit every out-of-date topic of the message to carry its current subject\n"
           "      and text. Ctrl-C as in submit. Exit code 0 when every out-of-date topic\n"
           "      was updated, 1 otherwise, 130 when interrupted.\n"
           "  replies --profile NAME --message ID\n"
           "      Read the replies of every topic of the message: one line per forum with\n"
           "      the replies, how many are new since the last check, the newest reply's\n"
           "      author and time, and the topic's address. Exit code 0, 1 when a topic\n"
           "      could not be read (or is gone), 130 when interrupted.\n"
           "  version (or --version)\n"
           "      Print twk's version and those of the libcurl and SQLite it runs with.\n"
           "\n"
           "SCRIPT is one of "
        << twk::WideToUtf8(twk::KnownScriptsText())
        << ".\n"
           "\n"
           "Every command except init-db takes --db PATH. Without it the database is twk.db\n"
           "beside twk when that file exists, otherwise $XDG_DATA_HOME/tallowick/twk.db\n"
           "(~/.local/share/tallowick/twk.db when XDG_DATA_HOME is unset), made on first\n"
           "use. Here that is:\n"
           "  "
        << twk::cli::DefaultDataLocation().database.string()
        << "\n"
           "The submit logs go into the \"log\" folder beside the database.\n"
           "Exit code 64: bad usage; 65: no database, unknown profile, message or section,\n"
           "a profile name already taken, an unreadable body file. add-forum returns a\n"
           "failed scan's result code.\n";
}

// Bug reports need the libraries as they run here, which a distribution updates on its
// own schedule.
int PrintVersion(const std::vector<std::string>&) {
    std::cout << "twk " << twk::ProgramVersion() << "\n";
    for (const std::string& library : twk::LibraryVersions()) {
        std::cout << library << "\n";
    }
    return 0;
}

// The commands by name.
const std::map<std::string, int (*)(const std::vector<std::string>&)> kCommands = {
    {"init-db", twk::cli::InitDb},
    {"profiles", twk::cli::Profiles},
    {"add-profile", twk::cli::AddProfile},
    {"set-threads", twk::cli::SetThreads},
    {"messages", twk::cli::Messages},
    {"add-message", twk::cli::AddMessage},
    {"edit-message", twk::cli::EditMessage},
    {"forums", twk::cli::Forums},
    {"add-forum", twk::cli::AddForum},
    {"scan", twk::cli::Scan},
    {"submit", twk::cli::Submit},
    {"results", twk::cli::Results},
    {"update", twk::cli::Update},
    {"replies", twk::cli::Replies},
    {"version", PrintVersion},
    {"--version", PrintVersion},
};

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty() || args[0] == "help" || args[0] == "--help" || args[0] == "-h") {
        PrintUsage(args.empty() ? std::cerr : std::cout);
        return args.empty() ? twk::cli::kExitUsage : 0;
    }
    ConsoleMessages messages;
    twk::SetMessageHost(&messages);
    std::string command = args[0];
    args.erase(args.begin());
    int code = twk::cli::kExitUsage;
    auto found = kCommands.find(command);
    if (found != kCommands.end()) {
        code = found->second(args);
    } else {
        std::cerr << "twk: unknown command '" << command << "'\n\n";
        PrintUsage(std::cerr);
    }
    twk::SetMessageHost(nullptr);
    return code;
}
