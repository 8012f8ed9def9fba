#include "storage/DatabaseCreator.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

#include "text/Unicode.h"

namespace twk {

bool CreateDatabase(const std::filesystem::path& path, std::wstring& error) {
    // The native form is UTF-8; path::wstring() would convert through the C locale and
    // throw for any non-ASCII name.
    const std::wstring shown = Utf8ToWide(path.native());
    // The file is made here, owner-only, before SQLite sees it: SQLite would create it
    // readable by everyone (its journals copy the database's mode, so they stay private
    // too). O_EXCL also makes "never touch an existing file" one atomic step.
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) {
        const int failure = errno;
        error = failure == EEXIST ? L"refusing to overwrite the existing file " + shown
                                  : L"cannot create " + shown + L": " +
                                        Utf8ToWide(std::generic_category().message(failure));
        return false;
    }
    ::close(fd);
    auto remove_file = [&path] {
        std::error_code remove_error;
        std::filesystem::remove(path, remove_error);
    };
    sqlite3* db = nullptr;
    // An empty file is an empty database to SQLite; no create flag, so a file removed in
    // the meantime is not made again with SQLite's own mode.
    int rc = sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr);
    if (rc != SQLITE_OK) {
        error = L"cannot create " + shown + L": " + Utf8ToWide(sqlite3_errstr(rc));
        sqlite3_close(db);
        remove_file();
        return false;
    }
    char* message = nullptr;
    std::string script = std::string("BEGIN;\n") + SchemaSql() + "\nCOMMIT;\n";
    rc = sqlite3_exec(db, script.c_str(), nullptr, nullptr, &message);
    if (rc != SQLITE_OK) {
        error = L"cannot create the tables in " + shown + L": " +
                Utf8ToWide(message ? message : sqlite3_errstr(rc));
        sqlite3_free(message);
        sqlite3_close(db);
        remove_file();
        return false;
    }
    sqlite3_close(db);
    return true;
}

}  // namespace twk
