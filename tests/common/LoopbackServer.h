#pragma once
// A server of the test's own on 127.0.0.1, on a port the system picks: it accepts
// its clients one after another and runs the test's script on each connection, in
// a thread of its own. Every wait looks at Stop every 10 ms, so a client that
// misbehaves shows as a failed check, never as a hung test.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <thread>
#include <vector>

class LoopbackServer {
public:
    using Bytes = std::vector<uint8_t>;
    // Runs on connection number `index` (0 first); its return closes the connection.
    using Script = std::function<void(LoopbackServer& server, int client, int index)>;

    explicit LoopbackServer(Script script) : script_(std::move(script)) {
        sockaddr_in address{AF_INET, 0, {htonl(INADDR_LOOPBACK)}, {}};
        socklen_t size = sizeof(address);
        bind(listener_, reinterpret_cast<sockaddr*>(&address), size);
        listen(listener_, 4);
        getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &size);
        port_ = ntohs(address.sin_port);
        thread_ = std::thread([this] { Serve(); });
    }
    ~LoopbackServer() {
        Stop();
        close(listener_);
    }

    std::string Address(const char* scheme) const {
        return std::string(scheme) + "://127.0.0.1:" + std::to_string(port_);
    }
    void Stop() {
        stopping_ = true;
        if (thread_.joinable()) thread_.join();
    }
    uint64_t Sent() const { return sent_; }  // to all clients so far
    int Accepted() const { return accepted_; }

    // Sends all of bytes as the client takes them; false when stopped or the client left.
    bool SendAll(int client, const uint8_t* bytes, size_t size) {
        for (size_t done = 0; done < size;) {
            if (!Ready(client, POLLOUT)) return false;
            const ssize_t put = send(client, bytes + done, size - done, MSG_NOSIGNAL | MSG_DONTWAIT);
            if (put <= 0 && errno != EAGAIN) return false;
            done += static_cast<size_t>(std::max<ssize_t>(put, 0));
            sent_ += static_cast<uint64_t>(std::max<ssize_t>(put, 0));
        }
        return true;
    }
    bool SendAll(int client, const Bytes& bytes) { return SendAll(client, bytes.data(), bytes.size()); }
    // Sends unit `times` times (0: until stopped or the client leaves).
    void Flood(int client, const Bytes& unit, uint64_t times) {
        Bytes block;
        while (block.size() < 64 * 1024) block.insert(block.end(), unit.begin(), unit.end());
        const uint64_t perBlock = block.size() / unit.size();
        for (uint64_t done = 0; times == 0 || done < times; done += perBlock) {
            const uint64_t units = times == 0 ? perBlock : std::min(perBlock, times - done);
            if (!SendAll(client, block.data(), units * unit.size())) return;
        }
    }
    // Receives until wanted has come (true), or the client left or stopped (false).
    bool ReceiveUntil(int client, const Bytes& wanted) {
        Bytes got;
        while (std::search(got.begin(), got.end(), wanted.begin(), wanted.end()) == got.end()) {
            uint8_t chunk[512];
            const ssize_t n = Ready(client, POLLIN) ? recv(client, chunk, sizeof(chunk), 0) : 0;
            if (n <= 0) return false;
            got.insert(got.end(), chunk, chunk + n);
        }
        return true;
    }
    // Holds the connection, reading nothing, until stopped or the client leaves.
    void Hold(int client) { Ready(client, POLLRDHUP); }

private:
    // Waits for events on fd; false when stopped first, or the connection broke.
    bool Ready(int fd, short events) {
        for (pollfd p{fd, events, 0}; !stopping_;)
            if (poll(&p, 1, 10) > 0) return (p.revents & (POLLERR | POLLHUP)) == 0 || events == POLLRDHUP;
        return false;
    }
    void Serve() {
        for (int index = 0; Ready(listener_, POLLIN); ++index) {
            const int client = accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
            ++accepted_;
            script_(*this, client, index);
            close(client);
        }
    }

    int listener_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    int port_ = 0;
    Script script_;
    std::atomic<bool> stopping_{false};
    std::atomic<uint64_t> sent_{0};
    std::atomic<int> accepted_{0};
    std::thread thread_;  // last member: starts once the others are set
};
