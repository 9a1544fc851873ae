// A scripted HTTP/1.1 server on a loopback port, run on a thread of the test
// process, for tests of real HTTP clients. It records each request it gets
// (request line and headers) and answers it with the next reply of its script,
// then closes the connection. Every wait it makes is bounded.
#pragma once

#include "testing/test_only.h"

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace vantrel::testing {

struct ReceivedRequest {
    std::string method;
    std::string target;
    std::string version;
    std::vector<std::pair<std::string, std::string>> headers;  // in order, as sent
};

struct ScriptedReply {
    std::string bytes;    // sent as they are
    bool silent = false;  // nothing is sent: the connection stays open until the client leaves
    // After the bytes and a short pause (the client has read them), the
    // connection is reset (TCP RST) instead of closed.
    bool reset = false;
};

// `reply` without its last `cut` bytes, closed early or, with `reset`, reset:
// for a reply whose Content-Length promises more than comes.
ScriptedReply CutShort(ScriptedReply reply, std::size_t cut, bool reset);

// A reply with a status line, the headers given, a Content-Length and the body.
ScriptedReply HttpReply(int status, const std::string& reason,
                        const std::vector<std::pair<std::string, std::string>>& headers,
                        const std::string& body);

class HttpTestServer {
public:
    HttpTestServer();  // listening on 127.0.0.1, on a port the system picks
    ~HttpTestServer();
    HttpTestServer(const HttpTestServer&) = delete;
    HttpTestServer& operator=(const HttpTestServer&) = delete;

    int port() const { return port_; }

    // Replaces the script and forgets the requests received so far. Once the
    // script runs out, requests get "500 No reply scripted".
    void Script(std::vector<ScriptedReply> replies);

    // The requests received since the last Script().
    std::vector<ReceivedRequest> Requests();

    // A port on 127.0.0.1 where nothing listens (one that was just free).
    static int ClosedPort();

private:
    void Serve();
    void Handle(std::intptr_t handle);

    std::intptr_t listener_ = -1;
    int port_ = 0;
    std::atomic<bool> stopping_{false};
    std::mutex mutex_;
    std::deque<ScriptedReply> script_;
    std::vector<ReceivedRequest> requests_;
    std::thread thread_;
};

}  // namespace vantrel::testing
