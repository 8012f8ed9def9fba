// Moving records into and out of statements. Parameters and columns follow the column
// order of each table, which is also the order of the record's fields.
#include "storage/Database.h"
#include "storage/Records.h"

namespace twk {

bool BindRecord(SqlStatement& statement, const ProfileRecord& record) {
    return statement.BindId(1, record.profile_id) && statement.BindText(2, record.name);
}

bool BindRecord(SqlStatement& statement, const OptionRecord& record) {
    return statement.BindId(1, record.profile_id) && statement.BindInt(2, record.option) &&
           statement.BindText(3, record.value);
}

bool BindRecord(SqlStatement& statement, const MessageRecord& record) {
    return statement.BindId(1, record.message_id) && statement.BindInt(2, record.profile_id) &&
           statement.BindText(3, record.subject) && statement.BindText(4, record.msg);
}

bool BindRecord(SqlStatement& statement, const ForumRecord& record) {
    return statement.BindId(1, record.forum_id) && statement.BindInt(2, record.profile_id) &&
           statement.BindText(3, record.engine) && statement.BindText(4, record.main_url) &&
           statement.BindText(5, record.title) && statement.BindInt(6, record.flags) &&
           statement.BindText(7, record.forum_key) && statement.BindText(8, record.forum_title) &&
           statement.BindText(9, record.login) && statement.BindText(10, record.pass);
}

bool BindRecord(SqlStatement& statement, const SubmitRecord& record) {
    return statement.BindId(1, record.submit_id) && statement.BindId(2, record.forum_id) &&
           statement.BindId(3, record.message_id) && statement.BindInt64(4, record.stime) &&
           statement.BindInt(5, record.result) && statement.BindText(6, record.thread) &&
           statement.BindText(7, record.err);
}

bool BindRecord(SqlStatement& statement, const SendingRecord& record) {
    return statement.BindId(1, record.forum_id) && statement.BindId(2, record.message_id) &&
           statement.BindInt64(3, record.stime) && statement.BindText(4, record.login) &&
           statement.BindText(5, record.subject) && statement.BindText(6, record.listed);
}

bool BindRecord(SqlStatement& statement, const TopicRecord& record) {
    return statement.BindId(1, record.forum_id) && statement.BindId(2, record.message_id) &&
           statement.BindText(3, record.subject) && statement.BindText(4, record.body) &&
           statement.BindInt64(5, record.ttime) && statement.BindInt64(6, record.utime) &&
           statement.BindInt(7, record.uresult) && statement.BindText(8, record.uerr) &&
           statement.BindInt64(9, record.rtime) && statement.BindInt(10, record.rresult) &&
           statement.BindText(11, record.rerr) && statement.BindInt(12, record.replies) &&
           statement.BindInt(13, record.replies_before) &&
           statement.BindText(14, record.newest_author) &&
           statement.BindInt64(15, record.newest_time) && statement.BindText(16, record.newest_url);
}

void ReadRecord(const SqlStatement& statement, ProfileRecord& record) {
    record.profile_id = statement.ColumnInt(0);
    record.name = statement.ColumnText(1);
}

void ReadRecord(const SqlStatement& statement, OptionRecord& record) {
    record.profile_id = statement.ColumnInt(0);
    record.option = statement.ColumnInt(1);
    record.value = statement.ColumnText(2);
}

void ReadRecord(const SqlStatement& statement, MessageRecord& record) {
    record.message_id = statement.ColumnInt(0);
    record.profile_id = statement.ColumnInt(1);
    record.subject = statement.ColumnText(2);
    record.msg = statement.ColumnText(3);
}

void ReadRecord(const SqlStatement& statement, ForumRecord& record) {
    record.forum_id = statement.ColumnInt(0);
    record.profile_id = statement.ColumnInt(1);
    record.engine = statement.ColumnText(2);
    record.main_url = statement.ColumnText(3);
    record.title = statement.ColumnText(4);
    record.flags = statement.ColumnInt(5);
    record.forum_key = statement.ColumnText(6);
    record.forum_title = statement.ColumnText(7);
    record.login = statement.ColumnText(8);
    record.pass = statement.ColumnText(9);
}

void ReadRecord(const SqlStatement& statement, SubmitRecord& record) {
    record.submit_id = statement.ColumnInt(0);
    record.forum_id = statement.ColumnInt(1);
    record.message_id = statement.ColumnInt(2);
    record.stime = statement.ColumnInt64(3);
    record.result = statement.ColumnInt(4);
    record.thread = statement.ColumnText(5);
    record.err = statement.ColumnText(6);
}

void ReadRecord(const SqlStatement& statement, SendingRecord& record) {
    record.forum_id = statement.ColumnInt(0);
    record.message_id = statement.ColumnInt(1);
    record.stime = statement.ColumnInt64(2);
    record.login = statement.ColumnText(3);
    record.subject = statement.ColumnText(4);
    record.listed = statement.ColumnText(5);
}

void ReadRecord(const SqlStatement& statement, TopicRecord& record) {
    record.forum_id = statement.ColumnInt(0);
    record.message_id = statement.ColumnInt(1);
    record.subject = statement.ColumnText(2);
    record.body = statement.ColumnText(3);
    record.ttime = statement.ColumnInt64(4);
    record.utime = statement.ColumnInt64(5);
    record.uresult = statement.ColumnInt(6);
    record.uerr = statement.ColumnText(7);
    record.rtime = statement.ColumnInt64(8);
    record.rresult = statement.ColumnInt(9);
    record.rerr = statement.ColumnText(10);
    record.replies = statement.ColumnInt(11);
    record.replies_before = statement.ColumnInt(12);
    record.newest_author = statement.ColumnText(13);
    record.newest_time = statement.ColumnInt64(14);
    record.newest_url = statement.ColumnText(15);
}

}  // namespace twk
