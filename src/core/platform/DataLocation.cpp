#include "platform/DataLocation.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <vector>

#include "platform/PrivateFiles.h"
#include "storage/DatabaseCreator.h"
#include "text/Unicode.h"

namespace fs = std::filesystem;

namespace twk {
namespace {

constexpr const char* kDatabaseName = "twk.db";

// Only an absolute path counts: a relative one would move the data with the working
// directory.
bool Usable(const char* value) {
    return value != nullptr && value[0] == '/';
}

std::string HomeFromPasswordDatabase() {
    std::vector<char> buffer(16384);
    passwd entry{};
    passwd* found = nullptr;
    if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) != 0 ||
        found == nullptr || found->pw_dir == nullptr) {
        return {};
    }
    return found->pw_dir;
}

}  // namespace

DataLocation ChooseDataLocation(const fs::path& executableDirectory, const char* xdgDataHome,
                                const char* home) {
    DataLocation location;
    std::error_code error;
    const fs::path beside = executableDirectory / kDatabaseName;
    if (fs::exists(beside, error)) {
        location.database = beside;
        location.portable = true;
        return location;
    }
    fs::path data_home;
    if (Usable(xdgDataHome)) {
        data_home = xdgDataHome;
    } else if (Usable(home)) {
        data_home = fs::path(home) / ".local" / "share";
    } else {
        // Nowhere else to go: the error about a missing file then names this path.
        location.database = beside;
        return location;
    }
    location.database = data_home / "tallowick" / kDatabaseName;
    return location;
}

DataLocation FindDataLocation(const fs::path& executableDirectory) {
    const char* home = std::getenv("HOME");
    std::string from_passwd;
    if (!Usable(home)) {
        from_passwd = HomeFromPasswordDatabase();
        home = from_passwd.c_str();
    }
    return ChooseDataLocation(executableDirectory, std::getenv("XDG_DATA_HOME"), home);
}

bool EnsureUserDatabase(const DataLocation& location, std::wstring& error) {
    std::error_code fs_error;
    if (location.portable || fs::exists(location.database, fs_error)) {
        return true;
    }
    // The folders above ours (~/.local/share) are the user's; only ours is kept private.
    const fs::path folder = location.database.parent_path();
    fs::create_directories(folder.parent_path(), fs_error);
    if (fs_error || !MakePrivateDirectory(folder, fs_error)) {
        error = L"cannot create the folder " + Utf8ToWide(folder.native()) + L": " +
                Utf8ToWide(fs_error.message());
        return false;
    }
    if (CreateDatabase(location.database, error)) {
        return true;
    }
    // Another copy of the program may have made it in the meantime; that one will do.
    return fs::exists(location.database, fs_error);
}

}  // namespace twk
