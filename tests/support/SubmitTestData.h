#pragma once

#include <chrono>
#include <cstdint>
#include <string>

#include "storage/Records.h"
#include "submit/JobEventQueue.h"
#include "submit/SubmitManager.h"

namespace twk::test {

// Rows for submission tests, written into the open database.
int32_t AddProfile(const std::wstring& name);
MessageRecord AddMessage(int32_t profileId, const std::wstring& subject, const std::wstring& body);

// A forum of the profile as the Edit Forum dialog would store it.
struct ForumSpec {
    std::wstring engine = L"phpBB";
    std::wstring main_url = L"http://127.0.0.1:9/";
    std::wstring forum_key;  // the section to post into
    std::wstring login = L"Tester";
    std::wstring pass = L"secret";
    // Each forum signs in with an account of its own ("<login> 1", "<login> 2" ...), so
    // that the forums may run at the same time; otherwise they share one account and
    // take turns.
    bool own_accounts = false;
};
// Stores count forums titled "<prefix> 1" to "<prefix> count", in that load order.
ForumList AddForums(int32_t profileId, int count, const ForumSpec& kind,
                    const std::wstring& prefix = L"Forum");

// The stored [submit] rows of a message, in stored order.
SubmitList StoredResults(int32_t messageId);

// Hands the next queued report to the manager, as the owner's event loop would. False when
// none arrived within limit.
bool HandleNextReport(SubmitManager& manager, JobEventQueue& queue,
                      std::chrono::milliseconds limit = std::chrono::seconds(30));
// Hands reports over until no job runs. False when a report did not come within limit.
bool RunToEnd(SubmitManager& manager, JobEventQueue& queue,
              std::chrono::milliseconds limit = std::chrono::seconds(30));

}  // namespace twk::test
