#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engines/ResultCode.h"
#include "engines/Sleeper.h"
#include "web/HtmlDocument.h"
#include "web/HtmlForm.h"
#include "web/WebClient.h"

namespace twk {

// One forum section found by ReadSections.
struct SectionRecord {
    std::wstring key;    // absolute URL of the section link; stored in [forum_key]
    std::wstring title;  // link text (or page title); stored in [forum_title]
    std::wstring url;    // the URL to open; the same as key
};
using SectionList = std::vector<SectionRecord>;

extern const wchar_t* const DefaultUserAgent;

// Drives one forum script through its pages the way a browser user would. One engine per
// job, created, used and destroyed on the job's worker thread; another thread only sets
// stop_requested and aborts the client (under the job's lock).
class ForumEngine {
public:
    ForumEngine();
    virtual ~ForumEngine();
    ForumEngine(const ForumEngine&) = delete;
    ForumEngine& operator=(const ForumEngine&) = delete;

    virtual ResultCode SignIn(const std::wstring& login, const std::wstring& password,
                              std::wstring& forumTitle) = 0;
    virtual ResultCode ReadSections(SectionList& sections) = 0;
    virtual ResultCode OpenSection(const std::wstring& url);
    virtual ResultCode PostTopic(const std::wstring& subject, const std::wstring& body,
                                 std::wstring& topicUrl) = 0;
    virtual int SetBaseUrl(const std::wstring& mainUrl);

    // Replaces the sleeper used by Pause; not owned. Tests install one that does not wait.
    void SetSleeper(Sleeper& sleeper) { sleeper_ = &sleeper; }

    std::wstring base_url;
    WebClient web;
    HtmlDocument page;
    // Set once from another thread, read by the worker before each request and pause.
    std::atomic<bool> stop_requested{false};
    std::wstring failure_text;

protected:
    ResultCode OpenUrl(const std::wstring& url, bool followRefresh);
    ResultCode SubmitForm(const HtmlForm& form, bool followRefresh);
    // Sleeps seconds one second at a time, checking the stop flag before each; true if a
    // stop was seen.
    bool Pause(int seconds);
    // Link search: the first link of the page whose absolute URL contains one of the
    // patterns (case-sensitive) and none of the excluded ones; leaves the link cursor on it.
    bool FindLink(const std::vector<std::wstring>& patterns,
                  const std::vector<std::wstring>& excluded = {});
    // Form search: reads the page's forms in document order into form until fits accepts
    // one (fits fills the fields it needs and says whether they were all there). False
    // when no form fits.
    bool FindForm(HtmlForm& form, const std::function<bool(HtmlForm&)>& fits);
    // Appends a section unless its address is already listed: board indexes often link
    // the same section twice (its title and a "last post in" link).
    static void AddSection(SectionList& sections, const std::wstring& url,
                           const std::wstring& title);
    // The result of a post: follows one META refresh (failure: 9), then looks for the
    // reply link; 0 with topicUrl set to the page reached, else 9.
    ResultCode CheckPostResult(const std::wstring& replyPattern, std::wstring& topicUrl);

private:
    Sleeper* sleeper_;
};

// A new engine for a forum's script name, compared exactly: "phpBB", "vBulletin",
// "IPBoard". Null for any other name.
std::unique_ptr<ForumEngine> CreateEngine(const std::wstring& scriptName);

}  // namespace twk
