#pragma once

#include <httplib.h>

#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace twk::test {

// A reply in a fake topic.
struct FakeReply {
    std::wstring author;
    int64_t time = 0;  // seconds since the epoch
    std::wstring body;
};

// A topic a fake forum accepted, as the board would store it.
struct FakeTopic {
    int id = 0;
    std::string section;  // the section the form was sent for
    std::wstring subject;
    std::wstring body;
    std::string pressed_button;                      // name of the submit field received
    std::multimap<std::string, std::string> fields;  // every field as received (raw bytes)
    // Who posted it (empty: the board's account) and when (seconds since the epoch; set to
    // the time it was stored when 0).
    std::wstring author = {};
    int64_t posted_at = 0;
    bool locked = false;
    // Deleted: the board answers that the topic does not exist.
    bool gone = false;
    std::vector<FakeReply> replies = {};
    // Edits the board applied, and the fields of the last one as received.
    int edits = 0;
    std::multimap<std::string, std::string> edit_fields = {};
};

// Why a fake board refuses to edit a topic (FakeForum::CheckEdit).
enum class EditRefusal { kNone, kGone, kNotOwn, kLocked, kTooLate };

// A board on 127.0.0.1 for the engines' tests. It serves one script's pages in one
// charset, keeps a session in a cookie, checks what it receives and records the requests
// and the topics it accepted, so that tests assert what really arrived. Script fakes
// derive from it, register their pages in their constructor and then call Start().
class FakeForum {
public:
    explicit FakeForum(uint32_t codePage);
    virtual ~FakeForum();
    FakeForum(const FakeForum&) = delete;
    FakeForum& operator=(const FakeForum&) = delete;

    // "http://127.0.0.1:PORT" and absolute addresses on it.
    std::string Base() const;
    std::wstring Url(const std::string& pathAndQuery) const;

    // Helpers for page templates: ASCII to text, and text escaped for HTML (attribute
    // values in either kind of quotes included).
    static std::wstring Widen(const std::string& ascii);
    static std::wstring EscapeHtml(const std::wstring& text);

    void SetAccount(const std::wstring& login, const std::wstring& password);
    // One more account the board accepts, beside the one SetAccount gave.
    void AddAccount(const std::wstring& login, const std::wstring& password);

    // A passing fault of the board or of a gateway in front of it, for the first count
    // requests whose "METHOD target" contains what (later ones are served): an answer with
    // status (502, 503, 504; with a Retry-After header when retry_after is 0 or more), or
    // for status 0 a connection that ends after the status line, before the page.
    struct Fault {
        int status = 503;
        int retry_after = -1;
    };
    void FailRequests(const std::string& what, int count, Fault fault);
    // Called on the server thread with each request before it is answered (after the log
    // and the faults); a hook that blocks holds that answer.
    void SetRequestHook(std::function<void(const httplib::Request&)> hook);
    // Called on the server thread with each topic right after the board stored it, before
    // the answer to the post goes out; a hook that blocks holds the answer.
    void SetTopicHook(std::function<void(const FakeTopic&)> hook);

    std::vector<FakeTopic> Topics() const;
    // Puts a topic on the board as if it had been posted before (no topic hook); its id.
    int PlaceTopic(FakeTopic topic);
    // Changes a stored topic: locks it, dates it back, adds replies, deletes it.
    void ChangeTopic(int id, const std::function<void(FakeTopic&)>& change);
    // Edits of topics older than this many seconds are refused (0: never).
    void SetEditTimeLimit(int seconds);
    // Topics whose first post was edited; each edit counts in FakeTopic::edits.
    int CountEdits() const;
    // "METHOD target" of every request, in order.
    std::vector<std::string> Requests() const;
    size_t CountRequests(const std::string& substring) const;
    // Value of the named header of the last request whose target contains substring.
    std::string LastHeader(const std::string& substring, const std::string& header) const;

protected:
    void Start();
    // Stops serving and waits for the server thread. A fake whose handlers use its own
    // members calls it in its destructor, before those members go away.
    void Stop();

    // Sessions live in the cookie "fake_sid"; a signed-in session remembers its user.
    std::string SessionOf(const httplib::Request& request) const;
    bool IsSignedIn(const httplib::Request& request) const;
    std::string OpenSession(httplib::Response& response);
    void SetSignedIn(const std::string& session, bool signedIn);

    // True when the raw form values (bytes in the page charset) match the account.
    bool CheckCredentials(const std::string& login, const std::string& password) const;
    // The login SetAccount gave.
    std::wstring AccountLogin() const;

    // The fields of a form body or a query ("a=1&b=x+y"), names and values as the raw
    // bytes the client encoded (in the page charset).
    static std::multimap<std::string, std::string> ParseFormFields(std::string_view text);

    // Raw form bytes in the page charset to text, and page text to bytes.
    std::wstring Decode(const std::string& raw) const;
    std::string Encode(const std::wstring& text) const;
    // Sends a page in the forum's charset with a Content-Type header naming it (or none
    // when declare_charset_in_header is false, for pages that declare it in a META).
    void SendPage(httplib::Response& response, const std::wstring& html) const;

    int AddTopic(FakeTopic topic);
    // The stored topic with that id (gone ones included); false when there is none.
    bool FindTopic(int id, FakeTopic& topic) const;
    // Whether the board's account may edit that topic's first post now, the way the
    // script's boards decide: the topic exists, is the account's, is not locked and is
    // within the edit time limit.
    EditRefusal CheckEdit(int id) const;
    // Stores an accepted edit of the first post (CheckEdit said kNone).
    void ApplyEdit(int id, const std::wstring& subject, const std::wstring& body,
                   const std::multimap<std::string, std::string>& fields);

    uint32_t code_page_;
    bool declare_charset_in_header = true;
    httplib::Server server_;
    mutable std::mutex mutex_;

private:
    static void AnswerWithFault(httplib::Response& response, const Fault& fault);

    int port_ = 0;
    std::thread thread_;
    std::wstring login_;
    std::wstring password_;
    std::map<std::wstring, std::wstring> more_accounts_;
    std::map<std::string, bool> sessions_;
    int next_session_ = 1;
    std::vector<FakeTopic> topics_;
    int edit_time_limit_ = 0;
    struct LoggedRequest {
        std::string line;
        httplib::Headers headers;
    };
    std::vector<LoggedRequest> requests_;
    struct FaultRule {
        std::string what;
        int left;
        Fault fault;
    };
    std::vector<FaultRule> faults_;
    std::function<void(const httplib::Request&)> request_hook_;
    std::function<void(const FakeTopic&)> topic_hook_;
};

}  // namespace twk::test
