#include "accesskey/cookies.h"

#include <algorithm>

#include "core/ascii.h"

namespace vantrel::accesskey {

namespace {

// Days since 1970-01-01 of a civil date.
std::int64_t DaysFromCivil(std::int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const auto yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

// The digits at the start of `s` as a number, and how many there were.
std::size_t Digits(std::u16string_view s, int& value) {
    std::size_t n = 0;
    value = 0;
    while (n < s.size() && IsAsciiDigit(s[n]) && n < 9) value = value * 10 + (s[n++] - u'0');
    return n;
}

bool DomainMatches(std::u16string_view host, std::u16string_view domain) {
    if (host == domain) return true;
    return host.size() > domain.size() && host.substr(host.size() - domain.size()) == domain &&
           host[host.size() - domain.size() - 1] == u'.';
}

bool PathMatches(std::u16string_view request_path, std::u16string_view cookie_path) {
    if (request_path == cookie_path) return true;
    if (request_path.substr(0, cookie_path.size()) != cookie_path) return false;
    return cookie_path.back() == u'/' || request_path[cookie_path.size()] == u'/';
}

std::u16string RequestPath(const Url& url) { return url.path.empty() ? std::u16string(u"/") : url.path; }

std::u16string DefaultPath(const Url& url) {
    std::u16string path = RequestPath(url);
    std::size_t slash = path.rfind(u'/');
    if (path[0] != u'/' || slash == 0) return u"/";
    return path.substr(0, slash);
}

}  // namespace

std::optional<std::int64_t> ParseCookieDate(std::u16string_view text) {
    auto is_delimiter = [](char16_t c) {
        return c == 0x09 || (c >= 0x20 && c <= 0x2F) || (c >= 0x3B && c <= 0x40) ||
               (c >= 0x5B && c <= 0x60) || (c >= 0x7B && c <= 0x7E);
    };
    static constexpr std::u16string_view kMonths[] = {u"jan", u"feb", u"mar", u"apr", u"may", u"jun",
                                                      u"jul", u"aug", u"sep", u"oct", u"nov", u"dec"};
    int hour = -1, minute = -1, second = -1, day = -1, month = -1, year = -1;
    std::size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && is_delimiter(text[i])) ++i;
        std::size_t end = i;
        while (end < text.size() && !is_delimiter(text[end])) ++end;
        std::u16string_view token = text.substr(i, end - i);
        i = end;
        if (token.empty()) continue;

        int a = 0, b = 0, c = 0;
        std::size_t na = Digits(token, a);
        if (hour < 0 && na >= 1 && na <= 2 && na < token.size() && token[na] == u':') {
            std::u16string_view rest = token.substr(na + 1);
            std::size_t nb = Digits(rest, b);
            if (nb >= 1 && nb <= 2 && nb < rest.size() && rest[nb] == u':') {
                std::size_t nc = Digits(rest.substr(nb + 1), c);
                if (nc >= 1 && nc <= 2) {
                    hour = a, minute = b, second = c;
                    continue;
                }
            }
        }
        if (day < 0 && na >= 1 && na <= 2 && (na == token.size() || !IsAsciiDigit(token[na]))) {
            day = a;
            continue;
        }
        if (month < 0 && token.size() >= 3) {
            std::u16string prefix = AsciiLower(token.substr(0, 3));
            auto found = std::find(std::begin(kMonths), std::end(kMonths), prefix);
            if (found != std::end(kMonths)) {
                month = static_cast<int>(found - std::begin(kMonths)) + 1;
                continue;
            }
        }
        if (year < 0 && na >= 2 && na <= 4 && (na == token.size() || !IsAsciiDigit(token[na]))) {
            year = a;
            continue;
        }
    }
    if (year >= 70 && year <= 99)
        year += 1900;
    else if (year >= 0 && year <= 69)
        year += 2000;
    if (hour < 0 || day < 1 || day > 31 || month < 0 || year < 1601 || hour > 23 || minute > 59 ||
        second > 59) {
        return std::nullopt;
    }
    return DaysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) * 86400 +
           hour * 3600 + minute * 60 + second;
}

void CookieJar::Store(const Url& url, const std::vector<platform::HttpHeader>& headers, std::int64_t now) {
    for (const platform::HttpHeader& header : headers) {
        if (EqualsIgnoringAsciiCase(header.name, u"set-cookie")) Take(url, header.value, now);
    }
}

void CookieJar::Take(const Url& url, std::u16string_view header, std::int64_t now) {
    std::size_t semicolon = header.find(u';');
    std::u16string_view pair = header.substr(0, semicolon);
    std::size_t equals = pair.find(u'=');
    if (equals == std::u16string_view::npos) return;
    Cookie cookie;
    cookie.name = std::u16string(Trim(pair.substr(0, equals)));
    cookie.value = std::u16string(Trim(pair.substr(equals + 1)));
    if (cookie.name.empty()) return;
    const std::u16string host = AsciiLower(url.host);
    cookie.domain = host;
    cookie.path = DefaultPath(url);

    bool expired = false;
    bool has_max_age = false;
    while (semicolon != std::u16string_view::npos) {
        std::size_t next = header.find(u';', semicolon + 1);
        std::u16string_view attribute =
            header.substr(semicolon + 1, next == std::u16string_view::npos ? std::u16string_view::npos
                                                                           : next - semicolon - 1);
        semicolon = next;
        std::size_t eq = attribute.find(u'=');
        std::u16string name = AsciiLower(Trim(attribute.substr(0, eq)));
        std::u16string_view value =
            eq == std::u16string_view::npos ? std::u16string_view() : Trim(attribute.substr(eq + 1));
        if (name == u"domain") {
            std::u16string domain = AsciiLower(value);
            if (!domain.empty() && domain[0] == u'.') domain.erase(0, 1);
            if (domain.empty()) continue;
            if (!DomainMatches(host, domain)) return;  // a cookie for another site: refused
            cookie.domain = domain;
            cookie.host_only = false;
        } else if (name == u"path") {
            if (!value.empty() && value[0] == u'/') cookie.path = std::u16string(value);
        } else if (name == u"max-age") {
            bool negative = !value.empty() && value[0] == u'-';
            std::u16string_view digits = negative ? value.substr(1) : value;
            if (digits.empty() || !std::all_of(digits.begin(), digits.end(), IsAsciiDigit<char16_t>))
                continue;
            has_max_age = true;
            expired =
                negative || std::all_of(digits.begin(), digits.end(), [](char16_t c) { return c == u'0'; });
        } else if (name == u"expires") {
            if (has_max_age) continue;
            std::optional<std::int64_t> when = ParseCookieDate(value);
            if (when) expired = *when <= now;
        } else if (name == u"secure") {
            cookie.secure = true;
        }
    }

    auto same = std::find_if(cookies_.begin(), cookies_.end(), [&cookie](const Cookie& c) {
        return c.name == cookie.name && c.domain == cookie.domain && c.path == cookie.path;
    });
    if (expired) {
        if (same != cookies_.end()) cookies_.erase(same);
        return;
    }
    if (same != cookies_.end()) {
        cookie.order = same->order;
        *same = std::move(cookie);
    } else {
        cookie.order = next_order_++;
        cookies_.push_back(std::move(cookie));
    }
}

std::u16string CookieJar::HeaderFor(const Url& url) const {
    const std::u16string host = AsciiLower(url.host);
    const std::u16string path = RequestPath(url);
    const bool secure = AsciiLower(url.scheme) == u"https";
    std::vector<const Cookie*> chosen;
    for (const Cookie& cookie : cookies_) {
        bool domain_ok = cookie.host_only ? host == cookie.domain : DomainMatches(host, cookie.domain);
        if (domain_ok && PathMatches(path, cookie.path) && (!cookie.secure || secure))
            chosen.push_back(&cookie);
    }
    std::stable_sort(chosen.begin(), chosen.end(), [](const Cookie* a, const Cookie* b) {
        if (a->path.size() != b->path.size()) return a->path.size() > b->path.size();
        return a->order < b->order;
    });
    std::u16string header;
    for (const Cookie* cookie : chosen) {
        if (!header.empty()) header += u"; ";
        header += cookie->name + u'=' + cookie->value;
    }
    return header;
}

}  // namespace vantrel::accesskey
