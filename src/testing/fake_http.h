// An HTTP transport that answers from a script, for unit tests: each request
// is recorded and gets the next scripted outcome (the last one again once the
// script runs out).
#pragma once

#include "testing/test_only.h"

#include <string>
#include <vector>

#include "platform/http.h"
#include "testing/fault_plan.h"

namespace vantrel::platform {

class FakeHttpTransport : public HttpTransport {
public:
    std::vector<HttpOutcome> script;
    std::vector<HttpRequest> requests;
    // Each stage of every request is a failure point of this plan, when set,
    // with the failure a real transport reports there: no session (open), and
    // failures while sending, waiting for the status, querying the headers and
    // reading the body.
    FaultPlan* faults = nullptr;

    // A reply with a status, a reason, headers and a body.
    static HttpOutcome Reply(std::uint32_t status, std::u16string reason,
                             std::vector<HttpHeader> headers = {}, std::string body = {},
                             HttpVersion version = HttpVersion::Http11) {
        HttpOutcome outcome;
        outcome.status = HttpOutcome::Status::Replied;
        outcome.reply.status = status;
        outcome.reply.reason = std::move(reason);
        outcome.reply.version = version;
        outcome.reply.headers = std::move(headers);
        outcome.reply.body = std::move(body);
        return outcome;
    }

    static HttpOutcome Failure(std::u16string message) {
        HttpOutcome outcome;
        outcome.status = HttpOutcome::Status::Failed;
        outcome.message = std::move(message);
        return outcome;
    }

    static HttpOutcome NoSession() {
        HttpOutcome outcome;
        outcome.status = HttpOutcome::Status::NoSession;
        return outcome;
    }

    HttpOutcome Get(const HttpRequest& request) override {
        requests.push_back(request);
        if (Faulted(faults, "http.open")) return NoSession();
        if (Faulted(faults, "http.send"))
            return Failure(u"Error sending data: (12030) The connection was reset");
        if (Faulted(faults, "http.status"))
            return Failure(u"Error receiving data: (12002) The operation timed out");
        if (Faulted(faults, "http.headers"))
            return Failure(u"Error querying headers: (12150) The header could not be found");
        if (Faulted(faults, "http.body"))
            return Failure(u"Error reading data: (12030) The connection was reset");
        if (script.empty()) return Failure(u"Error sending data: (12029) no reply scripted");
        std::size_t i = requests.size() - 1;
        HttpOutcome outcome = script[i < script.size() ? i : script.size() - 1];
        // The bound is the transport's to keep.
        if (outcome.status == HttpOutcome::Status::Replied &&
            outcome.reply.body.size() > request.body_limit) {
            outcome.reply.body.resize(request.body_limit);
            outcome.reply.body_over_limit = true;
        }
        return outcome;
    }
};

}  // namespace vantrel::platform
