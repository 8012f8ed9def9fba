#include <iostream>

#include "CliCommands.h"
#include "CliSupport.h"
#include "platform/DataLocation.h"
#include "storage/DatabaseCreator.h"
#include "text/Unicode.h"

namespace twk::cli {

int InitDb(const std::vector<std::string>& args) {
    if (args.size() > 1) {
        std::cerr << "twk init-db: too many arguments\nUsage: twk init-db [PATH]\n";
        return kExitUsage;
    }
    std::wstring error;
    std::filesystem::path path;
    bool made = false;
    if (args.empty()) {
        // The database twk would open: a portable one already exists, so only the user's
        // data folder (made when missing) can get a new one.
        const DataLocation location = DefaultDataLocation();
        path = location.database;
        std::error_code exists_error;
        made = !location.portable && !std::filesystem::exists(path, exists_error) &&
               EnsureUserDatabase(location, error);
        if (!made && error.empty()) {
            error = L"refusing to overwrite the existing file " + Utf8ToWide(path.native());
        }
    } else {
        path = args[0];
        made = CreateDatabase(path, error);
    }
    if (!made) {
        std::cerr << "twk init-db: " << WideToUtf8(error) << "\n";
        return 1;
    }
    std::cout << "Created " << path.string() << "\n";
    return 0;
}

}  // namespace twk::cli
