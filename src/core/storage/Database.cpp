#include "storage/Database.h"

#include <sqlite3.h>

#include <chrono>
#include <climits>
#include <thread>

#include "storage/SqlText.h"
#include "storage/Tables.h"
#include "text/Messages.h"
#include "text/StringTable.h"
#include "text/Unicode.h"

namespace twk {
namespace {

// A second copy of the program (or any other client of the file) may hold a lock for a
// while; waiting up to about 95 seconds lets it finish instead of failing the user's
// action. The first hundred attempts only yield, so short locks cost no sleep at all.
constexpr int kMaxAttempts = 2001;
constexpr int kYieldAttempts = 100;
constexpr int kRetrySleepMs = 50;

ConnectionHolder g_connection;

RetryWaitFunction& RetryWait() {
    static RetryWaitFunction wait;
    return wait;
}

StepFunction& StepOverride() {
    static StepFunction step;
    return step;
}

// Closes the connection when the process ends, so that the journal is settled even when
// the front end never closed it.
struct ConnectionCloser {
    ~ConnectionCloser() { CloseConnection(); }
} g_closer;

void WaitBeforeRetry(int attempt) {
    int milliseconds = attempt < kYieldAttempts ? 0 : kRetrySleepMs;
    if (const RetryWaitFunction& wait = RetryWait()) {
        wait(milliseconds);
    } else if (milliseconds == 0) {
        std::this_thread::yield();
    } else {
        std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
    }
}

// Extended result codes are on, so the I/O errors are recognised by their low byte only;
// busy and locked are the plain codes.
bool IsRetryablePrepare(int rc) {
    return rc == SQLITE_BUSY || rc == SQLITE_LOCKED || (rc & 0xFF) == SQLITE_IOERR;
}

bool IsRetryableStep(int rc) {
    return IsRetryablePrepare(rc) || rc == SQLITE_CANTOPEN;
}

int StepOnce(sqlite3_stmt* statement) {
    if (const StepFunction& step = StepOverride()) {
        return step(statement);
    }
    return sqlite3_step(statement);
}

}  // namespace

ConnectionHolder& Connection() {
    return g_connection;
}

bool OpenConnection(const std::filesystem::path& path) {
    CloseConnection();
    // The native form of a path on this system is already the UTF-8 byte string that
    // SQLite expects; converting through wide strings would depend on the C locale.
    sqlite3* handle = nullptr;
    int rc = sqlite3_open_v2(path.c_str(), &handle, SQLITE_OPEN_READWRITE, nullptr);
    if (rc != SQLITE_OK) {
        // A handle whose open failed can run no statement; keeping it would only make the
        // holder look like an open connection.
        sqlite3_close(handle);
        return false;
    }
    sqlite3_extended_result_codes(handle, 1);
    g_connection.handle = handle;
    return true;
}

bool OpenDatabase(const std::filesystem::path& path) {
    if (OpenConnection(path)) {
        if (GetOptionInt(OptDatabaseMarker, 0, 0) == 1) {
            // A power cut right after a commit must not lose it: the record that a post
            // goes out is written just before the post leaves. FULL is SQLite's usual
            // default; it is set so that a build with another default cannot weaken it.
            RunStatement(L"PRAGMA synchronous=FULL");
            // A file that cannot gain the new table (read-only) still opens; no post goes
            // out from it, since its sending cannot be recorded.
            UpgradeSchema();
            return true;
        }
        CloseConnection();
    }
    std::wstring text = LoadFormatted(kIdsInvalidDatabase, Utf8ToWide(path.native()));
    ShowMessage(kIdsError, nullptr, kMbIconError, text);
    return false;
}

void CloseConnection() {
    if (g_connection.handle != nullptr) {
        // Every statement is finalized by its operation, so this closes at once; the _v2
        // form still guarantees that the handle is released if one were left behind.
        sqlite3_close_v2(g_connection.handle);
        g_connection.handle = nullptr;
    }
}

int32_t LastInsertId() {
    if (g_connection.handle == nullptr) {
        return -1;
    }
    return static_cast<int32_t>(sqlite3_last_insert_rowid(g_connection.handle));
}

bool RunStatement(const std::wstring& sql) {
    SqlStatement statement(sql);
    if (!statement) {
        return false;
    }
    int result = statement.Step(false);
    return result == 0 || result == 1;
}

bool BeginTransaction() {
    return RunStatement(L"BEGIN");
}

void SetRetryWait(RetryWaitFunction wait) {
    RetryWait() = std::move(wait);
}

void SetStepFunction(StepFunction step) {
    StepOverride() = std::move(step);
}

SqlStatement::SqlStatement(const std::wstring& sql) : connection_(Connection()) {
    if (connection_.handle == nullptr) {
        return;
    }
    std::u16string text = WideToUtf16(sql);
    for (int attempt = 0; attempt < kMaxAttempts; ++attempt) {
        int rc = sqlite3_prepare16_v2(connection_.handle, text.c_str(), -1, &stmt_, nullptr);
        if (!IsRetryablePrepare(rc)) {
            break;
        }
        WaitBeforeRetry(attempt);
    }
}

SqlStatement::~SqlStatement() {
    if (stmt_ != nullptr) {
        sqlite3_finalize(stmt_);
    }
}

int SqlStatement::Step(bool continuing) {
    if (stmt_ == nullptr) {
        return -1;
    }
    if (!continuing) {
        rows_ = 0;
    }
    for (int attempt = 0; attempt < kMaxAttempts; ++attempt) {
        int rc = StepOnce(stmt_);
        if (rc == SQLITE_ROW) {
            ++rows_;
            return 1;
        }
        if (rc == SQLITE_DONE) {
            sqlite3_reset(stmt_);
            rows_ = 0;
            return 0;
        }
        if (!IsRetryableStep(rc)) {
            return -1;
        }
        // A statement that fails after handing out rows cannot go on where it was: SQLite
        // halts it, and the next step starts again from the first row. It is reset here
        // and counted, so that a reading loop drops what it has and reads the rows again
        // from the one consistent read that follows.
        sqlite3_reset(stmt_);
        if (rows_ > 0) {
            rows_ = 0;
            ++restarts_;
        }
        WaitBeforeRetry(attempt);
    }
    return -1;
}

bool SqlStatement::BindInt(int index, int32_t value) {
    return stmt_ != nullptr && sqlite3_bind_int(stmt_, index, value) == SQLITE_OK;
}

bool SqlStatement::BindInt64(int index, int64_t value) {
    return stmt_ != nullptr && sqlite3_bind_int64(stmt_, index, value) == SQLITE_OK;
}

bool SqlStatement::BindNull(int index) {
    return stmt_ != nullptr && sqlite3_bind_null(stmt_, index) == SQLITE_OK;
}

bool SqlStatement::BindText(int index, const std::wstring& value) {
    if (stmt_ == nullptr) {
        return false;
    }
    std::u16string text = WideToUtf16(value);
    if (text.size() > static_cast<size_t>(INT_MAX / 2)) {
        return false;
    }
    int bytes = static_cast<int>(text.size() * sizeof(char16_t));
    return sqlite3_bind_text16(stmt_, index, text.data(), bytes, SQLITE_TRANSIENT) == SQLITE_OK;
}

bool SqlStatement::BindId(int index, int32_t id) {
    return id == -1 ? BindNull(index) : BindInt(index, id);
}

int32_t SqlStatement::ColumnInt(int column) const {
    return stmt_ == nullptr ? 0 : sqlite3_column_int(stmt_, column);
}

int64_t SqlStatement::ColumnInt64(int column) const {
    return stmt_ == nullptr ? 0 : sqlite3_column_int64(stmt_, column);
}

std::wstring SqlStatement::ColumnText(int column) const {
    if (stmt_ == nullptr) {
        return {};
    }
    const void* text = sqlite3_column_text16(stmt_, column);
    if (text == nullptr) {
        return {};
    }
    // The byte count must be asked for after the text, which may have been converted.
    size_t bytes = static_cast<size_t>(sqlite3_column_bytes16(stmt_, column));
    return Utf16ToWide(std::u16string_view(static_cast<const char16_t*>(text), bytes / 2));
}

std::wstring IdCondition(const std::wstring& column, int32_t id) {
    if (id == -1) {
        return L" (" + column + L" IS " + L" NULL " + L")";
    }
    return L" (" + column + L"=" + sql::Decimal(id) + L")";
}

std::wstring PlaceholderList(int count) {
    std::wstring text = L"(?";
    for (int i = 1; i < count; ++i) {
        text += L",?";
    }
    text += L")";
    return text;
}

int64_t ParseOptionInt(const std::wstring& text) {
    size_t i = 0;
    // The blanks wcstol skips in the "C" locale.
    while (i < text.size() && (text[i] == L' ' || (text[i] >= L'\t' && text[i] <= L'\r'))) {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == L'+' || text[i] == L'-')) {
        negative = text[i] == L'-';
        ++i;
    }
    // Accumulated as a negative number so that the most negative value fits; out-of-range
    // values saturate as wcstol's do.
    int64_t value = 0;
    bool saturated = false;
    for (; i < text.size() && text[i] >= L'0' && text[i] <= L'9'; ++i) {
        int digit = static_cast<int>(text[i] - L'0');
        if (saturated) {
            continue;
        }
        if (value < (INT64_MIN + digit) / 10) {
            saturated = true;
            continue;
        }
        value = value * 10 - digit;
    }
    if (saturated) {
        return negative ? INT64_MIN : INT64_MAX;
    }
    if (negative) {
        return value;
    }
    return value == INT64_MIN ? INT64_MAX : -value;
}

std::string SqliteVersion() {
    return sqlite3_libversion();
}

}  // namespace twk
