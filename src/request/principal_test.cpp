#include "request/principal.h"

#include <gtest/gtest.h>

#include "accesskey/access_key.h"
#include "core/server_host.h"
#include "testing/compress.h"
#include "testing/outcome.h"
#include "testing/fake_platform.h"

namespace vantrel::request {
namespace {

TEST(PrincipalTest, RequestKindLookup) {
    struct Case {
        const char16_t* request;
        bool found;
        std::int32_t kind;
    } cases[] = {
        {u"{\"solicitacao\":1}", true, 1},
        {u"{\"solicitacao\":256}", true, 256},
        {u"{\"solicitacao\":\"1\"}", true, 1},
        {u"{\"solicitacao\":\" 0x1F\"}", true, 31},
        {u"{\"solicitacao\":true}", true, 1},
        {u"{\"solicitacao\":false}", true, 0},
        {u"{\"solicitacao\":1,\"solicitacao\":0}", true, 1},  // the first one counts
        {u"{\"solicitacao\":null}", false, 0},
        {u"{\"solicitacao\":1.5}", false, 0},
        {u"{\"solicitacao\":\"abc\"}", false, 0},
        {u"{\"solicitacao\":{}}", false, 0},
        {u"{\"solicitacao\":2147483648}", false, 0},
        {u"{\"Solicitacao\":1}", false, 0},
        {u"{}", false, 0},
    };
    for (const auto& c : cases) {
        auto request = json::Parse(c.request);
        ASSERT_TRUE(request) << ::testing::PrintToString(std::u16string(c.request));
        std::int32_t kind = -7;
        EXPECT_EQ(TentaObterInteiro(request.get(), u"solicitacao", kind), c.found);
        EXPECT_EQ(kind, c.found ? c.kind : -7);  // untouched when nothing converts
    }
    std::int32_t kind = -7;
    EXPECT_FALSE(TentaObterInteiro(nullptr, u"solicitacao", kind));
}

}  // namespace
}  // namespace vantrel::request

// ---- BaixaDadosTivra over a scripted transport: the address, the headers and
// time-outs of the service, and the key taken from each kind of reply.

namespace vantrel::accesskey {
namespace {

using platform::FakeHttpTransport;
using platform::HttpOutcome;
using testing::Fails;
using testing::Ok;
using testing::Outcome;

const std::u16string kGuid = u"6f1d3c2a-8b7e-4d5f-9a0b-1c2d3e4f5a6b";

class BaixaDadosTivraTest : public ::testing::Test {
protected:
    // Runs BaixaDadosTivra; the key it leaves, or its failure (the key must
    // then be empty).
    Outcome Call(const std::u16string& cnpj, const std::u16string& id, const std::u16string& name) {
        principal.FCNPJ = cnpj;
        std::u16string key = u"left from before";
        try {
            principal.BaixaDadosTivra(id, name, key);
            return Ok(key);
        } catch (const Error& e) {
            EXPECT_EQ(key, u"") << "a failure leaves the key empty";
            return Fails(e.kind(), e.message());
        }
    }

    Outcome Answer(HttpOutcome reply) {
        sys.http.script = {std::move(reply)};
        return Call(u"12345678000199", kGuid, u"PC");
    }

    platform::FakePlatform sys;
    request::StandardStreams streams{sys.console, sys.files, sys.locale};
    request::TPrincipal principal{sys.sys, streams};
};

TEST_F(BaixaDadosTivraTest, RequestAsTheServiceExpectsIt) {
    const std::u16string path = u"/api/acessoremoto?cnpj=";
    struct Case {
        std::u16string cnpj;
        std::u16string name;
        std::u16string target;
    } cases[] = {
        {u"12345678000199", u"MEU PC",
         path + u"12345678000199&id_dispositivo=" + kGuid + u"&nome_dispositivo=MEU+PC"},
        {u"12345678000199", u"O'NEIL-PC",
         path + u"12345678000199&id_dispositivo=" + kGuid + u"&nome_dispositivo=O%27NEIL-PC"},
        {u"12345678000199", u"JOS\u00C9-PC",
         path + u"12345678000199&id_dispositivo=" + kGuid + u"&nome_dispositivo=JOS%C3%89-PC"},
        {u"12345678000199", u"A&B",
         path + u"12345678000199&id_dispositivo=" + kGuid + u"&nome_dispositivo=A%26B"},
        {u"", u"PC", path + u"&id_dispositivo=" + kGuid + u"&nome_dispositivo=PC"},  // no company found
    };
    for (const auto& c : cases) {
        sys.http.requests.clear();
        sys.http.script = {FakeHttpTransport::Reply(200, u"OK", {}, "{\"token\":\"chave\"}")};
        EXPECT_EQ(Call(c.cnpj, kGuid, c.name), Ok(u"chave"));
        ASSERT_EQ(sys.http.requests.size(), 1u);
        const platform::HttpRequest& sent = sys.http.requests[0];
        EXPECT_EQ(sent.target, c.target);
        EXPECT_FALSE(sent.secure);
        EXPECT_EQ(sent.host, ServerHost());
        EXPECT_EQ(sent.port, 3002);
    }

    const platform::HttpRequest& sent = sys.http.requests[0];
    std::vector<std::pair<std::u16string, std::u16string>> headers;
    for (const auto& h : sent.headers) headers.emplace_back(h.name, h.value);
    EXPECT_EQ(headers, (std::vector<std::pair<std::u16string, std::u16string>>{
                           {u"Accept", u"application/json, text/plain; q=0.9, text/html;q=0.8,"},
                           {u"Accept-Charset", u"utf-8, *;q=0.8"},
                           {u"User-Agent", u"Orlimar RESTClient/1.0"},
                           {u"token_api", u"5a0f3c7e1d9b2a648c0e7f1b3d5a9c2e"},
                       }));
    EXPECT_EQ(sent.timeouts.resolve_ms, 30000u);
    EXPECT_EQ(sent.timeouts.connect_ms, 30000u);
    EXPECT_EQ(sent.timeouts.send_ms, 60000u);
    EXPECT_EQ(sent.timeouts.receive_ms, 30000u);
    EXPECT_EQ(sent.body_limit, 8u * 1024 * 1024);
}

TEST_F(BaixaDadosTivraTest, KeyFromTheReply) {
    const Outcome not_object =
        Fails(u"EAccessKeyError", u"The access-key service sent no usable key: reply is not a JSON object");
    const Outcome empty =
        Fails(u"EAccessKeyError", u"The access-key service sent no usable key: empty reply");
    auto reply = [](std::uint32_t status, std::string body, std::u16string type = u"application/json") {
        return FakeHttpTransport::Reply(status, u"Reason", {{u"Content-Type", type}}, std::move(body));
    };
    struct Case {
        const char* what;
        HttpOutcome reply;
        Outcome expected;
    } cases[] = {
        {"string", reply(200, R"({"id":1,"token":"abc-123"})"), Ok(u"abc-123")},
        {"status 404", reply(404, R"({"token":"abc"})"), Ok(u"abc")},
        {"number as received", reply(200, R"({"token":12.50})"), Ok(u"12.50")},
        {"exponent", reply(200, R"({"token":1E5})"), Ok(u"1E5")},
        {"true", reply(200, R"({"token":true})"), Ok(u"true")},
        {"null: an empty key", reply(200, R"({"token":null})"), Ok(u"")},
        {"first of two", reply(200, R"({"token":"a","token":"b"})"), Ok(u"a")},
        {"line break after", reply(200, "{\"token\":\"a\"}\r\n"), Ok(u"a")},
        {"byte-order mark", reply(200, "\xEF\xBB\xBF{\"token\":\"a\"}"), Ok(u"a")},
        {"charset", reply(200, "{\"token\":\"caf\xE9\"}", u"application/json; charset=iso-8859-1"),
         Ok(u"caf\u00E9")},
        {"gzip",
         FakeHttpTransport::Reply(200, u"OK", {{u"Content-Encoding", u"gzip"}},
                                  testing::Gzip(R"({"token":"z"})")),
         Ok(u"z")},
        {"object", reply(200, R"({"token":{"k":1}})"),
         Fails(u"EJSONException", u"Conversion from TJSONObject to string is not supported")},
        {"array", reply(200, R"({"token":[1]})"),
         Fails(u"EJSONException", u"Conversion from TJSONArray to string is not supported")},
        {"name in another case", reply(200, R"({"Token":"x"})"),
         Fails(u"EAccessKeyError", u"The access-key service sent no usable key: no member \"token\"")},
        {"bare string", reply(200, R"("abc")"), not_object},
        {"array at the top", reply(200, R"([{"token":"a"}])"), not_object},
        {"not JSON", reply(200, "<html>busy</html>"), not_object},
        {"white space only", reply(200, " "), not_object},
        {"no body", reply(200, ""), empty},
        {"raw data", reply(200, R"({"token":"a"})", u"application/octet-stream"), empty},
        {"raw data, status 404", reply(404, R"({"token":"a"})", u"application/octet-stream"), Ok(u"a")},
        {"number beyond a double", reply(200, R"({"token":"a","n":1e999})"),
         Fails(u"EConvertError", u"'1e999' is not a valid floating point value")},
        {"status 500 with a key", reply(500, R"({"token":"a"})"),
         Fails(u"ERESTException", u"HTTP/1.1 500 Reason")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(Answer(c.reply), c.expected);
    }
}

}  // namespace
}  // namespace vantrel::accesskey
