// The SQL text the storage layer composes, and how it reads integers back from text.
#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <functional>
#include <locale>
#include <string>
#include <vector>

#include "storage/Database.h"
#include "storage/SqlText.h"
#include "storage/Tables.h"
#include "support/SqlTrace.h"
#include "support/TestDatabase.h"

namespace twk {
namespace {

using test::SqlTrace;
using test::TestDatabase;

TEST(SqlTextTest, IdConditionForms) {
    EXPECT_EQ(IdCondition(L"[profile_id]", 3), L" ([profile_id]=3)");
    EXPECT_EQ(IdCondition(L"[profile_id]", 0), L" ([profile_id]=0)");
    EXPECT_EQ(IdCondition(L"[profile_id]", -2), L" ([profile_id]=-2)");
    EXPECT_EQ(IdCondition(L"[profile_id]", INT32_MAX), L" ([profile_id]=2147483647)");
    EXPECT_EQ(IdCondition(L"[profile_id]", -1), L" ([profile_id] IS  NULL )");
}

TEST(SqlTextTest, PlaceholderLists) {
    EXPECT_EQ(PlaceholderList(1), L"(?)");
    EXPECT_EQ(PlaceholderList(2), L"(?,?)");
    EXPECT_EQ(PlaceholderList(3), L"(?,?,?)");
    EXPECT_EQ(PlaceholderList(10), L"(?,?,?,?,?,?,?,?,?,?)");
}

TEST(SqlTextTest, ColumnLists) {
    const wchar_t* const columns[] = {L"[profile_id]", L"[name]"};
    EXPECT_EQ(sql::QualifiedColumns(L"[profile]", columns),
              L"[profile].[profile_id],[profile].[name]");
    EXPECT_EQ(sql::UnqualifiedColumns(columns), L"[profile_id],[name]");
}

// A front end may install a locale that groups digits; SQL text must not follow it.
struct GroupingPunct : std::numpunct<wchar_t> {
    wchar_t do_thousands_sep() const override { return L','; }
    std::string do_grouping() const override { return "\3"; }
};

TEST(SqlTextTest, IntegersStayPlainUnderADigitGroupingLocale) {
    std::locale previous =
        std::locale::global(std::locale(std::locale::classic(), new GroupingPunct));
    EXPECT_EQ(sql::Decimal(1234567), L"1234567");
    EXPECT_EQ(sql::Decimal(-1234567), L"-1234567");
    EXPECT_EQ(sql::Decimal(0), L"0");
    EXPECT_EQ(sql::Decimal(INT64_MIN), L"-9223372036854775808");
    EXPECT_EQ(sql::Decimal(INT64_MAX), L"9223372036854775807");
    EXPECT_EQ(IdCondition(L"[forum_id]", 1234567), L" ([forum_id]=1234567)");
    {
        TestDatabase db;
        SetOptionInt(OptThreadCount, 1234567890123, 1234567);
        OptionList options;
        EXPECT_EQ(ListOptions(L"[profile_id]=1234567", options), 0);
        ASSERT_EQ(options.size(), 1u);
        EXPECT_EQ(options[0].value, L"1234567890123");
    }
    std::locale::global(previous);
}

TEST(SqlTextTest, OptionIntegersParseLikeWcstol) {
    struct Case {
        const wchar_t* text;
        int64_t value;
    };
    const Case cases[] = {
        {L"", 0},
        {L"x", 0},
        {L"1", 1},
        {L" 1", 1},
        {L"\t\r\n\v\f 42", 42},
        {L"01", 1},
        {L"007", 7},
        {L"1x", 1},
        {L"12 34", 12},
        {L"+7", 7},
        {L"-7", -7},
        {L"- 7", 0},
        {L"+-7", 0},
        {L"-", 0},
        {L"x12", 0},
        {L"\u00a012", 0},  // no-break space is not a blank for wcstol
        {L"\uff11", 0},    // full-width digit
        {L"70000", 70000},
        {L"9223372036854775807", INT64_MAX},
        {L"9223372036854775808", INT64_MAX},
        {L"99999999999999999999999", INT64_MAX},
        {L"-9223372036854775808", INT64_MIN},
        {L"-99999999999999999999999", INT64_MIN},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ParseOptionInt(c.text), c.value)
            << ::testing::PrintToString(std::wstring(c.text));
    }
}

const std::string kForumColumns =
    "[forum].[forum_id],[forum].[profile_id],[forum].[engine],[forum].[main_url],"
    "[forum].[title],[forum].[flags],[forum].[forum_key],[forum].[forum_title],"
    "[forum].[login],[forum].[pass]";
const std::string kForumInsert =
    "INSERT INTO [forum]([forum_id],[profile_id],[engine],[main_url],[title],[flags],"
    "[forum_key],[forum_title],[login],[pass]) VALUES (?,?,?,?,?,?,?,?,?,?)";
const std::string kOptionSelect =
    "SELECT [option].[profile_id],[option].[option],[option].[value] FROM [option]";
const std::string kMessageSelect =
    "SELECT [message].[message_id],[message].[profile_id],[message].[subject],[message].[msg] "
    "FROM [message]";
const std::string kSubmitSelect =
    "SELECT [submit].[submit_id],[submit].[forum_id],[submit].[message_id],[submit].[stime],"
    "[submit].[result],[submit].[thread],[submit].[err] FROM [submit]";

// The statements each operation sends, character for character.
TEST(SqlTextTest, OperationsSendTheirExactStatements) {
    struct Case {
        const char* name;
        std::function<void()> run;
        std::vector<std::string> statements;
    };
    OptionRecord option{3, OptThreadCount, L"4"};
    ForumRecord forum;
    MessageRecord message;
    ProfileRecord profile;
    OptionList options;
    ForumList forums;
    const Case cases[] = {
        {"ListProfiles",
         [&] {
             ProfileList list;
             ListProfiles(list);
         },
         {"SELECT [profile].[profile_id],[profile].[name] FROM [profile]"}},
        {"InsertProfile",
         [&] { InsertProfile(profile); },
         {"INSERT INTO [profile]([profile_id],[name]) VALUES (?,?)"}},
        {"DeleteProfile",
         [&] { DeleteProfile(7); },
         {"DELETE FROM [profile] WHERE [profile_id]=7"}},
        {"SelectOption without condition", [&] { SelectOption(L"", option); }, {kOptionSelect}},
        {"GetOptionInt",
         [&] { GetOptionInt(100, 3, 10); },
         {kOptionSelect + " WHERE  ([profile_id]=3) AND option=100"}},
        {"GetOptionText of no profile",
         [&] { GetOptionText(100, -1); },
         {kOptionSelect + " WHERE  ([profile_id] IS  NULL ) AND option=100"}},
        {"LoadConnectionOptions",
         [&] {
             ConnectionOptions o;
             LoadConnectionOptions(o, 2);
         },
         {kOptionSelect + " WHERE  ([profile_id]=2) AND option=101",
          kOptionSelect + " WHERE  ([profile_id]=2) AND option=102",
          kOptionSelect + " WHERE  ([profile_id]=2) AND option=103",
          kOptionSelect + " WHERE  ([profile_id]=2) AND option=104",
          kOptionSelect + " WHERE  ([profile_id]=2) AND option=105"}},
        {"SaveOption insert",
         [&] { SaveOption(option, false); },
         {"INSERT INTO [option]([profile_id],[option],[value]) VALUES (?,?,?)"}},
        {"SetOptionInt",
         [&] { SetOptionInt(101, -12, 3); },
         {"REPLACE INTO [option]([profile_id],[option],[value]) VALUES (?,?,?)"}},
        {"InsertOptions of none", [&] { InsertOptions(OptionList{}); }, {"BEGIN", "COMMIT"}},
        {"InsertOptions",
         [&] {
             InsertOptions(OptionList{{8, 1, L"a"}, {8, 2, L"b"}});
         },
         {"BEGIN", "INSERT INTO [option]([profile_id],[option],[value]) VALUES (?,?,?)",
          "INSERT INTO [option]([profile_id],[option],[value]) VALUES (?,?,?)", "COMMIT"}},
        {"InsertOptions failing",
         [&] {
             InsertOptions(OptionList{{9, 1, L"a"}, {9, 1, L"b"}});
         },
         {"BEGIN", "INSERT INTO [option]([profile_id],[option],[value]) VALUES (?,?,?)",
          "INSERT INTO [option]([profile_id],[option],[value]) VALUES (?,?,?)", "ROLLBACK"}},
        {"ListOptions",
         [&] { ListOptions(L"profile_id=5", options); },
         {kOptionSelect + " WHERE profile_id=5"}},
        {"MessageList::LoadForProfile",
         [&] {
             MessageList list;
             list.LoadForProfile(3);
         },
         {kMessageSelect + " WHERE [profile_id]=3"}},
        {"LoadMessage",
         [&] { LoadMessage(message, 9); },
         {kMessageSelect + " WHERE [message_id]=9"}},
        {"SaveMessage",
         [&] { SaveMessage(message); },
         {"REPLACE INTO [message]([message_id],[profile_id],[subject],[msg]) VALUES (?,?,?,?)"}},
        {"DeleteMessage",
         [&] { DeleteMessage(9); },
         {"DELETE FROM [message] WHERE [message_id]=9"}},
        {"ForumList::LoadForProfile",
         [&] { forums.LoadForProfile(3); },
         {"SELECT " + kForumColumns + " FROM [forum] WHERE [profile_id]=3"}},
        {"SaveForum insert", [&] { SaveForum(forum, false); }, {kForumInsert}},
        {"SaveForum replace",
         [&] { SaveForum(forum, true); },
         {"REPLACE" + kForumInsert.substr(6)}},
        {"SaveForums",
         [&] {
             ForumList list{forum};
             SaveForums(list, false);
         },
         {"BEGIN", kForumInsert, "COMMIT"}},
        {"DeleteForums",
         [&] {
             DeleteForums({4, 5, 6});
         },
         {"DELETE FROM [forum] WHERE [forum_id] IN(4,5,6)"}},
        {"DeleteForums of none", [&] { DeleteForums({}); }, {}},
        {"SubmitList::LoadForMessage",
         [&] {
             SubmitList list;
             list.LoadForMessage(9);
         },
         {kSubmitSelect + " WHERE [message_id]=9"}},
        {"InsertSubmit",
         [&] { InsertSubmit(SubmitRecord{}); },
         {"INSERT INTO [submit]([submit_id],[forum_id],[message_id],[stime],[result],[thread],"
          "[err]) VALUES (?,?,?,?,?,?,?)"}},
        {"DeleteSubmit", [&] { DeleteSubmit(-2); }, {"DELETE FROM [submit] WHERE [submit_id]=-2"}},
        {"CopyProfile",
         [&] { CopyProfile(L"Copy", 3); },
         {"INSERT INTO [profile]([profile_id],[name]) VALUES (?,?)",
          "SELECT " + kForumColumns + " FROM [forum] WHERE [profile_id]=3", "BEGIN", "COMMIT",
          kOptionSelect + " WHERE profile_id=3", "BEGIN",
          // the option that SetOptionInt stored above
          "INSERT INTO [option]([profile_id],[option],[value]) VALUES (?,?,?)", "COMMIT"}},
    };
    TestDatabase db;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SqlTrace trace;
        c.run();
        EXPECT_EQ(trace.statements(), c.statements);
    }
}

}  // namespace
}  // namespace twk
