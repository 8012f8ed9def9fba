// Opening the database: the marker check, refused files and paths outside ASCII.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "storage/Database.h"
#include "storage/Tables.h"
#include "support/RecordingMessageHost.h"
#include "support/SqliteConnection.h"
#include "support/TempDir.h"
#include "support/TestDatabase.h"
#include "text/Messages.h"
#include "text/Unicode.h"

namespace twk {
namespace {

using test::RecordingMessageHost;
using test::SqliteConnection;
using test::TempDir;

class ConnectionTest : public ::testing::Test {
protected:
    void TearDown() override { CloseConnection(); }

    // Expects exactly one refusal message naming path.
    void ExpectRefusalShown(const std::filesystem::path& path) {
        ASSERT_EQ(host_.messages().size(), 1u);
        const test::RecordedMessage& message = host_.messages()[0];
        EXPECT_EQ(message.caption, L"Error");
        EXPECT_EQ(message.type, static_cast<unsigned>(kMbIconError));
        EXPECT_EQ(message.owner, nullptr);
        EXPECT_EQ(message.text, L"Invalid database file " + Utf8ToWide(path.native()));
    }

    RecordingMessageHost host_;
    TempDir dir_{"twk-connection"};
};

struct MarkerCase {
    const char* value;  // null: the marker row is missing
    bool accepted;
};

TEST_F(ConnectionTest, MarkerValueDecidesWhetherTheFileIsAccepted) {
    const MarkerCase cases[] = {
        {"1", true},   {" 1", true},   {"01", true},          {"1x", true}, {"+1", true},
        {"", false},   {"x", false},   {"2", false},          {"0", false}, {nullptr, false},
        {"-1", false}, {" x1", false}, {"4294967297", false},  // must not wrap around to 1
    };
    int index = 0;
    for (const MarkerCase& c : cases) {
        SCOPED_TRACE(c.value ? std::string("marker '") + c.value + "'" : "no marker row");
        std::filesystem::path path = dir_ / ("marker" + std::to_string(index++) + ".db");
        test::CreateTestDatabase(path);
        {
            SqliteConnection raw(path);
            if (c.value) {
                raw.Query("UPDATE [option] SET [value]=? WHERE [profile_id]=0 AND [option]=0",
                          {c.value});
            } else {
                raw.Exec("DELETE FROM [option]");
            }
        }
        host_.Clear();
        EXPECT_EQ(OpenDatabase(path), c.accepted);
        if (c.accepted) {
            EXPECT_NE(Connection().handle, nullptr);
            EXPECT_TRUE(host_.messages().empty());
        } else {
            EXPECT_EQ(Connection().handle, nullptr);
            ExpectRefusalShown(path);
        }
        CloseConnection();
    }
}

TEST_F(ConnectionTest, MissingFileIsRefusedAndNotCreated) {
    std::filesystem::path path = dir_ / "twk.db";
    EXPECT_FALSE(OpenDatabase(path));
    EXPECT_FALSE(std::filesystem::exists(path));
    EXPECT_EQ(Connection().handle, nullptr);
    ExpectRefusalShown(path);
}

TEST_F(ConnectionTest, ForeignFileIsRefusedAndLeftUntouched) {
    std::string foreign = test::ReadFixture("storage/not-a-database.db");
    std::filesystem::path path = dir_ / "twk.db";
    std::ofstream(path, std::ios::binary) << foreign;

    EXPECT_FALSE(OpenDatabase(path));
    EXPECT_EQ(Connection().handle, nullptr);
    ExpectRefusalShown(path);
    std::ifstream in(path, std::ios::binary);
    std::string after((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(after, foreign);
}

TEST_F(ConnectionTest, SqliteFileOfAnotherProgramIsRefused) {
    std::filesystem::path path = dir_ / "other.db";
    SqliteConnection(path, true).Exec("CREATE TABLE notes (id INTEGER PRIMARY KEY, body TEXT)");
    EXPECT_FALSE(OpenDatabase(path));
    EXPECT_EQ(Connection().handle, nullptr);
    ExpectRefusalShown(path);
}

TEST_F(ConnectionTest, RefusalClosesTheConnectionThatWasOpen) {
    std::filesystem::path good = dir_ / "good.db";
    test::CreateTestDatabase(good);
    ASSERT_TRUE(OpenDatabase(good));
    EXPECT_FALSE(OpenDatabase(dir_ / "missing.db"));
    EXPECT_EQ(Connection().handle, nullptr);

    // Without a connection every operation reports failure instead of crashing.
    ProfileList profiles;
    EXPECT_EQ(ListProfiles(profiles), -1);
    EXPECT_EQ(InsertProfile(ProfileRecord{}), -1);
    EXPECT_FALSE(DeleteProfile(1));
    EXPECT_EQ(GetOptionInt(OptThreadCount, 1, 10), 10);
    EXPECT_EQ(GetOptionText(OptProxyAddress, 1), L"");
    EXPECT_EQ(InsertOptions(OptionList{}), -1);
    EXPECT_FALSE(BeginTransaction());
    SqlStatement statement(L"SELECT 1");
    EXPECT_FALSE(statement);
    EXPECT_EQ(statement.Step(false), -1);
}

TEST_F(ConnectionTest, PathWithNonAsciiCharactersOpens) {
    std::filesystem::path folder = dir_ / std::filesystem::path(u8"Zürich Привет 日本 🌲");
    std::filesystem::create_directory(folder);
    std::filesystem::path path = folder / "twk.db";
    test::CreateTestDatabase(path);

    ASSERT_TRUE(OpenDatabase(path));
    SetOptionText(1, OptProxyAddress, L"прокси.example");
    CloseConnection();
    ASSERT_TRUE(OpenDatabase(path));
    EXPECT_EQ(GetOptionText(OptProxyAddress, 1), L"прокси.example");
    EXPECT_TRUE(host_.messages().empty());

    // The refusal names such a path intact as well.
    CloseConnection();
    std::filesystem::path missing = folder / u8"ärger.db";
    EXPECT_FALSE(OpenDatabase(missing));
    ExpectRefusalShown(missing);
    EXPECT_NE(host_.messages()[0].text.find(L"Zürich Привет 日本 🌲"), std::wstring::npos);
}

TEST_F(ConnectionTest, OpeningAnotherFileReplacesTheConnection) {
    std::filesystem::path first = dir_ / "first.db";
    std::filesystem::path second = dir_ / "second.db";
    test::CreateTestDatabase(first);
    test::CreateTestDatabase(second);
    ASSERT_TRUE(OpenDatabase(first));
    ASSERT_TRUE(OpenDatabase(second));
    SetOptionText(1, OptProxyAddress, L"second");
    CloseConnection();

    EXPECT_TRUE(
        SqliteConnection(first).Query("SELECT * FROM [option] WHERE [profile_id]=1").empty());
    EXPECT_EQ(SqliteConnection(second).Query("SELECT [value] FROM [option] WHERE [profile_id]=1"),
              std::vector<SqliteConnection::Row>{{"second"}});
}

TEST_F(ConnectionTest, ADatabaseOfTheEarlierVersionGainsTheSendingTableAndKeepsItsRows) {
    const std::filesystem::path older = dir_ / "older.db";
    const std::filesystem::path fresh = dir_ / "fresh.db";
    test::CreateTestDatabase(older);
    test::CreateTestDatabase(fresh);
    // As the earlier version made and filled it.
    ASSERT_EQ(SqliteConnection(older).Exec(
                  "DROP TABLE [sending];"
                  "DROP TABLE [topic];"
                  "INSERT INTO [profile] VALUES (1, 'Kept');"
                  "INSERT INTO [submit] VALUES (1, 2, 3, 1700000000, 9, '', 'Answer lost');"),
              0);

    ASSERT_TRUE(OpenDatabase(older));
    EXPECT_TRUE(host_.messages().empty());
    ProfileList profiles;
    ASSERT_EQ(ListProfiles(profiles), 0);
    ASSERT_EQ(profiles.size(), 1u);
    EXPECT_EQ(profiles[0].name, L"Kept");
    SubmitList results;
    ASSERT_EQ(ListSubmits(L"", results), 0);
    ASSERT_EQ(results.size(), 1u);
    EXPECT_EQ(results[0].err, L"Answer lost");
    const SendingRecord sent{2, 3, 1700000100, L"Тестер", L"Тема", L"http://b/t=1\n"};
    ASSERT_EQ(SaveSending(sent), 0);
    SendingList sendings;
    ASSERT_EQ(ListSendings(L"[forum_id]=2 AND [message_id]=3", sendings), 0);
    ASSERT_EQ(sendings.size(), 1u);
    EXPECT_EQ(sendings[0].stime, sent.stime);
    EXPECT_EQ(sendings[0].login, sent.login);
    EXPECT_EQ(sendings[0].subject, sent.subject);
    EXPECT_EQ(sendings[0].listed, sent.listed);
    CloseConnection();

    // The very tables a new database has, their uniqueness included.
    for (const char* query :
         {"SELECT * FROM pragma_table_info('sending')",
          "SELECT * FROM pragma_index_list('sending')", "SELECT * FROM pragma_table_info('topic')",
          "SELECT * FROM pragma_index_list('topic')"}) {
        SCOPED_TRACE(query);
        EXPECT_EQ(SqliteConnection(older).Query(query), SqliteConnection(fresh).Query(query));
    }
}

TEST_F(ConnectionTest, AFileOfThePreviousVersionGainsTheTopicTableAndStaysReadableThere) {
    // Made with the previous version's schema.sql and rows as it wrote them.
    const std::filesystem::path file = dir_ / "previous.db";
    const std::filesystem::path pristine = dir_ / "pristine.db";
    for (const auto& copy : {file, pristine}) {
        std::filesystem::copy_file(
            std::filesystem::path(TWK_FIXTURES_DIR) / "storage" / "previous-version.db", copy);
    }

    ASSERT_TRUE(OpenDatabase(file));
    SubmitList results;
    ASSERT_EQ(ListSubmits(L"", results), 0);
    ASSERT_EQ(results.size(), 1u);
    EXPECT_EQ(results[0].thread, L"http://b/viewtopic.php?t=1");
    TopicRecord topic;
    topic.forum_id = 2;
    topic.message_id = 3;
    topic.subject = L"Тема";
    topic.body = L"Текст";
    topic.ttime = 1700000000;
    topic.replies = 4;
    ASSERT_EQ(SaveTopic(topic), 0);
    TopicRowList topics;
    ASSERT_EQ(ListTopics(L"[message_id]=3", topics), 0);
    ASSERT_EQ(topics.size(), 1u);
    EXPECT_EQ(topics[0].subject, L"Тема");
    EXPECT_EQ(topics[0].replies, 4);
    EXPECT_EQ(topics[0].uresult, -1);
    CloseConnection();

    // The previous version reads only its own tables, with their columns by name: they
    // are exactly as it made them, rows included, so it opens the file as before.
    for (const char* table : {"profile", "option", "message", "forum", "submit", "sending"}) {
        SCOPED_TRACE(table);
        const std::string columns = std::string("SELECT * FROM pragma_table_info('") + table + "')";
        EXPECT_EQ(SqliteConnection(file).Query(columns), SqliteConnection(pristine).Query(columns));
        const std::string rows = std::string("SELECT * FROM [") + table + "]";
        EXPECT_EQ(SqliteConnection(file).Query(rows), SqliteConnection(pristine).Query(rows));
    }
}

}  // namespace
}  // namespace twk
