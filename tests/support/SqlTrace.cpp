#include "support/SqlTrace.h"

#include <sqlite3.h>

#include <stdexcept>

#include "storage/Database.h"

namespace twk::test {

SqlTrace::SqlTrace() : db_(Connection().handle) {
    if (db_ == nullptr) {
        throw std::runtime_error("SqlTrace needs an open connection");
    }
    sqlite3_trace_v2(db_, SQLITE_TRACE_STMT, &SqlTrace::OnTrace, this);
}

SqlTrace::~SqlTrace() {
    // The connection may have been closed (and its handle reused) in the meantime.
    if (Connection().handle == db_) {
        sqlite3_trace_v2(db_, 0, nullptr, nullptr);
    }
}

int SqlTrace::OnTrace(unsigned type, void* context, void*, void* text) {
    if (type == SQLITE_TRACE_STMT && text != nullptr) {
        static_cast<SqlTrace*>(context)->statements_.emplace_back(static_cast<const char*>(text));
    }
    return 0;
}

}  // namespace twk::test
