// A local access-key service for end-to-end runs of the built tool: a scripted
// HTTP server on a loopback port, reached the way the tool reaches the real
// one, through the user's proxy setting. On Windows that is the current user's
// Internet settings in the registry, set for the life of the object (tests
// that use it take the CTest lock "user_proxy_settings"); on POSIX it is the
// http_proxy variable in the environment the child is given.
#pragma once

#include "testing/test_only.h"

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "testing/http_server.h"
#include "testing/user_proxy.h"

namespace vantrel::testing {

class KeyService {
public:
    // Every request is answered "200 OK" with `body` as application/json.
    explicit KeyService(const std::string& body);
    ~KeyService();
    KeyService(const KeyService&) = delete;
    KeyService& operator=(const KeyService&) = delete;

    // Every request is answered with `reply` from now on.
    void Answer(const ScriptedReply& reply);
    std::vector<ReceivedRequest> Requests() { return server_.Requests(); }
    // The loopback port it listens on: the proxy the settings name.
    int port() const { return server_.port(); }

    // What to add to a child's environment so that it reaches this service.
    std::vector<std::pair<std::string, std::string>> Environment() const;

private:
    HttpTestServer server_;
    std::unique_ptr<ScopedUserProxy> proxy_;
};

}  // namespace vantrel::testing
