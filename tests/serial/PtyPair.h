#pragma once
// A pseudo-terminal pair for tests: the component opens the slave by its path, the
// test plays the device on the master.

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <functional>
#include <string>
#include <thread>

#include "Eventually.h"

class PtyPair {
public:
    PtyPair() {
        int slave = -1;
        char name[256] = {};
        if (openpty(&master_, &slave, name, nullptr, nullptr) != 0) return;
        slavePath_ = name;
        // The component is to be the only one with the slave open.
        close(slave);
    }
    ~PtyPair() { CloseMaster(); }
    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;

    bool Ok() const { return master_ >= 0 && !slavePath_.empty(); }
    int Master() const { return master_; }
    const std::string& SlavePath() const { return slavePath_; }

    void CloseMaster() {
        if (master_ >= 0) close(master_);
        master_ = -1;
    }

    // Writes all of text to the master; false when it does not go through.
    bool Send(const std::string& text) const {
        size_t done = 0;
        while (done < text.size()) {
            const ssize_t put = write(master_, text.data() + done, text.size() - done);
            if (put <= 0) return false;
            done += static_cast<size_t>(put);
        }
        return true;
    }

    // What the component sent, gathered until count bytes came, the component closed
    // its end, or the limit ran out.
    std::string Receive(size_t count, std::chrono::milliseconds limit = std::chrono::seconds(2)) const {
        std::string got;
        const auto end = std::chrono::steady_clock::now() + limit;
        while (got.size() < count && std::chrono::steady_clock::now() < end) {
            pollfd fd{master_, POLLIN, 0};
            if (poll(&fd, 1, 20) <= 0) continue;
            char buffer[4096];
            const ssize_t n = read(master_, buffer, sizeof(buffer));
            if (n > 0)
                got.append(buffer, static_cast<size_t>(n));
            else if (n < 0 && errno == EIO)
                break;  // the slave side was closed and everything it sent was read
        }
        return got;
    }

    termios MasterSettings() const {
        termios settings{};
        tcgetattr(master_, &settings);
        return settings;
    }

private:
    int master_ = -1;
    std::string slavePath_;
};
