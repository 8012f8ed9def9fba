// Waiting out a database that another connection keeps busy or locked.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <atomic>
#include <chrono>
#include <set>
#include <thread>
#include <vector>

#include "storage/Database.h"
#include "storage/Tables.h"
#include "support/FailingVfs.h"
#include "support/SqliteConnection.h"
#include "support/TestDatabase.h"

namespace twk {
namespace {

using test::SqliteConnection;
using test::TestDatabase;
using namespace std::chrono_literals;

class RetryTest : public ::testing::Test {
protected:
    void TearDown() override {
        SetRetryWait({});
        SetStepFunction({});
    }

    // Records every wait instead of sleeping, so that running out of attempts is instant.
    void RecordWaits() {
        SetRetryWait([this](int milliseconds) { waits_.push_back(milliseconds); });
    }

    // 2001 attempts, each failure followed by a wait: 100 yields, then 1901 waits of 50 ms.
    void ExpectAllAttemptsUsed() {
        ASSERT_EQ(waits_.size(), 2001u);
        for (size_t i = 0; i < waits_.size(); ++i) {
            ASSERT_EQ(waits_[i], i < 100 ? 0 : 50) << "wait " << i;
        }
    }

    std::vector<int> waits_;
};

ForumRecord MakeForum(const std::wstring& title) {
    ForumRecord forum;
    forum.profile_id = 1;
    forum.engine = L"phpBB";
    forum.title = title;
    return forum;
}

TEST_F(RetryTest, PreparationGivesUpAfterAllAttemptsWhileLocked) {
    TestDatabase db;
    // A fresh connection has not read the schema yet, so preparing needs the file.
    ASSERT_TRUE(OpenConnection(db.path()));
    SqliteConnection other(db.path());
    ASSERT_EQ(other.Exec("BEGIN EXCLUSIVE"), SQLITE_OK);
    RecordWaits();
    {
        SqlStatement statement(L"SELECT [value] FROM [option]");
        EXPECT_FALSE(statement);
        EXPECT_EQ(statement.handle(), nullptr);
        EXPECT_EQ(statement.Step(false), -1);
    }
    ExpectAllAttemptsUsed();

    ASSERT_EQ(other.Exec("COMMIT"), SQLITE_OK);
    waits_.clear();
    SqlStatement statement(L"SELECT [value] FROM [option]");
    EXPECT_TRUE(statement);
    EXPECT_TRUE(waits_.empty());
}

TEST_F(RetryTest, WriteGivesUpAfterAllAttemptsAndLeavesNothing) {
    TestDatabase db;
    SqliteConnection other(db.path());
    ASSERT_EQ(other.Exec("BEGIN IMMEDIATE"), SQLITE_OK);
    RecordWaits();
    EXPECT_EQ(InsertProfile(ProfileRecord{-1, L"Blocked"}), -1);
    ExpectAllAttemptsUsed();
    ASSERT_EQ(other.Exec("COMMIT"), SQLITE_OK);

    ProfileList profiles;
    EXPECT_EQ(ListProfiles(profiles), 0);
    EXPECT_TRUE(profiles.empty());
}

TEST_F(RetryTest, StepRetriesOnlyBusyLockedIoAndCantOpenResults) {
    struct Case {
        int rc;
        bool retried;
    };
    const Case cases[] = {
        {SQLITE_BUSY, true},       {SQLITE_LOCKED, true},      {SQLITE_IOERR, true},
        {SQLITE_IOERR_READ, true}, {SQLITE_IOERR_LOCK, true},  {SQLITE_CANTOPEN, true},
        {SQLITE_ERROR, false},     {SQLITE_CONSTRAINT, false}, {SQLITE_CORRUPT, false},
        {SQLITE_NOTADB, false},    {SQLITE_MISUSE, false},
    };
    TestDatabase db;
    RecordWaits();
    for (const Case& c : cases) {
        SCOPED_TRACE(sqlite3_errstr(c.rc));
        int calls = 0;
        SetStepFunction([&](sqlite3_stmt*) {
            ++calls;
            return c.rc;
        });
        waits_.clear();
        SqlStatement statement(L"SELECT 1");
        ASSERT_TRUE(statement);
        EXPECT_EQ(statement.Step(false), -1);
        if (c.retried) {
            EXPECT_EQ(calls, 2001);
            ExpectAllAttemptsUsed();
        } else {
            EXPECT_EQ(calls, 1);
            EXPECT_TRUE(waits_.empty());
        }
    }
}

// Another connection holds a lock; the operation waits until a second thread releases it,
// then succeeds. The lock is released only after the operation has met it at least once.
TEST_F(RetryTest, OperationsWaitForALockHeldByAnotherConnection) {
    struct Case {
        const char* name;
        const char* lock;
        bool write;
    };
    // A writer's reserved lock stops other writers; an exclusive lock stops readers too.
    const Case cases[] = {{"write", "BEGIN IMMEDIATE", true}, {"read", "BEGIN EXCLUSIVE", false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TestDatabase db;
        ForumList written{MakeForum(L"one"), MakeForum(L"two"), MakeForum(L"three")};
        ASSERT_EQ(SaveForums(written, false), 0);

        SqliteConnection other(db.path());
        ASSERT_EQ(other.Exec(c.lock), SQLITE_OK);
        std::atomic<int> waits{0};
        SetRetryWait([&](int milliseconds) {
            ++waits;
            std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
        });
        std::atomic<int> release_result{-1};
        std::thread releaser([&] {
            auto deadline = std::chrono::steady_clock::now() + 30s;
            while (waits.load() == 0 && std::chrono::steady_clock::now() < deadline) {
                std::this_thread::sleep_for(1ms);
            }
            std::this_thread::sleep_for(100ms);
            release_result = other.Exec("COMMIT");
        });

        if (c.write) {
            EXPECT_EQ(InsertProfile(ProfileRecord{-1, L"Waited"}), 0);
            ProfileList profiles;
            EXPECT_EQ(ListProfiles(profiles), 0);
            ASSERT_EQ(profiles.size(), 1u);
            EXPECT_EQ(profiles[0].name, L"Waited");
        } else {
            ForumList read;
            EXPECT_EQ(ListForums(L"", read), 0);
            EXPECT_EQ(read.size(), 3u);
        }
        releaser.join();
        EXPECT_EQ(release_result.load(), SQLITE_OK);
        EXPECT_GT(waits.load(), 0);
        SetRetryWait({});
    }
}

// A list read that meets a busy database after its first rows still gives each row once,
// in order: no row is read twice and none is skipped. SQLite keeps its read lock for the
// whole statement, so the busy results are injected.
TEST_F(RetryTest, ListReadMeetingBusyMidwayContinuesWithoutRepeatingRows) {
    TestDatabase db;
    ForumList written;
    for (int i = 0; i < 6; ++i) {
        written.push_back(MakeForum(L"forum " + std::to_wstring(i)));
    }
    ASSERT_EQ(SaveForums(written, false), 0);

    int calls = 0;
    SetStepFunction([&](sqlite3_stmt* statement) {
        ++calls;
        // Busy twice after the first row and three times after the third.
        if (calls == 2 || calls == 3 || (calls >= 6 && calls <= 8)) {
            return SQLITE_BUSY;
        }
        return sqlite3_step(statement);
    });
    RecordWaits();
    ForumList read;
    EXPECT_EQ(ListForums(L"", read), 0);
    EXPECT_EQ(waits_.size(), 5u);
    ASSERT_EQ(read.size(), written.size());
    for (size_t i = 0; i < read.size(); ++i) {
        EXPECT_EQ(read[i].forum_id, written[i].forum_id);
        EXPECT_EQ(read[i].title, written[i].title);
    }
}

// The same with a real failure inside SQLite: the disk fails a page read after the first
// rows, SQLite halts the statement, and the read that follows must not hand out the first
// rows a second time. The rows are long enough to fill many pages, and the connection is
// opened afresh so that the pages come from the file as the read goes on.
TEST_F(RetryTest, ListReadMeetingAReadErrorMidwayGivesEachRowOnce) {
    test::FailingVfs vfs;
    TestDatabase db;
    ForumList written;
    for (int i = 0; i < 300; ++i) {
        written.push_back(MakeForum(L"forum " + std::to_wstring(i) + std::wstring(400, L'x')));
    }
    ASSERT_EQ(SaveForums(written, false), 0);
    ASSERT_TRUE(OpenConnection(db.path()));

    int rows = 0;
    SetStepFunction([&](sqlite3_stmt* statement) {
        int rc = sqlite3_step(statement);
        if (rc == SQLITE_ROW && ++rows == 20) {
            vfs.FailRead(1);
        }
        return rc;
    });
    RecordWaits();
    ForumList read;
    EXPECT_EQ(ListForums(L"", read), 0);
    EXPECT_EQ(vfs.failures(), 1);
    EXPECT_EQ(waits_.size(), 1u);
    ASSERT_EQ(read.size(), written.size());
    for (size_t i = 0; i < read.size(); ++i) {
        EXPECT_EQ(read[i].forum_id, written[i].forum_id) << i;
    }
}

// A commit that cannot get the file (another connection is reading) fails after its
// retries; the batch is then rolled back, so the connection is not left inside a
// transaction that would swallow every later write.
TEST_F(RetryTest, FailedCommitRollsBackTheBatch) {
    TestDatabase db;
    SqliteConnection reader(db.path());
    ASSERT_EQ(reader.Exec("BEGIN"), SQLITE_OK);
    reader.Query("SELECT count(*) FROM [option]");  // holds a read lock until COMMIT
    RecordWaits();

    OptionList options{{5, OptThreadCount, L"3"}, {5, OptProxyAddress, L"proxy"}};
    EXPECT_EQ(InsertOptions(options), -1);
    EXPECT_EQ(waits_.size(), 2001u);
    EXPECT_NE(sqlite3_get_autocommit(Connection().handle), 0);

    ForumList forums{MakeForum(L"one"), MakeForum(L"two")};
    EXPECT_EQ(SaveForums(forums, false), -1);
    EXPECT_NE(sqlite3_get_autocommit(Connection().handle), 0);
    // The ids given inside the undone transaction are taken back.
    EXPECT_EQ(forums[0].forum_id, -1);
    EXPECT_EQ(forums[1].forum_id, -1);

    ASSERT_EQ(reader.Exec("COMMIT"), SQLITE_OK);
    SetRetryWait({});
    EXPECT_EQ(GetOptionText(OptThreadCount, 5), L"");
    ForumList stored;
    EXPECT_EQ(ListForums(L"", stored), 0);
    EXPECT_TRUE(stored.empty());

    // The next write is committed at once: another connection sees it.
    SetOptionText(5, OptThreadCount, L"4");
    EXPECT_EQ(reader.Query("SELECT [value] FROM [option] WHERE [profile_id]=5"),
              std::vector<SqliteConnection::Row>{{"4"}});
}

}  // namespace
}  // namespace twk
