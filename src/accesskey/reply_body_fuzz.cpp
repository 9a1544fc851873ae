// libFuzzer target for the decoding of reply bodies.
//
// The first bytes choose the Content-Encoding, the charset and the status; the
// rest is the body. For any bytes: decoding ends in text or in the tool's own
// failure "ERESTException"; nothing is inflated past the bound; with no
// encoding and UTF-8 the text is the plain UTF-8 decoding.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "accesskey/reply_body.h"
#include "core/error.h"
#include "core/utf.h"

namespace {

void Check(bool ok, const char* what) {
    if (!ok) {
        std::fprintf(stderr, "reply_body_fuzz: %s\n", what);
        std::abort();
    }
}

// Small enough for the fuzzer to reach.
constexpr std::size_t kLimit = 1 << 20;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 3) return 0;
    static const char16_t* const kEncodings[] = {u"", u"gzip", u"deflate", u"GZIP"};
    static const char16_t* const kTypes[] = {
        u"application/json",
        u"application/json; charset=utf-8",
        u"text/plain; charset=ISO-8859-1",
        u"text/plain; charset=windows-1252",
        u"text/plain; charset=us-ascii",
        u"text/plain; charset=utf-16",
        u"text/plain; charset=utf-16be",
        u"application/octet-stream",
        u"text/plain; charset=\"x-unknown\"",
    };
    const char16_t* encoding = kEncodings[data[0] % 4];
    const char16_t* type = kTypes[data[1] % 9];
    vantrel::platform::HttpReply reply;
    reply.status = data[2] % 2 == 0 ? 200 : 404;
    reply.headers = {{u"Content-Encoding", encoding}, {u"Content-Type", type}};
    reply.body.assign(reinterpret_cast<const char*>(data + 3), size - 3);

    try {
        std::u16string text = vantrel::accesskey::DecodeReplyBody(reply, kLimit);
        Check(text.size() <= kLimit + 1, "text longer than the bound allows");
        if (encoding[0] == u'\0' && data[1] % 9 <= 1) {
            Check(text == vantrel::Utf8ToUtf16(reply.body), "plain UTF-8 body decoded differently");
        }
    } catch (const vantrel::Error& e) {
        Check(e.kind() == u"ERESTException", "failure of another kind");
        Check(encoding == kEncodings[1] || encoding == kEncodings[2], "failure without compression");
    }
    return 0;
}
