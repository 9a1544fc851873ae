#include "testing/key_service.h"

#ifdef _WIN32
#include <windows.h>

#include "testing/registry_value_win32.h"
#endif

namespace vantrel::testing {

namespace {

#ifdef _WIN32
const wchar_t kInternetSettings[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";
const wchar_t kConnections[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\Connections";

// The binary form of the current user's connection settings that WinHTTP
// reads: version, counter, flags (direct and fixed proxy), then the proxy,
// the bypass list and the configuration script address, each after its length.
std::string ConnectionSettings(const std::string& proxy, const std::string& bypass) {
    auto dword = [](std::uint32_t v) { return std::string(reinterpret_cast<const char*>(&v), 4); };
    std::string blob = dword(0x46) + dword(1) + dword(0x1 | 0x2);
    blob += dword(static_cast<std::uint32_t>(proxy.size())) + proxy;
    blob += dword(static_cast<std::uint32_t>(bypass.size())) + bypass;
    blob += dword(0) + std::string(32, '\0');
    return blob;
}
#endif

}  // namespace

#ifdef _WIN32
struct KeyService::ProxySetting {
    ScopedRegistryValue enable{HKEY_CURRENT_USER, kInternetSettings, L"ProxyEnable"};
    ScopedRegistryValue server{HKEY_CURRENT_USER, kInternetSettings, L"ProxyServer"};
    ScopedRegistryValue bypass{HKEY_CURRENT_USER, kInternetSettings, L"ProxyOverride"};
    ScopedRegistryValue connections{HKEY_CURRENT_USER, kConnections, L"DefaultConnectionSettings"};
};
#else
struct KeyService::ProxySetting {};
#endif

KeyService::KeyService(const std::string& body) : proxy_(std::make_unique<ProxySetting>()) {
    Answer(HttpReply(200, "OK", {{"Content-Type", "application/json"}}, body));
#ifdef _WIN32
    const std::string proxy = "127.0.0.1:" + std::to_string(server_.port());
    proxy_->enable.SetDword(1);
    proxy_->server.SetText(std::wstring(proxy.begin(), proxy.end()));
    proxy_->bypass.SetText(L"127.0.0.1");
    proxy_->connections.Set(REG_BINARY, ConnectionSettings(proxy, "127.0.0.1"));
#endif
}

KeyService::~KeyService() = default;

void KeyService::Answer(const ScriptedReply& reply) {
    server_.Script(std::vector<ScriptedReply>(100, reply));
}

std::vector<std::pair<std::string, std::string>> KeyService::Environment() const {
#ifdef _WIN32
    return {};
#else
    return {{"http_proxy", "http://127.0.0.1:" + std::to_string(server_.port())},
            {"no_proxy", "127.0.0.1"},
            {"HTTP_PROXY", ""},
            {"all_proxy", ""},
            {"ALL_PROXY", ""}};
#endif
}

}  // namespace vantrel::testing
