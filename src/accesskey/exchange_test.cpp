// The exchange over a scripted transport: what is sent, redirects and their
// cookies, status rules, the bound and the failures.
#include "accesskey/exchange.h"

#include <gtest/gtest.h>

#include "accesskey/cookies.h"
#include "core/utf.h"
#include "testing/outcome.h"
#include "testing/fake_http.h"
#include "testing/trace_capture.h"

namespace vantrel::accesskey {
namespace {

using platform::FakeHttpTransport;
using platform::HttpHeader;
using platform::HttpOutcome;
using platform::HttpVersion;
using testing::Fails;
using testing::Ok;
using testing::Outcome;

const std::u16string kStart = u"http://acesso.vantrel.com.br:3002/api/acessoremoto?cnpj=1&id_dispositivo=2";

ExchangeOptions Options() {
    ExchangeOptions options;
    options.headers = {{u"Accept", u"application/json"}, {u"token_api", u"k"}};
    options.timeouts = {11, 22, 33, 44};
    options.body_limit = 8 * 1024 * 1024;
    return options;
}

HttpOutcome Redirect(std::uint32_t status, std::u16string location, std::vector<HttpHeader> more = {}) {
    more.push_back({u"Location", std::move(location)});
    return FakeHttpTransport::Reply(status, u"Moved", std::move(more), "redirect body");
}

HttpOutcome Json(std::uint32_t status = 200, std::u16string reason = u"OK",
                 HttpVersion version = HttpVersion::Http11) {
    return FakeHttpTransport::Reply(status, std::move(reason), {{u"Content-Type", u"application/json"}},
                                    "{\"token\":\"k\"}", version);
}

Outcome Exchange(FakeHttpTransport& transport) {
    return testing::Run([&] { return HttpGetText(transport, kStart, Options()); });
}

TEST(ExchangeTest, SendsOneRequestAsAsked) {
    FakeHttpTransport transport;
    transport.script = {Json()};
    EXPECT_EQ(Exchange(transport), Ok(u"{\"token\":\"k\"}"));
    ASSERT_EQ(transport.requests.size(), 1u);
    const platform::HttpRequest& sent = transport.requests[0];
    EXPECT_FALSE(sent.secure);
    EXPECT_EQ(sent.host, u"acesso.vantrel.com.br");
    EXPECT_EQ(sent.port, 3002);
    EXPECT_EQ(sent.target, u"/api/acessoremoto?cnpj=1&id_dispositivo=2");
    ASSERT_EQ(sent.headers.size(), 2u);  // no Cookie before the server set one
    EXPECT_EQ(sent.headers[0].name, u"Accept");
    EXPECT_EQ(sent.headers[1].name, u"token_api");
    EXPECT_EQ(sent.timeouts.resolve_ms, 11u);
    EXPECT_EQ(sent.timeouts.connect_ms, 22u);
    EXPECT_EQ(sent.timeouts.send_ms, 33u);
    EXPECT_EQ(sent.timeouts.receive_ms, 44u);
    EXPECT_EQ(sent.body_limit, 8u * 1024 * 1024);
}

TEST(ExchangeTest, Replies) {
    const Outcome json = Ok(u"{\"token\":\"k\"}");
    const Outcome too_many =
        Fails(u"ERESTException", u"REST request failed: Maximum number of redirections (5) exceeded");
    auto redirects = [](int n, HttpOutcome last) {
        std::vector<HttpOutcome> script;
        for (int i = 0; i < n; ++i) script.push_back(Redirect(302, u"/next/" + std::u16string(1, u'a' + i)));
        script.push_back(std::move(last));
        return script;
    };
    HttpOutcome over_limit = Json();
    over_limit.reply.body_over_limit = true;
    HttpOutcome over_limit_500 = Json(500, u"Internal Server Error");
    over_limit_500.reply.body_over_limit = true;
    HttpOutcome redirect_over_limit = Redirect(302, u"/x");
    redirect_over_limit.reply.body_over_limit = true;

    struct Case {
        const char* what;
        std::vector<HttpOutcome> script;
        Outcome expected;
        std::size_t requests;
    } cases[] = {
        {"4 redirects", redirects(4, Json()), json, 5},
        {"5 redirects", redirects(5, Json()), json, 6},
        {"a sixth redirect", redirects(6, Json()), too_many, 6},
        {"300", {Redirect(300, u"/x"), Json()}, json, 2},
        {"301", {Redirect(301, u"/x"), Json()}, json, 2},
        {"303", {Redirect(303, u"/x"), Json()}, json, 2},
        {"307", {Redirect(307, u"/x"), Json()}, json, 2},
        {"308", {Redirect(308, u"/x"), Json()}, json, 2},
        {"304 is not followed", {Redirect(304, u"/x"), Json()}, Ok(u"redirect body"), 1},
        {"no Location", {FakeHttpTransport::Reply(302, u"Found", {}, "{}"), Json()}, Ok(u"{}"), 1},
        {"empty Location", {Redirect(301, u""), Json()}, Ok(u"redirect body"), 1},
        {"a redirect's body is not read", {redirect_over_limit, Json()}, json, 2},
        {"404", {Json(404, u"Not Found")}, json, 1},
        {"401", {Json(401, u"Unauthorized")}, json, 1},
        {"499", {Json(499, u"Whatever")}, json, 1},
        {"500",
         {Json(500, u"Internal Server Error")},
         Fails(u"ERESTException", u"HTTP/1.1 500 Internal Server Error"),
         1},
        {"503 HTTP/1.0",
         {Json(503, u"Service Unavailable", HttpVersion::Http10)},
         Fails(u"ERESTException", u"HTTP/1.0 503 Service Unavailable"),
         1},
        {"502 HTTP/2",
         {Json(502, u"Bad Gateway", HttpVersion::Http20)},
         Fails(u"ERESTException", u"HTTP/2.0 502 Bad Gateway"),
         1},
        {"599 other version", {Json(599, u"", HttpVersion::Other)}, Fails(u"ERESTException", u"599 "), 1},
        {"500 after a redirect",
         {Redirect(302, u"/x"), Json(500, u"Oops")},
         Fails(u"ERESTException", u"HTTP/1.1 500 Oops"),
         2},
        {"500 with a body over the bound",
         {over_limit_500},
         Fails(u"ERESTException", u"HTTP/1.1 500 Internal Server Error"),
         1},
        {"body over the bound",
         {over_limit},
         Fails(u"ERESTException", u"REST request failed: Reply body larger than 8 MiB"),
         1},
        {"transport failure",
         {FakeHttpTransport::Failure(u"Error sending data: (12029) Cannot connect")},
         Fails(u"ERESTException", u"REST request failed: Error sending data: (12029) Cannot connect"),
         1},
        {"transport failure after redirects",
         {Redirect(302, u"/x"), Redirect(302, u"/y"),
          FakeHttpTransport::Failure(u"Error receiving data: (12002) Timeout")},
         Fails(u"ERESTException", u"REST request failed: Error receiving data: (12002) Timeout"),
         3},
        {"no HTTP service",
         {FakeHttpTransport::NoSession()},
         Fails(u"ENetHTTPClientException", u"Error obtaining session handle"),
         1},
        {"redirect to another scheme",
         {Redirect(302, u"ftp://files.example/x")},
         Fails(u"ERESTException", u"REST request failed: Error connecting to server: files.example"),
         1},
        {"redirect to a port that is none",
         {Redirect(302, u"http://h:99999/x")},
         Fails(u"ERESTException", u"REST request failed: Error connecting to server: h"),
         1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        FakeHttpTransport transport;
        transport.script = c.script;
        EXPECT_EQ(Exchange(transport), c.expected);
        EXPECT_EQ(transport.requests.size(), c.requests);
    }
}

TEST(ExchangeTest, RedirectTargets) {
    FakeHttpTransport transport;
    transport.script = {Redirect(301, u"other?n=O'NEIL#frag"),
                        Redirect(307, u"HTTPS://Secure.Example:8443/p q"),
                        Redirect(302, u"//plain.example/z"), Json()};
    EXPECT_EQ(Exchange(transport), Ok(u"{\"token\":\"k\"}"));
    ASSERT_EQ(transport.requests.size(), 4u);
    EXPECT_EQ(transport.requests[1].host, u"acesso.vantrel.com.br");
    EXPECT_EQ(transport.requests[1].target, u"/api/other?n=O%27NEIL");
    EXPECT_TRUE(transport.requests[2].secure);
    EXPECT_EQ(transport.requests[2].host, u"secure.example");
    EXPECT_EQ(transport.requests[2].port, 8443);
    EXPECT_EQ(transport.requests[2].target, u"/p%20q");
    EXPECT_TRUE(transport.requests[3].secure);  // the scheme of the address it came from
    EXPECT_EQ(transport.requests[3].host, u"plain.example");
    EXPECT_EQ(transport.requests[3].port, 443);
    for (const auto& request : transport.requests) EXPECT_EQ(request.headers.size(), 2u);
}

std::u16string CookieOf(const platform::HttpRequest& request) {
    for (const HttpHeader& header : request.headers) {
        if (header.name == u"Cookie") return header.value;
    }
    return u"<none>";
}

TEST(ExchangeTest, CookiesSetOnRedirectsGoBackToTheirServer) {
    FakeHttpTransport transport;
    transport.script = {
        Redirect(302, u"/api/y",
                 {{u"Set-Cookie", u"s=1; Path=/"}, {u"set-cookie", u"t=2; Path=/; HttpOnly"}}),
        Redirect(302, u"http://other.example/p",
                 {{u"Set-Cookie", u"s=9; Path=/"},                                 // replaces s
                  {u"Set-Cookie", u"t=; Max-Age=0; Path=/"},                       // removes t
                  {u"Set-Cookie", u"u=3; Path=/; Secure"},                         // https only
                  {u"Set-Cookie", u"d=4; Domain=elsewhere.example"},               // another site's: refused
                  {u"Set-Cookie", u"e=5; Path=/nope"},                             // another path
                  {u"Set-Cookie", u"g=6; Expires=Thu, 01 Jan 1970 00:00:00 GMT"},  // already expired
                  {u"Set-Cookie", u"w=7; Domain=.Vantrel.com.br; Path=/"},         // the whole domain
                  {u"Set-Cookie", u"n=8; Path=/api/y/deeper"},  // a longer path, sent first
                  {u"Set-Cookie", u"no equals sign"}}),
        Redirect(302, u"http://www.vantrel.com.br/api/y/deeper"),
        Redirect(302, u"http://acesso.vantrel.com.br:3002/api/y/deeper/x"),
        Json(),
    };
    EXPECT_EQ(Exchange(transport), Ok(u"{\"token\":\"k\"}"));
    ASSERT_EQ(transport.requests.size(), 5u);
    EXPECT_EQ(CookieOf(transport.requests[0]), u"<none>");
    EXPECT_EQ(CookieOf(transport.requests[1]), u"s=1; t=2");
    EXPECT_EQ(CookieOf(transport.requests[2]), u"<none>");  // another host
    EXPECT_EQ(CookieOf(transport.requests[3]), u"w=7");
    EXPECT_EQ(CookieOf(transport.requests[4]), u"n=8; s=9; w=7");
}

TEST(ExchangeTest, CookieDates) {
    struct Case {
        std::u16string text;
        std::optional<std::int64_t> seconds;
    } cases[] = {
        {u"Thu, 01 Jan 1970 00:00:00 GMT", 0},
        {u"Sun, 06 Nov 1994 08:49:37 GMT", 784111777},
        {u"Sunday, 06-Nov-94 08:49:37 GMT", 784111777},
        {u"Sun Nov  6 08:49:37 1994", 784111777},
        {u"Tue, 29 Feb 2028 23:59:59 GMT", 1835481599},
        {u"Wed, 32 Jan 2020 00:00:00 GMT", std::nullopt},
        {u"06 Nov 1994", std::nullopt},  // no time of day
        {u"soon", std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ParseCookieDate(c.text), c.seconds) << ::testing::PrintToString(c.text);
}

// The trace of an exchange: each address as sent, the proxy, each status line
// and redirect, and a failure's text; never the header token.
TEST(ExchangeTest, TheTraceShowsEachHop) {
    FakeHttpTransport transport;
    HttpOutcome proxied = Redirect(302, u"/elsewhere?x=1");
    proxied.proxy = u"http://proxy.lan:3128";
    transport.script = {proxied, Json(), FakeHttpTransport::Failure(u"Error sending data: (7) refused")};
    testing::TraceCapture capture;
    EXPECT_EQ(Exchange(transport), Ok(u"{\"token\":\"k\"}"));
    EXPECT_EQ(Exchange(transport),
              Fails(u"ERESTException", u"REST request failed: Error sending data: (7) refused"));
    EXPECT_EQ(capture.Text(),
              "key: GET " + Utf16ToUtf8(kStart) +
                  "\n"
                  "key: proxy http://proxy.lan:3128\n"
                  "key: status HTTP/1.1 302 Moved\n"
                  "key: redirect to /elsewhere?x=1\n"
                  "key: GET http://acesso.vantrel.com.br:3002/elsewhere?x=1\n"
                  "key: direct, no proxy\n"
                  "key: status HTTP/1.1 200 OK\n"
                  "key: content type \"application/json\"; encoding \"\"; body 13 bytes, 13 decoded\n"
                  "key: GET " +
                  Utf16ToUtf8(kStart) +
                  "\n"
                  "key: direct, no proxy\n"
                  "key: no reply: Error sending data: (7) refused\n");
}

}  // namespace
}  // namespace vantrel::accesskey
