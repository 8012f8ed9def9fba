#include "support/SubmitTestData.h"

#include <stdexcept>

#include "storage/Database.h"
#include "storage/Tables.h"

namespace twk::test {

int32_t AddProfile(const std::wstring& name) {
    if (InsertProfile(ProfileRecord{-1, name}) != 0) {
        throw std::runtime_error("cannot store a test profile");
    }
    return LastInsertId();
}

MessageRecord AddMessage(int32_t profileId, const std::wstring& subject, const std::wstring& body) {
    MessageRecord message{-1, profileId, subject, body};
    if (SaveMessage(message) != 0) {
        throw std::runtime_error("cannot store a test message");
    }
    message.message_id = LastInsertId();
    return message;
}

ForumList AddForums(int32_t profileId, int count, const ForumSpec& kind,
                    const std::wstring& prefix) {
    ForumList forums;
    for (int i = 1; i <= count; ++i) {
        ForumRecord forum;
        forum.profile_id = profileId;
        forum.engine = kind.engine;
        forum.main_url = kind.main_url;
        forum.title = prefix + L" " + std::to_wstring(i);
        forum.forum_key = kind.forum_key;
        forum.forum_title = L"General";
        forum.login = kind.own_accounts ? kind.login + L" " + std::to_wstring(i) : kind.login;
        forum.pass = kind.pass;
        forums.push_back(forum);
    }
    if (SaveForums(forums, false) != 0) {
        throw std::runtime_error("cannot store test forums");
    }
    return forums;
}

SubmitList StoredResults(int32_t messageId) {
    SubmitList results;
    results.LoadForMessage(messageId);
    return results;
}

bool HandleNextReport(SubmitManager& manager, JobEventQueue& queue,
                      std::chrono::milliseconds limit) {
    std::optional<JobEvent> event = queue.Wait(limit);
    if (!event) {
        return false;
    }
    manager.OnJobEvent(*event);
    return true;
}

bool RunToEnd(SubmitManager& manager, JobEventQueue& queue, std::chrono::milliseconds limit) {
    while (manager.running_jobs() > 0) {
        if (!HandleNextReport(manager, queue, limit)) {
            return false;
        }
    }
    return true;
}

}  // namespace twk::test
