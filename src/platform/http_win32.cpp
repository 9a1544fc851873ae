// One HTTP GET through WinHTTP, used synchronously on the calling thread.
//
// Proxy: the current user's Internet settings, read once per process. An
// automatic configuration script gives the proxy for each address; otherwise
// the fixed proxy with its bypass list; when the settings cannot be read at all,
// automatic discovery on the network. A discovery that needs a login is tried
// once more with the user's own credentials. The proxy found is handed to the
// session when it is opened (the way every WinHTTP, Wine's included, honours).
//
// WinHTTP's own redirect and cookie handling is off: the caller does both.
#include <windows.h>
#include <winhttp.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "platform/http.h"
#include "platform/wide_win32.h"

namespace vantrel::platform {

namespace {

class Handle {
public:
    explicit Handle(HINTERNET handle) : handle_(handle) {}
    ~Handle() {
        if (handle_ != nullptr) WinHttpCloseHandle(handle_);
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    HINTERNET get() const { return handle_; }
    explicit operator bool() const { return handle_ != nullptr; }

private:
    HINTERNET handle_;
};

// The system's text for an error code, from WinHTTP's message table first,
// without trailing white space and full stops.
std::u16string ErrorText(DWORD code) {
    HMODULE module = GetModuleHandleW(L"winhttp.dll");
    DWORD flags = FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_FROM_SYSTEM;
    if (module != nullptr) flags |= FORMAT_MESSAGE_FROM_HMODULE;
    wchar_t* buffer = nullptr;
    DWORD n = FormatMessageW(flags, module, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::u16string text = n > 0 && buffer != nullptr ? win32::FromWide(buffer, n) : std::u16string();
    if (buffer != nullptr) LocalFree(buffer);
    while (!text.empty() && (text.back() == u'.' || text.back() == u' ' || text.back() == u'\t' ||
                             text.back() == u'\r' || text.back() == u'\n')) {
        text.pop_back();
    }
    return text;
}

std::u16string Decimal(DWORD value) {
    std::string digits = std::to_string(value);
    return std::u16string(digits.begin(), digits.end());
}

std::u16string Numbered(const char16_t* what, DWORD code) {
    return std::u16string(what) + u": (" + Decimal(code) + u") " + ErrorText(code);
}

std::wstring Taken(LPWSTR text) {
    std::wstring copy = text != nullptr ? std::wstring(text) : std::wstring();
    if (text != nullptr) GlobalFree(text);
    return copy;
}

struct UserProxySettings {
    bool read = false;
    std::wstring auto_config_url;
    std::wstring proxy;
    std::wstring bypass;
};

const UserProxySettings& UserProxy() {
    static const UserProxySettings settings = [] {
        UserProxySettings s;
        WINHTTP_CURRENT_USER_IE_PROXY_CONFIG config{};
        if (WinHttpGetIEProxyConfigForCurrentUser(&config)) {
            s.read = true;
            s.auto_config_url = Taken(config.lpszAutoConfigUrl);
            s.proxy = Taken(config.lpszProxy);
            s.bypass = Taken(config.lpszProxyBypass);
        }
        return s;
    }();
    return settings;
}

struct ProxyChoice {
    std::wstring proxy;  // empty: direct
    std::wstring bypass;
};

ProxyChoice FromDiscovery(const std::wstring& url, WINHTTP_AUTOPROXY_OPTIONS options) {
    Handle session(WinHttpOpen(nullptr, WINHTTP_ACCESS_TYPE_NO_PROXY, WINHTTP_NO_PROXY_NAME,
                               WINHTTP_NO_PROXY_BYPASS, 0));
    if (!session) return {};
    WINHTTP_PROXY_INFO info{};
    BOOL found = WinHttpGetProxyForUrl(session.get(), url.c_str(), &options, &info);
    if (!found && GetLastError() == ERROR_WINHTTP_LOGIN_FAILURE) {
        options.fAutoLogonIfChallenged = TRUE;
        found = WinHttpGetProxyForUrl(session.get(), url.c_str(), &options, &info);
    }
    if (!found) return {};
    ProxyChoice choice;
    std::wstring proxy = Taken(info.lpszProxy);
    std::wstring bypass = Taken(info.lpszProxyBypass);
    if (info.dwAccessType == WINHTTP_ACCESS_TYPE_NAMED_PROXY) {
        choice.proxy = proxy;
        choice.bypass = bypass;
    }
    return choice;
}

ProxyChoice ProxyFor(const std::wstring& url) {
    const UserProxySettings& user = UserProxy();
    WINHTTP_AUTOPROXY_OPTIONS options{};
    if (user.read && !user.auto_config_url.empty()) {
        options.dwFlags = WINHTTP_AUTOPROXY_CONFIG_URL;
        options.lpszAutoConfigUrl = user.auto_config_url.c_str();
        return FromDiscovery(url, options);
    }
    if (user.read) return {user.proxy, user.bypass};
    options.dwFlags = WINHTTP_AUTOPROXY_AUTO_DETECT;
    options.dwAutoDetectFlags = WINHTTP_AUTO_DETECT_TYPE_DHCP | WINHTTP_AUTO_DETECT_TYPE_DNS_A;
    return FromDiscovery(url, options);
}

// A text header of the reply; false when WinHTTP cannot give it.
bool QueryText(HINTERNET request, DWORD which, std::wstring& text) {
    DWORD size = 0;
    WinHttpQueryHeaders(request, which, WINHTTP_HEADER_NAME_BY_INDEX, WINHTTP_NO_OUTPUT_BUFFER, &size,
                        WINHTTP_NO_HEADER_INDEX);
    if (GetLastError() != ERROR_INSUFFICIENT_BUFFER) return false;
    std::vector<wchar_t> buffer(size / sizeof(wchar_t) + 1, L'\0');
    if (!WinHttpQueryHeaders(request, which, WINHTTP_HEADER_NAME_BY_INDEX, buffer.data(), &size,
                             WINHTTP_NO_HEADER_INDEX)) {
        return false;
    }
    text.assign(buffer.data(), size / sizeof(wchar_t));
    return true;
}

// The body length that the reply's Content-Length announces, if it announces
// one that counts: a chunked reply's length comes from its chunks, and a
// reply of status 1xx, 204 or 304 has no body whatever its headers say.
std::optional<unsigned long long> AnnouncedLength(HINTERNET request, DWORD status) {
    if (status < 200 || status == 204 || status == 304) return std::nullopt;
    std::wstring text;
    if (QueryText(request, WINHTTP_QUERY_TRANSFER_ENCODING, text)) return std::nullopt;
    if (!QueryText(request, WINHTTP_QUERY_CONTENT_LENGTH, text)) return std::nullopt;
    unsigned long long length = 0;
    bool digits = false;
    for (wchar_t c : text) {
        if (c == L' ' || c == L'\t') continue;
        if (c < L'0' || c > L'9' || length > (~0ULL - 9) / 10) return std::nullopt;
        length = length * 10 + static_cast<unsigned>(c - L'0');
        digits = true;
    }
    if (!digits) return std::nullopt;
    return length;
}

std::u16string Trimmed(std::wstring_view text) {
    while (!text.empty() && (text.front() == L' ' || text.front() == L'\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == L' ' || text.back() == L'\t' || text.back() == L'\r')) {
        text.remove_suffix(1);
    }
    return win32::FromWide(text.data(), text.size());
}

// The headers of a raw header block, status line excluded.
std::vector<HttpHeader> ParseHeaders(const std::wstring& raw) {
    std::vector<HttpHeader> headers;
    std::size_t start = raw.find(L'\n');
    while (start != std::wstring::npos && start + 1 < raw.size()) {
        std::size_t end = raw.find(L'\n', start + 1);
        std::wstring_view line(raw.data() + start + 1,
                               (end == std::wstring::npos ? raw.size() : end) - start - 1);
        std::size_t colon = line.find(L':');
        if (colon != std::wstring_view::npos) {
            headers.push_back({Trimmed(line.substr(0, colon)), Trimmed(line.substr(colon + 1))});
        }
        start = end;
    }
    return headers;
}

HttpVersion VersionOf(const std::wstring& text) {
    if (text == L"HTTP/1.0") return HttpVersion::Http10;
    if (text == L"HTTP/1.1") return HttpVersion::Http11;
    if (text == L"HTTP/2" || text == L"HTTP/2.0") return HttpVersion::Http20;
    return HttpVersion::Other;
}

class WinHttpTransport : public HttpTransport {
public:
    HttpOutcome Get(const HttpRequest& request) override {
        HttpOutcome outcome;
        auto fail = [&outcome](std::u16string message) {
            outcome.status = HttpOutcome::Status::Failed;
            outcome.message = std::move(message);
            return outcome;
        };

        std::u16string url = (request.secure ? u"https://" : u"http://") + request.host + u":" +
                             Decimal(request.port) + request.target;
        ProxyChoice proxy = ProxyFor(win32::Wide(url));
        Handle session(WinHttpOpen(
            nullptr, proxy.proxy.empty() ? WINHTTP_ACCESS_TYPE_NO_PROXY : WINHTTP_ACCESS_TYPE_NAMED_PROXY,
            proxy.proxy.empty() ? WINHTTP_NO_PROXY_NAME : proxy.proxy.c_str(),
            proxy.bypass.empty() ? WINHTTP_NO_PROXY_BYPASS : proxy.bypass.c_str(), 0));
        if (!session) {
            outcome.status = HttpOutcome::Status::NoSession;
            return outcome;
        }

        // WinHTTP takes an IPv6 address without its brackets.
        std::u16string host = request.host;
        if (host.size() >= 2 && host.front() == u'[' && host.back() == u']')
            host = host.substr(1, host.size() - 2);
        Handle connection(WinHttpConnect(session.get(), win32::Wide(host), request.port, 0));
        if (!connection) return fail(u"Error connecting to server: " + request.host);

        DWORD flags = WINHTTP_FLAG_ESCAPE_DISABLE | WINHTTP_FLAG_ESCAPE_DISABLE_QUERY;
        if (request.secure) flags |= WINHTTP_FLAG_SECURE;
        Handle call(WinHttpOpenRequest(connection.get(), L"GET", win32::Wide(request.target), nullptr,
                                       WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES, flags));
        if (!call) return fail(Numbered(u"Error opening request", GetLastError()));
        HINTERNET r = call.get();

        DWORD logon = WINHTTP_AUTOLOGON_SECURITY_LEVEL_LOW;
        if (!WinHttpSetOption(r, WINHTTP_OPTION_AUTOLOGON_POLICY, &logon, sizeof logon)) {
            return fail(Numbered(u"Error opening request", GetLastError()));
        }
        DWORD disable = WINHTTP_DISABLE_REDIRECTS | WINHTTP_DISABLE_COOKIES;
        if (!WinHttpSetOption(r, WINHTTP_OPTION_DISABLE_FEATURE, &disable, sizeof disable)) {
            return fail(Numbered(u"Error opening request", GetLastError()));
        }
        const HttpTimeouts& t = request.timeouts;
        if (!WinHttpSetTimeouts(r, static_cast<int>(t.resolve_ms), static_cast<int>(t.connect_ms),
                                static_cast<int>(t.send_ms), static_cast<int>(t.receive_ms))) {
            return fail(Numbered(u"Error setting timeout for the request", GetLastError()));
        }
        // The receive limit bounds the wait for the status line and the
        // headers as a whole too (WinHTTP keeps a separate limit for that).
        DWORD headers_ms = t.receive_ms;
        if (!WinHttpSetOption(r, WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT, &headers_ms, sizeof headers_ms)) {
            return fail(Numbered(u"Error setting timeout for the request", GetLastError()));
        }
        for (const HttpHeader& header : request.headers) {
            std::u16string line = header.name + u": " + header.value;
            if (!WinHttpAddRequestHeaders(r, win32::Wide(line), static_cast<DWORD>(-1),
                                          WINHTTP_ADDREQ_FLAG_ADD | WINHTTP_ADDREQ_FLAG_REPLACE)) {
                return fail(Numbered(u"Error adding header", GetLastError()));
            }
        }

        // WinHTTP may ask for the request to be sent again (after an
        // authentication exchange, for instance); a few times at most.
        for (int attempt = 0;; ++attempt) {
            if (!WinHttpSendRequest(r, WINHTTP_NO_ADDITIONAL_HEADERS, 0, WINHTTP_NO_REQUEST_DATA, 0, 0, 0)) {
                DWORD error = GetLastError();
                if (error == ERROR_WINHTTP_RESEND_REQUEST && attempt < 3) continue;
                return fail(Numbered(u"Error sending data", error));
            }
            if (!WinHttpReceiveResponse(r, nullptr)) {
                DWORD error = GetLastError();
                if (error == ERROR_WINHTTP_RESEND_REQUEST && attempt < 3) continue;
                return fail(Numbered(u"Error receiving data", error));
            }
            break;
        }

        HttpReply& reply = outcome.reply;
        DWORD status = 0;
        DWORD size = sizeof status;
        if (!WinHttpQueryHeaders(r, WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                                 WINHTTP_HEADER_NAME_BY_INDEX, &status, &size, WINHTTP_NO_HEADER_INDEX)) {
            return fail(Numbered(u"Error querying headers", GetLastError()));
        }
        reply.status = status;
        std::wstring text;
        if (!QueryText(r, WINHTTP_QUERY_STATUS_TEXT, text)) {
            // A status line without a reason text has none to give.
            if (GetLastError() != ERROR_WINHTTP_HEADER_NOT_FOUND) {
                return fail(Numbered(u"Error querying headers", GetLastError()));
            }
            text.clear();
        }
        reply.reason = win32::FromWide(text.data(), text.size());
        if (!QueryText(r, WINHTTP_QUERY_VERSION, text))
            return fail(Numbered(u"Error querying headers", GetLastError()));
        reply.version = VersionOf(text);
        if (!QueryText(r, WINHTTP_QUERY_RAW_HEADERS_CRLF, text)) {
            return fail(Numbered(u"Error querying headers", GetLastError()));
        }
        reply.headers = ParseHeaders(text);

        std::vector<char> chunk(64 * 1024);
        for (;;) {
            DWORD available = 0;
            if (!WinHttpQueryDataAvailable(r, &available))
                return fail(Numbered(u"Error reading data", GetLastError()));
            if (available == 0) break;
            std::size_t room = request.body_limit - reply.body.size();
            if (room == 0) {
                reply.body_over_limit = true;
                break;
            }
            DWORD want = static_cast<DWORD>(std::min<std::size_t>({available, room, chunk.size()}));
            DWORD got = 0;
            if (!WinHttpReadData(r, chunk.data(), want, &got))
                return fail(Numbered(u"Error reading data", GetLastError()));
            if (got == 0) break;
            reply.body.append(chunk.data(), got);
        }
        // A connection that closes before the announced length ends WinHTTP's
        // body without an error (Wine's at least): a body cut short is a failed
        // read, never a shorter reply.
        if (!reply.body_over_limit) {
            std::optional<unsigned long long> announced = AnnouncedLength(r, status);
            if (announced && reply.body.size() < *announced) {
                return fail(Numbered(u"Error reading data", ERROR_WINHTTP_CONNECTION_ERROR));
            }
        }
        outcome.status = HttpOutcome::Status::Replied;
        return outcome;
    }
};

}  // namespace

HttpTransport& RealHttpTransport() {
    static WinHttpTransport real;
    return real;
}

}  // namespace vantrel::platform
