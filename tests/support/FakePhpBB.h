#pragma once

#include <map>
#include <set>
#include <string>
#include <vector>

#include "support/FakeForum.h"
#include "web/Charsets.h"

namespace twk::test {

class FakeSleeper;

// A phpBB board on 127.0.0.1, of either generation: 2 (2.0.x, subSilver: "login.php",
// "posting.php?mode=newtopic", message pages with META refresh) or 3 (3.3, prosilver:
// "ucp.php", "posting.php?mode=post", form tokens, empty 302 answers). Its pages are the
// real markup, trimmed, from tests/fixtures/phpbb.
//
// Like the real boards it keeps sessions in cookies tied to the browser's User-Agent,
// writes "sid=" into every link and form action while a visitor's session does not come
// from a cookie, gives a new session on sign-in (set on the answer), and, in generation
// 3, refuses a form sent within the same second as the page that carried it. Forums:
// 1 a category, 2 and 3 open for new topics, 4 read-only.
class FakePhpBB : public FakeForum {
public:
    // How the board answers a sign-in.
    enum class SignInAnswer {
        kRedirect,  // phpBB 3.1+ and 2: an empty 302 to the page asked for (generation 2
                    // answers a wrong password with a message page that refreshes to the
                    // sign-in page; generation 3 shows the sign-in page again)
        kRefresh,   // a message page with a META refresh to the index, signed in or not
        kBlank,     // a page with no form, no sign-out link and no refresh
    };

    struct Options {
        bool sign_in_form_on_index = true;
        bool sign_in_page_has_form = true;
        SignInAnswer sign_in_answer = SignInAnswer::kRedirect;
        // A field the posting form lacks: "subject", "message", "post" or none.
        std::string posting_form_without;
        // Status of the topic page a post leads to; 500 makes it fail.
        int topic_page_status = 200;
        bool topic_page_has_reply_link = true;
        int index_status = 200;
        // Time for the form-token check of generation 3: one second per second slept.
        // Without a clock the board cannot tell how much time passed and accepts forms
        // at any time.
        const FakeSleeper* clock = nullptr;
        // Titles in place of the built-in ones, by forum id: boards may give two sections
        // one name.
        std::map<int, std::wstring> section_titles;
        // Forums whose new topics wait for a moderator: stored, not listed.
        std::set<int> moderated_forums;
        // phpBB's flood interval: a post within that many seconds (by the clock) of the
        // account's last one is refused. 0: no limit.
        int flood_interval = 0;
        // A gateway in front of the board answers the new-topic POST (and an edit) with 502
        // after the board stored the topic (the edit).
        bool gateway_error_after_post = false;
        // The board's words for a wrong password, in place of the English ones.
        std::wstring wrong_password_text;
        // Forums whose topics only members see: a guest gets the sign-in page.
        std::set<int> members_only_forums;
        // Posts on one topic page, as phpBB's posts_per_page.
        int posts_per_page = 10;
        // Visitors served at once; 0 leaves cpp-httplib's pool size. A visitor's
        // kept-alive connection holds a pooled thread, so many jobs at once need more.
        size_t visitors_at_once = 0;
    };

    static constexpr int kCategory = 1;
    static constexpr int kGeneralForum = 2;
    static constexpr int kNewsForum = 3;
    static constexpr int kReadOnlyForum = 4;

    // The account is "Tester" with a password full of characters that need encoding;
    // SetAccount changes it.
    static const wchar_t* const kLogin;
    static const wchar_t* const kPassword;

    explicit FakePhpBB(int generation, uint32_t codePage = kCodePageUtf8);
    FakePhpBB(int generation, uint32_t codePage, Options options);
    ~FakePhpBB() override;

    int generation() const { return generation_; }
    std::wstring MainUrl() const;
    // A section's address as a signed-in scan lists it.
    std::wstring SectionUrl(int forumId = kGeneralForum) const;
    std::wstring SectionTitle(int forumId) const;
    // Where the answer to a post leads: the topic page.
    std::wstring TopicUrl(int topicId) const;
    // The id of reply number (from 1) of a topic, as its post's "p" and "pN".
    static int ReplyPostId(int topicId, int number) { return topicId * 1000 + number; }
    // What a careful client never sends but a board lets pass: a ticked remember-me box,
    // a button other than "post", a form sent too early.
    std::vector<std::string> Problems() const;

private:
    struct Session {
        std::string user_agent;
        bool signed_in = false;
        std::wstring user;
    };
    // The session a request runs in, as phpBB works it out.
    struct Visit {
        std::string sid;
        bool signed_in = false;
        bool sid_in_links = true;
        std::wstring user;
    };
    using Vars = std::map<std::wstring, std::wstring>;

    void RegisterHandlers();
    Visit Begin(const httplib::Request& request, httplib::Response& response);
    std::string NewSession(const httplib::Request& request, httplib::Response& response,
                           bool signedIn, const std::wstring& user);
    void EndSession(const std::string& sid);
    void Problem(const std::string& text);
    long Now() const;
    std::string FormToken(long creationTime, const std::string& sid,
                          const std::string& formName) const;
    bool CheckFormKey(const httplib::Request& request, const Visit& visit,
                      const std::string& formName);

    std::wstring Render(const std::string& name, const Vars& vars,
                        const std::set<std::wstring>& flags) const;
    void SendBoardPage(httplib::Response& response, const Visit& visit, const std::string& body,
                       Vars vars, std::set<std::wstring> flags) const;
    std::string Cookie(const std::string& name) const;
    std::string AbsoluteWithSid(const std::string& target, const Visit& visit) const;
    void Redirect(httplib::Response& response, const std::string& location) const;

    void Index(const httplib::Request& request, httplib::Response& response);
    void SignInPage(httplib::Response& response, const Visit& visit, const std::wstring& error,
                    const std::string& redirect);
    void SignInPost(const httplib::Request& request, httplib::Response& response);
    void SignOut(const httplib::Request& request, httplib::Response& response);
    void Section(const httplib::Request& request, httplib::Response& response);
    void PostingPage(httplib::Response& response, const Visit& visit, int forumId,
                     const std::wstring& error, const std::wstring& preview);
    void Posting(const httplib::Request& request, httplib::Response& response);
    void Topic(const httplib::Request& request, httplib::Response& response);
    // The edit page (mode=edit) of generation 3: its form, its refusals, and the edit sent.
    void Edit(const httplib::Request& request, httplib::Response& response, const Visit& visit);
    void EditPage(httplib::Response& response, const Visit& visit, const FakeTopic& topic,
                  const std::wstring& error);
    std::wstring PostRows(const Visit& visit, const FakeTopic& topic, int start) const;
    void Message(httplib::Response& response, const Visit& visit, const std::wstring& title,
                 const std::wstring& text, const std::string& refreshTarget);

    const int generation_;
    const Options options_;
    // Guarded by mutex_ like the base's state.
    std::map<std::string, Session> sessions_;
    int session_counter_ = 0;
    std::vector<std::string> problems_;
    long last_post_time_ = -1;
    std::set<int> held_topics_;
};

}  // namespace twk::test
