// twk: the command-line tool. Runs the same core as the desktop program, for people who
// work from scripts or on a schedule.
#include <iostream>
#include <string>
#include <vector>

#include "CliCommands.h"

namespace {

void PrintUsage(std::ostream& out) {
    out << "Usage: twk COMMAND [OPTIONS]\n"
           "\n"
           "Commands:\n"
           "  init-db [PATH]   create a fresh database (default: twk.db beside twk)\n"
           "\n"
           "Run 'twk help' for this text.\n";
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty() || args[0] == "help" || args[0] == "--help" || args[0] == "-h") {
        PrintUsage(args.empty() ? std::cerr : std::cout);
        return args.empty() ? 2 : 0;
    }
    std::string command = args[0];
    args.erase(args.begin());
    if (command == "init-db") {
        return twk::cli::InitDb(args);
    }
    std::cerr << "twk: unknown command '" << command << "'\n\n";
    PrintUsage(std::cerr);
    return 2;
}
