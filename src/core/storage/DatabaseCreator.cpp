#include "storage/DatabaseCreator.h"

#include <sqlite3.h>

#include <system_error>

#include "text/Unicode.h"

namespace twk {

bool CreateDatabase(const std::filesystem::path& path, std::wstring& error) {
    // The native form is UTF-8; path::wstring() would convert through the C locale and
    // throw for any non-ASCII name.
    const std::wstring shown = Utf8ToWide(path.native());
    std::error_code exists_error;
    if (std::filesystem::exists(path, exists_error)) {
        error = L"refusing to overwrite the existing file " + shown;
        return false;
    }
    sqlite3* db = nullptr;
    // SQLITE_OPEN_EXCLUSIVE is not available for ordinary files, so the check above and
    // the create flag together keep an existing file from being touched.
    int rc =
        sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    if (rc != SQLITE_OK) {
        error = L"cannot create " + shown + L": " + Utf8ToWide(sqlite3_errstr(rc));
        sqlite3_close(db);
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
        std::error_code remove_error;
        std::filesystem::remove(path, remove_error);
        return false;
    }
    sqlite3_close(db);
    return true;
}

}  // namespace twk
