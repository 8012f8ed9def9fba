#include "web/WebClient.h"

#include <curl/curl.h>

#include <atomic>
#include <mutex>
#include <new>
#include <string_view>
#include <vector>

#include "text/Unicode.h"
#include "web/HtmlForm.h"
#include "web/HttpHeaders.h"
#include "web/UrlResolver.h"

namespace twk {
namespace {

// Forum pages are far smaller; the limit only keeps a broken server from exhausting memory.
constexpr size_t kMaxBodyBytes = size_t{64} << 20;
constexpr size_t kMaxErrorChars = 299;
// How long the transfer loop waits for socket activity before looking at the abort flag
// again; Abort also wakes it at once.
constexpr int kPollMilliseconds = 1000;

constexpr wchar_t kAbortedText[] = L"The request was aborted";
constexpr wchar_t kTimedOutText[] = L"The forum did not answer in time";
constexpr wchar_t kBodyTooLargeText[] = L"The response is larger than 64 MiB";
constexpr wchar_t kNoProxyText[] = L"The proxy address or port is not set";
constexpr wchar_t kBadModeText[] = L"The connection mode is not valid";
constexpr wchar_t kNoHandleText[] = L"The HTTP library could not be initialised";
constexpr wchar_t kBadMethodText[] = L"The form's method is not a valid HTTP method";

// libcurl wants one global initialisation before the first handle, and it is not itself
// thread-safe; workers build their clients concurrently.
bool InitCurlOnce() {
    static const bool initialised = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK;
    return initialised;
}

// Header bytes are ASCII in practice; a server that sends raw UTF-8 (a Location with
// Cyrillic letters) is read as UTF-8, anything else byte for byte as ISO-8859-1.
std::wstring DecodeHeaderText(std::string_view bytes) {
    std::wstring text = Utf8ToWide(bytes);
    if (WideToUtf8(text) == bytes) {
        return text;
    }
    text.assign(bytes.size(), L'\0');
    for (size_t i = 0; i < bytes.size(); ++i) {
        text[i] = static_cast<wchar_t>(static_cast<unsigned char>(bytes[i]));
    }
    return text;
}

// The reason phrase of a status line such as "HTTP/1.1 404 Not Found".
std::wstring StatusTextOf(std::string_view headers) {
    std::string_view line = headers.substr(0, headers.find("\r\n"));
    size_t pos = line.find(' ');
    if (pos == std::string_view::npos) {
        return {};
    }
    while (pos < line.size() && line[pos] == ' ') {
        ++pos;
    }
    while (pos < line.size() && line[pos] >= '0' && line[pos] <= '9') {
        ++pos;
    }
    while (pos < line.size() && line[pos] == ' ') {
        ++pos;
    }
    return DecodeHeaderText(line.substr(pos));
}

// The URL as libcurl gets it: escaped, without dot segments, http or https with a host.
// Empty when it cannot be split, which fails a request before anything is sent.
std::string RequestUrl(const std::wstring& url) {
    std::wstring canonical = ResolveReference(L"", url, true);
    std::wstring scheme = canonical.substr(0, 8);
    for (wchar_t& c : scheme) {
        c = (c >= L'A' && c <= L'Z') ? c - L'A' + L'a' : c;
    }
    size_t authority = scheme.rfind(L"http://", 0) == 0    ? 7
                       : scheme.rfind(L"https://", 0) == 0 ? 8
                                                           : 0;
    // libcurl would take "http:///path" as the host "path".
    if (authority == 0 || authority == canonical.size() ||
        std::wstring_view(L"/?#").find(canonical[authority]) != std::wstring_view::npos) {
        return {};
    }
    std::string bytes = WideToUtf8(canonical);
    CURLU* parsed = curl_url();
    if (parsed == nullptr) {
        return {};
    }
    char* host = nullptr;
    bool valid = curl_url_set(parsed, CURLUPART_URL, bytes.c_str(), 0) == CURLUE_OK &&
                 curl_url_get(parsed, CURLUPART_HOST, &host, 0) == CURLUE_OK && host != nullptr &&
                 host[0] != '\0';
    curl_free(host);
    curl_url_cleanup(parsed);
    return valid ? bytes : std::string();
}

// An HTTP method is a token; anything else in a page's form would end up in the request
// line.
// Transport failures a browser user meets and answers with a reload: the board refused or
// dropped the connection, cut its answer off, or did not answer in time. A failed name
// lookup or a certificate problem does not pass by itself.
bool IsPassingFault(CURLcode result) {
    switch (result) {
        case CURLE_COULDNT_CONNECT:
        case CURLE_OPERATION_TIMEDOUT:
        case CURLE_GOT_NOTHING:
        case CURLE_SEND_ERROR:
        case CURLE_RECV_ERROR:
        case CURLE_PARTIAL_FILE:
            return true;
        default:
            return false;
    }
}

bool IsHttpToken(const std::wstring& text) {
    if (text.empty()) {
        return false;
    }
    for (wchar_t c : text) {
        bool alnum =
            (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z') || (c >= L'0' && c <= L'9');
        if (!alnum && std::wstring_view(L"!#$%&'*+-.^_`|~").find(c) == std::wstring_view::npos) {
            return false;
        }
    }
    return true;
}

struct SlistDeleter {
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};
using HeaderList = std::unique_ptr<curl_slist, SlistDeleter>;

}  // namespace

struct WebClient::Impl {
    // What one request sends; verb is "GET" or the form's method.
    struct Request {
        std::string verb = "GET";
        std::string url;
        std::string referer;  // none when empty
        const std::string* post_body = nullptr;
        std::string content_type_line;
        std::vector<std::string> extra_headers;  // "Name: value"
        bool http11 = false;
    };

    // What the callbacks collect during one transfer.
    struct Transfer {
        std::string* body = nullptr;
        std::string headers;  // the latest header block, lines ended by CR LF
        bool got_status_line = false;
        bool body_too_large = false;
    };

    std::mutex lock;
    // Guarded by lock: the handles are released by Abort or by the worker after an
    // aborted transfer, never while a transfer runs.
    CURLM* multi = nullptr;
    CURL* easy = nullptr;
    bool transferring = false;
    std::atomic<bool> aborted{false};
    TransferLimits limits;  // guarded by lock; applied as each request starts

    // Used by the worker thread only.
    char error_buffer[CURL_ERROR_SIZE] = {};
    Transfer transfer;
    std::wstring status_text;  // reason phrase of the last response
    // Why the connection options make every request fail; empty when they are usable.
    std::wstring options_error;

    explicit Impl(const std::wstring& userAgent);
    ~Impl() { Release(); }

    void Release();
    bool Open();
    void Close();
    bool ApplyProxy(const ConnectionOptions& options);
    void ApplyLimits();
    bool Send(WebClient& client, const Request& request);
    CURLcode RunTransfer();
    long ResponseCode(CURLcode result);
    std::wstring TransportErrorText(CURLcode result) const;
    bool CheckStatus(WebClient& client, bool answered) const;
    void FillStatusText(WebClient& client) const;

    static size_t OnHeader(char* data, size_t size, size_t count, void* user);
    static size_t OnBody(char* data, size_t size, size_t count, void* user);
};

WebClient::Impl::Impl(const std::wstring& userAgent) {
    if (!InitCurlOnce()) {
        return;
    }
    multi = curl_multi_init();
    easy = curl_easy_init();
    if (multi == nullptr || easy == nullptr) {
        Release();
        return;
    }
    curl_easy_setopt(easy, CURLOPT_USERAGENT, WideToUtf8(userAgent).c_str());
    // Forums are spoken to as an old browser would; HTTP/1.0 also means no chunked
    // request bodies and no 100-continue round trip.
    curl_easy_setopt(easy, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_0));
    curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    // An empty file name switches the cookie engine on without reading any file: cookies
    // live in the handle, so a login's cookies go with every later request.
    curl_easy_setopt(easy, CURLOPT_COOKIEFILE, "");
    curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 0L);
    // One connection per request, as an HTTP/1.0 client: servers that answer in HTTP/1.1
    // without "Connection: close" and then drop the idle socket would otherwise make
    // libcurl reuse dead connections.
    curl_easy_setopt(easy, CURLOPT_FRESH_CONNECT, 1L);
    curl_easy_setopt(easy, CURLOPT_FORBID_REUSE, 1L);
    curl_easy_setopt(easy, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(easy, CURLOPT_SSL_VERIFYHOST, 2L);
    curl_easy_setopt(easy, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(kMaxBodyBytes));
    curl_easy_setopt(easy, CURLOPT_ERRORBUFFER, error_buffer);
    curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, &Impl::OnHeader);
    curl_easy_setopt(easy, CURLOPT_HEADERDATA, &transfer);
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &Impl::OnBody);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, &transfer);
    // The proxy's answer to CONNECT is not the page's header block.
    curl_easy_setopt(easy, CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L);
    curl_easy_setopt(easy, CURLOPT_PROXYAUTH, static_cast<unsigned long>(CURLAUTH_BASIC));
}

void WebClient::Impl::Release() {
    if (easy != nullptr) {
        curl_easy_cleanup(easy);
        easy = nullptr;
    }
    if (multi != nullptr) {
        curl_multi_cleanup(multi);
        multi = nullptr;
    }
}

bool WebClient::Impl::Open() {
    std::lock_guard<std::mutex> guard(lock);
    if (aborted || easy == nullptr) {
        return false;
    }
    ApplyLimits();
    transferring = true;
    return true;
}

void WebClient::Impl::Close() {
    std::lock_guard<std::mutex> guard(lock);
    transferring = false;
    if (aborted) {
        Release();
    }
}

// Called with the lock held, as a request starts.
void WebClient::Impl::ApplyLimits() {
    curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT, limits.connect_seconds);
    curl_easy_setopt(easy, CURLOPT_TIMEOUT_MS, limits.total_milliseconds);
    curl_easy_setopt(easy, CURLOPT_LOW_SPEED_LIMIT, limits.low_speed_bytes);
    curl_easy_setopt(easy, CURLOPT_LOW_SPEED_TIME, limits.low_speed_seconds);
}

bool WebClient::Impl::ApplyProxy(const ConnectionOptions& options) {
    std::lock_guard<std::mutex> guard(lock);
    if (easy == nullptr) {
        return false;
    }
    options_error.clear();
    switch (options.mode) {
        case kConnectionAuto:
            // libcurl then reads the usual proxy environment variables itself.
            curl_easy_setopt(easy, CURLOPT_PROXY, nullptr);
            curl_easy_setopt(easy, CURLOPT_NOPROXY, nullptr);
            return true;
        case kConnectionDirect:
            curl_easy_setopt(easy, CURLOPT_PROXY, "");
            curl_easy_setopt(easy, CURLOPT_NOPROXY, "*");
            return true;
        case kConnectionProxy: {
            // A user who chose a proxy must not have requests leave directly, so a proxy
            // without address or port fails every request instead of falling back.
            if (options.proxy_address.empty() || options.proxy_port == 0) {
                options_error = kNoProxyText;
                return false;
            }
            std::string host = WideToUtf8(options.proxy_address);
            if (host.find(':') != std::string::npos && host.find('[') == std::string::npos &&
                host.find("://") == std::string::npos) {
                host = "[" + host + "]";  // a bare IPv6 address
            }
            curl_easy_setopt(easy, CURLOPT_PROXY, host.c_str());
            curl_easy_setopt(easy, CURLOPT_PROXYPORT, static_cast<long>(options.proxy_port));
            curl_easy_setopt(easy, CURLOPT_PROXYTYPE, static_cast<long>(CURLPROXY_HTTP));
            // An empty list overrides a no_proxy environment variable: https goes through
            // the proxy by CONNECT like everything else.
            curl_easy_setopt(easy, CURLOPT_NOPROXY, "");
            return true;
        }
        default:
            options_error = kBadModeText;
            return false;
    }
}

size_t WebClient::Impl::OnHeader(char* data, size_t size, size_t count, void* user) {
    auto* transfer = static_cast<Transfer*>(user);
    size_t length = size * count;
    std::string_view line(data, length);
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) {
        line.remove_suffix(1);
    }
    try {
        // Each status line starts a new block, so only the final response's headers
        // remain (not those of a 100 Continue or of the 407 before a resend).
        if (line.substr(0, 5) == "HTTP/") {
            transfer->headers.clear();
            transfer->got_status_line = true;
        }
        transfer->headers.append(line);
        transfer->headers += "\r\n";
    } catch (const std::bad_alloc&) {
        return 0;
    }
    return length;
}

size_t WebClient::Impl::OnBody(char* data, size_t size, size_t count, void* user) {
    auto* transfer = static_cast<Transfer*>(user);
    size_t length = size * count;
    if (transfer->body->size() + length > kMaxBodyBytes) {
        transfer->body_too_large = true;
        return 0;
    }
    try {
        transfer->body->append(data, length);
    } catch (const std::bad_alloc&) {
        return 0;
    }
    return length;
}

// Runs one transfer on the multi handle so that Abort can wake the wait at once.
CURLcode WebClient::Impl::RunTransfer() {
    error_buffer[0] = '\0';
    if (curl_multi_add_handle(multi, easy) != CURLM_OK) {
        return CURLE_FAILED_INIT;
    }
    CURLcode result = CURLE_ABORTED_BY_CALLBACK;
    bool done = false;
    while (!done && !aborted) {
        int running = 0;
        if (curl_multi_perform(multi, &running) != CURLM_OK) {
            result = CURLE_FAILED_INIT;
            break;
        }
        int queued = 0;
        while (CURLMsg* message = curl_multi_info_read(multi, &queued)) {
            if (message->msg == CURLMSG_DONE) {
                result = message->data.result;
                done = true;
            }
        }
        if (!done && curl_multi_poll(multi, nullptr, 0, kPollMilliseconds, nullptr) != CURLM_OK) {
            result = CURLE_FAILED_INIT;
            break;
        }
    }
    curl_multi_remove_handle(multi, easy);
    return aborted ? CURLE_ABORTED_BY_CALLBACK : result;
}

// The status of the response, with a proxy's 407 to CONNECT counted as a response: it is
// answered by the same resend as a 407 to a plain request.
long WebClient::Impl::ResponseCode(CURLcode result) {
    long code = 0;
    curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &code);
    if (code == 0 && result != CURLE_OK) {
        long connectCode = 0;
        curl_easy_getinfo(easy, CURLINFO_HTTP_CONNECTCODE, &connectCode);
        if (connectCode == 407) {
            return 407;
        }
    }
    return code;
}

std::wstring WebClient::Impl::TransportErrorText(CURLcode result) const {
    if (aborted) {
        return kAbortedText;
    }
    if (transfer.body_too_large || result == CURLE_FILESIZE_EXCEEDED) {
        return kBodyTooLargeText;
    }
    // The connect time-out, the overall limit and the low-speed floor all end here; the
    // user needs to know the forum was too slow, not which of libcurl's clocks ran out.
    if (result == CURLE_OPERATION_TIMEDOUT) {
        return kTimedOutText;
    }
    std::wstring text =
        Utf8ToWide(error_buffer[0] != '\0' ? error_buffer : curl_easy_strerror(result));
    if (text.size() > kMaxErrorChars) {
        text.resize(kMaxErrorChars);
    }
    return text;
}

// Sends one request (twice when a proxy asks for credentials we have) and fills in the
// client's response fields. True when a response arrived without a transport failure;
// Close() has run either way.
bool WebClient::Impl::Send(WebClient& client, const Request& request) {
    if (!options_error.empty()) {
        Close();
        client.error_text = options_error;
        return false;
    }
    HeaderList headers;
    curl_easy_setopt(easy, CURLOPT_URL, request.url.c_str());
    curl_easy_setopt(easy, CURLOPT_REFERER,
                     request.referer.empty() ? nullptr : request.referer.c_str());
    curl_easy_setopt(
        easy, CURLOPT_HTTP_VERSION,
        static_cast<long>(request.http11 ? CURL_HTTP_VERSION_1_1 : CURL_HTTP_VERSION_1_0));
    std::vector<std::string> lines = request.extra_headers;
    if (request.post_body == nullptr) {
        curl_easy_setopt(easy, CURLOPT_POSTFIELDS, nullptr);
        curl_easy_setopt(easy, CURLOPT_HTTPGET, 1L);
        curl_easy_setopt(easy, CURLOPT_CUSTOMREQUEST,
                         request.verb == "GET" ? nullptr : request.verb.c_str());
    } else {
        lines.push_back(request.content_type_line);
        lines.push_back("Content-Length: " + std::to_string(request.post_body->size()));
        lines.push_back("Expect:");
        curl_easy_setopt(easy, CURLOPT_POSTFIELDSIZE_LARGE,
                         static_cast<curl_off_t>(request.post_body->size()));
        curl_easy_setopt(easy, CURLOPT_POSTFIELDS, request.post_body->data());
        curl_easy_setopt(easy, CURLOPT_CUSTOMREQUEST,
                         request.verb == "POST" ? nullptr : request.verb.c_str());
    }
    curl_slist* list = nullptr;
    for (const std::string& line : lines) {
        curl_slist* longer = curl_slist_append(list, line.c_str());
        if (longer == nullptr) {
            curl_slist_free_all(list);
            Close();
            client.error_text = Utf8ToWide(curl_easy_strerror(CURLE_OUT_OF_MEMORY));
            return false;
        }
        list = longer;
    }
    headers.reset(list);
    curl_easy_setopt(easy, CURLOPT_HTTPHEADER, headers.get());

    const ConnectionOptions& options = client.connection_options;
    bool haveCredentials = !options.proxy_login.empty() && !options.proxy_password.empty();
    bool sentCredentials = false;
    CURLcode result = CURLE_OK;
    long code = 0;
    for (;;) {
        client.body.clear();
        transfer = Transfer{};
        transfer.body = &client.body;
        result = RunTransfer();
        code = ResponseCode(result);
        if (code != 407 || !haveCredentials || sentCredentials || aborted) {
            break;
        }
        // Credentials go only to a proxy that asked for them, and only once.
        curl_easy_setopt(easy, CURLOPT_PROXYUSERNAME, WideToUtf8(options.proxy_login).c_str());
        curl_easy_setopt(easy, CURLOPT_PROXYPASSWORD, WideToUtf8(options.proxy_password).c_str());
        sentCredentials = true;
    }
    if (sentCredentials) {
        curl_easy_setopt(easy, CURLOPT_PROXYUSERNAME, nullptr);
        curl_easy_setopt(easy, CURLOPT_PROXYPASSWORD, nullptr);
    }
    bool connectRefused = result != CURLE_OK && code == 407;
    curl_easy_setopt(easy, CURLOPT_HTTPHEADER, nullptr);
    Close();

    client.status_code = static_cast<uint32_t>(code);
    client.passing_fault = !aborted && (result != CURLE_OK && !connectRefused
                                            ? IsPassingFault(result)
                                            : code == 502 || code == 503 || code == 504);
    if (transfer.got_status_line) {
        client.raw_headers = DecodeHeaderText(transfer.headers);
    }
    if (aborted || (result != CURLE_OK && !connectRefused)) {
        client.error_text = TransportErrorText(result);
        return false;
    }
    status_text = connectRefused ? std::wstring(L"Proxy Authentication Required")
                                 : StatusTextOf(transfer.headers);
    return true;
}

// True for a 200 answer; any other status becomes the failure text "CODE TEXT".
bool WebClient::Impl::CheckStatus(WebClient& client, bool answered) const {
    if (!answered) {
        return false;
    }
    if (client.status_code == 200) {
        return true;
    }
    FillStatusText(client);
    return false;
}

void WebClient::Impl::FillStatusText(WebClient& client) const {
    client.status_line = std::to_wstring(client.status_code);
    if (!status_text.empty()) {
        client.status_line += L" " + status_text;
    }
    if (client.status_code != 200) {
        client.error_text = client.status_line;
    }
}

WebClient::WebClient(const std::wstring& userAgent) : impl_(std::make_unique<Impl>(userAgent)) {
    // Requests of a client without handles fail without touching error_text, so the
    // reason is put there once.
    if (impl_->easy == nullptr) {
        error_text = kNoHandleText;
    }
}

WebClient::~WebClient() {
    Abort();
}

bool WebClient::Get(const std::wstring& url, int redirectsLeft) {
    return Fetch(url, redirectsLeft, false);
}

bool WebClient::Fetch(const std::wstring& url, int redirectsLeft, bool afterRedirect) {
    std::wstring target = url;
    for (;; afterRedirect = true) {
        body.clear();
        raw_headers.clear();
        current_url = target;
        status_code = 0;
        passing_fault = false;
        Impl::Request request;
        request.url = RequestUrl(target);
        if (request.url.empty()) {
            return false;
        }
        if (!impl_->Open()) {
            // A redirect chain cut by Abort must not end with the text of its last 302.
            if (afterRedirect) {
                error_text = kAbortedText;
            }
            return false;
        }
        bool ok = impl_->CheckStatus(*this, impl_->Send(*this, request));
        if (status_code != 301 && status_code != 302) {
            return ok;
        }
        if (redirectsLeft < 1) {
            return false;
        }
        // Without a Location the same address is asked again until the count is spent.
        target = CombineUrl(current_url, ResponseHeader(L"Location:"));
        --redirectsLeft;
    }
}

bool WebClient::PostForm(const HtmlForm& form) {
    body.clear();
    status_code = 0;
    passing_fault = false;
    if (form.method == L"GET") {
        return false;
    }
    if (!IsHttpToken(form.method)) {
        error_text = kBadMethodText;
        return false;
    }
    RequestBody content = BuildRequestBody(form);
    Impl::Request request;
    request.verb = WideToUtf8(form.method);
    request.url = RequestUrl(form.action);
    request.referer = RequestUrl(current_url);
    request.post_body = &content.body;
    request.content_type_line = WideToUtf8(content.content_type_line);
    if (request.url.empty() || !impl_->Open()) {
        return false;
    }
    current_url = form.action;
    bool ok = impl_->CheckStatus(*this, impl_->Send(*this, request));
    if (status_code == 301 || status_code == 302) {
        // The answer to a POST is fetched by GET, as browsers do; its body is dropped.
        return Fetch(CombineUrl(current_url, ResponseHeader(L"Location:")), 5, true);
    }
    return ok;
}

bool WebClient::Send(const HttpRequest& request, int redirectsLeft) {
    std::wstring target = request.url;
    std::string verb = WideToUtf8(request.method);
    for (;;) {
        body.clear();
        raw_headers.clear();
        status_code = 0;
        if (!IsHttpToken(request.method)) {
            error_text = kBadMethodText;
            return false;
        }
        Impl::Request sent;
        sent.verb = verb;
        sent.url = RequestUrl(target);
        sent.http11 = true;
        sent.extra_headers.reserve(request.headers.size());
        for (const std::string& line : request.headers) {
            // A header line is one line; a value with a line break would start another.
            if (line.find_first_of("\r\n") == std::string::npos) {
                sent.extra_headers.push_back(line);
            }
        }
        const bool has_body = verb != "GET" && verb != "HEAD";
        if (has_body) {
            sent.post_body = &request.body;
            sent.content_type_line =
                "Content-Type: " +
                (request.content_type.empty() ? std::string("text/plain") : request.content_type);
        }
        if (sent.url.empty() || !impl_->Open()) {
            return false;
        }
        current_url = target;
        if (!impl_->Send(*this, sent)) {
            return false;
        }
        impl_->FillStatusText(*this);
        const bool redirect = status_code == 301 || status_code == 302 || status_code == 303 ||
                              status_code == 307 || status_code == 308;
        // Only reads follow a redirect: a write that is moved is not sent a second time.
        if (!redirect || has_body || redirectsLeft < 1) {
            return true;
        }
        target = CombineUrl(current_url, ResponseHeader(L"Location:"));
        --redirectsLeft;
    }
}

std::wstring WebClient::ResponseHeader(const std::wstring& name) const {
    return FindHeaderValue(raw_headers, name);
}

void WebClient::Abort() {
    std::lock_guard<std::mutex> guard(impl_->lock);
    impl_->aborted = true;
    if (impl_->transferring) {
        // The worker wakes up, sees the flag, and releases the handles itself.
        curl_multi_wakeup(impl_->multi);
    } else {
        impl_->Release();
    }
}

void WebClient::SetTransferLimits(const TransferLimits& limits) {
    std::lock_guard<std::mutex> guard(impl_->lock);
    impl_->limits = limits;
}

bool ApplyConnectionOptions(const ConnectionOptions& options, WebClient& client) {
    client.connection_options = options;
    return client.impl_->ApplyProxy(options);
}

std::wstring CombineUrl(const std::wstring& base, const std::wstring& relative) {
    if (relative.empty()) {
        return base;
    }
    return ResolveReference(base, relative, true);
}

std::string CurlVersion() {
    const curl_version_info_data* info = curl_version_info(CURLVERSION_NOW);
    return info != nullptr && info->version != nullptr ? info->version : "";
}

}  // namespace twk
