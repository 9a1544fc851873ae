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
//
// WinHTTP is loaded with the first request, not with the program (most runs
// make none, and loading it costs a good part of a short run's start), and
// only from the system folder by its full path: a winhttp.dll placed beside
// the program or in the current folder is never loaded in its place.
#include <windows.h>
#include <winhttp.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "core/ascii.h"
#include "platform/http.h"
#include "platform/system_text_win32.h"
#include "platform/wide_win32.h"

namespace vantrel::platform {

namespace {

// The WinHTTP functions this transport calls.
struct WinHttpApi {
    HMODULE module = nullptr;
    decltype(&::WinHttpOpen) Open;
    decltype(&::WinHttpConnect) Connect;
    decltype(&::WinHttpOpenRequest) OpenRequest;
    decltype(&::WinHttpSetOption) SetOption;
    decltype(&::WinHttpSetTimeouts) SetTimeouts;
    decltype(&::WinHttpAddRequestHeaders) AddRequestHeaders;
    decltype(&::WinHttpSendRequest) SendRequest;
    decltype(&::WinHttpReceiveResponse) ReceiveResponse;
    decltype(&::WinHttpQueryHeaders) QueryHeaders;
    decltype(&::WinHttpQueryDataAvailable) QueryDataAvailable;
    decltype(&::WinHttpReadData) ReadData;
    decltype(&::WinHttpCloseHandle) CloseHandle;
    decltype(&::WinHttpGetIEProxyConfigForCurrentUser) GetIEProxyConfigForCurrentUser;
    decltype(&::WinHttpGetProxyForUrl) GetProxyForUrl;
};

template <typename Function>
bool Take(HMODULE module, const char* name, Function& function) {
    FARPROC address = GetProcAddress(module, name);
    // Function pointers of different types convert through a cast of their own.
    function = reinterpret_cast<Function>(reinterpret_cast<void (*)()>(address));
    return address != nullptr;
}

// winhttp.dll from the system folder, by its full path; its own dependencies
// are then looked for in that folder first too. No system error box while
// loading.
HMODULE LoadFromSystemFolder(const wchar_t* name) {
    std::vector<wchar_t> folder(MAX_PATH + 1);
    UINT n = GetSystemDirectoryW(folder.data(), static_cast<UINT>(folder.size()));
    if (n >= folder.size()) {
        folder.resize(n + 1);
        n = GetSystemDirectoryW(folder.data(), static_cast<UINT>(folder.size()));
    }
    if (n == 0 || n >= folder.size()) return nullptr;
    std::wstring path(folder.data(), n);
    if (path.back() != L'\\') path += L'\\';
    path += name;

    const DWORD quiet = SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX;
    DWORD old_mode = 0;
    const bool thread_mode = SetThreadErrorMode(quiet, &old_mode) != 0;
    const UINT process_mode = thread_mode ? 0 : SetErrorMode(quiet);
    HMODULE module = LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    if (thread_mode)
        SetThreadErrorMode(old_mode, nullptr);
    else
        SetErrorMode(process_mode);
    return module;
}

// WinHTTP loaded once for the process, with the first request, and kept
// loaded; nullptr when it cannot be loaded or lacks a function.
const WinHttpApi* WinHttp() {
    static const WinHttpApi* const loaded = []() -> const WinHttpApi* {
        HMODULE module = LoadFromSystemFolder(L"winhttp.dll");
        if (module == nullptr) return nullptr;
        WinHttpApi api{};
        api.module = module;
        const bool complete =
            Take(module, "WinHttpOpen", api.Open) && Take(module, "WinHttpConnect", api.Connect) &&
            Take(module, "WinHttpOpenRequest", api.OpenRequest) &&
            Take(module, "WinHttpSetOption", api.SetOption) &&
            Take(module, "WinHttpSetTimeouts", api.SetTimeouts) &&
            Take(module, "WinHttpAddRequestHeaders", api.AddRequestHeaders) &&
            Take(module, "WinHttpSendRequest", api.SendRequest) &&
            Take(module, "WinHttpReceiveResponse", api.ReceiveResponse) &&
            Take(module, "WinHttpQueryHeaders", api.QueryHeaders) &&
            Take(module, "WinHttpQueryDataAvailable", api.QueryDataAvailable) &&
            Take(module, "WinHttpReadData", api.ReadData) &&
            Take(module, "WinHttpCloseHandle", api.CloseHandle) &&
            Take(module, "WinHttpGetIEProxyConfigForCurrentUser", api.GetIEProxyConfigForCurrentUser) &&
            Take(module, "WinHttpGetProxyForUrl", api.GetProxyForUrl);
        if (!complete) {
            FreeLibrary(module);
            return nullptr;
        }
        try {
            return new WinHttpApi(api);
        } catch (...) {
            FreeLibrary(module);  // out of memory: the next request loads it again
            throw;
        }
    }();
    return loaded;
}

class Handle {
public:
    Handle(const WinHttpApi& api, HINTERNET handle) : api_(&api), handle_(handle) {}
    ~Handle() {
        if (handle_ != nullptr) api_->CloseHandle(handle_);
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    Handle(Handle&& other) noexcept : api_(other.api_), handle_(other.handle_) { other.handle_ = nullptr; }
    Handle& operator=(Handle&& other) noexcept {
        if (this != &other) {
            if (handle_ != nullptr) api_->CloseHandle(handle_);
            api_ = other.api_;
            handle_ = other.handle_;
            other.handle_ = nullptr;
        }
        return *this;
    }
    HINTERNET get() const { return handle_; }
    explicit operator bool() const { return handle_ != nullptr; }

private:
    const WinHttpApi* api_;
    HINTERNET handle_;
};

// The system's text for an error code, from WinHTTP's message table first,
// without trailing white space and full stops.
std::u16string ErrorText(DWORD code) {
    const WinHttpApi* api = WinHttp();
    return win32::SystemText(code, api != nullptr ? api->module : nullptr);
}

std::u16string Numbered(const char16_t* what, DWORD code) {
    return std::u16string(what) + u": (" + Decimal(code) + u") " + ErrorText(code);
}

// A text that WinHTTP allocated for the caller: freed with GlobalFree on every
// way out, running out of memory while it is copied included.
class GlobalText {
public:
    explicit GlobalText(LPWSTR text) : text_(text) {}
    ~GlobalText() {
        if (text_ != nullptr) GlobalFree(text_);
    }
    GlobalText(const GlobalText&) = delete;
    GlobalText& operator=(const GlobalText&) = delete;

    std::wstring Copy() const { return text_ != nullptr ? std::wstring(text_) : std::wstring(); }

private:
    LPWSTR text_;
};

struct UserProxySettings {
    bool read = false;
    std::wstring auto_config_url;
    std::wstring proxy;
    std::wstring bypass;
};

const UserProxySettings& UserProxy(const WinHttpApi& api) {
    static const UserProxySettings settings = [&api] {
        UserProxySettings s;
        WINHTTP_CURRENT_USER_IE_PROXY_CONFIG config{};
        if (api.GetIEProxyConfigForCurrentUser(&config)) {
            const GlobalText auto_config_url(config.lpszAutoConfigUrl);
            const GlobalText proxy(config.lpszProxy);
            const GlobalText bypass(config.lpszProxyBypass);
            s.read = true;
            s.auto_config_url = auto_config_url.Copy();
            s.proxy = proxy.Copy();
            s.bypass = bypass.Copy();
        }
        return s;
    }();
    return settings;
}

struct ProxyChoice {
    std::wstring proxy;  // empty: direct
    std::wstring bypass;
};

ProxyChoice FromDiscovery(const WinHttpApi& api, const std::wstring& url, WINHTTP_AUTOPROXY_OPTIONS options) {
    Handle session(api, api.Open(nullptr, WINHTTP_ACCESS_TYPE_NO_PROXY, WINHTTP_NO_PROXY_NAME,
                                 WINHTTP_NO_PROXY_BYPASS, 0));
    if (!session) return {};
    WINHTTP_PROXY_INFO info{};
    BOOL found = api.GetProxyForUrl(session.get(), url.c_str(), &options, &info);
    if (!found && GetLastError() == ERROR_WINHTTP_LOGIN_FAILURE) {
        options.fAutoLogonIfChallenged = TRUE;
        found = api.GetProxyForUrl(session.get(), url.c_str(), &options, &info);
    }
    if (!found) return {};
    const GlobalText proxy(info.lpszProxy);
    const GlobalText bypass(info.lpszProxyBypass);
    ProxyChoice choice;
    if (info.dwAccessType == WINHTTP_ACCESS_TYPE_NAMED_PROXY) {
        choice.proxy = proxy.Copy();
        choice.bypass = bypass.Copy();
    }
    return choice;
}

ProxyChoice ProxyFor(const WinHttpApi& api, const std::wstring& url) {
    const UserProxySettings& user = UserProxy(api);
    WINHTTP_AUTOPROXY_OPTIONS options{};
    if (user.read && !user.auto_config_url.empty()) {
        options.dwFlags = WINHTTP_AUTOPROXY_CONFIG_URL;
        options.lpszAutoConfigUrl = user.auto_config_url.c_str();
        return FromDiscovery(api, url, options);
    }
    if (user.read) return {user.proxy, user.bypass};
    options.dwFlags = WINHTTP_AUTOPROXY_AUTO_DETECT;
    options.dwAutoDetectFlags = WINHTTP_AUTO_DETECT_TYPE_DHCP | WINHTTP_AUTO_DETECT_TYPE_DNS_A;
    return FromDiscovery(api, url, options);
}

// A text header of the reply; false when WinHTTP cannot give it.
bool QueryText(const WinHttpApi& api, HINTERNET request, DWORD which, std::wstring& text) {
    DWORD size = 0;
    api.QueryHeaders(request, which, WINHTTP_HEADER_NAME_BY_INDEX, WINHTTP_NO_OUTPUT_BUFFER, &size,
                     WINHTTP_NO_HEADER_INDEX);
    if (GetLastError() != ERROR_INSUFFICIENT_BUFFER) return false;
    std::vector<wchar_t> buffer(size / sizeof(wchar_t) + 1, L'\0');
    if (!api.QueryHeaders(request, which, WINHTTP_HEADER_NAME_BY_INDEX, buffer.data(), &size,
                          WINHTTP_NO_HEADER_INDEX)) {
        return false;
    }
    text.assign(buffer.data(), size / sizeof(wchar_t));
    return true;
}

// The body length that the reply's Content-Length announces, if it announces
// one that counts: a chunked reply's length comes from its chunks, and a
// reply of status 1xx, 204 or 304 has no body whatever its headers say.
std::optional<unsigned long long> AnnouncedLength(const WinHttpApi& api, HINTERNET request, DWORD status) {
    if (status < 200 || status == 204 || status == 304) return std::nullopt;
    std::wstring text;
    if (QueryText(api, request, WINHTTP_QUERY_TRANSFER_ENCODING, text)) return std::nullopt;
    if (!QueryText(api, request, WINHTTP_QUERY_CONTENT_LENGTH, text)) return std::nullopt;
    unsigned long long length = 0;
    bool digits = false;
    for (wchar_t c : text) {
        if (c == L' ' || c == L'\t') continue;
        if (!IsAsciiDigit(c) || length > (~0ULL - 9) / 10) return std::nullopt;
        length = length * 10 + static_cast<unsigned>(c - L'0');
        digits = true;
    }
    if (!digits) return std::nullopt;
    return length;
}

// A header's name or value without the blanks around it and the carriage
// return at the end of its line.
std::u16string Trimmed(std::wstring_view text) {
    text = Trim(text, kSpaceAndTab, " \t\r");
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

// One GET on its way, step by step: open (session, connection, request and
// its settings), send (and wait for the reply to begin), read the status line
// and headers, read the body. A step that fails gives the outcome to return.
class Exchange {
public:
    Exchange(const WinHttpApi& api, const HttpRequest& request)
        : api_(api),
          request_(request),
          session_(api, nullptr),
          connection_(api, nullptr),
          call_(api, nullptr) {}

    HttpOutcome Run() {
        HttpOutcome outcome = Steps();
        outcome.proxy = proxy_;
        return outcome;
    }

private:
    HttpOutcome Steps() {
        if (auto failed = Open()) return *failed;
        if (auto failed = Send()) return *failed;
        HttpOutcome outcome;
        if (auto failed = ReadStatusAndHeaders(outcome.reply)) return *failed;
        if (auto failed = ReadBody(outcome.reply)) return *failed;
        outcome.status = HttpOutcome::Status::Replied;
        return outcome;
    }

    using Step = std::optional<HttpOutcome>;

    static Step Fail(std::u16string message) {
        HttpOutcome outcome;
        outcome.status = HttpOutcome::Status::Failed;
        outcome.message = std::move(message);
        return outcome;
    }

    Step Open() {
        std::u16string url = (request_.secure ? u"https://" : u"http://") + request_.host + u":" +
                             Decimal(request_.port) + request_.target;
        ProxyChoice proxy = ProxyFor(api_, win32::Wide(url));
        proxy_ = win32::FromWide(proxy.proxy.c_str());
        session_ = Handle(
            api_,
            api_.Open(nullptr,
                      proxy.proxy.empty() ? WINHTTP_ACCESS_TYPE_NO_PROXY : WINHTTP_ACCESS_TYPE_NAMED_PROXY,
                      proxy.proxy.empty() ? WINHTTP_NO_PROXY_NAME : proxy.proxy.c_str(),
                      proxy.bypass.empty() ? WINHTTP_NO_PROXY_BYPASS : proxy.bypass.c_str(), 0));
        if (!session_) {
            HttpOutcome outcome;
            outcome.status = HttpOutcome::Status::NoSession;
            return outcome;
        }

        // WinHTTP takes an IPv6 address without its brackets.
        std::u16string host = request_.host;
        if (host.size() >= 2 && host.front() == u'[' && host.back() == u']')
            host = host.substr(1, host.size() - 2);
        connection_ = Handle(api_, api_.Connect(session_.get(), win32::Wide(host), request_.port, 0));
        if (!connection_) return Fail(u"Error connecting to server: " + request_.host);

        DWORD flags = WINHTTP_FLAG_ESCAPE_DISABLE | WINHTTP_FLAG_ESCAPE_DISABLE_QUERY;
        if (request_.secure) flags |= WINHTTP_FLAG_SECURE;
        call_ =
            Handle(api_, api_.OpenRequest(connection_.get(), L"GET", win32::Wide(request_.target), nullptr,
                                          WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES, flags));
        if (!call_) return Fail(Numbered(u"Error opening request", GetLastError()));
        HINTERNET r = call_.get();

        DWORD logon = WINHTTP_AUTOLOGON_SECURITY_LEVEL_LOW;
        if (!api_.SetOption(r, WINHTTP_OPTION_AUTOLOGON_POLICY, &logon, sizeof logon)) {
            return Fail(Numbered(u"Error opening request", GetLastError()));
        }
        DWORD disable = WINHTTP_DISABLE_REDIRECTS | WINHTTP_DISABLE_COOKIES;
        if (!api_.SetOption(r, WINHTTP_OPTION_DISABLE_FEATURE, &disable, sizeof disable)) {
            return Fail(Numbered(u"Error opening request", GetLastError()));
        }
        const HttpTimeouts& t = request_.timeouts;
        if (!api_.SetTimeouts(r, static_cast<int>(t.resolve_ms), static_cast<int>(t.connect_ms),
                              static_cast<int>(t.send_ms), static_cast<int>(t.receive_ms))) {
            return Fail(Numbered(u"Error setting timeout for the request", GetLastError()));
        }
        // The receive limit bounds the wait for the status line and the
        // headers as a whole too (WinHTTP keeps a separate limit for that).
        DWORD headers_ms = t.receive_ms;
        if (!api_.SetOption(r, WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT, &headers_ms, sizeof headers_ms)) {
            return Fail(Numbered(u"Error setting timeout for the request", GetLastError()));
        }
        for (const HttpHeader& header : request_.headers) {
            std::u16string line = header.name + u": " + header.value;
            if (!api_.AddRequestHeaders(r, win32::Wide(line), static_cast<DWORD>(-1),
                                        WINHTTP_ADDREQ_FLAG_ADD | WINHTTP_ADDREQ_FLAG_REPLACE)) {
                return Fail(Numbered(u"Error adding header", GetLastError()));
            }
        }
        return std::nullopt;
    }

    Step Send() {
        HINTERNET r = call_.get();
        // WinHTTP may ask for the request to be sent again (after an
        // authentication exchange, for instance); a few times at most.
        for (int attempt = 0;; ++attempt) {
            if (!api_.SendRequest(r, WINHTTP_NO_ADDITIONAL_HEADERS, 0, WINHTTP_NO_REQUEST_DATA, 0, 0, 0)) {
                DWORD error = GetLastError();
                if (error == ERROR_WINHTTP_RESEND_REQUEST && attempt < 3) continue;
                return Fail(Numbered(u"Error sending data", error));
            }
            if (!api_.ReceiveResponse(r, nullptr)) {
                DWORD error = GetLastError();
                if (error == ERROR_WINHTTP_RESEND_REQUEST && attempt < 3) continue;
                return Fail(Numbered(u"Error receiving data", error));
            }
            return std::nullopt;
        }
    }

    Step ReadStatusAndHeaders(HttpReply& reply) {
        HINTERNET r = call_.get();
        DWORD status = 0;
        DWORD size = sizeof status;
        if (!api_.QueryHeaders(r, WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                               WINHTTP_HEADER_NAME_BY_INDEX, &status, &size, WINHTTP_NO_HEADER_INDEX)) {
            return Fail(Numbered(u"Error querying headers", GetLastError()));
        }
        reply.status = status;
        std::wstring text;
        if (!QueryText(api_, r, WINHTTP_QUERY_STATUS_TEXT, text)) {
            // A status line without a reason text has none to give.
            if (GetLastError() != ERROR_WINHTTP_HEADER_NOT_FOUND) {
                return Fail(Numbered(u"Error querying headers", GetLastError()));
            }
            text.clear();
        }
        reply.reason = win32::FromWide(text.data(), text.size());
        if (!QueryText(api_, r, WINHTTP_QUERY_VERSION, text))
            return Fail(Numbered(u"Error querying headers", GetLastError()));
        reply.version = VersionOf(text);
        if (!QueryText(api_, r, WINHTTP_QUERY_RAW_HEADERS_CRLF, text)) {
            return Fail(Numbered(u"Error querying headers", GetLastError()));
        }
        reply.headers = ParseHeaders(text);
        return std::nullopt;
    }

    Step ReadBody(HttpReply& reply) {
        HINTERNET r = call_.get();
        std::vector<char> chunk(64 * 1024);
        for (;;) {
            DWORD available = 0;
            if (!api_.QueryDataAvailable(r, &available))
                return Fail(Numbered(u"Error reading data", GetLastError()));
            if (available == 0) break;
            std::size_t room = request_.body_limit - reply.body.size();
            if (room == 0) {
                reply.body_over_limit = true;
                break;
            }
            DWORD want = static_cast<DWORD>(std::min<std::size_t>({available, room, chunk.size()}));
            DWORD got = 0;
            if (!api_.ReadData(r, chunk.data(), want, &got))
                return Fail(Numbered(u"Error reading data", GetLastError()));
            if (got == 0) break;
            reply.body.append(chunk.data(), got);
        }
        // A connection that closes before the announced length ends WinHTTP's
        // body without an error (Wine's at least): a body cut short is a failed
        // read, never a shorter reply.
        if (!reply.body_over_limit) {
            std::optional<unsigned long long> announced = AnnouncedLength(api_, r, reply.status);
            if (announced && reply.body.size() < *announced) {
                return Fail(Numbered(u"Error reading data", ERROR_WINHTTP_CONNECTION_ERROR));
            }
        }
        return std::nullopt;
    }

    const WinHttpApi& api_;
    std::u16string proxy_;  // the proxy of this request, empty: direct
    const HttpRequest& request_;
    // Closed in the reverse order of their opening.
    Handle session_;
    Handle connection_;
    Handle call_;
};

class WinHttpTransport : public HttpTransport {
public:
    HttpOutcome Get(const HttpRequest& request) override {
        const WinHttpApi* api = WinHttp();
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
    static WinHttpTransport real;
    return real;
}

}  // namespace vantrel::platform
