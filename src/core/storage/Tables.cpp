#include "storage/Tables.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>

#include "storage/Database.h"
#include "storage/SqlText.h"

namespace twk {
namespace {

// A table as the statements name it: bracketed table and column names, columns in the
// order of the record's fields.
struct Table {
    const wchar_t* name;
    std::span<const wchar_t* const> columns;
    const wchar_t* id_column;
};

constexpr const wchar_t* kProfileColumns[] = {L"[profile_id]", L"[name]"};
constexpr const wchar_t* kOptionColumns[] = {L"[profile_id]", L"[option]", L"[value]"};
constexpr const wchar_t* kMessageColumns[] = {L"[message_id]", L"[profile_id]", L"[subject]",
                                              L"[msg]"};
constexpr const wchar_t* kForumColumns[] = {
    L"[forum_id]", L"[profile_id]", L"[engine]",      L"[main_url]", L"[title]",
    L"[flags]",    L"[forum_key]",  L"[forum_title]", L"[login]",    L"[pass]"};
constexpr const wchar_t* kSubmitColumns[] = {
    L"[submit_id]", L"[forum_id]", L"[message_id]", L"[stime]", L"[result]", L"[thread]", L"[err]"};

constexpr const wchar_t* kSendingColumns[] = {L"[forum_id]", L"[message_id]", L"[stime]",
                                              L"[login]",    L"[subject]",    L"[listed]"};

constexpr const wchar_t* kTopicColumns[] = {
    L"[forum_id]",       L"[message_id]",    L"[subject]",     L"[body]",
    L"[ttime]",          L"[utime]",         L"[uresult]",     L"[uerr]",
    L"[rtime]",          L"[rresult]",       L"[rerr]",        L"[replies]",
    L"[replies_before]", L"[newest_author]", L"[newest_time]", L"[newest_url]"};

constexpr Table kProfileTable{L"[profile]", kProfileColumns, L"[profile_id]"};
constexpr Table kOptionTable{L"[option]", kOptionColumns, L"[profile_id]"};
constexpr Table kMessageTable{L"[message]", kMessageColumns, L"[message_id]"};
constexpr Table kForumTable{L"[forum]", kForumColumns, L"[forum_id]"};
constexpr Table kSubmitTable{L"[submit]", kSubmitColumns, L"[submit_id]"};
// One row per forum and message; it has no id of its own.
constexpr Table kSendingTable{L"[sending]", kSendingColumns, L"[forum_id]"};
constexpr Table kTopicTable{L"[topic]", kTopicColumns, L"[forum_id]"};

// The statements that add the tables a database of an earlier version lacks; the same
// tables as in schema.sql. An older program never reads them, so a database that has them
// still opens there.
constexpr const wchar_t* kAddedTables[] = {
    L"CREATE TABLE IF NOT EXISTS [sending] ([forum_id] INTEGER,[message_id] INTEGER,"
    L"[stime] INTEGER,[login] TEXT,[subject] TEXT,[listed] TEXT,"
    L"UNIQUE ([forum_id],[message_id]))",
    L"CREATE TABLE IF NOT EXISTS [topic] ([forum_id] INTEGER,[message_id] INTEGER,"
    L"[subject] TEXT,[body] TEXT,[ttime] INTEGER,[utime] INTEGER,[uresult] INTEGER,"
    L"[uerr] TEXT,[rtime] INTEGER,[rresult] INTEGER,[rerr] TEXT,[replies] INTEGER,"
    L"[replies_before] INTEGER,[newest_author] TEXT,[newest_time] INTEGER,[newest_url] TEXT,"
    L"UNIQUE ([forum_id],[message_id]))",
};

std::wstring SelectText(const Table& table, const std::wstring& condition) {
    std::wstring text =
        L"SELECT " + sql::QualifiedColumns(table.name, table.columns) + L" FROM " + table.name;
    // Without a condition the WHERE keyword would leave the statement unparsable.
    if (!condition.empty()) {
        text += L" WHERE " + condition;
    }
    return text;
}

std::wstring WriteText(const Table& table, bool replace) {
    return std::wstring(replace ? L"REPLACE INTO " : L"INSERT INTO ") + table.name + L"(" +
           sql::UnqualifiedColumns(table.columns) + L")" + L" VALUES " +
           PlaceholderList(static_cast<int>(table.columns.size()));
}

template <typename Record>
int SelectOne(const Table& table, const std::wstring& condition, Record& record) {
    SqlStatement statement(SelectText(table, condition));
    if (!statement) {
        return -1;
    }
    int result = statement.Step(false);
    if (result == 1) {
        ReadRecord(statement, record);
    }
    return result;
}

template <typename List>
int SelectAll(const Table& table, const std::wstring& condition, List& list) {
    SqlStatement statement(SelectText(table, condition));
    if (!statement) {
        return -1;
    }
    // Rows are appended to what the caller already has; a restarted statement gives its
    // rows again from the first, which replace the ones this read appended.
    const auto first = static_cast<std::ptrdiff_t>(list.size());
    int restarts = statement.Restarts();
    int result = statement.Step(false);
    while (result == 1) {
        if (statement.Restarts() != restarts) {
            restarts = statement.Restarts();
            list.erase(list.begin() + first, list.end());
        }
        typename List::value_type record;
        ReadRecord(statement, record);
        list.push_back(std::move(record));
        result = statement.Step(true);
    }
    // Started again and found no rows this time: the earlier ones are gone too.
    if (statement.Restarts() != restarts && result == 0) {
        list.erase(list.begin() + first, list.end());
    }
    return result;
}

template <typename Record>
int WriteOne(const Table& table, bool replace, const Record& record) {
    SqlStatement statement(WriteText(table, replace));
    if (!statement || !BindRecord(statement, record)) {
        return -1;
    }
    return statement.Step(false) == 0 ? 0 : -1;
}

bool RunDelete(const std::wstring& sql) {
    SqlStatement statement(sql);
    return statement && statement.Step(false) >= 0;
}

bool DeleteOne(const Table& table, int32_t id) {
    return RunDelete(L"DELETE FROM " + std::wstring(table.name) + L" WHERE " + table.id_column +
                     L"=" + sql::Decimal(id));
}

// Writes count records in one transaction: all of them or none. writeRecord(i) returns a
// negative value when record i could not be written.
template <typename WriteRecord>
int WriteBatch(size_t count, WriteRecord writeRecord) {
    if (!BeginTransaction()) {
        return -1;
    }
    for (size_t i = 0; i < count; ++i) {
        if (writeRecord(i) < 0) {
            RunStatement(L"ROLLBACK");
            return -1;
        }
    }
    if (RunStatement(L"COMMIT")) {
        return 0;
    }
    // A commit that still fails after its retries leaves the transaction open, and every
    // later write would silently join it and be lost with it. Undo the batch instead.
    RunStatement(L"ROLLBACK");
    return -1;
}

int32_t ClampToInt32(int64_t value) {
    return static_cast<int32_t>(std::clamp<int64_t>(value, INT32_MIN, INT32_MAX));
}

}  // namespace

// Profiles.

int ListProfiles(ProfileList& list) {
    return SelectAll(kProfileTable, std::wstring(), list);
}

int InsertProfile(const ProfileRecord& record) {
    return WriteOne(kProfileTable, false, record);
}

bool DeleteProfile(int32_t profileId) {
    return DeleteOne(kProfileTable, profileId);
}

// Options.

int SelectOption(const std::wstring& condition, OptionRecord& record) {
    return SelectOne(kOptionTable, condition, record);
}

int ListOptions(const std::wstring& condition, OptionList& list) {
    return SelectAll(kOptionTable, condition, list);
}

int SaveOption(const OptionRecord& record, bool replace) {
    return WriteOne(kOptionTable, replace, record);
}

int InsertOptions(const OptionList& list) {
    return WriteBatch(list.size(), [&](size_t i) { return SaveOption(list[i], false); });
}

namespace {

// The lookup of one option of one profile: " ([profile_id]=3) AND option=100". Both
// values are integers, so the condition needs no parameters.
int SelectProfileOption(int32_t option, int32_t profileId, OptionRecord& record) {
    return SelectOption(
        IdCondition(L"[profile_id]", profileId) + L" AND " + L"option=" + sql::Decimal(option),
        record);
}

}  // namespace

std::wstring GetOptionText(int32_t option, int32_t profileId) {
    OptionRecord record;
    if (SelectProfileOption(option, profileId, record) != 1) {
        return {};
    }
    return record.value;
}

int GetOptionInt(int32_t option, int32_t profileId, int defaultValue) {
    OptionRecord record;
    if (SelectProfileOption(option, profileId, record) != 1) {
        return defaultValue;
    }
    // Saturating like a 32-bit wcstol, so that a huge stored number cannot wrap around into
    // a small or negative one.
    return ClampToInt32(ParseOptionInt(record.value));
}

void SetOptionText(int32_t profileId, int32_t option, const std::wstring& text) {
    OptionRecord record;
    record.profile_id = profileId;
    record.option = option;
    record.value = text;
    SaveOption(record, true);
}

void SetOptionInt(int32_t option, int64_t value, int32_t profileId) {
    SetOptionText(profileId, option, sql::Decimal(value));
}

void LoadConnectionOptions(ConnectionOptions& options, int32_t profileId) {
    std::wstring mode = GetOptionText(OptConnectionMode, profileId);
    options.proxy_address = GetOptionText(OptProxyAddress, profileId);
    std::wstring port = GetOptionText(OptProxyPort, profileId);
    options.proxy_login = GetOptionText(OptProxyLogin, profileId);
    options.proxy_password = GetOptionText(OptProxyPassword, profileId);
    options.mode = ClampToInt32(ParseOptionInt(mode));
    options.proxy_port = static_cast<uint16_t>(ParseOptionInt(port));
}

// Messages.

int ListMessages(const std::wstring& condition, MessageList& list) {
    return SelectAll(kMessageTable, condition, list);
}

int SelectMessage(const std::wstring& condition, MessageRecord& record) {
    return SelectOne(kMessageTable, condition, record);
}

int LoadMessage(MessageRecord& record, int32_t messageId) {
    return SelectMessage(L"[message_id]=" + sql::Decimal(messageId), record);
}

int SaveMessage(const MessageRecord& record) {
    return WriteOne(kMessageTable, true, record);
}

bool DeleteMessage(int32_t messageId) {
    return DeleteOne(kMessageTable, messageId);
}

// Forums.

int ListForums(const std::wstring& condition, ForumList& list) {
    return SelectAll(kForumTable, condition, list);
}

int SaveForum(const ForumRecord& record, bool replace) {
    return WriteOne(kForumTable, replace, record);
}

int SaveForums(std::vector<ForumRecord>& list, bool replace) {
    // Records given new ids inside the transaction; if it is undone, so are their ids, so
    // that no record claims a row that does not exist.
    std::vector<size_t> assigned;
    int result = WriteBatch(list.size(), [&](size_t i) {
        if (SaveForum(list[i], replace) != 0) {
            return -1;
        }
        if (list[i].forum_id == -1) {
            list[i].forum_id = LastInsertId();
            assigned.push_back(i);
        }
        return 0;
    });
    if (result != 0) {
        for (size_t i : assigned) {
            list[i].forum_id = -1;
        }
    }
    return result;
}

void DeleteForums(const std::vector<int32_t>& forumIds) {
    if (forumIds.empty()) {
        return;
    }
    std::wstring sql = L"DELETE FROM [forum] WHERE [forum_id] IN(";
    for (size_t i = 0; i < forumIds.size(); ++i) {
        if (i > 0) {
            sql += L",";
        }
        sql += sql::Decimal(forumIds[i]);
    }
    sql += L")";
    RunDelete(sql);
}

// Submit records.

int ListSubmits(const std::wstring& condition, SubmitList& list) {
    return SelectAll(kSubmitTable, condition, list);
}

int InsertSubmit(const SubmitRecord& record) {
    return WriteOne(kSubmitTable, false, record);
}

bool DeleteSubmit(int32_t submitId) {
    return DeleteOne(kSubmitTable, submitId);
}

int StoreSubmitResult(SubmitRecord& record, bool settled, const TopicRecord* posted) {
    const bool fresh = record.submit_id == -1;
    int32_t new_id = record.submit_id;
    const int stored = WriteBatch(1, [&](size_t) {
        if (WriteOne(kSubmitTable, !fresh, record) != 0) {
            return -1;
        }
        if (posted != nullptr && WriteOne(kTopicTable, true, *posted) != 0) {
            return -1;
        }
        if (fresh) {
            new_id = LastInsertId();
        }
        if (settled && !RunDelete(L"DELETE FROM [sending] WHERE" +
                                  IdCondition(L"[forum_id]", record.forum_id) + L" AND" +
                                  IdCondition(L"[message_id]", record.message_id))) {
            return -1;
        }
        return 0;
    });
    if (stored == 0) {
        record.submit_id = new_id;
    }
    return stored;
}

// Posts that went out without a stored result.

int ListSendings(const std::wstring& condition, SendingList& list) {
    return SelectAll(kSendingTable, condition, list);
}

int SaveSending(const SendingRecord& record) {
    return WriteOne(kSendingTable, true, record);
}

// Posted topics.

int ListTopics(const std::wstring& condition, TopicRowList& list) {
    return SelectAll(kTopicTable, condition, list);
}

int SaveTopic(const TopicRecord& record) {
    return WriteOne(kTopicTable, true, record);
}

int SaveTopics(const TopicRowList& list) {
    return WriteBatch(list.size(), [&](size_t i) { return WriteOne(kTopicTable, true, list[i]); });
}

bool UpgradeSchema() {
    return std::all_of(std::begin(kAddedTables), std::end(kAddedTables),
                       [](const wchar_t* statement) { return RunStatement(statement); });
}

// Profile copy.

int32_t CopyProfile(const std::wstring& name, int32_t sourceProfileId) {
    ProfileRecord profile;
    profile.name = name;
    if (InsertProfile(profile) != 0) {
        return -1;
    }
    int32_t profileId = LastInsertId();
    if (sourceProfileId == -1) {
        return profileId;
    }

    ForumList forums;
    forums.LoadForProfile(sourceProfileId);
    for (ForumRecord& forum : forums) {
        forum.profile_id = profileId;
        forum.forum_id = -1;
    }
    SaveForums(forums, false);

    OptionList options;
    ListOptions(L"profile_id=" + sql::Decimal(sourceProfileId), options);
    for (OptionRecord& option : options) {
        option.profile_id = profileId;
    }
    InsertOptions(options);
    return profileId;
}

}  // namespace twk
