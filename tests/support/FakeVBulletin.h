#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "support/FakeForum.h"
#include "web/Charsets.h"

namespace twk::test {

// What a FakeVBulletin board does; the defaults are a healthy board. Each switch is one way
// a real board makes an engine fail.
struct FakeVBulletinSetup {
    // The board knows the user before any sign-in (a cookie from an earlier visit): pages
    // show the sign-out link and no sign-in form.
    bool signed_in_at_start = false;
    // The sign-out answer is the guest page with the sign-in form; else a redirect page
    // without any form.
    bool form_after_sign_out = true;
    // Guest pages carry the navigation bar's sign-in form; else only a link to login.php.
    bool sign_in_form = true;
    // The sign-in answer refreshes to a page that fails with 500.
    bool sign_in_refresh_broken = false;
    // Status of the forum home; anything but 200 is an error page.
    int index_status = 200;
    // Sections offer the new-thread button.
    bool new_thread_link = true;
    // Fields of the new-thread form.
    bool subject_field = true;
    bool message_field = true;
    bool submit_button = true;  // "sbutton"
    // A post is answered with vBulletin's redirect page (META refresh) instead of a 302.
    bool post_answer_refresh = false;
    // The post's redirect page refreshes to a page that fails with 500.
    bool post_refresh_broken = false;
    // The new thread shows its reply button (a closed thread shows none).
    bool reply_link = true;
    // Generation 4 only: friendly forum links without "forumdisplay.php?f=", as URL
    // rewriting produces them.
    bool friendly_urls = false;
    // Generation 4 only: an "Ask a Question" new-thread tab in the navigation bar.
    bool navbar_new_thread = false;
    // Replaces the forum list of the forum home when not empty.
    std::wstring custom_forum_list;
    // The next so many posts are refused for the flood limit (in Russian, naming the
    // seconds left).
    int flood_refusals = 0;
    // New threads wait for a moderator: stored, answered with the moderation notice.
    bool moderated = false;
    // Threads of this forum are shown to members only (0: none).
    int members_only_forum = 0;
    // An edit is stored, then its answer is lost (a gateway's 502 page).
    bool edit_answer_lost = false;
    // An edit changes the post but not the thread's title (the board's time limit for
    // editing titles passed).
    bool keep_thread_title = false;
};

// A vBulletin board on 127.0.0.1. Generation 3 serves vBulletin 3.8 pages (forum list in
// <td id="fN"> cells); generation 4 serves the forum home and navigation bar of
// vBulletin 4.1 (forum list in <li id="forumN">) and otherwise the generation-3 pages,
// whose sign-in and posting fields vBulletin 4 shares. Sign-in needs the plain password
// with both md5 fields sent empty, as vBulletin checks it when no script filled them.
// Forum 1 is a category: it offers no new thread.
class FakeVBulletin : public FakeForum {
public:
    static constexpr const wchar_t* kLogin = L"Постер";
    static constexpr const wchar_t* kPassword = L"пароль & secret";
    // Posts on one page of a thread, as vBulletin shows by default.
    static constexpr int kPostsPerPage = 15;

    explicit FakeVBulletin(int generation = 3, uint32_t codePage = kCodePageWindows1251);

    // index.php (generation 3) or forum.php (generation 4).
    std::wstring MainUrl() const;
    std::wstring SectionUrl(int forumId = 2) const;
    std::wstring TopicUrl(int topicId) const;
    // The board's name, the TITLE of its forum home.
    std::wstring BoardTitle() const;
    // The TITLE of a section page.
    std::wstring SectionTitle(int forumId) const;

    // Replaces the board's behaviour; call before the engine runs.
    void Configure(const FakeVBulletinSetup& setup);

    // Names of the fields of the last sign-in form received, in order (values are not
    // kept: one of them is a password).
    std::vector<std::string> LastSignInFields() const;

private:
    struct Visit {
        std::string session;
        bool signed_in = false;
        std::string security_token;
        std::string logout_hash;
    };

    Visit Begin(const httplib::Request& request, httplib::Response& response);
    FakeVBulletinSetup Setup() const;
    std::wstring Template(const std::string& name) const;
    using Values = std::vector<std::pair<std::string, std::wstring>>;
    // Replaces each {{name}} in order, so text put in by one value is not filled again
    // by the values before it.
    static std::wstring Fill(std::wstring text, const Values& values);
    std::wstring Page(const Visit& visit, const FakeVBulletinSetup& setup,
                      const std::wstring& title, const std::wstring& body) const;
    std::wstring MessagePage(const Visit& visit, const FakeVBulletinSetup& setup,
                             const std::wstring& message) const;
    std::wstring RedirectPage(const std::wstring& url, const std::wstring& message) const;
    std::wstring ForumName(int forumId) const;
    std::wstring CharsetName() const;

    void ServeForumHome(const httplib::Request& request, httplib::Response& response);
    void ServeSection(const httplib::Request& request, httplib::Response& response);
    void ServeNewThread(const httplib::Request& request, httplib::Response& response);
    void ServePostThread(const httplib::Request& request, httplib::Response& response);
    void ServeThread(const httplib::Request& request, httplib::Response& response);
    void ServeSignIn(const httplib::Request& request, httplib::Response& response);
    void ServeEditPost(const httplib::Request& request, httplib::Response& response);
    void ServeUpdatePost(const httplib::Request& request, httplib::Response& response);
    // The topic a post id belongs to (0: none): first posts are 1000 + topic id, replies
    // 1000000 + 1000 * topic id + reply number.
    static int TopicOfPost(int postId);
    // The board's refusal of an edit of that topic's first post, or empty.
    std::wstring EditRefusalText(int topicId) const;
    std::wstring PostBit(const FakeTopic& topic, size_t index, bool editable,
                         const FakeVBulletinSetup& setup) const;
    void ServeLoginPage(const httplib::Request& request, httplib::Response& response);

    int generation_;
    std::map<std::string, std::wstring> templates_;
    std::map<int, std::wstring> forums_;
    FakeVBulletinSetup setup_;                 // guarded by mutex_
    std::vector<std::string> sign_in_fields_;  // guarded by mutex_
};

}  // namespace twk::test
