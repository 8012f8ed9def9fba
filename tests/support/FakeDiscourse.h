#pragma once

#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "support/FakeJsonForum.h"

namespace twk::test {

// A Discourse 2.7-3.x site on 127.0.0.1, as a client without JavaScript meets it: it takes
// a CSRF token from /session/csrf.json, signs in with POST /session.json, reads the
// categories from /site.json and starts a topic with POST /posts.json. Its answers come
// from tests/fixtures/discourse (public fixtures and Discourse's own code, as the README
// there says).
//
// Like the real site it keeps the CSRF secret in the _forum_session cookie (each call of
// /session/csrf gives another token, all good for that session) and the sign-in in the _t
// cookie; answers an empty HTML page to a request that is neither XMLHttpRequest nor JSON;
// answers every refused sign-in with 200 and an "error"; queues the first topic of an
// account that has never posted when it was typed in under 3 s, and silences the account.
// Categories (from /site.json): 1 Uncategorized (closed while uncategorized topics are not
// allowed), 2 Site Feedback, 4 General, 7 Help (a child of General), 6 Members Only (read
// restricted), 8 Тестирование: open for new topics; 5 Announcements: staff only.
class FakeDiscourse : public FakeJsonForum {
public:
    // How the site answers the right password of the first account.
    enum class SignInRefusal {
        kNone,
        kNotActivated,
        kNotApproved,
        kSuspended,
        kPasswordExpired,
        kSecondFactor,         // signs in only with kSecondFactorCode
        kLocalLoginsDisabled,  // single sign-on only: 403 for every password
    };

    struct Options {
        // Categories whose new topics wait for a moderator ("require topic approval").
        std::set<int> moderated_categories = {};
        // The first account has posted before. A new account's first topic typed in under
        // min_first_post_typing_time (3 s) is queued and the account silenced.
        bool account_has_posted = false;
        // Serves a second account (kSecondLogin), one that has posted before.
        bool second_account = false;
        SignInRefusal sign_in_refusal = SignInRefusal::kNone;
        // Sign-ins are refused with 429 until the clock reaches this many seconds.
        int sign_in_rate_limited_until = 0;
        // The site is in read-only mode: every write answers 503.
        bool read_only = false;
        // rate_limit_create_topic (15 by default): a topic within that many seconds (by the
        // clock) of the account's last one is refused with 429. 0: no limit.
        int rate_limit_create_topic = 0;
        const FakeSleeper* clock = nullptr;
        // Site settings, sent in /site/settings.json and enforced (characters, after
        // trimming; the body's runs of white space count as one).
        int min_topic_title_length = 15;
        int max_topic_title_length = 255;
        int min_first_post_length = 20;
        bool allow_uncategorized_topics = false;
        // A proxy in front of the site drops the X-CSRF-Token header: every write is
        // refused with BAD CSRF.
        bool strips_csrf_header = false;
        // The folder the site lives in ("" or e.g. "/forum"): every route is below it.
        std::string prefix = {};
        // post_edit_time_limit in seconds: an edit of an older post is refused (0: none).
        int post_edit_time_limit = 0;
        // Faults of the road between client and site. A lost answer is that of a new topic,
        // and of the title half of an edit (after the site stored it).
        std::vector<PassingFault> passing_faults = {};
        LostAnswer lost_answer = LostAnswer::kNone;
    };

    static constexpr int kUncategorizedCategory = 1;
    static constexpr int kSiteFeedbackCategory = 2;
    static constexpr int kGeneralCategory = 4;
    static constexpr int kAnnouncementsCategory = 5;
    static constexpr int kMembersOnlyCategory = 6;
    static constexpr int kHelpCategory = 7;
    static constexpr int kCyrillicCategory = 8;
    // A category id the site does not have.
    static constexpr int kMissingCategory = 99;
    static constexpr int kUserId = 7;
    static constexpr int kSecondUserId = 8;

    static const wchar_t* const kLogin;
    static const wchar_t* const kPassword;
    static const wchar_t* const kSecondLogin;
    static const wchar_t* const kSecondPassword;
    static const char* const kSecondFactorCode;

    FakeDiscourse();
    explicit FakeDiscourse(Options options);
    ~FakeDiscourse() override;

    std::wstring MainUrl() const;
    // /t/<slug>/<id> of an accepted topic (by FakeTopic id), or "" while it waits for a
    // moderator.
    std::wstring TopicUrl(int topicId) const;
    // The topic id Discourse gave an accepted topic (by FakeTopic id); 0 while it waits.
    int DiscourseIdOf(int topicId) const;
    // Topics (by FakeTopic id) that wait for a moderator.
    std::set<int> HeldTopics() const;
    // Puts a topic in the category its section names ("4"), started by its author (empty:
    // the first account; kSecondLogin; anyone else is "system"), with its replies; its
    // FakeTopic id. A locked topic is closed; a gone one answers 404.
    int PlaceTopic(FakeTopic topic);
    // Posts a topic view carries, as Discourse's chunk_size.
    static constexpr int kChunkSize = 20;

    // Whether the first account was silenced (a fast typer's first topic).
    bool Silenced() const;

    // What changes on the site while a client works. An administrator deletes a category,
    // or takes the members' right to start topics in it; every session ends (an
    // administrator signs the accounts out); the session cookies expire, and with them the
    // CSRF tokens issued for them, while the sign-in stays.
    void DeleteCategory(int id);
    void CloseCategory(int id);
    void EndSessions();
    void ExpireForumSessions();

    // Discourse's stored title: trimmed, inner runs of spaces one space, a lone final
    // period dropped, the first letter capitalised (title_prettify).
    static std::string PrettifyTitle(const std::string& utf8);
    // Discourse's default (ASCII) slug of a title; "topic" when nothing is left.
    static std::string Slugify(const std::string& utf8);

private:
    struct Account {
        int id = 0;
        int trust_level = 0;
        bool has_posted = false;
        bool silenced = false;
        long last_topic = -1;
        int pending = 0;
    };
    struct Topic {
        int id = 0;
        int post_id = 0;
        int category_id = 0;
        int user_id = 0;
        std::string title;
        std::string raw;
        long long created = 0;
        bool pinned = false;  // a category's "About" topic
        int fake_id = 0;      // the FakeTopic's; 0 for the "About" topics
    };
    struct Visit {
        std::string forum_session;
        std::string secret;
        int user = -1;  // index in accounts_; -1: anonymous
    };

    // When the site's clock starts (ms since 1970), and the characters of its tokens.
    static constexpr long long kStartTime = 1796921811036;
    static constexpr const char* kTokenAlphabet =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_";

    static bool IsJsonRequest(const httplib::Request& request);
    static void SendAppShell(httplib::Response& response);
    // Discourse's JSON error: {"errors":[message],"error_type":type,"extras":extras}.
    static void SendError(httplib::Response& response, int status, const std::string& message,
                          const std::string& type, const nlohmann::ordered_json& extras);
    static void SendRateLimit(httplib::Response& response, long wait, const std::string& text);

    void RegisterHandlers();
    Visit Begin(const httplib::Request& request, httplib::Response& response);
    std::string NewForumSession(httplib::Response& response, const std::string& secret);
    bool RefusedWrite(const httplib::Request& request, httplib::Response& response,
                      const Visit& visit) const;
    std::string UsernameOf(int userId) const;
    // A category as /site.json lists it now; none once deleted.
    std::optional<nlohmann::ordered_json> CategoryOf(int id) const;
    std::optional<Topic> FindTopic(int id) const;
    nlohmann::ordered_json ListJson(int categoryId) const;

    void SiteJson(const httplib::Request& request, httplib::Response& response);
    void Csrf(const httplib::Request& request, httplib::Response& response);
    void SignIn(const httplib::Request& request, httplib::Response& response);
    void Current(const httplib::Request& request, httplib::Response& response);
    void SignOut(const httplib::Request& request, httplib::Response& response);
    void CreatePost(const httplib::Request& request, httplib::Response& response);
    void ReadTopic(const httplib::Request& request, httplib::Response& response);
    // The two halves of an edit: PUT /posts/<id> (the body) and PUT /t/<slug>/<id> (title).
    void EditPost(const httplib::Request& request, httplib::Response& response);
    void EditTitle(const httplib::Request& request, httplib::Response& response);
    // The refusal of an edit by the signed-in account, answered; false when it may edit.
    bool RefusedEdit(const Topic& topic, const Visit& visit, bool title,
                     httplib::Response& response) const;
    int UserIdOf(const std::wstring& author) const;
    void List(const httplib::Request& request, httplib::Response& response);

    const Options options_;
    nlohmann::ordered_json site_;  // /site.json as a signed-in member sees it
    // Guarded by mutex_ like the base's state.
    std::vector<Account> accounts_;
    std::map<std::string, std::string> forum_sessions_;  // cookie -> CSRF secret
    std::map<std::string, std::string> csrf_tokens_;     // token -> CSRF secret
    std::map<std::string, int> auth_tokens_;             // _t cookie -> account
    std::vector<Topic> topics_;
    std::map<int, int> id_of_;  // FakeTopic id -> topic id
    std::set<int> held_topics_;
    std::set<int> deleted_categories_;
    std::set<int> closed_categories_;
    int next_post_id_ = 300;
};

}  // namespace twk::test
