// The access-key client over the real HTTP transport of the platform the tests
// are built for. The access-key service is a scripted HTTP server on a loopback
// port of this process, reached the way the tool reaches its real one: through
// the user's proxy setting (Windows: the current user's Internet settings in
// the registry; POSIX: the http_proxy environment variable), with the address
// 127.0.0.1 bypassing the proxy. The settings are restored at the end.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>

#include "accesskey/access_key.h"
#include "testing/compress.h"
#include "testing/failing_allocator.h"
#include "testing/outcome.h"
#include "core/error.h"
#include "core/server_host.h"
#include "core/utf.h"
#include "platform/platform.h"
#include "testing/http_server.h"
#include "testing/user_proxy.h"

namespace vantrel::accesskey {
namespace {

using vantrel::testing::Fails;
using vantrel::testing::HttpReply;
using vantrel::testing::HttpTestServer;
using vantrel::testing::Ok;
using vantrel::testing::Outcome;
using vantrel::testing::ScriptedReply;
using Headers = std::vector<std::pair<std::string, std::string>>;

HttpTestServer* service = nullptr;

class LocalServiceEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        server_ = std::make_unique<HttpTestServer>();
        service = server_.get();
        proxy_ = std::make_unique<vantrel::testing::ScopedUserProxy>(server_->port());
    }

    void TearDown() override {
        proxy_.reset();
        service = nullptr;
        server_.reset();
    }

private:
    std::unique_ptr<HttpTestServer> server_;
    std::unique_ptr<vantrel::testing::ScopedUserProxy> proxy_;
};

const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new LocalServiceEnvironment);

const std::u16string kGuid = u"6f1d3c2a-8b7e-4d5f-9a0b-1c2d3e4f5a6b";
const std::string kToken = R"({"token":"chave-remota"})";
const Headers kJson = {{"Content-Type", "application/json"}};
// Short enough for a reply that never comes; the tool's own are longer.
constexpr platform::HttpTimeouts kQuick{5000, 5000, 5000, 1500};

// The service's address as the proxy receives it.
std::string Absolute(const std::string& target) {
    return "http://" + Utf16ToUtf8(ServerHost()) + ":3002" + target;
}

Outcome Ask(std::u16string name = u"PC") {
    return vantrel::testing::Run([&] {
        return RequestAccessKey(platform::RealHttpTransport(), u"12345678000199", kGuid, name, kQuick);
    });
}

TEST(AccessKeyServiceTest, SendsTheRequestOfTheService) {
    const std::string guid = Utf16ToUtf8(kGuid);
    struct Case {
        std::u16string cnpj;
        std::u16string name;
        std::string query;
    } cases[] = {
        {u"12345678000199", u"MEU PC",
         "cnpj=12345678000199&id_dispositivo=" + guid + "&nome_dispositivo=MEU+PC"},
        {u"12345678000199", u"O'NEIL-PC",
         "cnpj=12345678000199&id_dispositivo=" + guid + "&nome_dispositivo=O%27NEIL-PC"},
        {u"12345678000199", u"JOS\u00C9-PC",
         "cnpj=12345678000199&id_dispositivo=" + guid + "&nome_dispositivo=JOS%C3%89-PC"},
        {u"12345678000199", u"A&B", "cnpj=12345678000199&id_dispositivo=" + guid + "&nome_dispositivo=A%26B"},
        {u"", u"PC", "cnpj=&id_dispositivo=" + guid + "&nome_dispositivo=PC"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.query);
        service->Script({HttpReply(200, "OK", kJson, kToken)});
        EXPECT_EQ(RequestAccessKey(platform::RealHttpTransport(), c.cnpj, kGuid, c.name), u"chave-remota");

        std::vector<vantrel::testing::ReceivedRequest> received = service->Requests();
        ASSERT_EQ(received.size(), 1u);
        EXPECT_EQ(received[0].method, "GET");
        EXPECT_EQ(received[0].target, Absolute("/api/acessoremoto?" + c.query));
        EXPECT_EQ(received[0].version, "HTTP/1.1");
        // Host and the connection headers are the transport's own.
        Headers headers;
        std::string host;
        for (const auto& [name, value] : received[0].headers) {
            if (name == "Host")
                host = value;
            else if (name != "Connection" && name != "Proxy-Connection")
                headers.emplace_back(name, value);
        }
        EXPECT_EQ(host, Utf16ToUtf8(ServerHost()) + ":3002");
        EXPECT_EQ(headers, (Headers{
                               {"Accept", "application/json, text/plain; q=0.9, text/html;q=0.8,"},
                               {"Accept-Charset", "utf-8, *;q=0.8"},
                               {"User-Agent", "Orlimar RESTClient/1.0"},
                               {"token_api", "5a0f3c7e1d9b2a648c0e7f1b3d5a9c2e"},
                           }));
    }
}

TEST(AccessKeyServiceTest, Replies) {
    const Outcome key = Ok(u"chave-remota");
    std::vector<ScriptedReply> six_redirects(6, HttpReply(302, "Found", {{"Location", "/api/outra"}}, ""));
    struct Case {
        const char* what;
        std::vector<ScriptedReply> script;
        Outcome expected;
    } cases[] = {
        {"404", {HttpReply(404, "Not Found", kJson, kToken)}, key},
        {"503 with its reason as sent",
         {HttpReply(503, "Service  Unavailable", kJson, kToken)},
         Fails(u"ERESTException", u"HTTP/1.1 503 Service  Unavailable")},
        {"HTTP/1.0",
         {{"HTTP/1.0 500 Boom\r\nContent-Length: 0\r\n\r\n", false}},
         Fails(u"ERESTException", u"HTTP/1.0 500 Boom")},
        {"gzip", {HttpReply(200, "OK", {{"Content-Encoding", "gzip"}}, vantrel::testing::Gzip(kToken))}, key},
        {"deflate",
         {HttpReply(200, "OK", {{"Content-Encoding", "deflate"}}, vantrel::testing::Deflate(kToken))},
         key},
        {"charset",
         {HttpReply(200, "OK", {{"Content-Type", "application/json; charset=ISO-8859-1"}},
                    "{\"token\":\"caf\xE9\"}")},
         Ok(u"caf\u00E9")},
        {"raw data",
         {HttpReply(200, "OK", {{"Content-Type", "application/octet-stream"}}, kToken)},
         Fails(u"EAccessKeyError", u"The access-key service sent no usable key: empty reply")},
        {"raw data, status 404",
         {HttpReply(404, "Not Found", {{"Content-Type", "application/octet-stream"}}, kToken)},
         key},
        {"body over the bound",
         {HttpReply(200, "OK", kJson, std::string(kReplyBodyLimit + 1, ' '))},
         Fails(u"ERESTException", u"REST request failed: Reply body larger than 8 MiB")},
        {"gzip cut before its end",  // the key is whole, the stream's trailer is not
         {HttpReply(200, "OK", {{"Content-Encoding", "gzip"}},
                    vantrel::testing::Gzip(kToken).substr(0, vantrel::testing::Gzip(kToken).size() - 4))},
         Fails(u"ERESTException", u"REST request failed: Reply body could not be decompressed")},
        {"gzip inflating past the bound",
         {HttpReply(200, "OK", {{"Content-Encoding", "gzip"}},
                    vantrel::testing::Gzip(kToken + std::string(kReplyBodyLimit, ' ')))},
         Fails(u"ERESTException", u"REST request failed: Reply body larger than 8 MiB")},
        {"body at the bound",
         {HttpReply(200, "OK", kJson, kToken + std::string(kReplyBodyLimit - kToken.size(), ' '))},
         key},  // read whole: white space after the object
        {"six redirects", six_redirects,
         Fails(u"ERESTException", u"REST request failed: Maximum number of redirections (5) exceeded")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        service->Script(c.script);
        EXPECT_EQ(Ask(), c.expected);
    }
}

#ifndef _WIN32
// Header bytes as text, here through the reason phrase: UTF-8 when they are
// well-formed UTF-8 (a U+FFFD among them included), else Latin-1. WinHTTP hands
// the Windows transport header text it has decoded itself.
TEST(AccessKeyServiceTest, HeaderTextIsUtf8ElseLatin1) {
    const struct {
        const char* what;
        std::string reason;
        std::u16string message;
    } cases[] = {
        {"UTF-8", "Servi\xC3\xA7o Indispon\xC3\xADvel", u"HTTP/1.1 503 Servi\u00E7o Indispon\u00EDvel"},
        {"Latin-1", "Servi\xE7o", u"HTTP/1.1 503 Servi\u00E7o"},
        {"a U+FFFD", "Servi\xEF\xBF\xBDo", u"HTTP/1.1 503 Servi\uFFFDo"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        service->Script({HttpReply(503, c.reason, kJson, kToken)});
        EXPECT_EQ(Ask(), Fails(u"ERESTException", c.message));
    }
}
#endif

TEST(AccessKeyServiceTest, RedirectsCarryTheCookiesTheySet) {
    service->Script({
        HttpReply(301, "Moved Permanently",
                  {{"Location", "/api/a?x=1"}, {"Set-Cookie", "sessao=abc; Path=/"}}, ""),
        HttpReply(302, "Found", {{"Location", Absolute("/api/b")}, {"Set-Cookie", "lado=1; Path=/api"}},
                  "ignored"),
        HttpReply(307, "Temporary Redirect", {{"Location", "c"}}, ""),
        HttpReply(200, "OK", kJson, kToken),
    });
    EXPECT_EQ(Ask(), Ok(u"chave-remota"));
    std::vector<vantrel::testing::ReceivedRequest> received = service->Requests();
    ASSERT_EQ(received.size(), 4u);
    auto cookie = [](const vantrel::testing::ReceivedRequest& r) {
        std::string value = "<none>";
        for (const auto& [name, v] : r.headers) {
            if (name == "Cookie") value = v;
        }
        return value;
    };
    EXPECT_EQ(received[1].target, Absolute("/api/a?x=1"));
    EXPECT_EQ(received[2].target, Absolute("/api/b"));
    EXPECT_EQ(received[3].target, Absolute("/api/c"));
    EXPECT_EQ(cookie(received[0]), "<none>");
    EXPECT_EQ(cookie(received[1]), "sessao=abc");
    EXPECT_EQ(cookie(received[2]), "lado=1; sessao=abc");
    EXPECT_EQ(cookie(received[3]), "lado=1; sessao=abc");
}

// How the platform reports a time-out, a refused connection and a body that
// ends early. Wine's WinHTTP passes on the socket's own code for a time-out
// (WSAETIMEDOUT) and a reset (WSAECONNRESET) where Windows reports
// ERROR_WINHTTP_TIMEOUT and ERROR_WINHTTP_CONNECTION_ERROR, and has no message
// texts for its own codes.
#ifdef _WIN32
const std::vector<std::u16string> kTimedOut = {u"(12002) ", u"(10060) "};
const std::vector<std::u16string> kRefused = {u"(12029) "};
const std::vector<std::u16string> kBroken = {u"(12030) ", u"(10054) "};
#else
const std::vector<std::u16string> kTimedOut = {u"(28) Timeout was reached"};
const std::vector<std::u16string> kRefused = {u"(7) Couldn't connect to server"};
const std::vector<std::u16string> kBroken = {u"(56) Failure when receiving data from the peer",
                                             u"(18) Transferred a partial file"};
#endif

bool StartsWithOneOf(const std::u16string& text, const std::u16string& prefix,
                     const std::vector<std::u16string>& endings) {
    for (const auto& ending : endings) {
        if (text.rfind(prefix + ending, 0) == 0) return true;
    }
    return false;
}

TEST(AccessKeyServiceTest, TransportFailures) {
    // A reply that never comes: the receive time-out ends the wait.
    service->Script({{"", true}});
    auto start = std::chrono::steady_clock::now();
    Outcome silent = Ask();
    auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(silent.kind, u"ERESTException");
    EXPECT_TRUE(StartsWithOneOf(silent.message, u"REST request failed: Error receiving data: ", kTimedOut))
        << ::testing::PrintToString(silent.message);
    EXPECT_GE(waited, std::chrono::milliseconds(1000));
    EXPECT_LT(waited, std::chrono::seconds(15));

    // A server that refuses the connection (127.0.0.1 bypasses the proxy).
    const std::string closed = "http://127.0.0.1:" + std::to_string(HttpTestServer::ClosedPort()) + "/x";
    service->Script({HttpReply(302, "Found", {{"Location", closed}}, "")});
    Outcome refused = Ask();
    EXPECT_EQ(refused.kind, u"ERESTException");
    EXPECT_TRUE(StartsWithOneOf(refused.message, u"REST request failed: Error sending data: ", kRefused))
        << ::testing::PrintToString(refused.message);

    // A body that ends before its Content-Length, with the connection reset or
    // closed: never a key, even when the part that came holds one.
    const ScriptedReply whole = HttpReply(200, "OK", kJson, kToken + std::string(64, ' '));
    for (bool reset : {true, false}) {
        SCOPED_TRACE(reset ? "reset" : "closed");
        service->Script({vantrel::testing::CutShort(whole, 32, reset)});
        Outcome cut = Ask();
        EXPECT_EQ(cut.kind, u"ERESTException");
        EXPECT_TRUE(StartsWithOneOf(cut.message, u"REST request failed: Error reading data: ", kBroken))
            << ::testing::PrintToString(cut.message);
    }
}

// Every allocation of a whole exchange over the real transport (a redirect that
// sets a cookie, then a compressed reply), failed in turn: the request gives
// the key or fails with memory exhaustion, never another failure or a crash;
// no exception crosses the transport's system library, and what it opened is
// closed (LeakSanitizer checks the native build at its end).
TEST(AccessKeyServiceTest, EveryFailingAllocationOfAnExchange) {
    std::size_t runs = 0;
    for (std::size_t n = 1;; ++n) {
        service->Script(
            {HttpReply(302, "Found", {{"Location", "/api/b"}, {"Set-Cookie", "sessao=abc; Path=/"}}, ""),
             HttpReply(200, "OK", {{"Content-Encoding", "gzip"}}, vantrel::testing::Gzip(kToken))});
        vantrel::testing::ArmAllocationFailure(n);
        Outcome outcome;
        try {
            outcome =
                Ok(RequestAccessKey(platform::RealHttpTransport(), u"12345678000199", kGuid, u"PC", kQuick));
        } catch (...) {
            const Error failure = CurrentFailure();
            outcome = Fails(failure.kind(), failure.message());
        }
        vantrel::testing::DisarmAllocationFailure();
        ++runs;
        if (!vantrel::testing::AllocationFailed()) {
            EXPECT_EQ(outcome, Ok(u"chave-remota"));
            break;
        }
        if (outcome != Ok(u"chave-remota")) {
            EXPECT_EQ(outcome, Fails(kOutOfMemoryKind, kOutOfMemoryMessage)) << "failing allocation " << n;
        }
    }
    std::printf(
        "[ faults   ] every failing allocation of an exchange: %zu runs, %zu failure points injected\n", runs,
        runs - 1);
}

}  // namespace
}  // namespace vantrel::accesskey
