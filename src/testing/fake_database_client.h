// A database client for unit tests of the logic above it: records each attach,
// answers each statement with a set value or failure, and counts the sessions
// that ended (rolled back and detached).
#pragma once

#include "testing/test_only.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "company/database_client.h"
#include "core/error.h"

namespace vantrel::company {

class FakeDatabaseClient : public DatabaseClient {
public:
    std::vector<AttachParameters> attaches;
    std::vector<std::u16string> statements;
    int sessions_ended = 0;

    // The attach fails with this, when set.
    std::optional<Error> attach_failure;
    // Runs at every attach, before the failure or the session: a look at the
    // world as the client sees it.
    std::function<void()> on_attach;
    // The statement's answer, or its failure.
    FirstValue value{FirstValue::Kind::Text, u"12345678000190"};
    std::optional<Error> query_failure;

    std::unique_ptr<DatabaseSession> Attach(const AttachParameters& parameters) override {
        attaches.push_back(parameters);
        if (on_attach) on_attach();
        if (attach_failure) throw Error(*attach_failure);
        return std::make_unique<Session>(*this);
    }

private:
    class Session : public DatabaseSession {
    public:
        explicit Session(FakeDatabaseClient& client) : client_(client) {}
        ~Session() override { ++client_.sessions_ended; }
        Session(const Session&) = delete;
        Session& operator=(const Session&) = delete;
        FirstValue QueryFirstValue(std::u16string_view sql) override {
            client_.statements.emplace_back(sql);
            if (client_.query_failure) throw Error(*client_.query_failure);
            return client_.value;
        }

    private:
        FakeDatabaseClient& client_;
    };
};

}  // namespace vantrel::company
