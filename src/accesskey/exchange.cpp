#include "accesskey/exchange.h"

#include <chrono>
#include <optional>

#include "accesskey/cookies.h"
#include "accesskey/reply_body.h"
#include "accesskey/url.h"
#include "core/ascii.h"
#include "core/error.h"
#include "core/trace.h"
#include "core/utf.h"

namespace vantrel::accesskey {

namespace {

[[noreturn]] void ThrowRest(const std::u16string& message) {
    throw Error(u"ERESTException", u"REST request failed: " + message);
}

bool IsRedirect(std::uint32_t status) {
    return status == 300 || status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

// The request for a normalised address; nullopt when no HTTP server can be
// reached by it (another scheme, no host, a port that is not one).
std::optional<platform::HttpRequest> RequestFor(const Url& url) {
    platform::HttpRequest request;
    if (url.scheme == u"http") {
        request.port = 80;
    } else if (url.scheme == u"https") {
        request.secure = true;
        request.port = 443;
    } else {
        return std::nullopt;
    }
    if (url.host.empty()) return std::nullopt;
    if (url.port && !url.port->empty()) {
        std::uint32_t port = 0;
        for (char16_t c : *url.port) {
            if (!IsAsciiDigit(c)) return std::nullopt;
            port = port * 10 + (c - u'0');
            if (port > 65535) return std::nullopt;
        }
        if (port == 0) return std::nullopt;
        request.port = static_cast<std::uint16_t>(port);
    }
    request.host = url.host;
    request.target = RequestTarget(url);
    return request;
}

std::int64_t SecondsNow() {
    return std::chrono::duration_cast<std::chrono::seconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

}  // namespace

std::u16string StatusLine(const platform::HttpReply& reply) {
    std::u16string line;
    switch (reply.version) {
    case platform::HttpVersion::Http10: line = u"HTTP/1.0 "; break;
    case platform::HttpVersion::Http11: line = u"HTTP/1.1 "; break;
    case platform::HttpVersion::Http20: line = u"HTTP/2.0 "; break;
    case platform::HttpVersion::Other: break;
    }
    return line + Decimal(reply.status) + u" " + reply.reason;
}

std::u16string HttpGetText(platform::HttpTransport& transport, std::u16string_view address,
                           const ExchangeOptions& options) {
    CookieJar cookies;
    std::u16string current = NormalizeUrl(address);
    for (int redirects = 0;; ++redirects) {
        std::optional<Url> url = ParseUrl(current);
        std::optional<platform::HttpRequest> request = url ? RequestFor(*url) : std::nullopt;
        if (!request) ThrowRest(u"Error connecting to server: " + (url ? url->host : std::u16string()));
        request->headers = options.headers;
        std::u16string cookie = cookies.HeaderFor(*url);
        if (!cookie.empty()) request->headers.push_back({u"Cookie", cookie});
        request->timeouts = options.timeouts;
        request->body_limit = options.body_limit;

        if (trace::On()) trace::Line("key", u"GET " + current);
        platform::HttpOutcome outcome = transport.Get(*request);
        if (trace::On()) {
            trace::Line("key", outcome.proxy.empty() ? std::u16string(u"direct, no proxy")
                                                     : u"proxy " + outcome.proxy);
            if (outcome.status == platform::HttpOutcome::Status::Replied) {
                trace::Line("key", u"status " + StatusLine(outcome.reply));
            } else {
                trace::Line("key", u"no reply: " + outcome.message);
            }
        }
        if (outcome.status == platform::HttpOutcome::Status::NoSession) {
            throw Error(u"ENetHTTPClientException", u"Error obtaining session handle");
        }
        if (outcome.status == platform::HttpOutcome::Status::Failed) ThrowRest(outcome.message);
        const platform::HttpReply& reply = outcome.reply;

        const std::u16string* location = FindHeader(reply.headers, u"Location");
        if (IsRedirect(reply.status) && location != nullptr && !location->empty()) {
            if (redirects == options.max_redirects) {
                ThrowRest(u"Maximum number of redirections (" + Decimal(options.max_redirects) +
                          u") exceeded");
            }
            if (trace::On()) trace::Line("key", u"redirect to " + *location);
            cookies.Store(*url, reply.headers, SecondsNow());
            current = NormalizeUrl(ResolveReference(current, *location));
            continue;
        }
        if (reply.status >= 500) throw Error(u"ERESTException", StatusLine(reply));
        if (reply.body_over_limit) ThrowBodyTooLarge(options.body_limit);
        return DecodeReplyBody(reply, options.body_limit);
    }
}

}  // namespace vantrel::accesskey
