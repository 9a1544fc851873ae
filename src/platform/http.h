// One HTTP GET request and its reply, as the platform's HTTP service makes it.
//
// The transport sends exactly one request: it follows no redirect, keeps no
// cookie, decompresses nothing and never retries on its own. It reaches the
// server through the user's proxy settings (Windows: the current user's
// Internet settings; POSIX: libcurl's proxy environment variables). What a
// caller does with the reply (redirects, cookies, status rules, decoding) is
// written once above it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace vantrel::platform {

// Milliseconds for each stage of a request.
struct HttpTimeouts {
    std::uint32_t resolve_ms = 0;  // name resolution
    std::uint32_t connect_ms = 0;  // connection to the server (or proxy)
    std::uint32_t send_ms = 0;     // sending the request
    std::uint32_t receive_ms = 0;  // the status line and headers, and each read of the body
};

struct HttpHeader {
    std::u16string name;
    std::u16string value;
};

struct HttpRequest {
    bool secure = false;  // https
    std::u16string host;  // as in a URL: a name, an IPv4 address or [an IPv6 address]
    std::uint16_t port = 80;
    std::u16string target;  // path and query, starting with "/", sent as it is
    // Each sent as its name, ": " and its value, in this order.
    std::vector<HttpHeader> headers;
    HttpTimeouts timeouts;
    // The body is read up to this many bytes; a longer one is cut off there and
    // marked, and nothing more of it is read.
    std::size_t body_limit = 0;
};

enum class HttpVersion { Http10, Http11, Http20, Other };

struct HttpReply {
    std::uint32_t status = 0;
    std::u16string reason;  // the status line's text after the code
    HttpVersion version = HttpVersion::Other;
    std::vector<HttpHeader> headers;  // in the order received, repeated names kept
    std::string body;                 // as received: nothing decoded or decompressed
    bool body_over_limit = false;     // the body went on past body_limit
};

struct HttpOutcome {
    enum class Status {
        Replied,    // `reply` is set
        Failed,     // `message` tells what failed, as "Error sending data: (%d) %s" etc.
        NoSession,  // the HTTP service could not be opened at all
    };
    Status status = Status::Failed;
    HttpReply reply;
    std::u16string message;
    // The proxy the request went to, for the support trace; empty: direct.
    std::u16string proxy;
};

class HttpTransport {
public:
    virtual ~HttpTransport() = default;
    virtual HttpOutcome Get(const HttpRequest& request) = 0;
};

// The real one. Lives for the whole process.
HttpTransport& RealHttpTransport();

}  // namespace vantrel::platform
