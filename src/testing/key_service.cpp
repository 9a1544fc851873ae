#include "testing/key_service.h"

#include "testing/user_proxy.h"

namespace vantrel::testing {

KeyService::KeyService(const std::string& body) : proxy_(std::make_unique<ScopedUserProxy>(server_.port())) {
    Answer(HttpReply(200, "OK", {{"Content-Type", "application/json"}}, body));
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
