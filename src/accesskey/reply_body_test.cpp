// Reply bodies to text: decompression, the bound, charsets and raw media types.
#include "accesskey/reply_body.h"

#include <gtest/gtest.h>

#include "testing/compress.h"
#include "testing/outcome.h"

namespace vantrel::accesskey {
namespace {

using testing::Deflate;
using testing::Fails;
using testing::Gzip;
using testing::Ok;
using testing::Outcome;

constexpr std::size_t kLimit = 8 * 1024 * 1024;
const Outcome kTooLarge = Fails(u"ERESTException", u"REST request failed: Reply body larger than 8 MiB");
const Outcome kDamaged =
    Fails(u"ERESTException", u"REST request failed: Reply body could not be decompressed");

Outcome Decode(std::uint32_t status, std::vector<platform::HttpHeader> headers, std::string body) {
    platform::HttpReply reply;
    reply.status = status;
    reply.headers = std::move(headers);
    reply.body = std::move(body);
    return testing::Run([&] { return DecodeReplyBody(reply, kLimit); });
}

TEST(ReplyBodyTest, Charsets) {
    const std::string utf16le("{\0\"\0\xE9\0\"\0}\0", 10);
    const std::string utf16be("\0{\0\"\0\xE9\0\"\0}", 10);
    struct Case {
        std::u16string content_type;
        std::string body;
        std::u16string text;
    } cases[] = {
        {u"", "caf\xC3\xA9", u"caf\u00E9"},  // no Content-Type: UTF-8
        {u"application/json", "caf\xC3\xA9", u"caf\u00E9"},
        {u"application/json; charset=UTF-8", "caf\xC3\xA9", u"caf\u00E9"},
        {u"text/plain;charset=\"utf-8\"", "caf\xC3\xA9", u"caf\u00E9"},
        {u"application/json; charset=ISO-8859-1", "caf\xE9", u"caf\u00E9"},
        {u"text/plain; charset=windows-1252", "\x80\x81\x9F", u"\u20AC\uFFFD\u0178"},
        {u"text/plain; charset=us-ascii", "a\xE9", u"a\uFFFD"},
        {u"text/plain; charset=utf-16le", utf16le, u"{\"\u00E9\"}"},
        {u"text/plain; charset=utf-16be", utf16be, u"{\"\u00E9\"}"},
        {u"text/plain; charset=utf-16", "\xFE\xFF" + utf16be,
         u"\uFEFF{\"\u00E9\"}"},                                                // the mark says big-endian
        {u"text/plain; charset=utf-16", utf16le + "x", u"{\"\u00E9\"}\uFFFD"},  // an odd last byte
        {u"text/plain; charset=x-unknown", "caf\xC3\xA9", u"caf\u00E9"},        // not known: UTF-8
        {u"text/plain",
         "a\xFF"
         "b",
         u"a\uFFFD"
         "b"},  // not valid UTF-8
        {u"text/plain; charset=", "caf\xC3\xA9", u"caf\u00E9"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Decode(200, {{u"Content-Type", c.content_type}}, c.body), Ok(c.text))
            << ::testing::PrintToString(c.content_type);
    }
}

TEST(ReplyBodyTest, RawMediaTypesCountAsEmptyForSuccessOnly) {
    struct Case {
        std::uint32_t status;
        std::u16string content_type;
        std::u16string text;
    } cases[] = {
        {200, u"application/octet-stream", u""},
        {299, u"Application/Octet-Stream", u""},
        {200, u"image/png", u""},
        {200, u"application/zip", u""},
        {200, u"application/octet-stream; charset=utf-8", u"{}"},  // a charset decides
        {404, u"application/octet-stream", u"{}"},
        {302, u"application/octet-stream", u"{}"},
        {199, u"application/octet-stream", u"{}"},
        {200, u"application/x-not-registered", u"{}"},
        {200, u"text/html", u"{}"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Decode(c.status, {{u"content-type", c.content_type}}, "{}"), Ok(c.text))
            << c.status << " " << ::testing::PrintToString(c.content_type);
    }
}

TEST(ReplyBodyTest, Decompression) {
    const std::string json = "{\"token\":\"caf\xC3\xA9\"}";
    const std::u16string text = u"{\"token\":\"caf\u00E9\"}";
    std::string gzip = Gzip(json);
    struct Case {
        const char* what;
        std::vector<platform::HttpHeader> headers;
        std::string body;
        Outcome expected;
    } cases[] = {
        {"gzip", {{u"Content-Encoding", u"gzip"}}, gzip, Ok(text)},
        {"deflate", {{u"Content-Encoding", u"deflate"}}, Deflate(json), Ok(text)},
        {"two gzip members",
         {{u"Content-Encoding", u"gzip"}},
         Gzip("{\"token\":") + Gzip("\"caf\xC3\xA9\"}"),
         Ok(text)},
        {"bytes after the stream", {{u"Content-Encoding", u"gzip"}}, gzip + "trailing", Ok(text)},
        {"then a charset",
         {{u"Content-Encoding", u"gzip"}, {u"Content-Type", u"text/plain; charset=iso-8859-1"}},
         Gzip("caf\xE9"),
         Ok(u"caf\u00E9")},
        {"empty body", {{u"Content-Encoding", u"gzip"}}, "", Ok(u"")},
        {"other words are not decoded", {{u"Content-Encoding", u"GZIP"}}, "{}", Ok(u"{}")},
        {"identity", {{u"Content-Encoding", u"identity"}}, "{}", Ok(u"{}")},
        {"damaged", {{u"Content-Encoding", u"gzip"}}, "not gzip at all", kDamaged},
        {"cut short", {{u"Content-Encoding", u"gzip"}}, gzip.substr(0, gzip.size() - 6), kDamaged},
        {"gzip called deflate", {{u"Content-Encoding", u"deflate"}}, gzip, kDamaged},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(Decode(200, c.headers, c.body), c.expected);
    }
}

TEST(ReplyBodyTest, InflatingStopsAtTheBound) {
    const std::vector<platform::HttpHeader> gzip{{u"Content-Encoding", u"gzip"}};
    const std::vector<platform::HttpHeader> deflate{{u"Content-Encoding", u"deflate"}};
    Outcome exact = Decode(200, gzip, Gzip(std::string(kLimit, ' ')));
    EXPECT_EQ(exact.kind, u"");
    EXPECT_EQ(exact.text.size(), kLimit);
    EXPECT_EQ(Decode(200, gzip, Gzip(std::string(kLimit + 1, ' '))), kTooLarge);
    EXPECT_EQ(Decode(200, deflate, Deflate(std::string(kLimit + 1, ' '))), kTooLarge);

    // A small bomb: a thousand members of 1 MiB of zeros each, some kilobytes
    // in all, followed by damaged data. Inflating it all would end at the
    // damage; stopping at the bound never gets there.
    std::string member = Gzip(std::string(1024 * 1024, '\0'));
    std::string bomb;
    for (int i = 0; i < 1000; ++i) bomb += member;
    bomb += "\x1F\x8B damaged";
    EXPECT_LT(bomb.size(), 2u * 1024 * 1024);
    EXPECT_EQ(Decode(200, gzip, bomb), kTooLarge);
}

TEST(ReplyBodyTest, HeaderLookUpIgnoresCase) {
    std::vector<platform::HttpHeader> headers{{u"content-TYPE", u"first"}, {u"Content-Type", u"second"}};
    ASSERT_NE(FindHeader(headers, u"Content-Type"), nullptr);
    EXPECT_EQ(*FindHeader(headers, u"Content-Type"), u"first");
    EXPECT_EQ(FindHeader(headers, u"Content-Typ"), nullptr);
}

}  // namespace
}  // namespace vantrel::accesskey
