// The cookies of one exchange: what the server sets on a redirect goes back
// to it on the requests that follow, by the usual rules of domain, path,
// expiry and Secure. Nothing outlives the exchange.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "accesskey/url.h"
#include "platform/http.h"

namespace vantrel::accesskey {

class CookieJar {
public:
    // Takes the Set-Cookie headers of a reply to `url` (a normalised address).
    // `now` is the current time in seconds since 1970 (UTC), for Expires.
    void Store(const Url& url, const std::vector<platform::HttpHeader>& headers, std::int64_t now);

    // The Cookie header's value for a request to `url`: "name=value" pairs
    // joined by "; ", longer paths first; empty when no cookie applies.
    std::u16string HeaderFor(const Url& url) const;

private:
    struct Cookie {
        std::u16string name;
        std::u16string value;
        std::u16string domain;  // lower case, no leading dot
        std::u16string path;
        bool host_only = true;
        bool secure = false;
        std::uint64_t order = 0;
    };
    void Take(const Url& url, std::u16string_view header, std::int64_t now);

    std::vector<Cookie> cookies_;
    std::uint64_t next_order_ = 0;
};

// An HTTP date as seconds since 1970 (UTC), read the lenient way browsers
// read cookie dates; nullopt when no date can be made of it.
std::optional<std::int64_t> ParseCookieDate(std::u16string_view text);

}  // namespace vantrel::accesskey
