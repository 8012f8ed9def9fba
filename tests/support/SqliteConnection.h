#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

struct sqlite3;

namespace twk::test {

// A second connection to a database file, beside the program's own: lets a test hold
// locks the way another copy of the program would, and look at what was really stored.
// Waits up to ten seconds for locks of its own. Throws when the file cannot be opened.
class SqliteConnection {
public:
    using Row = std::vector<std::optional<std::string>>;  // NULL is nullopt; text as UTF-8

    explicit SqliteConnection(const std::filesystem::path& path, bool create = false);
    ~SqliteConnection();
    SqliteConnection(const SqliteConnection&) = delete;
    SqliteConnection& operator=(const SqliteConnection&) = delete;

    // Runs one or more statements; returns the SQLite result code.
    int Exec(const std::string& sql);
    // Runs one statement with text parameters bound in order; returns its rows.
    std::vector<Row> Query(const std::string& sql, const std::vector<std::string>& params = {});

    sqlite3* handle() const { return db_; }

private:
    sqlite3* db_ = nullptr;
};

}  // namespace twk::test
