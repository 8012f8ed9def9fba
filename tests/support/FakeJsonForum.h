#pragma once

#include <nlohmann/json.hpp>

#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "support/FakeForum.h"

namespace twk::test {

class FakeSleeper;

// What the fakes of the boards that answer in JSON (NodeBB, Discourse) share: routes below
// the folder the site lives in, JSON answers built from the fixtures, a clock for the
// boards' time limits, and the faults of the road between a client and a board. A proxy in
// front of the board answers 503 (or drops the connection) for the first requests of a
// path and then lets them through; or the board stores a new topic and its answer is lost.
class FakeJsonForum : public FakeForum {
public:
    // What becomes of the answer to a create request once the topic is stored.
    enum class LostAnswer {
        kNone,
        kBadGateway,        // the proxy answers 502 in place of the board
        kClosedConnection,  // the connection closes without an answer
    };

    // The first `count` requests whose path, below the site's folder, begins with `path`
    // fail; later ones reach the board.
    struct PassingFault {
        std::string path;
        int count = 1;
        int status = 503;      // 0: the connection closes without an answer
        int retry_after = -1;  // seconds sent in Retry-After; -1: no such header
    };

    // The folder the site lives in ("" or "/forum") and the address of a path below it.
    const std::string& prefix() const { return prefix_; }
    std::wstring SiteUrl(const std::string& path) const;

    // Percent-encodes what is not an unreserved character or '/', for addresses that
    // carry UTF-8 slugs.
    static std::string EncodePath(std::string_view utf8);

    // Letters of the scripts the tests use (Latin, Greek, Cyrillic, Hebrew, Arabic, CJK,
    // Hangul), and their cases; other characters stay as they are.
    static bool IsLetter(wchar_t c);
    static wchar_t Lower(wchar_t c);
    static wchar_t Upper(wchar_t c);

protected:
    using Handler = std::function<void(const httplib::Request&, httplib::Response&)>;

    FakeJsonForum(std::string prefix, std::vector<PassingFault> passingFaults,
                  LostAnswer lostAnswer, const FakeSleeper* clock);

    // Routes a pattern below the site's folder; passing faults come first.
    void Get(const std::string& pattern, Handler handler);
    void Post(const std::string& pattern, Handler handler);
    void Put(const std::string& pattern, Handler handler);
    void Delete(const std::string& pattern, Handler handler);

    // Seconds since the board started: one per second slept. Without a clock every request
    // happens at the same moment.
    long Now() const;

    // Answers a create request as the road loses it, after the board stored the topic.
    // False when the answer goes through.
    bool LoseAnswer(const httplib::Request& request, httplib::Response& response) const;

    static void SendJson(httplib::Response& response, int status,
                         const nlohmann::ordered_json& body);
    static void SendText(httplib::Response& response, int status, const std::string& text,
                         const char* contentType = "text/plain; charset=utf-8");
    // A fixture under tests/fixtures, parsed.
    static nlohmann::ordered_json Fixture(const std::string& relative);
    static std::string CookieValue(const httplib::Request& request, const std::string& name);
    // The fields of a body: a JSON object's members (strings as they are, other values as
    // JSON text) or a form's fields.
    static std::multimap<std::string, std::string> BodyFields(const httplib::Request& request);
    static std::string Field(const std::multimap<std::string, std::string>& fields,
                             const std::string& name);
    // Characters of UTF-8 text, and UTF-8 text without white space at both ends.
    static size_t Length(const std::string& utf8);
    static std::string Trim(const std::string& text);
    // Text as a HTML paragraph, as the boards render a plain message.
    static std::string Paragraph(const std::string& text);
    // "2026-12-10T16:56:51.036Z" for milliseconds since 1970.
    static std::string IsoTime(long long milliseconds);
    // Random characters from alphabet, for tokens and session ids.
    std::string Random(size_t length, std::string_view alphabet);

    // Guarded by mutex_ like the base's state.
    unsigned long random_state_ = 0x5eed;

private:
    bool PassingFaultHit(const httplib::Request& request, httplib::Response& response);
    Handler Guarded(Handler handler);

    const std::string prefix_;
    const std::vector<PassingFault> passing_faults_;
    const LostAnswer lost_answer_;
    const FakeSleeper* const clock_;
    std::vector<int> fault_hits_;
};

}  // namespace twk::test
