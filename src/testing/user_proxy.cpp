#include "testing/user_proxy.h"

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#ifdef _WIN32
#include <windows.h>

#include "testing/registry_value_win32.h"
#else
#include <cstdlib>
#endif

namespace vantrel::testing {

#ifdef _WIN32
namespace {

const wchar_t kInternetSettings[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";
const wchar_t kConnections[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\Connections";

// The binary form of the current user's connection settings that WinHTTP
// reads: version, counter, flags, then the proxy, the bypass list and the
// configuration script address, each after its length.
constexpr std::uint32_t kDirect = 0x1;
constexpr std::uint32_t kFixedProxy = 0x2;
constexpr std::uint32_t kScript = 0x4;

std::string ConnectionSettings(std::uint32_t flags, const std::string& proxy, const std::string& bypass,
                               const std::string& script) {
    auto dword = [](std::uint32_t v) { return std::string(reinterpret_cast<const char*>(&v), 4); };
    std::string blob = dword(0x46) + dword(1) + dword(flags);
    blob += dword(static_cast<std::uint32_t>(proxy.size())) + proxy;
    blob += dword(static_cast<std::uint32_t>(bypass.size())) + bypass;
    blob += dword(static_cast<std::uint32_t>(script.size())) + script;
    blob += std::string(32, '\0');
    return blob;
}

}  // namespace

struct ScopedUserProxy::Saved {
    ScopedRegistryValue enable{HKEY_CURRENT_USER, kInternetSettings, L"ProxyEnable"};
    ScopedRegistryValue server{HKEY_CURRENT_USER, kInternetSettings, L"ProxyServer"};
    ScopedRegistryValue bypass{HKEY_CURRENT_USER, kInternetSettings, L"ProxyOverride"};
    ScopedRegistryValue script{HKEY_CURRENT_USER, kInternetSettings, L"AutoConfigURL"};
    ScopedRegistryValue connections{HKEY_CURRENT_USER, kConnections, L"DefaultConnectionSettings"};
};

ScopedUserProxy::ScopedUserProxy(int port) : saved_(std::make_unique<Saved>()) {
    const std::string proxy = "127.0.0.1:" + std::to_string(port);
    bool ok = saved_->enable.SetDword(1) &&
              saved_->server.SetText(std::wstring(proxy.begin(), proxy.end())) &&
              saved_->bypass.SetText(L"127.0.0.1") && saved_->script.Remove() &&
              saved_->connections.Set(REG_BINARY,
                                      ConnectionSettings(kDirect | kFixedProxy, proxy, "127.0.0.1", ""));
    if (!ok) throw std::runtime_error("cannot set the user's proxy settings");
}

ScopedUserProxy::ScopedUserProxy(const ConfigurationScript& script) : saved_(std::make_unique<Saved>()) {
    bool ok = saved_->enable.SetDword(0) && saved_->server.Remove() && saved_->bypass.Remove() &&
              saved_->script.SetText(std::wstring(script.url.begin(), script.url.end())) &&
              saved_->connections.Set(REG_BINARY, ConnectionSettings(kDirect | kScript, "", "", script.url));
    if (!ok) throw std::runtime_error("cannot set the user's proxy settings");
}
#else
struct ScopedUserProxy::Saved {
    std::vector<std::pair<std::string, std::optional<std::string> > > variables;
};

ScopedUserProxy::ScopedUserProxy(int port) : saved_(std::make_unique<Saved>()) {
    for (const char* name : {"http_proxy", "HTTP_PROXY", "no_proxy", "NO_PROXY", "all_proxy", "ALL_PROXY"}) {
        const char* value = std::getenv(name);
        saved_->variables.emplace_back(name, value ? std::optional<std::string>(value) : std::nullopt);
        unsetenv(name);
    }
    setenv("http_proxy", ("http://127.0.0.1:" + std::to_string(port)).c_str(), 1);
    setenv("no_proxy", "127.0.0.1", 1);
}
#endif

ScopedUserProxy::~ScopedUserProxy() {
#ifndef _WIN32
    for (const auto& [name, value] : saved_->variables) {
        if (value)
            setenv(name.c_str(), value->c_str(), 1);
        else
            unsetenv(name.c_str());
    }
#endif
}

}  // namespace vantrel::testing
