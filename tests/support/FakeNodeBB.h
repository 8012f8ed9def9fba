#pragma once

#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "support/FakeJsonForum.h"

namespace twk::test {

// A NodeBB 3.x-4.x board on 127.0.0.1, as a client without JavaScript meets it through the
// JSON write API: POST /api/v3/utilities/login, GET /api/config for the session's CSRF
// token and the limits, GET /api/v3/categories, the page API /api/category/<cid> and
// /api/topic/<tid>, POST /api/v3/topics and GET /api/v3/topics/<tid>. Its answers are those
// of NodeBB 4.11.2, trimmed, from tests/fixtures/nodebb.
//
// Like the real board it keeps the session in the express.sid cookie (a visitor without one
// gets one on any answer), gives each session one CSRF token that every write must carry
// (header x-csrf-token or body field csrf_token or _csrf, else 403 text "Forbidden"), and
// takes a visitor whose User-Agent NodeBB counts as a spider for a guest on the page API.
// Categories: 1 Announcements, 2 General, 3 Тестирование, open for new topics; 4 read-only
// for members; 5 with a post queue. /api/v3/categories also lists NodeBB's "-1" bucket.
class FakeNodeBB : public FakeJsonForum {
public:
    struct Options {
        // Categories where members lack topics:create: 403 on a new topic.
        std::set<int> read_only_categories = {kReadOnlyCategory};
        // Serves a second member (kSecondLogin) besides the first, who also may not start
        // topics in these categories.
        bool second_account = false;
        std::set<int> second_account_read_only = {};
        // Categories whose postQueue is on: their new topics wait for a moderator (202).
        std::set<int> queued_categories = {kQueuedCategory};
        // The global postQueue switch; without it no category queues.
        bool post_queue = true;
        // NodeBB's postDelay (10 by default): a topic within that many seconds (by the
        // clock) of the member's last one is refused. 0: no limit.
        int post_delay = 0;
        const FakeSleeper* clock = nullptr;
        // Limits, sent in /api/config and enforced (characters, after trimming).
        int minimum_title_length = 0;
        int maximum_title_length = 255;
        int minimum_post_length = 8;
        int maximum_post_length = 32767;
        // NodeBB's postEditDuration: edits of posts older than this many seconds are
        // refused (0: never).
        int post_edit_duration = 0;
        // Categories whose topics only members may read: a guest gets 401.
        std::set<int> members_only_categories = {};
        // The folder the site lives in ("" or e.g. "/forum"), NodeBB's relative_path.
        std::string relative_path = {};
        // Faults of the road between client and board.
        std::vector<PassingFault> passing_faults = {};
        LostAnswer lost_answer = LostAnswer::kNone;
    };

    static constexpr int kUncategorized = -1;
    static constexpr int kAnnouncementsCategory = 1;
    static constexpr int kGeneralCategory = 2;
    static constexpr int kCyrillicCategory = 3;
    static constexpr int kReadOnlyCategory = 4;
    static constexpr int kQueuedCategory = 5;
    // The uids of the two members; the lab's administrator (uid 1) started the topic that
    // General holds from the start.
    static constexpr int kUid = 2;
    static constexpr int kSecondUid = 3;

    static const wchar_t* const kLogin;
    static const wchar_t* const kPassword;
    static const wchar_t* const kSecondLogin;
    static const wchar_t* const kSecondPassword;

    FakeNodeBB();
    explicit FakeNodeBB(Options options);
    ~FakeNodeBB() override;

    std::wstring MainUrl() const;
    // /category/<cid>/<slug>, as the board links it (UTF-8 slug percent-encoded).
    std::wstring CategoryUrl(int cid) const;
    // /topic/<tid>/<slug> of an accepted topic (by FakeTopic id), or "" while it waits in
    // the queue.
    std::wstring TopicUrl(int topicId) const;
    // The tid NodeBB gave an accepted topic (by FakeTopic id); 0 while it waits in the queue.
    int TidOf(int topicId) const;
    // Topics (by FakeTopic id) that wait in the post queue.
    std::set<int> HeldTopics() const;
    // Purges a topic: its reads answer 404 from then on.
    void PurgeTopic(int topicId);
    // Puts a topic in the category its section names ("2"), started by its author (empty:
    // the member; "admin" or kSecondLogin), with its replies; its FakeTopic id.
    int PlaceTopic(FakeTopic topic);

    // Posts per topic page, as NodeBB's default postsPerPage.
    static constexpr int kPostsPerPage = 20;

    // NodeBB's slug of a title: lower case, letters and digits kept in any script,
    // punctuation dropped, runs of spaces and dashes one dash.
    static std::string Slugify(const std::string& utf8);

private:
    struct Session {
        std::string csrf;
        int uid = 0;  // 0: guest
    };
    struct Topic {
        int tid = 0;
        int cid = 0;
        int uid = 0;
        std::string title;
        std::string content;
        long long timestamp = 0;
        bool purged = false;
        int id = 0;  // the FakeTopic's; 0 for the lab's first topic
    };
    struct Visit {
        std::string sid;
        Session session;
        bool spider = false;
        // The uid the page API serves: a spider is a guest there even when signed in.
        int page_uid() const { return spider ? -1 : session.uid; }
    };

    void RegisterHandlers();
    Visit Begin(const httplib::Request& request, httplib::Response& response);
    // Many answers send the session cookie again, as NodeBB does.
    void SetSessionCookie(httplib::Response& response, const std::string& sid) const;
    std::string UsernameOf(int uid) const;
    bool MayCreate(int uid, int cid) const;
    const nlohmann::ordered_json* CategoryOf(int cid) const;
    std::optional<Topic> FindTopic(int tid) const;
    nlohmann::ordered_json TopicJson(const nlohmann::ordered_json& templ, const Topic& topic) const;
    void SendPageNotFound(httplib::Response& response, const std::string& path) const;

    void SignIn(const httplib::Request& request, httplib::Response& response);
    void Config(const httplib::Request& request, httplib::Response& response);
    void Categories(const httplib::Request& request, httplib::Response& response);
    void Category(const httplib::Request& request, httplib::Response& response);
    void CreateTopic(const httplib::Request& request, httplib::Response& response);
    void ReadTopicV3(const httplib::Request& request, httplib::Response& response);
    void ReadTopicPage(const httplib::Request& request, httplib::Response& response);
    void EditPost(const httplib::Request& request, httplib::Response& response);
    // Whether a write carries the session's token (header or body field); answers 403
    // "Forbidden" when not.
    bool TokenAccepted(const httplib::Request& request, const Visit& visit,
                       const std::multimap<std::string, std::string>& fields,
                       httplib::Response& response) const;
    int UidOf(const std::wstring& author) const;

    const Options options_;
    nlohmann::ordered_json categories_;  // the response.categories of /api/v3/categories
    // Guarded by mutex_ like the base's state.
    std::map<std::string, Session> sessions_;
    std::vector<Topic> topics_;      // every topic with a tid, the lab's first included
    std::map<int, int> tid_of_;      // FakeTopic id -> tid
    std::set<int> held_topics_;      // FakeTopic ids in the queue
    std::map<int, long> last_post_;  // uid -> time of the last post
};

}  // namespace twk::test
