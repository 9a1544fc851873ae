// The user's proxy setting pointed at a local port for the life of the object,
// so that HTTP clients reach a test service there the way the tool reaches the
// real one, with 127.0.0.1 itself bypassing the proxy. Windows: the current
// user's Internet settings in the registry (tests that use it take the CTest
// lock "user_proxy_settings"); POSIX: the http_proxy variables of this
// process's environment, which children inherit. Restored on destruction.
#pragma once

#include "testing/test_only.h"

#include <memory>
#include <string>

namespace vantrel::testing {

#ifdef _WIN32
// The address of an automatic configuration (PAC) script.
struct ConfigurationScript {
    std::string url;
};
#endif

class ScopedUserProxy {
public:
    explicit ScopedUserProxy(int port);
#ifdef _WIN32
    // Windows: the settings name the configuration script at `script.url`
    // ("Use automatic configuration script"), with no fixed proxy.
    explicit ScopedUserProxy(const ConfigurationScript& script);
#endif
    ~ScopedUserProxy();
    ScopedUserProxy(const ScopedUserProxy&) = delete;
    ScopedUserProxy& operator=(const ScopedUserProxy&) = delete;

private:
    struct Saved;
    std::unique_ptr<Saved> saved_;
};

}  // namespace vantrel::testing
