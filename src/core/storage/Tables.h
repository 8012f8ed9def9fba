#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "storage/Records.h"

namespace twk {

// Every operation on the tables, over the process-wide connection. Results:
// list reads 0 (all rows read) or -1; single reads 1 (found), 0 (no row) or -1; single
// writes 0 or -1; deletes true when the statement ran; batch writes 0 or -1. Nothing is
// shown to the user. Conditions are SQL text built only from column names, "=", " AND "
// and decimal integers; text values are always bound as parameters.

// Profiles.
int ListProfiles(ProfileList& list);
int InsertProfile(const ProfileRecord& record);
bool DeleteProfile(int32_t profileId);

// Options.
int SelectOption(const std::wstring& condition, OptionRecord& record);
int ListOptions(const std::wstring& condition, OptionList& list);
int SaveOption(const OptionRecord& record, bool replace);
int InsertOptions(const OptionList& list);
std::wstring GetOptionText(int32_t option, int32_t profileId);
int GetOptionInt(int32_t option, int32_t profileId, int defaultValue);
void SetOptionText(int32_t profileId, int32_t option, const std::wstring& text);
void SetOptionInt(int32_t option, int64_t value, int32_t profileId);
void LoadConnectionOptions(ConnectionOptions& options, int32_t profileId);

// Messages.
int ListMessages(const std::wstring& condition, MessageList& list);
int SelectMessage(const std::wstring& condition, MessageRecord& record);
int LoadMessage(MessageRecord& record, int32_t messageId);
int SaveMessage(const MessageRecord& record);
bool DeleteMessage(int32_t messageId);

// Forums.
int ListForums(const std::wstring& condition, ForumList& list);
int SaveForum(const ForumRecord& record, bool replace);
// Gives each record written with id -1 its new id, inside the transaction.
int SaveForums(std::vector<ForumRecord>& list, bool replace);
void DeleteForums(const std::vector<int32_t>& forumIds);

// Submit records.
int ListSubmits(const std::wstring& condition, SubmitList& list);
int InsertSubmit(const SubmitRecord& record);
bool DeleteSubmit(int32_t submitId);
// Stores a job's result in one transaction: a new row for a record with id -1 (which then
// gets its id), else the row with that id replaced; with settled, also the forum's
// [sending] row of that message goes, since the result now says what became of that post;
// with posted, that topic row replaces the forum's [topic] row of the message.
int StoreSubmitResult(SubmitRecord& record, bool settled, const TopicRecord* posted = nullptr);

// Posts that went out without a stored result ([sending]).
int ListSendings(const std::wstring& condition, SendingList& list);
// Records that this forum's post of the message goes out now, replacing an earlier row of
// the same forum and message. When it returns 0 the row is committed: on the disk, not
// only in a cache (the connection syncs every commit).
int SaveSending(const SendingRecord& record);

// Posted topics ([topic]): what they show and what became of them since.
int ListTopics(const std::wstring& condition, TopicRowList& list);
// Writes the forum's row of the message, replacing the one there.
int SaveTopic(const TopicRecord& record);
// Writes those rows in one transaction: all of them or none.
int SaveTopics(const TopicRowList& list);

// Adds what a database made by an earlier version lacks ([sending], [topic]), keeping
// every row it has. True when the database has everything now.
bool UpgradeSchema();

// The New Profile action's storage sequence: inserts a profile named name and, when
// sourceProfileId is not -1, copies that profile's forums (under new ids) and options.
// Messages and submit records are not copied. Returns the new profile's id, or -1 when
// the profile could not be inserted (then nothing is copied).
int32_t CopyProfile(const std::wstring& name, int32_t sourceProfileId);

}  // namespace twk
