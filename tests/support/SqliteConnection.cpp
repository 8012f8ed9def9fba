#include "support/SqliteConnection.h"

#include <sqlite3.h>

#include <stdexcept>

namespace twk::test {

SqliteConnection::SqliteConnection(const std::filesystem::path& path, bool create) {
    int flags = SQLITE_OPEN_READWRITE | (create ? SQLITE_OPEN_CREATE : 0);
    int rc = sqlite3_open_v2(path.c_str(), &db_, flags, nullptr);
    if (rc != SQLITE_OK) {
        sqlite3_close(db_);
        throw std::runtime_error("cannot open " + path.string() + ": " + sqlite3_errstr(rc));
    }
    sqlite3_busy_timeout(db_, 10000);
}

SqliteConnection::~SqliteConnection() {
    sqlite3_close_v2(db_);
}

int SqliteConnection::Exec(const std::string& sql) {
    return sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, nullptr);
}

std::vector<SqliteConnection::Row> SqliteConnection::Query(const std::string& sql,
                                                           const std::vector<std::string>& params) {
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(db_, sql.c_str(), -1, &statement, nullptr) != SQLITE_OK) {
        throw std::runtime_error("cannot prepare " + sql + ": " + sqlite3_errmsg(db_));
    }
    for (size_t i = 0; i < params.size(); ++i) {
        sqlite3_bind_text(statement, static_cast<int>(i + 1), params[i].c_str(), -1,
                          SQLITE_TRANSIENT);
    }
    std::vector<Row> rows;
    int rc;
    while ((rc = sqlite3_step(statement)) == SQLITE_ROW) {
        Row row;
        for (int column = 0; column < sqlite3_column_count(statement); ++column) {
            const unsigned char* text = sqlite3_column_text(statement, column);
            if (text == nullptr) {
                row.emplace_back(std::nullopt);
            } else {
                row.emplace_back(std::string(reinterpret_cast<const char*>(text),
                                             sqlite3_column_bytes(statement, column)));
            }
        }
        rows.push_back(std::move(row));
    }
    sqlite3_finalize(statement);
    if (rc != SQLITE_DONE) {
        throw std::runtime_error("cannot run " + sql + ": " + sqlite3_errstr(rc));
    }
    return rows;
}

}  // namespace twk::test
