#include <iostream>

#include "CliCommands.h"
#include "CliSupport.h"
#include "platform/ProgramDirectory.h"
#include "storage/DatabaseCreator.h"
#include "text/Unicode.h"

namespace twk::cli {

int InitDb(const std::vector<std::string>& args) {
    if (args.size() > 1) {
        std::cerr << "twk init-db: too many arguments\nUsage: twk init-db [PATH]\n";
        return kExitUsage;
    }
    std::filesystem::path path = args.empty() ? GetDatabasePath() : std::filesystem::path(args[0]);
    std::wstring error;
    if (!CreateDatabase(path, error)) {
        std::cerr << "twk init-db: " << WideToUtf8(error) << "\n";
        return 1;
    }
    std::cout << "Created " << path.string() << "\n";
    return 0;
}

}  // namespace twk::cli
