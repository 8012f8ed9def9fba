// twk: the command-line tool. Runs the same core as the desktop program, for people who
// work from scripts or on a schedule.
#include <iostream>
#include <string>
#include <vector>

#include "CliCommands.h"
#include "CliSupport.h"
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
           "Commands:\n"
           "  init-db [PATH]\n"
           "      Create a fresh database (default: twk.db beside twk).\n"
           "  scan --script IPBoard|phpBB|vBulletin --url URL --user NAME [--profile NAME]\n"
           "      Sign in to a forum and list its sections. The password is read from the\n"
           "      terminal without echo, or from standard input. With --profile, the\n"
           "      profile's connection settings are used. Exit code: the result code.\n"
           "  submit --profile NAME --message ID\n"
           "      Post the message to every forum of the profile that has no result for it\n"
           "      yet. Ctrl-C once: start no more forums; twice: stop the running ones.\n"
           "      Exit code 0 when every forum has an OK result, 1 otherwise, 130 when\n"
           "      interrupted.\n"
           "  results --profile NAME --message ID\n"
           "      List the profile's forums with the results for the message.\n"
           "\n"
           "Every command except init-db takes --db PATH (default: twk.db beside twk); the\n"
           "submit logs go into the \"log\" folder beside the database.\n"
           "Exit code 64: bad usage; 65: no database, unknown profile or message.\n";
}

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
    if (command == "init-db") {
        code = twk::cli::InitDb(args);
    } else if (command == "scan") {
        code = twk::cli::Scan(args);
    } else if (command == "submit") {
        code = twk::cli::Submit(args);
    } else if (command == "results") {
        code = twk::cli::Results(args);
    } else {
        std::cerr << "twk: unknown command '" << command << "'\n\n";
        PrintUsage(std::cerr);
    }
    twk::SetMessageHost(nullptr);
    return code;
}
