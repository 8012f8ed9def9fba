// The table operations on a fresh database.
#include <gtest/gtest.h>

#include <climits>
#include <optional>
#include <string>
#include <vector>

#include "storage/Database.h"
#include "storage/Tables.h"
#include "support/SqliteConnection.h"
#include "support/TestDatabase.h"

namespace twk {
namespace {

using test::SqliteConnection;
using test::TestDatabase;
using Rows = std::vector<SqliteConnection::Row>;

// Text outside the Basic Multilingual Plane takes two UTF-16 units; it must come back whole.
const std::wstring kWideText = L"Привет, 世界! Ünïcödé 🌲🚀 \"quotes\" 'and' [brackets]; --";

class TablesTest : public ::testing::Test {
protected:
    TestDatabase db_;
    SqliteConnection raw_{db_.path()};
};

ForumRecord MakeForum(int32_t profileId, const std::wstring& title) {
    ForumRecord forum;
    forum.profile_id = profileId;
    forum.engine = L"IPBoard";
    forum.main_url = L"http://forum.example/" + title;
    forum.title = title;
    forum.flags = 3;
    forum.forum_key = L"http://forum.example/index.php?showforum=2";
    forum.forum_title = L"Раздел";
    forum.login = L"user";
    forum.pass = L"secret";
    return forum;
}

TEST_F(TablesTest, RecordsRoundTripWithTheirText) {
    ProfileRecord profile{-1, kWideText};
    ASSERT_EQ(InsertProfile(profile), 0);
    profile.profile_id = LastInsertId();
    ProfileList profiles;
    EXPECT_EQ(ListProfiles(profiles), 0);
    ASSERT_EQ(profiles.size(), 1u);
    EXPECT_EQ(profiles[0].profile_id, profile.profile_id);
    EXPECT_EQ(profiles[0].name, kWideText);

    ForumList forums{MakeForum(profile.profile_id, kWideText)};
    ASSERT_EQ(SaveForums(forums, false), 0);
    ForumList loaded;
    loaded.LoadForProfile(profile.profile_id);
    ASSERT_EQ(loaded.size(), 1u);
    const ForumRecord& forum = loaded[0];
    EXPECT_EQ(forum.forum_id, forums[0].forum_id);
    EXPECT_EQ(forum.profile_id, profile.profile_id);
    EXPECT_EQ(forum.engine, L"IPBoard");
    EXPECT_EQ(forum.main_url, L"http://forum.example/" + kWideText);
    EXPECT_EQ(forum.title, kWideText);
    EXPECT_EQ(forum.flags, 3);
    EXPECT_EQ(forum.forum_key, L"http://forum.example/index.php?showforum=2");
    EXPECT_EQ(forum.forum_title, L"Раздел");
    EXPECT_EQ(forum.login, L"user");
    EXPECT_EQ(forum.pass, L"secret");

    SubmitRecord submit{-1,       forum.forum_id, 12, 4102444800LL, 0, L"http://forum.example/t=1",
                        kWideText};
    ASSERT_EQ(InsertSubmit(submit), 0);
    SubmitList submits;
    submits.LoadForMessage(12);
    ASSERT_EQ(submits.size(), 1u);
    EXPECT_EQ(submits[0].submit_id, LastInsertId());
    EXPECT_EQ(submits[0].forum_id, forum.forum_id);
    EXPECT_EQ(submits[0].message_id, 12);
    EXPECT_EQ(submits[0].stime, 4102444800LL);  // beyond 32 bits
    EXPECT_EQ(submits[0].result, 0);
    EXPECT_EQ(submits[0].thread, L"http://forum.example/t=1");
    EXPECT_EQ(submits[0].err, kWideText);

    // Stored as UTF-8 text that any other SQLite client reads correctly.
    EXPECT_EQ(raw_.Query("SELECT [name] FROM [profile]"),
              Rows{{"Привет, 世界! Ünïcödé 🌲🚀 \"quotes\" 'and' [brackets]; --"}});
}

TEST_F(TablesTest, NullColumnsReadAsEmptyTextAndZero) {
    raw_.Exec(
        "INSERT INTO [submit] VALUES (1, NULL, 4, NULL, 2, NULL, NULL);"
        "INSERT INTO [message] VALUES (1, 2, NULL, NULL);");
    SubmitList submits;
    submits.LoadForMessage(4);
    ASSERT_EQ(submits.size(), 1u);
    EXPECT_EQ(submits[0].forum_id, 0);
    EXPECT_EQ(submits[0].stime, 0);
    EXPECT_EQ(submits[0].thread, L"");
    EXPECT_EQ(submits[0].err, L"");

    MessageRecord message;
    message.subject = L"untouched";
    EXPECT_EQ(LoadMessage(message, 1), 1);
    EXPECT_EQ(message.subject, L"");
    EXPECT_EQ(message.msg, L"");
}

TEST_F(TablesTest, IdMinusOneIsStoredAsNullAndFoundByIsNull) {
    SetOptionText(-1, OptThreadCount, L"7");
    SetOptionText(-1, OptThreadCount, L"8");  // NULLs are never equal: a second row
    EXPECT_EQ(raw_.Query("SELECT [profile_id], [value] FROM [option] WHERE [option]=100"),
              (Rows{{std::nullopt, "7"}, {std::nullopt, "8"}}));
    EXPECT_EQ(GetOptionInt(OptThreadCount, -1, 10), 7);
    EXPECT_EQ(GetOptionText(OptThreadCount, -1), L"7");
    EXPECT_EQ(GetOptionInt(OptThreadCount, 0, 10), 10);  // profile 0 is not NULL

    SubmitRecord submit;  // all three ids -1
    submit.result = 5;
    ASSERT_EQ(InsertSubmit(submit), 0);
    EXPECT_EQ(raw_.Query("SELECT [submit_id] IS NULL, [forum_id], [message_id] FROM [submit]"),
              (Rows{{"0", std::nullopt, std::nullopt}}));
}

TEST_F(TablesTest, OptionReadsAndWrites) {
    EXPECT_EQ(GetOptionText(OptListLayout, 0), L"");
    struct Case {
        std::optional<std::wstring> stored;
        int expected;
    };
    const Case cases[] = {
        {std::nullopt, 10},
        {L"4", 4},
        {L"", 0},
        {L" 12 threads", 12},
        {L"-3", -3},
        {L"70000", 70000},
        {L"x", 0},
        {L"99999999999", INT_MAX},
        {L"-99999999999", INT_MIN},
    };
    int profile = 1;
    for (const Case& c : cases) {
        if (c.stored) {
            SetOptionText(profile, OptThreadCount, *c.stored);
        }
        EXPECT_EQ(GetOptionInt(OptThreadCount, profile, 10), c.expected)
            << ::testing::PrintToString(c.stored.value_or(L"(none)"));
        ++profile;
    }

    // Writing replaces the row of that profile and key.
    SetOptionInt(OptThreadCount, 5, 1);
    SetOptionInt(OptThreadCount, 6, 1);
    EXPECT_EQ(raw_.Query("SELECT [value] FROM [option] WHERE [profile_id]=1"), Rows{{"6"}});

    // A plain insert of an existing pair fails; a replace does not.
    EXPECT_EQ(SaveOption(OptionRecord{1, OptThreadCount, L"7"}, false), -1);
    EXPECT_EQ(SaveOption(OptionRecord{1, OptThreadCount, L"7"}, true), 0);
    EXPECT_EQ(GetOptionInt(OptThreadCount, 1, 10), 7);
}

TEST_F(TablesTest, ConnectionOptionsLoad) {
    ConnectionOptions options;
    EXPECT_EQ(options.proxy_port, 8080);
    LoadConnectionOptions(options, 4);  // nothing stored: everything is overwritten
    EXPECT_EQ(options.mode, kConnectionAuto);
    EXPECT_EQ(options.proxy_port, 0);
    EXPECT_EQ(options.proxy_address, L"");

    SetOptionInt(OptConnectionMode, kConnectionProxy, 4);
    SetOptionText(4, OptProxyAddress, L"proxy.example");
    SetOptionText(4, OptProxyPort, L"70000");
    SetOptionText(4, OptProxyLogin, L"ärger");
    SetOptionText(4, OptProxyPassword, L"p@ss");
    LoadConnectionOptions(options, 4);
    EXPECT_EQ(options.mode, kConnectionProxy);
    EXPECT_EQ(options.proxy_address, L"proxy.example");
    EXPECT_EQ(options.proxy_port, 4464);  // 70000 truncated to 16 bits
    EXPECT_EQ(options.proxy_login, L"ärger");
    EXPECT_EQ(options.proxy_password, L"p@ss");

    SetOptionText(4, OptProxyPort, L" 3128 ");
    LoadConnectionOptions(options, 4);
    EXPECT_EQ(options.proxy_port, 3128);
}

TEST_F(TablesTest, SaveMessageAddsThenReplacesInPlace) {
    MessageRecord message{-1, 2, L"Subject", L"[b]Body[/b]"};
    ASSERT_EQ(SaveMessage(message), 0);
    message.message_id = LastInsertId();
    MessageRecord other{-1, 2, L"Other", L""};
    ASSERT_EQ(SaveMessage(other), 0);
    other.message_id = LastInsertId();
    EXPECT_NE(other.message_id, message.message_id);

    message.subject = L"Changed";
    ASSERT_EQ(SaveMessage(message), 0);
    MessageList messages;
    messages.push_back(MessageRecord{});  // loading replaces the content
    messages.LoadForProfile(2);
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[0].message_id, message.message_id);
    EXPECT_EQ(messages[0].subject, L"Changed");
    EXPECT_EQ(messages[1].message_id, other.message_id);

    MessageRecord loaded;
    EXPECT_EQ(LoadMessage(loaded, message.message_id), 1);
    EXPECT_EQ(loaded.msg, L"[b]Body[/b]");
    MessageRecord missing{77, 1, L"kept", L"kept"};
    EXPECT_EQ(LoadMessage(missing, 999), 0);
    EXPECT_EQ(missing.subject, L"kept");

    EXPECT_TRUE(DeleteMessage(message.message_id));
    messages.LoadForProfile(2);
    ASSERT_EQ(messages.size(), 1u);
    messages.LoadForProfile(3);
    EXPECT_TRUE(messages.empty());
}

TEST_F(TablesTest, DeletesRemoveOnlyTheNamedRows) {
    ForumList forums;
    for (int i = 0; i < 5; ++i) {
        forums.push_back(MakeForum(1, L"f" + std::to_wstring(i)));
    }
    ASSERT_EQ(SaveForums(forums, false), 0);
    DeleteForums({forums[0].forum_id, forums[2].forum_id, forums[4].forum_id});
    DeleteForums({});
    ForumList left;
    left.LoadForProfile(1);
    ASSERT_EQ(left.size(), 2u);
    EXPECT_EQ(left[0].forum_id, forums[1].forum_id);
    EXPECT_EQ(left[1].forum_id, forums[3].forum_id);

    ASSERT_EQ(InsertProfile(ProfileRecord{-1, L"Keep"}), 0);
    EXPECT_TRUE(DeleteProfile(12345));
    ProfileList profiles;
    ListProfiles(profiles);
    EXPECT_EQ(profiles.size(), 1u);

    ASSERT_EQ(InsertSubmit(SubmitRecord{-1, 1, 1, 0, 0, L"", L""}), 0);
    EXPECT_TRUE(DeleteSubmit(LastInsertId()));
    EXPECT_TRUE(raw_.Query("SELECT * FROM [submit]").empty());
}

TEST_F(TablesTest, ForumBatchWhoseThirdRecordFailsWritesNothing) {
    ForumList forums{MakeForum(1, L"a"), MakeForum(1, L"b"), MakeForum(1, L"c")};
    // The third record collides with the id the first one is given inside the batch.
    forums[2].forum_id = 1;
    EXPECT_EQ(SaveForums(forums, false), -1);
    EXPECT_TRUE(raw_.Query("SELECT * FROM [forum]").empty());
    EXPECT_EQ(forums[0].forum_id, -1);
    EXPECT_EQ(forums[1].forum_id, -1);
    EXPECT_EQ(forums[2].forum_id, 1);

    // The same list with the collision removed goes in whole, with fresh ids.
    forums[2].forum_id = -1;
    EXPECT_EQ(SaveForums(forums, false), 0);
    EXPECT_EQ(raw_.Query("SELECT [title] FROM [forum] ORDER BY [forum_id]"),
              (Rows{{"a"}, {"b"}, {"c"}}));
    EXPECT_NE(forums[0].forum_id, forums[1].forum_id);
    EXPECT_NE(forums[1].forum_id, forums[2].forum_id);
}

TEST_F(TablesTest, OptionBatchWhoseThirdRecordFailsWritesNothing) {
    OptionList options{{2, 100, L"3"}, {2, 101, L"1"}, {2, 100, L"9"}};
    EXPECT_EQ(InsertOptions(options), -1);
    EXPECT_TRUE(raw_.Query("SELECT * FROM [option] WHERE [profile_id]=2").empty());
    EXPECT_EQ(InsertOptions(OptionList{}), 0);
}

TEST_F(TablesTest, CopyProfileCopiesForumsAndOptionsButNoMessages) {
    ASSERT_EQ(InsertProfile(ProfileRecord{-1, L"Source"}), 0);
    int32_t source = LastInsertId();
    ForumList forums{MakeForum(source, L"one"), MakeForum(source, L"two"),
                     MakeForum(source + 100, L"elsewhere")};
    ASSERT_EQ(SaveForums(forums, false), 0);
    SetOptionInt(OptThreadCount, 4, source);
    SetOptionText(source, OptProxyAddress, L"proxy.example");
    SetOptionInt(OptThreadCount, 9, source + 100);
    ASSERT_EQ(SaveMessage(MessageRecord{-1, source, L"Hello", L"Body"}), 0);
    int32_t message = LastInsertId();
    ASSERT_EQ(InsertSubmit(SubmitRecord{-1, forums[0].forum_id, message, 1, 0, L"", L""}), 0);

    int32_t copy = CopyProfile(L"Копия", source);
    ASSERT_NE(copy, -1);
    EXPECT_NE(copy, source);
    ProfileList profiles;
    ListProfiles(profiles);
    ASSERT_EQ(profiles.size(), 2u);
    EXPECT_EQ(profiles[1].profile_id, copy);
    EXPECT_EQ(profiles[1].name, L"Копия");

    ForumList copied;
    copied.LoadForProfile(copy);
    ASSERT_EQ(copied.size(), 2u);
    for (size_t i = 0; i < copied.size(); ++i) {
        const ForumRecord& expected = forums[i];
        EXPECT_NE(copied[i].forum_id, expected.forum_id);
        EXPECT_EQ(copied[i].profile_id, copy);
        EXPECT_EQ(copied[i].title, expected.title);
        EXPECT_EQ(copied[i].main_url, expected.main_url);
        EXPECT_EQ(copied[i].flags, expected.flags);
        EXPECT_EQ(copied[i].forum_key, expected.forum_key);
        EXPECT_EQ(copied[i].login, expected.login);
        EXPECT_EQ(copied[i].pass, expected.pass);
    }
    EXPECT_EQ(GetOptionInt(OptThreadCount, copy, 10), 4);
    EXPECT_EQ(GetOptionText(OptProxyAddress, copy), L"proxy.example");
    MessageList messages;
    messages.LoadForProfile(copy);
    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(raw_.Query("SELECT count(*) FROM [submit]"), Rows{{"1"}});

    // The source keeps what it had.
    ForumList original;
    original.LoadForProfile(source);
    EXPECT_EQ(original.size(), 2u);
    EXPECT_EQ(GetOptionInt(OptThreadCount, source, 10), 4);

    // Without a source only the profile is made.
    int32_t empty = CopyProfile(L"Empty", -1);
    ASSERT_NE(empty, -1);
    copied.LoadForProfile(empty);
    EXPECT_TRUE(copied.empty());
    EXPECT_EQ(GetOptionInt(OptThreadCount, empty, 10), 10);
}

TEST_F(TablesTest, CopyProfileCopiesNothingWhenTheProfileCannotBeInserted) {
    ASSERT_EQ(InsertProfile(ProfileRecord{-1, L"Source"}), 0);
    int32_t source = LastInsertId();
    ForumList forums{MakeForum(source, L"one")};
    ASSERT_EQ(SaveForums(forums, false), 0);
    SetOptionInt(OptThreadCount, 4, source);
    ASSERT_EQ(raw_.Exec("CREATE TRIGGER [no_profiles] BEFORE INSERT ON [profile] "
                        "BEGIN SELECT RAISE(ABORT, 'refused'); END"),
              0);

    EXPECT_EQ(CopyProfile(L"Copy", source), -1);
    EXPECT_EQ(raw_.Query("SELECT count(*) FROM [forum]"), Rows{{"1"}});
    EXPECT_EQ(raw_.Query("SELECT count(*) FROM [option] WHERE [profile_id]<>0"), Rows{{"1"}});
}

}  // namespace
}  // namespace twk
