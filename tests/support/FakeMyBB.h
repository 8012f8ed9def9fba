#pragma once

#include <map>
#include <set>
#include <string>
#include <vector>

#include "support/FakeForum.h"

namespace twk::test {

class FakeSleeper;

// What a FakeMyBB board does; the defaults are a healthy board. Each switch is one way a
// real MyBB makes an engine fail.
struct FakeMyBBSetup {
    // The visitor's browser still holds the account's mybbuser cookie from an earlier
    // visit: the first page already shows the account signed in.
    bool signed_in_at_start = false;
    // Pages carry a post key the board no longer accepts (a key from another session, or
    // one older than the last four the board keeps).
    bool stale_post_key = false;
    // Only the new-thread form carries such a key (the page came from a session that has
    // since ended).
    bool stale_thread_key = false;
    // "Friendly redirects" off: sign-in and posts are answered with a 302 instead of a
    // redirect page.
    bool location_redirects = false;
    // Forums the account may read but not start threads in.
    std::set<int> read_only_forums;
    // Forums whose new threads wait for a moderator: stored hidden, not listed.
    std::set<int> moderated_forums;
    // MyBB's flood check: a post within that many seconds (by clock) of the account's last
    // accepted one is refused. 0: no check.
    int flood_seconds = 0;
    // The account posted at the start of the clock (time 0).
    bool posted_at_start = false;
    const FakeSleeper* clock = nullptr;
    // Forums whose threads only members see: a guest gets the no-permission page.
    std::set<int> members_only_forums = {};
    // A gateway answers an edit with 502 after the board stored it.
    bool gateway_error_after_edit = false;
};

// A MyBB 1.8 board on 127.0.0.1 that serves the real pages of an unmodified MyBB 1.8.37
// (tests/fixtures/mybb/pages), with their post keys, logout key, forum, thread and board
// address put in. Like MyBB it keeps the session in a "sid" cookie and the sign-in in a
// "mybbuser" cookie, ties a guest's post key to its session, checks the key on sign-in and
// posting, and reads forms sent urlencoded or as multipart. Forums: 1 "Lab Category" (a
// category), 2 "General", 3 "Announcements", 4 "Тестирование".
class FakeMyBB : public FakeForum {
public:
    static constexpr const wchar_t* kLogin = L"tester";
    static constexpr const wchar_t* kPassword = L"пароль & 100% \"secret\"";
    static constexpr const wchar_t* kBoardName = L"Lab Board";
    static constexpr int kCategory = 1;

    FakeMyBB();
    explicit FakeMyBB(FakeMyBBSetup setup);
    ~FakeMyBB() override;

    std::wstring MainUrl() const;
    std::wstring SectionUrl(int forumId = 2) const;
    std::wstring TopicUrl(int topicId) const;
    // The id of reply number (from 1) of a thread, as its "pid".
    static int ReplyPostId(int topicId, int number) { return topicId * 1000 + number; }
    static std::wstring ForumName(int forumId);

    // Names of the fields of the last sign-in form received, in order (values are not
    // kept: one is a password).
    std::vector<std::string> LastSignInFields() const;
    // Topics stored but held for a moderator.
    std::set<int> HeldTopics() const;

private:
    struct Visit {
        std::string sid;
        bool signed_in = false;
        std::string post_key;  // the key the board accepts from this visit
    };
    using Fields = std::multimap<std::string, std::string>;

    Visit Begin(const httplib::Request& request, httplib::Response& response);
    static Fields FormFields(const httplib::Request& request);
    std::wstring Page(const std::string& name, const Visit& visit) const;
    std::wstring ErrorPage(const Visit& visit, const std::wstring& message) const;
    std::wstring NewThreadPage(const Visit& visit, int forumId, const std::wstring& error,
                               const std::wstring& subject, const std::wstring& body) const;
    void Answer(httplib::Response& response, const std::wstring& redirectPage,
                const std::string& target) const;
    long Now() const;

    void Index(const httplib::Request& request, httplib::Response& response);
    void Member(const httplib::Request& request, httplib::Response& response);
    void SignInPost(const httplib::Request& request, httplib::Response& response);
    void Section(const httplib::Request& request, httplib::Response& response);
    void NewThread(const httplib::Request& request, httplib::Response& response);
    void PostThread(const httplib::Request& request, httplib::Response& response);
    void Thread(const httplib::Request& request, httplib::Response& response);
    // A thread's page of posts (10 a page) drawn from the real page 1 of a long thread.
    std::wstring ThreadPage(const Visit& visit, const FakeTopic& topic, int page) const;
    void EditPost(const httplib::Request& request, httplib::Response& response);

    const FakeMyBBSetup setup_;
    std::map<std::string, std::wstring> pages_;
    // Guarded by mutex_ like the base's state.
    std::set<std::string> sids_;
    int sid_counter_ = 0;
    std::vector<std::string> sign_in_fields_;
    std::set<int> held_topics_;
    long last_post_time_ = -1;
};

}  // namespace twk::test
