#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace twk {

// One plain record per table row, fields named and ordered like the columns.
// An id of -1 means the record is not stored yet.

struct ProfileRecord {
    int32_t profile_id = -1;
    std::wstring name;
};

struct OptionRecord {
    int32_t profile_id = -1;
    int32_t option = 0;
    std::wstring value;
};

struct MessageRecord {
    int32_t message_id = -1;
    int32_t profile_id = -1;
    std::wstring subject;
    std::wstring msg;
};

struct ForumRecord {
    int32_t forum_id = -1;
    int32_t profile_id = -1;
    std::wstring engine;
    std::wstring main_url;
    std::wstring title;
    int32_t flags = 0;
    std::wstring forum_key;
    std::wstring forum_title;
    std::wstring login;
    std::wstring pass;
};

struct SubmitRecord {
    int32_t submit_id = -1;
    int32_t forum_id = -1;
    int32_t message_id = -1;
    int64_t stime = 0;
    int32_t result = -1;
    std::wstring thread;
    std::wstring err;
};

// A post that went out and has no result stored yet ([sending]); one per forum and message.
struct SendingRecord {
    int32_t forum_id = -1;
    int32_t message_id = -1;
    int64_t stime = 0;
    std::wstring login;
    std::wstring subject;
    // Addresses of the topics with the subject listed just before sending, one a line.
    std::wstring listed;
};

// What became of a posted topic after the post ([topic]); one per forum and message, kept
// beside the [submit] row of the post. Written only by this version: the older one ignores
// the table.
struct TopicRecord {
    int32_t forum_id = -1;
    int32_t message_id = -1;
    // What the topic shows as far as the program knows: the subject and body it was posted
    // with, or those of its last update; ttime is when they were recorded (0: not known,
    // a topic posted before the program kept this).
    std::wstring subject;
    std::wstring body;
    int64_t ttime = 0;
    // The last update: when (0: never), its result code and the board's words.
    int64_t utime = 0;
    int32_t uresult = -1;
    std::wstring uerr;
    // The last reply check: when (0: never), its result and the board's words.
    int64_t rtime = 0;
    int32_t rresult = -1;
    std::wstring rerr;
    // Posts after the first at the last check, and at the check before (-1: none).
    int32_t replies = -1;
    int32_t replies_before = -1;
    std::wstring newest_author;
    int64_t newest_time = 0;
    std::wstring newest_url;
};

using ProfileList = std::vector<ProfileRecord>;
using OptionList = std::vector<OptionRecord>;

using SendingList = std::vector<SendingRecord>;
using TopicRowList = std::vector<TopicRecord>;

class MessageList : public std::vector<MessageRecord> {
public:
    using std::vector<MessageRecord>::vector;

    // Replaces the content with the messages of the profile, in stored order.
    void LoadForProfile(int32_t profileId);
};

class ForumList : public std::vector<ForumRecord> {
public:
    using std::vector<ForumRecord>::vector;

    // Replaces the content with the forums of the profile, in stored order.
    void LoadForProfile(int32_t profileId);
};

class SubmitList : public std::vector<SubmitRecord> {
public:
    using std::vector<SubmitRecord>::vector;

    // Replaces the content with the submit records of the message, in stored order.
    void LoadForMessage(int32_t messageId);
};

// Option keys of the [option] table.
enum OptionKey : int32_t {
    OptDatabaseMarker = 0,
    OptListLayout = 4,
    OptThreadCount = 100,
    OptConnectionMode = 101,
    OptProxyAddress = 102,
    OptProxyPort = 103,
    OptProxyLogin = 104,
    OptProxyPassword = 105,
};

// Connection modes (option 101).
enum ConnectionMode : int32_t {
    kConnectionAuto = 0,
    kConnectionDirect = 1,
    kConnectionProxy = 2,
};

// A profile's connection settings, options 101 to 105.
struct ConnectionOptions {
    int32_t mode = kConnectionAuto;
    std::wstring proxy_address;
    uint16_t proxy_port = 8080;
    std::wstring proxy_login;
    std::wstring proxy_password;
};

}  // namespace twk
