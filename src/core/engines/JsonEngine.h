#pragma once

#include <functional>
#include <nlohmann/json_fwd.hpp>
#include <string>
#include <vector>

#include "engines/ForumEngine.h"

namespace twk {

// The engine of a board that draws its pages in the browser and talks JSON to it
// (Discourse, NodeBB): no page is read for forms or links; every step is a request to the
// board's API with the headers its own scripts send, and its answer is read as JSON.
// The scripts derive from it and name their routes and answers.
class JsonEngine : public ForumEngine {
public:
    int SetBaseUrl(const std::wstring& mainUrl) override;

protected:
    JsonEngine();

    // The site's root address (scheme, host and the folder the board lives in) without a
    // trailing slash, and an address below it.
    const std::wstring& Root() const { return root_; }
    std::wstring Address(const std::wstring& path) const { return root_ + path; }

    // Sends a request with the board's common headers (Accept JSON, X-Requested-With,
    // the CSRF token once one is known); false when no answer arrived (failure_text then
    // holds the client's words).
    bool Call(const std::wstring& method, const std::wstring& path, const std::string& body = {},
              const std::string& contentType = {});
    bool CallJson(const std::wstring& method, const std::wstring& path, const nlohmann::json& body);
    // Call and CallJson try a request again after a passing fault (a 502, 503 or 504, a
    // refused or dropped connection, a time-out): they are for reads and sign-ins, which
    // change nothing on the board; the last answer stays for the caller. A request that
    // changes the board goes out once: after a fault the lost-answer rule decides, never a
    // second sending.
    bool SendOnce(const std::wstring& method, const std::wstring& path, const std::string& body,
                  const std::string& contentType);
    bool SendJsonOnce(const std::wstring& method, const std::wstring& path,
                      const nlohmann::json& body);
    // The last answer as JSON; false (and answer left null) when it is none.
    bool AnswerJson(nlohmann::json& answer) const;
    // The last answer's status.
    int Status() const { return static_cast<int>(web.status_code); }
    // The last answer as plain text (a refusal some boards send as text): one line.
    std::wstring AnswerText() const;

    // Board text fit for a result: message keys ("[[error:too-many-posts, 10]]") made
    // readable, HTML entities decoded, one line, no password.
    std::wstring BoardWords(const std::wstring& text) const;
    static std::wstring ReadableMessageKey(const std::wstring& text);

    // The result of a sending whose answer did not come (no answer, or a gateway's or
    // server's error page): the section's topics decide, never a second sending.
    ResultCode LostAnswer(const std::wstring& subject, const std::vector<std::wstring>& known,
                          std::wstring& topicUrl);

    // After an edit went out: the topic read again decides, never a second sending.
    // readBack reads the topic and sets shown when it carries the new subject. answerLost:
    // no answer of the board's came (a dropped connection, a gateway's page). kOk when the
    // new subject shows; kCheckResult with the reason otherwise.
    ResultCode SettleEdit(const std::function<ResultCode(bool& shown)>& readBack, bool answerLost);

    std::string csrf_token;
    // Extra header lines a script sends with every request.
    std::vector<std::string> extra_headers;

private:
    bool Request(const std::wstring& method, const std::wstring& path, const std::string& body,
                 const std::string& contentType, bool retry);

    std::wstring root_;
};

// A JSON value as text: strings as they are, numbers written out, anything else empty.
std::wstring JsonText(const nlohmann::json& value);
// A JSON number (or a string of digits) as a whole number; fallback otherwise.
long long JsonNumber(const nlohmann::json& value, long long fallback = -1);

}  // namespace twk
