#pragma once

#include <atomic>

struct sqlite3_vfs;

namespace twk::test {

// The system's own SQLite file layer with one difference: once armed, it fails a chosen
// read of the database file with SQLITE_IOERR_READ, the way a flaky disk or network share
// does. Registered as the default layer while the object lives, so the program's own
// connection uses it; only one may exist at a time.
class FailingVfs {
public:
    FailingVfs();
    ~FailingVfs();
    FailingVfs(const FailingVfs&) = delete;
    FailingVfs& operator=(const FailingVfs&) = delete;

    // The n-th read of a main database file from now on fails (n counts from 1); the
    // reads after it succeed again.
    void FailRead(int n) { reads_until_failure_ = n; }
    int failures() const { return failures_; }

    // Called by the file layer for each read of a main database file; true to fail it.
    bool TakeFailure();

private:
    sqlite3_vfs* vfs_;
    std::atomic<int> reads_until_failure_{0};
    std::atomic<int> failures_{0};
};

}  // namespace twk::test
