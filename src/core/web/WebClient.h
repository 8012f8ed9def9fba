#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "storage/Records.h"

namespace twk {

struct HtmlForm;

// A request of a board that answers in JSON: any method, header lines of its own
// ("X-CSRF-Token: ...", "Accept: application/json"), and a body sent with its content type
// by every method but GET and HEAD.
struct HttpRequest {
    std::wstring method = L"GET";
    std::wstring url;
    std::vector<std::string> headers = {};
    std::string body = {};
    std::string content_type = {};
};

// How long a request may take. A forum that stops answering, or answers a byte at a
// time, must give its worker back: the whole request ends within total_milliseconds, and
// a transfer that stays below low_speed_bytes per second for low_speed_seconds is given
// up. Tests shorten them; the program keeps the defaults.
struct TransferLimits {
    long connect_seconds = 30;
    long total_milliseconds = 120'000;
    long low_speed_bytes = 100;
    long low_speed_seconds = 30;
};

// The browser half of a forum engine: fetches pages by GET, sends forms by POST, follows
// 301 and 302 itself and keeps the last response for the document model. Owned by one
// engine and used by its worker thread only; Abort may come from any thread.
// Cookies live in the client's handle for its whole life.
class WebClient {
public:
    explicit WebClient(const std::wstring& userAgent);
    ~WebClient();
    WebClient(const WebClient&) = delete;
    WebClient& operator=(const WebClient&) = delete;

    // Last response.
    std::string body;          // bytes exactly as received
    std::wstring raw_headers;  // status line and header lines, each ended by CR LF
    uint32_t status_code = 0;  // 0 when no response arrived
    std::wstring current_url;  // the page whose bytes are in body
    ConnectionOptions connection_options;
    std::wstring error_text;   // the last failure; never cleared by a new request
    std::wstring status_line;  // "403 Forbidden" of the last answer
    // Whether the last request failed in a way that passes: a 502, 503 or 504 answer, a
    // refused or reset connection, an answer cut off, a time-out. Such a request may be
    // tried again once it changes nothing on the board. Never set by an abort.
    bool passing_fault = false;

    // True only when the final response is 200 with no transport failure. Get(url, 5)
    // makes at most six requests.
    bool Get(const std::wstring& url, int redirectsLeft);
    // Sends a form to its action; refused (false, nothing sent) when its method is "GET".
    bool PostForm(const HtmlForm& form);
    // Sends a request and keeps whatever the server answered, refusals included: true
    // when an answer arrived, whatever its status (the caller reads status_code, headers
    // and body); false on a transport failure, with error_text. Reads follow up to
    // redirectsLeft redirects; a write never follows one. Cookies, TLS, proxy, time-outs
    // and the body limit are those of Get.
    bool Send(const HttpRequest& request, int redirectsLeft = 5);
    // The value of a header of the last response; names match in any letter case
    // (name includes its colon, as in "Location:"). Empty when absent.
    std::wstring ResponseHeader(const std::wstring& name) const;
    // Ends a transfer in progress and makes every later request fail at once.
    void Abort();
    // Applies to the requests that start afterwards.
    void SetTransferLimits(const TransferLimits& limits);

private:
    friend bool ApplyConnectionOptions(const ConnectionOptions& options, WebClient& client);

    bool Fetch(const std::wstring& url, int redirectsLeft, bool afterRedirect);

    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// Applies a profile's connection settings to the client: Auto keeps the system's proxy
// configuration (the usual proxy environment variables), Direct uses no proxy, Proxy
// sends every request (https too) through proxy_address:proxy_port. False for an unknown
// mode and for Proxy without address or port; every request then fails rather than
// leaving without the proxy the user chose.
bool ApplyConnectionOptions(const ConnectionOptions& options, WebClient& client);

// Resolves a redirect target against the address of the response that carried it,
// escaping unsafe characters and removing dot segments. Empty when it cannot combine.
std::wstring CombineUrl(const std::wstring& base, const std::wstring& relative);

// The libcurl this process runs with (not the one it was built against): "7.88.1".
std::string CurlVersion();

}  // namespace twk
