#include "testing/http_server.h"

#include <algorithm>
#include <chrono>
#include <stdexcept>

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/time.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace vantrel::testing {

namespace {

#ifdef _WIN32
using Socket = SOCKET;
const Socket kNoSocket = INVALID_SOCKET;
void CloseSocket(Socket s) { closesocket(s); }
constexpr int kSendFlags = 0;
void LimitSendTime(Socket s, int ms) {
    DWORD timeout = static_cast<DWORD>(ms);
    setsockopt(s, SOL_SOCKET, SO_SNDTIMEO, reinterpret_cast<const char*>(&timeout), sizeof timeout);
}
struct Winsock {
    Winsock() {
        WSADATA data;
        WSAStartup(MAKEWORD(2, 2), &data);
    }
};
void NetworkReady() { static Winsock winsock; }
// Waits up to `ms` for `s` to become readable.
bool Readable(Socket s, int ms) {
    WSAPOLLFD p{};
    p.fd = s;
    p.events = POLLRDNORM;
    return WSAPoll(&p, 1, ms) > 0;
}
#else
using Socket = int;
const Socket kNoSocket = -1;
void CloseSocket(Socket s) { close(s); }
// A client that went away must not end the test process with SIGPIPE.
constexpr int kSendFlags = MSG_NOSIGNAL;
void LimitSendTime(Socket s, int ms) {
    timeval timeout{ms / 1000, (ms % 1000) * 1000};
    setsockopt(s, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof timeout);
}
void NetworkReady() {}
bool Readable(Socket s, int ms) {
    pollfd p{};
    p.fd = s;
    p.events = POLLIN;
    return poll(&p, 1, ms) > 0;
}
#endif

// How long one connection may take to send its request, and how long a
// silent reply holds a connection that the client does not close.
constexpr int kRequestMs = 5000;
constexpr int kSilentMs = 20000;
constexpr int kAcceptPollMs = 50;
// How long a reply that ends in a reset waits before the reset.
constexpr int kResetPauseMs = 300;

Socket Listen(int& port) {
    NetworkReady();
    Socket s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (s == kNoSocket) throw std::runtime_error("socket");
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    if (bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || listen(s, 16) != 0) {
        CloseSocket(s);
        throw std::runtime_error("bind/listen");
    }
    socklen_t size = sizeof address;
    getsockname(s, reinterpret_cast<sockaddr*>(&address), &size);
    port = ntohs(address.sin_port);
    return s;
}

bool SendAll(Socket s, const std::string& bytes) {
    std::size_t sent = 0;
    while (sent < bytes.size()) {
        std::size_t chunk = std::min<std::size_t>(bytes.size() - sent, 1 << 16);
        auto n = send(s, bytes.data() + sent, static_cast<int>(chunk), kSendFlags);
        if (n <= 0) return false;
        sent += static_cast<std::size_t>(n);
    }
    return true;
}

std::string Trim(const std::string& s) {
    std::size_t a = s.find_first_not_of(" \t");
    std::size_t b = s.find_last_not_of(" \t\r");
    return a == std::string::npos ? std::string() : s.substr(a, b - a + 1);
}

ReceivedRequest ParseRequest(const std::string& head) {
    ReceivedRequest request;
    std::size_t end = head.find("\r\n");
    std::string line = head.substr(0, end);
    std::size_t a = line.find(' ');
    std::size_t b = line.rfind(' ');
    request.method = line.substr(0, a);
    if (a != std::string::npos && b > a) {
        request.target = line.substr(a + 1, b - a - 1);
        request.version = line.substr(b + 1);
    }
    while (end != std::string::npos && end + 2 < head.size()) {
        std::size_t next = head.find("\r\n", end + 2);
        std::string header = head.substr(end + 2, next - end - 2);
        std::size_t colon = header.find(':');
        if (colon != std::string::npos) {
            request.headers.emplace_back(header.substr(0, colon), Trim(header.substr(colon + 1)));
        }
        end = next;
    }
    return request;
}

}  // namespace

ScriptedReply HttpReply(int status, const std::string& reason,
                        const std::vector<std::pair<std::string, std::string>>& headers,
                        const std::string& body) {
    std::string bytes = "HTTP/1.1 " + std::to_string(status) + " " + reason + "\r\n";
    for (const auto& [name, value] : headers) bytes.append(name).append(": ").append(value).append("\r\n");
    bytes += "Content-Length: " + std::to_string(body.size()) + "\r\n";
    bytes += "Connection: close\r\n\r\n";
    bytes += body;
    return {bytes, false};
}

ScriptedReply CutShort(ScriptedReply reply, std::size_t cut, bool reset) {
    reply.bytes.resize(reply.bytes.size() - std::min(cut, reply.bytes.size()));
    reply.reset = reset;
    return reply;
}

HttpTestServer::HttpTestServer() {
    listener_ = static_cast<std::intptr_t>(Listen(port_));
    thread_ = std::thread([this] { Serve(); });
}

HttpTestServer::~HttpTestServer() {
    stopping_ = true;
    thread_.join();
    CloseSocket(static_cast<Socket>(listener_));
}

void HttpTestServer::Script(std::vector<ScriptedReply> replies) {
    std::lock_guard<std::mutex> lock(mutex_);
    script_.assign(replies.begin(), replies.end());
    requests_.clear();
}

std::vector<ReceivedRequest> HttpTestServer::Requests() {
    std::lock_guard<std::mutex> lock(mutex_);
    return requests_;
}

int HttpTestServer::ClosedPort() {
    int port = 0;
    Socket s = Listen(port);
    CloseSocket(s);
    return port;
}

void HttpTestServer::Serve() {
    const Socket listener = static_cast<Socket>(listener_);
    while (!stopping_) {
        if (!Readable(listener, kAcceptPollMs)) continue;
        Socket connection = accept(listener, nullptr, nullptr);
        if (connection == kNoSocket) continue;
        Handle(static_cast<std::intptr_t>(connection));
        CloseSocket(connection);
    }
}

void HttpTestServer::Handle(std::intptr_t handle) {
    const Socket connection = static_cast<Socket>(handle);
    LimitSendTime(connection, kRequestMs);
    using Clock = std::chrono::steady_clock;
    auto deadline = Clock::now() + std::chrono::milliseconds(kRequestMs);
    std::string head;
    char buffer[4096];
    while (head.find("\r\n\r\n") == std::string::npos) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0 || stopping_ || !Readable(connection, static_cast<int>(left))) return;
        auto n = recv(connection, buffer, sizeof buffer, 0);
        if (n <= 0) return;
        head.append(buffer, static_cast<std::size_t>(n));
    }
    head.resize(head.find("\r\n\r\n") + 2);

    ScriptedReply reply;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        requests_.push_back(ParseRequest(head));
        if (script_.empty()) {
            reply = HttpReply(500, "No reply scripted", {}, "");
        } else {
            reply = script_.front();
            script_.pop_front();
        }
    }
    if (reply.silent) {
        // Holds the connection until the client gives up (or the bound runs out).
        auto until = Clock::now() + std::chrono::milliseconds(kSilentMs);
        while (!stopping_ && Clock::now() < until) {
            if (Readable(connection, kAcceptPollMs) && recv(connection, buffer, sizeof buffer, 0) <= 0)
                return;
        }
        return;
    }
    SendAll(connection, reply.bytes);
    if (reply.reset) {
        auto until = Clock::now() + std::chrono::milliseconds(kResetPauseMs);
        while (!stopping_ && Clock::now() < until) {
            if (Readable(connection, kAcceptPollMs) && recv(connection, buffer, sizeof buffer, 0) <= 0) break;
        }
        // Closing with a zero linger time resets the connection.
        linger abort{1, 0};
        setsockopt(connection, SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&abort), sizeof abort);
        return;
    }
#ifdef _WIN32
    shutdown(connection, SD_SEND);
#else
    shutdown(connection, SHUT_WR);
#endif
    // Lets the client read everything before the connection goes.
    auto until = Clock::now() + std::chrono::milliseconds(kRequestMs);
    while (!stopping_ && Clock::now() < until) {
        if (Readable(connection, kAcceptPollMs) && recv(connection, buffer, sizeof buffer, 0) <= 0) return;
    }
}

}  // namespace vantrel::testing
