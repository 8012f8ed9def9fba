#include <gtest/gtest.h>
#include <openssl/evp.h>
#include <openssl/x509.h>

#include <atomic>
#include <cstdlib>
#include <optional>
#include <ostream>

#include "FakeProxy.h"
#include "WebTestServer.h"
#include "web/WebClient.h"

namespace twk {
namespace {

using test::FakeProxy;
using test::kUserAgent;

const std::string kProxyChallenge =
    "HTTP/1.1 407 Proxy Authentication Required\r\n"
    "Proxy-Authenticate: Basic realm=\"proxy\"\r\nContent-Length: 0\r\n\r\n";
// Basic credentials of user "user" with password "secret".
const std::string kGoodCredentials = "Proxy-Authorization: Basic dXNlcjpzZWNyZXQ=";

bool Has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

std::wstring OriginUrl(int port, const wchar_t* scheme = L"http") {
    return std::wstring(scheme) + L"://127.0.0.1:" + std::to_wstring(port) + L"/page";
}

ConnectionOptions ThroughProxy(int port, const wchar_t* login, const wchar_t* password) {
    ConnectionOptions options;
    options.mode = kConnectionProxy;
    options.proxy_address = L"127.0.0.1";
    options.proxy_port = static_cast<uint16_t>(port);
    options.proxy_login = login;
    options.proxy_password = password;
    return options;
}

// Sets (or, with nullopt, removes) an environment variable for one test.
class ScopedEnvironment {
public:
    ScopedEnvironment(const char* name, std::optional<std::string> value) : name_(name) {
        if (const char* old = std::getenv(name)) {
            old_ = old;
        }
        Set(value);
    }
    ~ScopedEnvironment() { Set(old_); }
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

private:
    void Set(const std::optional<std::string>& value) {
        if (value) {
            setenv(name_, value->c_str(), 1);
        } else {
            unsetenv(name_);
        }
    }
    const char* name_;
    std::optional<std::string> old_;
};

struct ProxyRow {
    const char* name;
    const wchar_t* login;
    const wchar_t* password;
    size_t requests;  // how many the proxy sees
    bool ok;
};

void PrintTo(const ProxyRow& row, std::ostream* out) {
    *out << row.name;
}

class ProxyAuthenticationTest : public ::testing::TestWithParam<ProxyRow> {};

// A proxy that wants "user"/"secret" gets exactly one resend, and only when both login
// and password are set; the password never shows up in the error text.
TEST_P(ProxyAuthenticationTest, OneResendWithCredentials) {
    const ProxyRow row = GetParam();
    FakeProxy proxy([](const std::string& head) {
        return Has(head, kGoodCredentials)
                   ? std::string("HTTP/1.0 200 OK\r\nContent-Length: 7\r\n\r\nthrough")
                   : kProxyChallenge;
    });
    WebClient client(kUserAgent);
    ApplyConnectionOptions(ThroughProxy(proxy.port(), row.login, row.password), client);
    const int origin = test::UnusedPort();

    EXPECT_EQ(client.Get(OriginUrl(origin), 5), row.ok);
    std::vector<std::string> heads = proxy.Requests();
    ASSERT_EQ(heads.size(), row.requests);
    EXPECT_EQ(heads[0].rfind("GET " + std::string("http://127.0.0.1:") + std::to_string(origin) +
                                 "/page HTTP/1.0\r\n",
                             0),
              0u)
        << heads[0];
    EXPECT_FALSE(Has(heads[0], "Proxy-Authorization"));
    if (row.requests == 2) {
        EXPECT_TRUE(Has(heads[1], "Proxy-Authorization: Basic "));
    }
    if (row.ok) {
        EXPECT_EQ(client.body, "through");
    } else {
        EXPECT_EQ(client.status_code, 407u);
        EXPECT_EQ(client.error_text, L"407 Proxy Authentication Required");
    }
    if (row.password[0] != L'\0') {
        EXPECT_EQ(client.error_text.find(row.password), std::wstring::npos);
    }
}

INSTANTIATE_TEST_SUITE_P(Credentials, ProxyAuthenticationTest,
                         ::testing::Values(ProxyRow{"Accepted", L"user", L"secret", 2, true},
                                           ProxyRow{"Rejected", L"user", L"wrong", 2, false},
                                           ProxyRow{"NoPassword", L"user", L"", 1, false},
                                           ProxyRow{"NoLogin", L"", L"secret", 1, false}),
                         [](const auto& row) { return std::string(row.param.name); });

TEST(WebClientConnectionTest, ProxyModeSendsHttpsThroughTheProxyByConnect) {
    FakeProxy proxy([](const std::string& head) {
        return Has(head, kGoodCredentials) ? std::string("HTTP/1.1 403 Forbidden\r\n\r\n")
                                           : kProxyChallenge;
    });
    // A no_proxy variable must not send anything around a proxy the user chose.
    ScopedEnvironment noProxy("no_proxy", "*");
    const int origin = test::UnusedPort();
    const std::string connect = "CONNECT 127.0.0.1:" + std::to_string(origin) + " HTTP/1.1\r\n";

    WebClient anonymous(kUserAgent);
    ApplyConnectionOptions(ThroughProxy(proxy.port(), L"", L""), anonymous);
    EXPECT_FALSE(anonymous.Get(OriginUrl(origin, L"https"), 5));
    EXPECT_EQ(anonymous.error_text, L"407 Proxy Authentication Required");
    ASSERT_EQ(proxy.Requests().size(), 1u);
    EXPECT_EQ(proxy.Requests()[0].rfind(connect, 0), 0u) << proxy.Requests()[0];

    WebClient withLogin(kUserAgent);
    ApplyConnectionOptions(ThroughProxy(proxy.port(), L"user", L"secret"), withLogin);
    EXPECT_FALSE(withLogin.Get(OriginUrl(origin, L"https"), 5));
    std::vector<std::string> heads = proxy.Requests();
    ASSERT_EQ(heads.size(), 3u);
    EXPECT_EQ(heads[2].rfind(connect, 0), 0u);
    EXPECT_TRUE(Has(heads[2], kGoodCredentials));
    EXPECT_EQ(withLogin.error_text.find(L"secret"), std::wstring::npos);
}

TEST(WebClientConnectionTest, AutoUsesTheProxyVariableAndDirectIgnoresIt) {
    test::RecordingServer server;
    server.server().Get("/page", [](const httplib::Request&, httplib::Response& response) {
        response.set_content("direct", "text/plain");
    });
    server.Start();
    ScopedEnvironment proxy("http_proxy", "http://127.0.0.1:" + std::to_string(test::UnusedPort()));
    ScopedEnvironment noProxy("no_proxy", std::nullopt);
    ScopedEnvironment noProxyUpper("NO_PROXY", std::nullopt);

    WebClient automatic(kUserAgent);
    EXPECT_TRUE(ApplyConnectionOptions(ConnectionOptions{}, automatic));
    EXPECT_FALSE(automatic.Get(server.WideUrl("/page"), 5));
    EXPECT_EQ(server.Count(), 0u);

    WebClient direct(kUserAgent);
    ConnectionOptions options;
    options.mode = kConnectionDirect;
    EXPECT_TRUE(ApplyConnectionOptions(options, direct));
    EXPECT_TRUE(direct.Get(server.WideUrl("/page"), 5)) << direct.error_text;
    EXPECT_EQ(direct.body, "direct");
}

TEST(WebClientConnectionTest, UnusableOptionsFailEveryRequestInsteadOfGoingDirect) {
    test::RecordingServer server;
    server.Start();
    WebClient client(kUserAgent);
    ConnectionOptions options = ThroughProxy(8080, L"", L"");
    options.proxy_address.clear();
    EXPECT_FALSE(ApplyConnectionOptions(options, client));
    EXPECT_FALSE(client.Get(server.WideUrl("/"), 5));
    EXPECT_EQ(client.error_text, L"The proxy address or port is not set");

    options.mode = 7;
    EXPECT_FALSE(ApplyConnectionOptions(options, client));
    EXPECT_FALSE(client.Get(server.WideUrl("/"), 5));
    EXPECT_EQ(client.error_text, L"The connection mode is not valid");
    EXPECT_EQ(server.Count(), 0u);
}

// A self-signed certificate for 127.0.0.1, made on the spot.
struct SelfSignedCertificate {
    SelfSignedCertificate() {
        key = EVP_PKEY_Q_keygen(nullptr, nullptr, "EC", "P-256");
        certificate = X509_new();
        X509_set_version(certificate, 2);
        ASN1_INTEGER_set(X509_get_serialNumber(certificate), 1);
        X509_gmtime_adj(X509_getm_notBefore(certificate), 0);
        X509_gmtime_adj(X509_getm_notAfter(certificate), 3600);
        X509_set_pubkey(certificate, key);
        X509_NAME* name = X509_get_subject_name(certificate);
        X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC,
                                   reinterpret_cast<const unsigned char*>("127.0.0.1"), -1, -1, 0);
        X509_set_issuer_name(certificate, name);
        X509_sign(certificate, key, EVP_sha256());
    }
    ~SelfSignedCertificate() {
        X509_free(certificate);
        EVP_PKEY_free(key);
    }
    SelfSignedCertificate(const SelfSignedCertificate&) = delete;
    SelfSignedCertificate& operator=(const SelfSignedCertificate&) = delete;

    EVP_PKEY* key = nullptr;
    X509* certificate = nullptr;
};

TEST(WebClientConnectionTest, UntrustedCertificateIsAConnectionFailure) {
    SelfSignedCertificate certificate;
    test::LocalServer server(
        std::make_unique<httplib::SSLServer>(certificate.certificate, certificate.key));
    std::atomic<bool> reached{false};
    server.server().Get("/", [&reached](const httplib::Request&, httplib::Response& response) {
        reached = true;
        response.set_content("secret page", "text/plain");
    });
    server.Start();

    WebClient client(kUserAgent);
    ConnectionOptions options;
    options.mode = kConnectionDirect;
    ApplyConnectionOptions(options, client);
    EXPECT_FALSE(client.Get(OriginUrl(server.port(), L"https"), 5));
    EXPECT_EQ(client.status_code, 0u);
    EXPECT_NE(client.error_text.find(L"certificate"), std::wstring::npos) << client.error_text;
    EXPECT_EQ(client.body, "");
    EXPECT_FALSE(reached);
}

}  // namespace
}  // namespace twk
