// One GET exchange with a server, written once over the platform's transport:
// the address normalised, the headers sent on every request, redirects
// followed with the cookies they set, the status rules, the bound on the body
// and its decoding to text.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "platform/http.h"

namespace vantrel::accesskey {

struct ExchangeOptions {
    std::vector<platform::HttpHeader> headers;
    platform::HttpTimeouts timeouts;
    std::size_t body_limit = 0;
    int max_redirects = 5;
};

// Sends GET to `url` and returns the text of the reply that ends the exchange.
//
// A reply with status 300, 301, 302, 303, 307 or 308 and a non-empty Location
// is followed with a new GET to that location (read relative to the address it
// came from), with the same headers and the cookies set so far; the redirect
// after the last one allowed fails. A status of 500 or above fails with the
// status line; every other reply's body is decoded to text (DecodeReplyBody).
//
// Failures: "ERESTException" with "REST request failed: " and the transport's
// message, "Maximum number of redirections (5) exceeded", "Reply body larger
// than 8 MiB" or the decompression failure; "ERESTException" with the status
// line; "ENetHTTPClientException" "Error obtaining session handle" when the
// HTTP service cannot be opened.
std::u16string HttpGetText(platform::HttpTransport& transport, std::u16string_view address,
                           const ExchangeOptions& options);

// "HTTP/1.1 503 Service Unavailable": the prefix of the protocol version (none
// for a version other than 1.0, 1.1 and 2.0), the code and the reason text.
std::u16string StatusLine(const platform::HttpReply& reply);

}  // namespace vantrel::accesskey
