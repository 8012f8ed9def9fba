#pragma once

#include <map>
#include <set>
#include <string>
#include <vector>

#include "support/FakeForum.h"

namespace twk::test {

class FakeSleeper;

// A Simple Machines Forum 2.1 board on 127.0.0.1, served from the real markup of SMF 2.1.4,
// trimmed, in tests/fixtures/smf. Addresses separate parameters with ";"
// (index.php?action=post;board=3.0).
//
// Like the real board it keeps a session in the PHPSESSID cookie, bound to the browser's
// User-Agent, writes "PHPSESSID=..." into every link while a visitor sends no cookie, gives
// each session a hidden field of a random name that every form carries, a one-time token
// of another random name in the sign-in form and a one-time seqnum in the posting form,
// and a new PHPSESSID on sign-in. A refused session or token is a 403 error page, as are
// the flood limit and a posting form sent twice. Boards: 1 to 3 and 5 (a child board of 2)
// open for new topics, 4 read-only.
//
// Topics show kMessagesPerPage messages a page ("topic=T.<offset>"); the first message's
// number is the topic's, reply n's is T * 1000 + n. The account's own messages carry
// "Modify" links while it may edit them; the edit address answers a refusal (another
// member's post, a locked topic, the edit time passed, a gone topic) with SMF's 403 page.
class FakeSMF : public FakeForum {
public:
    struct Options {
        // Boards whose new topics wait for a moderator.
        std::set<int> moderated_boards;
        // SMF's spamWaitTime: a post within that many seconds (by the clock) of the last
        // one from the same address is refused. 0: no limit.
        int flood_seconds = 0;
        // Time for the flood limit: one second per second slept. Without a clock all
        // requests happen at the same moment.
        const FakeSleeper* clock = nullptr;
        // The sign-in form's token has expired by the time the form comes back.
        bool stale_sign_in_token = false;
        // The posting form's session field has expired by the time the form comes back
        // (SMF shows the form again with its error list).
        bool stale_post_session = false;
        // The posting form was already sent once (a seqnum SMF no longer knows).
        bool stale_seqnum = false;
        // The subject field says maxlength="80", as in SMF's default theme; other themes
        // may leave it out.
        bool subject_maxlength = true;
        // Boards whose topics a guest may not see: SMF asks for a sign-in instead.
        std::set<int> members_only_boards = {};
        // A gateway in front of the board answers 502 once an edit is stored.
        bool gateway_error_after_edit = false;
    };

    static constexpr int kGeneralBoard = 1;
    static constexpr int kAnnouncementsBoard = 2;
    static constexpr int kCyrillicBoard = 3;
    static constexpr int kReadOnlyBoard = 4;
    // A child board of Announcements.
    static constexpr int kChildBoard = 5;
    // Messages on a topic page (SMF's defaultMaxMessages).
    static constexpr int kMessagesPerPage = 15;

    static const wchar_t* const kLogin;
    static const wchar_t* const kPassword;
    static const wchar_t* const kBoardName;

    FakeSMF();
    explicit FakeSMF(Options options);
    ~FakeSMF() override;

    std::wstring MainUrl() const;
    std::wstring BoardUrl(int board) const;
    std::wstring BoardTitle(int board) const;
    std::wstring TopicUrl(int topic) const;
    // Topics that wait for a moderator.
    std::set<int> HeldTopics() const;
    // What a careful client never does but the board lets pass or answers oddly: another
    // button than "post", a missing field, a changed User-Agent.
    std::vector<std::string> Problems() const;

private:
    struct Session {
        std::string user_agent;
        std::string var;  // the random name of the session field
        std::string id;   // its value
        std::wstring user;
        std::string token_var;
        std::string token;
        std::set<std::string> seqnums;
    };
    // The session a request runs in, as SMF works it out.
    struct Visit {
        std::string sid;
        Session session;
        bool sid_in_links = false;
        bool signed_in() const { return !session.user.empty(); }
    };
    using Vars = std::map<std::wstring, std::wstring>;
    using Fields = std::multimap<std::string, std::string>;

    void RegisterHandlers();
    Visit Begin(const httplib::Request& request, httplib::Response& response);
    std::string Random(size_t length);
    void Problem(const std::string& text);
    long Now() const;
    static Fields QueryOf(const httplib::Request& request);
    static std::string Field(const Fields& fields, const std::string& name);
    bool SessionFieldMatches(const Visit& visit, const Fields& fields) const;

    // "http://.../index.php?" and, while the visitor sends no cookie, its PHPSESSID.
    std::wstring LinkPrefix(const Visit& visit) const;
    std::wstring Render(const std::string& name, const Vars& vars,
                        const std::set<std::wstring>& flags) const;
    void SendBoardPage(httplib::Response& response, const Visit& visit, const std::string& body,
                       const std::wstring& title, Vars vars, std::set<std::wstring> flags);
    void SendFatalError(httplib::Response& response, const Visit& visit, const std::string& key,
                        const std::wstring& text);
    void Redirect(httplib::Response& response, const std::string& target) const;

    void Get(const httplib::Request& request, httplib::Response& response);
    void Post(const httplib::Request& request, httplib::Response& response);
    void BoardIndex(httplib::Response& response, const Visit& visit);
    void SignInPage(httplib::Response& response, Visit& visit, const std::wstring& error,
                    const std::wstring& user);
    void SignInPost(const httplib::Request& request, httplib::Response& response, Visit& visit);
    void MessageIndex(httplib::Response& response, const Visit& visit, int board);
    void PostingPage(httplib::Response& response, Visit& visit, int board,
                     const std::wstring& error, const std::wstring& subject,
                     const std::wstring& message);
    void PostingPost(const httplib::Request& request, httplib::Response& response, Visit& visit,
                     int board);
    void Display(httplib::Response& response, Visit& visit, int topic, const std::string& start);
    std::wstring PageLinks(const Visit& visit, int topic, int offset, int messages) const;
    std::wstring AuthorOf(const FakeTopic& topic);
    void KickGuest(httplib::Response& response, Visit& visit, const std::wstring& message);
    // The form of a new topic or, for msg > 0, of an edit of that message.
    void SendPostForm(httplib::Response& response, Visit& visit, int board, int msg,
                      const FakeTopic& topic, const std::wstring& error);
    void EditPage(httplib::Response& response, Visit& visit, int msg);
    void EditPost(const httplib::Request& request, httplib::Response& response, Visit& visit,
                  int msg);
    // False after answering with SMF's refusal of an edit of that topic.
    bool MayEdit(httplib::Response& response, const Visit& visit, int topic);
    void SaveSession(const Visit& visit);

    const Options options_;
    // Guarded by mutex_ like the base's state.
    std::map<std::string, Session> sessions_;
    unsigned long random_state_ = 0x5eed;
    std::vector<std::string> problems_;
    long last_post_time_ = -1;
    std::set<int> held_topics_;
    std::map<int, std::wstring> starters_;
};

}  // namespace twk::test
