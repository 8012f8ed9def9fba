// Where the database lives, and the installed program's first start.
#include "platform/DataLocation.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>
#include <optional>

#include "platform/PrivateFiles.h"
#include "storage/Database.h"
#include "storage/Tables.h"
#include "support/MessageRecorder.h"
#include "support/TempDir.h"

namespace fs = std::filesystem;

namespace twk {
namespace {

unsigned ModeOf(const fs::path& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 ? info.st_mode & 0777 : 0;
}

TEST(DataLocation, PortableFileWinsElseTheXdgRules) {
    test::TempDir dir;
    const fs::path with_db = dir / "portable";
    const fs::path without_db = dir / "installed";
    fs::create_directories(with_db);
    fs::create_directories(without_db);
    std::ofstream(with_db / "twk.db") << "";

    struct Row {
        const char* name;
        fs::path executable_dir;
        const char* xdg;
        const char* home;
        fs::path expected;
        bool portable;
    };
    const Row rows[] = {
        {"beside the executable", with_db, "/data", "/home/u", with_db / "twk.db", true},
        {"XDG_DATA_HOME", without_db, "/data", "/home/u", "/data/tallowick/twk.db", false},
        {"unset XDG_DATA_HOME", without_db, nullptr, "/home/u",
         "/home/u/.local/share/tallowick/twk.db", false},
        {"empty XDG_DATA_HOME", without_db, "", "/home/u", "/home/u/.local/share/tallowick/twk.db",
         false},
        {"relative XDG_DATA_HOME is ignored", without_db, "data", "/home/u",
         "/home/u/.local/share/tallowick/twk.db", false},
        {"no home at all", without_db, nullptr, nullptr, without_db / "twk.db", false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        DataLocation location = ChooseDataLocation(row.executable_dir, row.xdg, row.home);
        EXPECT_EQ(location.database, row.expected);
        EXPECT_EQ(location.portable, row.portable);
    }
}

TEST(DataLocation, FirstStartMakesAPrivateDatabaseWithItsMarker) {
    test::TempDir dir;
    const fs::path data = dir / "share";
    const DataLocation location = ChooseDataLocation(dir / "bin", data.c_str(), nullptr);
    std::wstring error;
    ASSERT_TRUE(EnsureUserDatabase(location, error)) << testing::PrintToString(error);
    EXPECT_EQ(ModeOf(location.database), 0600u);
    EXPECT_EQ(ModeOf(location.database.parent_path()), 0700u);
    ASSERT_TRUE(OpenDatabase(location.database));
    EXPECT_EQ(GetOptionInt(OptDatabaseMarker, 0, 0), 1);
    ASSERT_EQ(InsertProfile(ProfileRecord{-1, L"Kept"}), 0);
    CloseConnection();

    // The next start keeps what is there.
    ASSERT_TRUE(EnsureUserDatabase(location, error));
    ASSERT_TRUE(OpenDatabase(location.database));
    ProfileList profiles;
    ListProfiles(profiles);
    ASSERT_EQ(profiles.size(), 1u);
    EXPECT_EQ(profiles[0].name, L"Kept");
    CloseConnection();
}

TEST(DataLocation, AForeignFileIsLeftForOpenDatabaseToRefuse) {
    test::TempDir dir;
    const DataLocation location = ChooseDataLocation(dir / "bin", (dir / "share").c_str(), nullptr);
    fs::create_directories(location.database.parent_path());
    std::ofstream(location.database) << "not a database";
    std::wstring error;
    EXPECT_TRUE(EnsureUserDatabase(location, error));
    test::MessageRecorder messages;
    EXPECT_FALSE(OpenDatabase(location.database));
    ASSERT_EQ(messages.shown().size(), 1u);
    EXPECT_EQ(messages.last_text(), L"Invalid database file " + location.database.wstring());
    std::ifstream in(location.database);
    std::string kept;
    std::getline(in, kept);
    EXPECT_EQ(kept, "not a database");
}

TEST(DataLocation, UnwritableDataFolderIsAnErrorNamingIt) {
    test::TempDir dir;
    std::ofstream(dir / "share") << "a file, not a folder";
    const DataLocation location = ChooseDataLocation(dir / "bin", (dir / "share").c_str(), nullptr);
    std::wstring error;
    EXPECT_FALSE(EnsureUserDatabase(location, error));
    EXPECT_NE(error.find((dir / "share" / "tallowick").wstring()), std::wstring::npos)
        << testing::PrintToString(error);
}

TEST(PrivateFiles, ExistingFolderKeepsItsModeAndReadableFilesAreSeen) {
    test::TempDir dir;
    const fs::path shared = dir / "shared";
    fs::create_directory(shared);
    fs::permissions(shared, fs::perms(0755));
    std::error_code error;
    EXPECT_TRUE(MakePrivateDirectory(shared, error));
    EXPECT_EQ(ModeOf(shared), 0755u);

    const fs::path file = dir / "file";
    std::ofstream(file) << "x";
    fs::permissions(file, fs::perms(0640));
    EXPECT_TRUE(OthersCanRead(file));
    EXPECT_TRUE(MakePrivateFile(file, error));
    EXPECT_FALSE(OthersCanRead(file));
    EXPECT_EQ(ModeOf(file), 0600u);
}

}  // namespace
}  // namespace twk
