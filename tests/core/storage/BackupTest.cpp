#include "storage/Backup.h"

#include <gtest/gtest.h>

#include <fstream>

#include "storage/Database.h"
#include "storage/DatabaseCreator.h"
#include "storage/Tables.h"
#include "support/MessageRecorder.h"
#include "support/TempDir.h"
#include "text/Messages.h"

namespace fs = std::filesystem;

namespace twk {
namespace {

// A database file holding one profile whose name tells the files apart.
void MakeDatabase(const fs::path& path, const std::wstring& profile) {
    std::wstring error;
    ASSERT_TRUE(CreateDatabase(path, error)) << testing::PrintToString(error);
    ASSERT_TRUE(OpenConnection(path));
    ASSERT_EQ(InsertProfile(ProfileRecord{-1, profile}), 0);
    CloseConnection();
}

// The name of the only profile of the open database, or "(closed)".
std::wstring OpenProfileName() {
    if (Connection().handle == nullptr) {
        return L"(closed)";
    }
    ProfileList profiles;
    ListProfiles(profiles);
    return profiles.size() == 1 ? profiles[0].name : L"(unexpected)";
}

std::wstring ProfileNameIn(const fs::path& path) {
    if (!OpenConnection(path)) {
        return L"(unreadable)";
    }
    std::wstring name = OpenProfileName();
    CloseConnection();
    return name;
}

class BackupTest : public testing::Test {
protected:
    void SetUp() override {
        MakeDatabase(database, L"current");
        MakeDatabase(chosen, L"chosen");
        ASSERT_TRUE(OpenDatabase(database));
    }
    void TearDown() override { CloseConnection(); }

    test::TempDir dir{"twk-backup"};
    fs::path database = dir / "twk.db";
    fs::path backup = dir / "twk.db.bak";
    fs::path chosen = dir / "chosen.db";
    test::MessageRecorder messages;
};

TEST_F(BackupTest, BackupCopiesTheOpenDatabaseOverAnExistingFile) {
    fs::path target = dir / "saved.db";
    std::ofstream(target) << "old content";
    // A post that went out without a result travels with the file.
    ASSERT_EQ(SaveSending({4, 5, 1700000000, L"user", L"Subject", L""}), 0);

    EXPECT_TRUE(BackupDatabase(database, target, nullptr));

    ASSERT_EQ(messages.shown().size(), 1u);
    EXPECT_EQ(messages.shown()[0].caption, L" ");
    EXPECT_EQ(messages.shown()[0].type, kMbIconInformation);
    EXPECT_EQ(messages.last_text(), L"Database saved succesfully");
    EXPECT_EQ(OpenProfileName(), L"current");
    CloseConnection();
    EXPECT_EQ(ProfileNameIn(target), L"current");

    // The copy is a database a restore accepts.
    ASSERT_TRUE(OpenDatabase(database));
    EXPECT_EQ(RestoreDatabase(database, target, nullptr), RestoreOutcome::kRestored);
    SendingList sendings;
    ASSERT_EQ(ListSendings(L"", sendings), 0);
    ASSERT_EQ(sendings.size(), 1u);
    EXPECT_EQ(sendings[0].forum_id, 4);
}

TEST_F(BackupTest, CopiesAreTheOwnersAlone) {
    // Made readable by others outside the program; the copies still are not.
    fs::permissions(database, fs::perms(0644));
    const fs::path target = dir / "copy.db";
    std::ofstream(target) << "older copy";
    fs::permissions(target, fs::perms(0644));
    ASSERT_TRUE(BackupDatabase(database, target, nullptr));
    EXPECT_EQ(fs::status(target).permissions(), fs::perms(0600));

    fs::permissions(chosen, fs::perms(0644));
    ASSERT_EQ(RestoreDatabase(database, chosen, nullptr), RestoreOutcome::kRestored);
    EXPECT_EQ(fs::status(database).permissions(), fs::perms(0600));
}

TEST_F(BackupTest, BackupFailureNamesTheSystemError) {
    EXPECT_FALSE(BackupDatabase(database, dir / "missing" / "saved.db", nullptr));

    ASSERT_EQ(messages.shown().size(), 1u);
    EXPECT_EQ(messages.shown()[0].caption, L"Error");
    EXPECT_EQ(messages.shown()[0].type, kMbIconError);
    EXPECT_EQ(messages.last_text().rfind(L"Error while copying the database\r\n", 0), 0u);
    EXPECT_GT(messages.last_text().size(), 36u);
}

TEST_F(BackupTest, RestoreKeepsThePreviousDatabaseAsBak) {
    EXPECT_EQ(RestoreDatabase(database, chosen, nullptr), RestoreOutcome::kRestored);

    EXPECT_TRUE(messages.shown().empty());
    EXPECT_EQ(OpenProfileName(), L"chosen");
    EXPECT_TRUE(fs::exists(chosen));  // copied, not moved
    CloseConnection();
    EXPECT_EQ(ProfileNameIn(backup), L"current");
}

TEST_F(BackupTest, RestoringTwiceReplacesTheOldBak) {
    ASSERT_EQ(RestoreDatabase(database, chosen, nullptr), RestoreOutcome::kRestored);
    ASSERT_EQ(RestoreDatabase(database, chosen, nullptr), RestoreOutcome::kRestored);

    EXPECT_EQ(OpenProfileName(), L"chosen");
    CloseConnection();
    EXPECT_EQ(ProfileNameIn(backup), L"chosen");
}

TEST_F(BackupTest, RestoringTheBakFileItselfLosesNothing) {
    ASSERT_EQ(RestoreDatabase(database, chosen, nullptr), RestoreOutcome::kRestored);

    EXPECT_EQ(RestoreDatabase(database, backup, nullptr), RestoreOutcome::kRestored);

    EXPECT_TRUE(messages.shown().empty());
    EXPECT_EQ(OpenProfileName(), L"current");
    CloseConnection();
    EXPECT_EQ(ProfileNameIn(backup), L"chosen");
    EXPECT_FALSE(fs::exists(dir / "twk.db.restore"));
}

TEST_F(BackupTest, UndeletableBakStopsAndReopensTheDatabase) {
    fs::create_directories(backup / "inside");

    EXPECT_EQ(RestoreDatabase(database, chosen, nullptr), RestoreOutcome::kUnchanged);

    ASSERT_EQ(messages.shown().size(), 1u);
    EXPECT_EQ(messages.shown()[0].caption, L"Error");
    EXPECT_EQ(
        messages.last_text().rfind(L"Error while deleting file " + backup.wstring() + L"\r\n", 0),
        0u);
    EXPECT_EQ(OpenProfileName(), L"current");
}

TEST_F(BackupTest, UnmovableDatabaseStops) {
    fs::path gone = dir / "gone.db";

    EXPECT_EQ(RestoreDatabase(gone, chosen, nullptr), RestoreOutcome::kMustEnd);

    ASSERT_GE(messages.shown().size(), 1u);
    EXPECT_EQ(messages.shown()[0].text.rfind(
                  L"Error while moving file " + BackupPathFor(gone).wstring() + L"\r\n", 0),
              0u);
    EXPECT_TRUE(fs::exists(chosen));
}

TEST_F(BackupTest, FailedCopyPutsThePreviousDatabaseBackAndReopensIt) {
    EXPECT_EQ(RestoreDatabase(database, dir / "vanished.db", nullptr), RestoreOutcome::kUnchanged);

    ASSERT_EQ(messages.shown().size(), 1u);
    EXPECT_EQ(messages.last_text().rfind(L"Error while copying the database\r\n", 0), 0u);
    EXPECT_EQ(OpenProfileName(), L"current");
    EXPECT_FALSE(fs::exists(backup));
}

TEST_F(BackupTest, RefusedFilePutsThePreviousDatabaseBack) {
    fs::path foreign = dir / "foreign.db";
    MakeDatabase(foreign, L"foreign");
    ASSERT_TRUE(OpenConnection(foreign));
    ASSERT_TRUE(RunStatement(L"DELETE FROM [option]"));
    CloseConnection();
    ASSERT_TRUE(OpenDatabase(database));

    EXPECT_EQ(RestoreDatabase(database, foreign, nullptr), RestoreOutcome::kMustEnd);

    ASSERT_EQ(messages.shown().size(), 1u);
    EXPECT_EQ(messages.last_text(), L"Invalid database file " + database.wstring());
    EXPECT_EQ(Connection().handle, nullptr);
    EXPECT_FALSE(fs::exists(backup));
    // The next start finds the previous database.
    ASSERT_TRUE(OpenDatabase(database));
    EXPECT_EQ(OpenProfileName(), L"current");
}

}  // namespace
}  // namespace twk
