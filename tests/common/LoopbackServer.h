#pragma once
// A server of the test's own on 127.0.0.1, on a port the system picks: it accepts
// its clients one after another and runs the test's script on each connection, in
// a thread of its own. Every wait is bounded and looks at Stop, so a client that
// misbehaves shows as a failed check, never as a hung test.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdint>
#include <functional>
#include <string>
#include <thread>
#include <vector>

class LoopbackServer {
public:
    // Runs on connection number `index` (0 first); returns to close it and accept the next.
    using Script = std::function<void(LoopbackServer& server, int client, int index)>;

    explicit LoopbackServer(Script script)
        : listener_(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)), script_(std::move(script)) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof(address);
        if (bind(listener_, reinterpret_cast<sockaddr*>(&address), size) == 0 && listen(listener_, 4) == 0 &&
            getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &size) == 0)
            port_ = ntohs(address.sin_port);
        thread_ = std::thread([this] { Serve(); });
    }
    ~LoopbackServer() {
        Stop();
        close(listener_);
    }
    LoopbackServer(const LoopbackServer&) = delete;
    LoopbackServer& operator=(const LoopbackServer&) = delete;

    std::string Address(const char* scheme) const {
        return std::string(scheme) + "://127.0.0.1:" + std::to_string(port_);
    }
    // Ends the script at its next look and waits for the thread.
    void Stop() {
        stopping_ = true;
        if (thread_.joinable()) thread_.join();
    }
    bool Stopping() const { return stopping_; }
    // Bytes sent to all clients so far, and whether a client went away while being sent to.
    uint64_t Sent() const { return sent_; }
    // Connections accepted so far.
    int Accepted() const { return accepted_; }
    bool ClientLeft() const { return clientLeft_; }

    // Sends all of bytes as the client takes them; false when stopped or the client left.
    bool SendAll(int client, const uint8_t* bytes, size_t size) {
        for (size_t done = 0; done < size;) {
            if (stopping_) return false;
            pollfd writable{client, POLLOUT, 0};
            if (poll(&writable, 1, 10) <= 0) continue;
            const ssize_t put = send(client, bytes + done, size - done, MSG_NOSIGNAL | MSG_DONTWAIT);
            if (put < 0 && errno == EAGAIN) continue;
            if (put <= 0) {
                clientLeft_ = true;
                return false;
            }
            done += static_cast<size_t>(put);
            sent_ += static_cast<uint64_t>(put);
        }
        return true;
    }
    // Sends unit `times` times (0: until stopped or the client leaves).
    void Flood(int client, const std::vector<uint8_t>& unit, uint64_t times) {
        std::vector<uint8_t> block;
        while (block.size() < 64 * 1024) block.insert(block.end(), unit.begin(), unit.end());
        const uint64_t perBlock = block.size() / unit.size();
        for (uint64_t done = 0; times == 0 || done < times; done += perBlock) {
            const uint64_t units = times == 0 ? perBlock : std::min(perBlock, times - done);
            if (!SendAll(client, block.data(), units * unit.size())) return;
        }
    }
    // Receives until `wanted` has come (true), the client left or stopped (false).
    bool ReceiveUntil(int client, const std::vector<uint8_t>& wanted) {
        std::vector<uint8_t> got;
        while (!stopping_) {
            pollfd readable{client, POLLIN, 0};
            if (poll(&readable, 1, 10) <= 0) continue;
            uint8_t chunk[512];
            const ssize_t n = recv(client, chunk, sizeof(chunk), 0);
            if (n <= 0) return false;
            got.insert(got.end(), chunk, chunk + n);
            if (std::search(got.begin(), got.end(), wanted.begin(), wanted.end()) != got.end()) return true;
        }
        return false;
    }
    // Holds the connection, reading nothing, until stopped or the client leaves.
    void Hold(int client) {
        while (!stopping_) {
            pollfd gone{client, POLLRDHUP, 0};
            if (poll(&gone, 1, 10) > 0) {
                clientLeft_ = true;
                return;
            }
        }
    }

private:
    void Serve() {
        for (int index = 0; !stopping_; ++index) {
            int client = -1;
            while (client < 0 && !stopping_) {
                pollfd waiting{listener_, POLLIN, 0};
                if (poll(&waiting, 1, 10) == 1) client = accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
            }
            if (client < 0) return;
            ++accepted_;
            script_(*this, client, index);
            close(client);
        }
    }

    int listener_;
    int port_ = 0;
    Script script_;
    std::atomic<bool> stopping_{false};
    std::atomic<uint64_t> sent_{0};
    std::atomic<int> accepted_{0};
    std::atomic<bool> clientLeft_{false};
    std::thread thread_;  // last member: starts once the others are set
};
