// One HTTP GET through libcurl. libcurl's own redirects, cookies and content
// decoding stay off; its proxy comes from the environment (http_proxy,
// https_proxy, all_proxy, no_proxy), as libcurl reads it by default.
//
// libcurl is loaded with the first request, not with the program: most runs
// make none, and loading it brings in dozens of other libraries (TLS,
// Kerberos, LDAP, ...), which would make every start slower and bigger.
//
// libcurl has one limit for name resolution and connection together, and no
// time-out per read: the resolution and connection limits are added up for the
// former, and a progress callback ends a transfer whose request is not out
// within the resolution, connection and send limits together, or that has
// received nothing for the receive limit once the request is out.
#include <curl/curl.h>

#include <chrono>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <utility>

#include "core/ascii.h"
#include "core/utf.h"
#include "platform/http.h"
#include "platform/libraries.h"

namespace vantrel::platform {

namespace {

using Clock = std::chrono::steady_clock;

// The libcurl functions this transport calls.
struct CurlApi {
    decltype(&::curl_global_init) global_init;
    decltype(&::curl_easy_strerror) easy_strerror;
    decltype(&::curl_easy_init) easy_init;
    decltype(&::curl_easy_cleanup) easy_cleanup;
    decltype(&::curl_easy_setopt) easy_setopt;
    decltype(&::curl_easy_perform) easy_perform;
    decltype(&::curl_easy_getinfo) easy_getinfo;
    decltype(&::curl_slist_append) slist_append;
    decltype(&::curl_slist_free_all) slist_free_all;
};

// The library under its names on Debian (OpenSSL and GnuTLS builds, which
// share one interface).
constexpr const char16_t* kCurlNames[] = {u"libcurl.so.4", u"libcurl-gnutls.so.4"};

template <typename Function>
bool Take(Library& library, const char* symbol, Function& function) {
    void* address = library.Symbol(symbol);
    function = reinterpret_cast<Function>(address);
    return address != nullptr;
}

// libcurl loaded and set up once for the process, and kept loaded for its
// whole life (libcurl's global state stays); nullptr when it cannot be loaded,
// lacks a function or does not start.
const CurlApi* Curl() {
    struct Loaded {
        std::unique_ptr<Library> library;
        CurlApi api{};
    };
    static const Loaded* const loaded = []() -> const Loaded* {
        for (const char16_t* name : kCurlNames) {
            LibraryLoad load = RealLibraries().Load(name);
            if (!load.library) continue;
            CurlApi api{};
            Library& library = *load.library;
            const bool complete = Take(library, "curl_global_init", api.global_init) &&
                                  Take(library, "curl_easy_strerror", api.easy_strerror) &&
                                  Take(library, "curl_easy_init", api.easy_init) &&
                                  Take(library, "curl_easy_cleanup", api.easy_cleanup) &&
                                  Take(library, "curl_easy_setopt", api.easy_setopt) &&
                                  Take(library, "curl_easy_perform", api.easy_perform) &&
                                  Take(library, "curl_easy_getinfo", api.easy_getinfo) &&
                                  Take(library, "curl_slist_append", api.slist_append) &&
                                  Take(library, "curl_slist_free_all", api.slist_free_all);
            if (!complete) return nullptr;
            // Kept before libcurl starts: running out of memory after its start
            // would unload a started library.
            auto* kept = new Loaded{std::move(load.library), api};
            if (api.global_init(CURL_GLOBAL_DEFAULT) != CURLE_OK) return nullptr;
            return kept;
        }
        return nullptr;
    }();
    return loaded != nullptr ? &loaded->api : nullptr;
}

// libcurl's text for a code, without trailing white space and full stops.
std::u16string CurlText(const CurlApi& curl, CURLcode code) {
    return Utf8ToUtf16(Trim(std::string_view(curl.easy_strerror(code)), "", ". \t\r\n"));
}

std::u16string Numbered(const CurlApi& curl, const char16_t* what, CURLcode code) {
    return std::u16string(what) + u": (" + Decimal(static_cast<int>(code)) + u") " + CurlText(curl, code);
}

// A header line's part without the blanks around it, and without the line break
// at its end.
std::string_view TrimHeader(std::string_view s) { return Trim(s, kSpaceAndTab, " \t\r\n"); }

// How far the exchange got, which decides the message of a failure.
enum class Stage { Sending, Receiving, Headers, Body };

struct Transfer {
    const HttpRequest* request = nullptr;
    HttpReply reply;
    Stage stage = Stage::Sending;
    bool timed_out = false;  // ended by the quiet-time limit
    std::string proxy;       // the proxy libcurl took from the environment
    // Memory ran out in a callback; no exception may pass through libcurl, so
    // the callback ends the transfer and the exchange raises it afterwards.
    bool out_of_memory = false;
    Clock::time_point start;
    Clock::time_point last_activity;

    void Touch() { last_activity = Clock::now(); }
};

// The proxy without its user name and password.
std::string WithoutCredentials(std::string proxy) {
    const std::size_t at = proxy.rfind('@');
    if (at == std::string::npos) return proxy;
    const std::size_t scheme = proxy.find("://");
    const std::size_t from = scheme == std::string::npos || scheme > at ? 0 : scheme + 3;
    return proxy.erase(from, at + 1 - from);
}

int OnDebug(CURL*, curl_infotype type, char* data, size_t size, void* user) {
    auto* t = static_cast<Transfer*>(user);
    try {
        // libcurl tells which proxy variable it used: Uses proxy env variable NAME == 'VALUE'.
        static constexpr std::string_view kUsesProxy = "Uses proxy env variable ";
        const std::string_view text(data, size);
        if (type == CURLINFO_TEXT && text.starts_with(kUsesProxy)) {
            const std::size_t open = text.find('\'');
            const std::size_t close = text.rfind('\'');
            if (open != std::string_view::npos && close > open) {
                t->proxy = WithoutCredentials(std::string(text.substr(open + 1, close - open - 1)));
            }
        }
        if (type == CURLINFO_HEADER_OUT && t->stage == Stage::Sending) {
            t->stage = Stage::Receiving;
            t->Touch();
        }
        return 0;
    } catch (...) {
        t->out_of_memory = true;
        return 0;
    }
}

size_t OnHeader(char* data, size_t size, size_t count, void* user) {
    auto* t = static_cast<Transfer*>(user);
    try {
        std::string_view line(data, size * count);
        t->Touch();
        if (line.rfind("HTTP/", 0) == 0) {
            // A status line starts a new header block (after a 1xx reply too).
            t->reply.headers.clear();
            t->stage = Stage::Headers;
            std::string_view rest = TrimHeader(line);
            std::size_t space = rest.find(' ');
            std::string_view version = rest.substr(0, space);
            t->reply.version = version == "HTTP/1.0"                            ? HttpVersion::Http10
                               : version == "HTTP/1.1"                          ? HttpVersion::Http11
                               : (version == "HTTP/2" || version == "HTTP/2.0") ? HttpVersion::Http20
                                                                                : HttpVersion::Other;
            rest = space == std::string_view::npos ? std::string_view() : rest.substr(space + 1);
            std::size_t code_end = rest.find(' ');
            std::string_view code = rest.substr(0, code_end);
            std::uint32_t status = 0;
            for (char c : code) {
                if (!IsAsciiDigit(c) || status > 99999) break;
                status = status * 10 + static_cast<std::uint32_t>(c - '0');
            }
            t->reply.status = status;
            t->reply.reason = code_end == std::string_view::npos ? std::u16string()
                                                                 : Utf8ElseLatin1(rest.substr(code_end + 1));
            return line.size();
        }
        std::string_view content = TrimHeader(line);
        if (content.empty()) {
            // The end of a header block; after a 1xx reply another one follows.
            if (t->reply.status >= 200 || t->reply.status < 100) t->stage = Stage::Body;
            return line.size();
        }
        std::size_t colon = content.find(':');
        if (colon != std::string_view::npos) {
            t->reply.headers.push_back({Utf8ElseLatin1(TrimHeader(content.substr(0, colon))),
                                        Utf8ElseLatin1(TrimHeader(content.substr(colon + 1)))});
        }
        return line.size();
    } catch (...) {
        t->out_of_memory = true;
        return 0;
    }
}

size_t OnBody(char* data, size_t size, size_t count, void* user) {
    auto* t = static_cast<Transfer*>(user);
    try {
        const size_t n = size * count;
        t->Touch();
        t->stage = Stage::Body;
        std::size_t room = t->request->body_limit - t->reply.body.size();
        if (n > room) {
            t->reply.body.append(data, room);
            t->reply.body_over_limit = true;
            return 0;  // ends the transfer: nothing more is read
        }
        t->reply.body.append(data, n);
        return n;
    } catch (...) {
        t->out_of_memory = true;
        return 0;
    }
}

int OnProgress(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    auto* t = static_cast<Transfer*>(user);
    const HttpTimeouts& limits = t->request->timeouts;
    auto now = Clock::now();
    auto quiet = std::chrono::duration_cast<std::chrono::milliseconds>(now - t->last_activity).count();
    auto total = std::chrono::duration_cast<std::chrono::milliseconds>(now - t->start).count();
    bool expired = t->stage == Stage::Sending ? total > static_cast<long long>(limits.resolve_ms) +
                                                            limits.connect_ms + limits.send_ms
                                              : quiet > static_cast<long long>(limits.receive_ms);
    if (expired) {
        t->timed_out = true;
        return 1;
    }
    return 0;
}

std::u16string UrlOf(const HttpRequest& request) {
    return (request.secure ? u"https://" : u"http://") + request.host + u":" + Decimal(request.port) +
           request.target;
}

// One GET on its way, step by step: open (the easy handle and its settings),
// send (libcurl sends the request and hands the reply to the callbacks above
// as it comes), read the status and headers (and what libcurl says of them),
// read the body (or the failure, worded by how far the exchange got). A step
// that fails gives the outcome to return.
class Exchange {
public:
    Exchange(const CurlApi& lib, const HttpRequest& request)
        : lib_(lib),
          request_(request),
          curl_(nullptr, lib.easy_cleanup),
          headers_(nullptr, lib.slist_free_all) {
        transfer_.request = &request;
    }

    HttpOutcome Run() {
        HttpOutcome outcome = Steps();
        outcome.proxy = Utf8ToUtf16(transfer_.proxy);
        return outcome;
    }

private:
    HttpOutcome Steps() {
        if (auto failed = Open()) return *failed;
        Send();
        if (transfer_.out_of_memory) throw std::bad_alloc();
        if (auto failed = ReadStatusAndHeaders()) return *failed;
        return ReadBody();
    }

    using Step = std::optional<HttpOutcome>;

    static HttpOutcome Fail(std::u16string message) {
        HttpOutcome outcome;
        outcome.status = HttpOutcome::Status::Failed;
        outcome.message = std::move(message);
        return outcome;
    }

    Step Open() {
        const CurlApi& lib = lib_;
        curl_.reset(lib.easy_init());
        if (!curl_) {
            HttpOutcome outcome;
            outcome.status = HttpOutcome::Status::NoSession;
            return outcome;
        }
        CURL* c = curl_.get();

        url_ = Utf16ToUtf8(UrlOf(request_));
        if (lib.easy_setopt(c, CURLOPT_URL, url_.c_str()) != CURLE_OK ||
            lib.easy_setopt(c, CURLOPT_PROTOCOLS_STR, "http,https") != CURLE_OK) {
            return Fail(u"Error connecting to server: " + request_.host);
        }

        CURLcode set = CURLE_OK;
        auto option = [&set](CURLcode code) {
            if (set == CURLE_OK) set = code;
        };
        option(lib.easy_setopt(c, CURLOPT_HTTPGET, 1L));
        option(lib.easy_setopt(c, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1)));
        option(lib.easy_setopt(c, CURLOPT_FOLLOWLOCATION, 0L));
        option(lib.easy_setopt(c, CURLOPT_NOSIGNAL, 1L));
        option(lib.easy_setopt(c, CURLOPT_HEADERFUNCTION, OnHeader));
        option(lib.easy_setopt(c, CURLOPT_HEADERDATA, &transfer_));
        option(lib.easy_setopt(c, CURLOPT_WRITEFUNCTION, OnBody));
        option(lib.easy_setopt(c, CURLOPT_WRITEDATA, &transfer_));
        option(lib.easy_setopt(c, CURLOPT_DEBUGFUNCTION, OnDebug));
        option(lib.easy_setopt(c, CURLOPT_DEBUGDATA, &transfer_));
        option(lib.easy_setopt(c, CURLOPT_VERBOSE, 1L));
        if (set != CURLE_OK) return Fail(Numbered(lib, u"Error opening request", set));

        option(lib.easy_setopt(c, CURLOPT_CONNECTTIMEOUT_MS,
                               static_cast<long>(request_.timeouts.resolve_ms) +
                                   static_cast<long>(request_.timeouts.connect_ms)));
        option(lib.easy_setopt(c, CURLOPT_XFERINFOFUNCTION, OnProgress));
        option(lib.easy_setopt(c, CURLOPT_XFERINFODATA, &transfer_));
        option(lib.easy_setopt(c, CURLOPT_NOPROGRESS, 0L));
        if (set != CURLE_OK) return Fail(Numbered(lib, u"Error setting timeout for the request", set));

        for (const HttpHeader& header : request_.headers) {
            std::string line = Utf16ToUtf8(header.name + u": " + header.value);
            curl_slist* more = lib.slist_append(headers_.get(), line.c_str());
            if (more == nullptr) return Fail(Numbered(lib, u"Error adding header", CURLE_OUT_OF_MEMORY));
            static_cast<void>(headers_.release());  // the list now goes on in `more`
            headers_.reset(more);
        }
        if (CURLcode code = lib.easy_setopt(c, CURLOPT_HTTPHEADER, headers_.get()); code != CURLE_OK) {
            return Fail(Numbered(lib, u"Error adding header", code));
        }
        return std::nullopt;
    }

    void Send() {
        transfer_.start = Clock::now();
        transfer_.last_activity = transfer_.start;
        result_ = lib_.easy_perform(curl_.get());
    }

    // The status line and headers came through OnHeader; the version is taken
    // from libcurl's own reading where it has one. A failure before the body
    // is worded here.
    Step ReadStatusAndHeaders() {
        if (Complete()) {
            long version = 0;
            if (lib_.easy_getinfo(curl_.get(), CURLINFO_HTTP_VERSION, &version) == CURLE_OK) {
                if (version == CURL_HTTP_VERSION_1_0)
                    transfer_.reply.version = HttpVersion::Http10;
                else if (version == CURL_HTTP_VERSION_1_1)
                    transfer_.reply.version = HttpVersion::Http11;
                else if (version == CURL_HTTP_VERSION_2_0)
                    transfer_.reply.version = HttpVersion::Http20;
            }
            return std::nullopt;
        }
        // A transfer ended by the quiet-time limit is a time-out, whatever
        // libcurl calls its end.
        if (transfer_.timed_out) result_ = CURLE_OPERATION_TIMEDOUT;
        switch (result_) {
        case CURLE_URL_MALFORMAT:
        case CURLE_UNSUPPORTED_PROTOCOL:
            if (transfer_.stage == Stage::Sending)
                return Fail(u"Error connecting to server: " + request_.host);
            return Fail(Numbered(lib_, u"Error querying headers", result_));
        case CURLE_WEIRD_SERVER_REPLY: return Fail(Numbered(lib_, u"Error querying headers", result_));
        default: break;
        }
        switch (transfer_.stage) {
        case Stage::Sending: return Fail(Numbered(lib_, u"Error sending data", result_));
        case Stage::Receiving:
        case Stage::Headers: return Fail(Numbered(lib_, u"Error receiving data", result_));
        case Stage::Body: break;
        }
        return std::nullopt;
    }

    // The body came through OnBody, cut off at the limit where it went past.
    HttpOutcome ReadBody() {
        if (!Complete()) return Fail(Numbered(lib_, u"Error reading data", result_));
        HttpOutcome outcome;
        outcome.status = HttpOutcome::Status::Replied;
        outcome.reply = std::move(transfer_.reply);
        return outcome;
    }

    // The transfer ended with the whole reply, or with as much of the body as
    // the limit lets in.
    bool Complete() const {
        return result_ == CURLE_OK || (result_ == CURLE_WRITE_ERROR && transfer_.reply.body_over_limit);
    }

    const CurlApi& lib_;
    const HttpRequest& request_;
    std::unique_ptr<CURL, decltype(CurlApi::easy_cleanup)> curl_;
    std::unique_ptr<curl_slist, decltype(CurlApi::slist_free_all)> headers_;
    std::string url_;
    Transfer transfer_;
    CURLcode result_ = CURLE_OK;
};

class CurlTransport : public HttpTransport {
public:
    HttpOutcome Get(const HttpRequest& request) override {
        const CurlApi* api = Curl();
        if (api == nullptr) {
            HttpOutcome outcome;
            outcome.status = HttpOutcome::Status::NoSession;
            return outcome;
        }
        return Exchange(*api, request).Run();
    }
};

}  // namespace

HttpTransport& RealHttpTransport() {
    static CurlTransport real;
    return real;
}

}  // namespace vantrel::platform
