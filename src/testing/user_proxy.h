// The user's proxy setting pointed at a local port for the life of the object,
// so that HTTP clients reach a test service there the way the tool reaches the
// real one, with 127.0.0.1 itself bypassing the proxy. Windows: the current
// user's Internet settings in the registry (tests that use it take the CTest
// lock "user_proxy_settings"); POSIX: the http_proxy variables of this
// process's environment, which children inherit. Restored on destruction.
#pragma once

#include "testing/test_only.h"

#include <memory>

namespace vantrel::testing {

class ScopedUserProxy {
public:
    explicit ScopedUserProxy(int port);
    ~ScopedUserProxy();
    ScopedUserProxy(const ScopedUserProxy&) = delete;
    ScopedUserProxy& operator=(const ScopedUserProxy&) = delete;

private:
    struct Saved;
    std::unique_ptr<Saved> saved_;
};

}  // namespace vantrel::testing
