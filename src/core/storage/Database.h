#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

namespace twk {

struct ProfileRecord;
struct OptionRecord;
struct MessageRecord;
struct ForumRecord;
struct SubmitRecord;
struct SendingRecord;
struct TopicRecord;

// The one process-wide connection. Null when no database is open. Used from the
// user-interface thread only.
struct ConnectionHolder {
    sqlite3* handle = nullptr;
};
ConnectionHolder& Connection();

// Opens path read-write (never creating it) as the process-wide connection, closing any
// connection that was open. True when SQLite reports success; otherwise no connection is
// left open. The path's native form (UTF-8) is what SQLite is given.
bool OpenConnection(const std::filesystem::path& path);

// OpenConnection plus the marker check (option 0 of profile 0 must read as 1). On refusal
// shows "Invalid database file %1%" and leaves no connection open.
bool OpenDatabase(const std::filesystem::path& path);

// Closes the process-wide connection if one is open.
void CloseConnection();

// The SQLite library this process runs with: "3.40.1".
std::string SqliteVersion();

// sqlite3_last_insert_rowid of the connection, truncated to 32 bits.
int32_t LastInsertId();

// Runs "BEGIN"; true when it could be prepared and stepped to 0 or 1.
bool BeginTransaction();

// Runs a statement without parameters ("COMMIT", "ROLLBACK"); true on 0 or 1.
bool RunStatement(const std::wstring& sql);

// A prepared statement that lives for one operation. Preparation and stepping retry while
// the database is busy or locked: up to 2001 attempts, sleeping 0 ms after the first 100
// failures and 50 ms after the later ones.
class SqlStatement {
public:
    explicit SqlStatement(const std::wstring& sql);
    ~SqlStatement();
    SqlStatement(const SqlStatement&) = delete;
    SqlStatement& operator=(const SqlStatement&) = delete;

    // Null when preparation failed.
    sqlite3_stmt* handle() const { return stmt_; }
    explicit operator bool() const { return stmt_ != nullptr; }

    // 1: a row is available; 0: done (the statement is reset); -1: failure.
    // continuing is false for the first step of a reading loop and true for the later
    // ones. A busy or failing database met after some rows makes the statement start
    // again from its first row (see Restarts).
    int Step(bool continuing);
    // How many times the statement started again from its first row after handing out
    // rows; a reading loop that sees it grow discards the rows it read before.
    int Restarts() const { return restarts_; }

    // Binders take 1-based parameter indexes; they return false when SQLite refuses.
    bool BindInt(int index, int32_t value);
    bool BindInt64(int index, int64_t value);
    bool BindNull(int index);
    bool BindText(int index, const std::wstring& value);
    // The id rule: -1 is bound as NULL, any other value as the integer.
    bool BindId(int index, int32_t id);

    // Readers take 0-based column indexes; NULL reads as 0 or an empty string.
    int32_t ColumnInt(int column) const;
    int64_t ColumnInt64(int column) const;
    std::wstring ColumnText(int column) const;

private:
    ConnectionHolder& connection_;
    sqlite3_stmt* stmt_ = nullptr;
    int64_t rows_ = 0;  // rows handed out since the statement last started
    int restarts_ = 0;
};

// " (column=id)", or " (column IS  NULL )" for id -1.
std::wstring IdCondition(const std::wstring& column, int32_t id);

// Placeholder list "(?,?,...)" for n columns.
std::wstring PlaceholderList(int count);

// Record codecs: binders fill an INSERT/REPLACE from a record, readers fill a record
// from the current row of a SELECT with the table's full column list.
bool BindRecord(SqlStatement& statement, const ProfileRecord& record);
bool BindRecord(SqlStatement& statement, const OptionRecord& record);
bool BindRecord(SqlStatement& statement, const MessageRecord& record);
bool BindRecord(SqlStatement& statement, const ForumRecord& record);
bool BindRecord(SqlStatement& statement, const SubmitRecord& record);
bool BindRecord(SqlStatement& statement, const SendingRecord& record);
bool BindRecord(SqlStatement& statement, const TopicRecord& record);
void ReadRecord(const SqlStatement& statement, ProfileRecord& record);
void ReadRecord(const SqlStatement& statement, OptionRecord& record);
void ReadRecord(const SqlStatement& statement, MessageRecord& record);
void ReadRecord(const SqlStatement& statement, ForumRecord& record);
void ReadRecord(const SqlStatement& statement, SubmitRecord& record);
void ReadRecord(const SqlStatement& statement, SendingRecord& record);
void ReadRecord(const SqlStatement& statement, TopicRecord& record);

// Seams for tests. The retry wait sleeps for real (a 0 ms wait only yields the time slice)
// and statements are stepped by sqlite3_step. Tests replace them to run out of attempts
// without waiting and to meet a busy database in the middle of a read. An empty function
// restores the default. Set them only while no statement is running.
using RetryWaitFunction = std::function<void(int milliseconds)>;
using StepFunction = std::function<int(sqlite3_stmt* statement)>;
void SetRetryWait(RetryWaitFunction wait);
void SetStepFunction(StepFunction step);

// Integer option values are read like wcstol with base 10: leading blanks and a sign
// are accepted, reading stops at the first non-digit, no digits give 0.
int64_t ParseOptionInt(const std::wstring& text);

}  // namespace twk
