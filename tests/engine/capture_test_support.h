#pragma once
// Shared pieces of the capture tests: a pseudo-terminal standing in for the device,
// receivers that record what the logger sends, temporary folders and log file reading.

#include <fcntl.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <stop_token>
#include <string>
#include <thread>
#include <vector>

#include "TestFiles.h"
#include "ZLoggerClients.h"
#include "ZRawRecorder.h"
#include "ZSerialCapture.h"

namespace capture_test {

// Log headers carry the locale's long time format; the C locale gives HH:MM:SS. Set before
// anything in the process formats a time.
inline const bool LocaleIsC = (setenv("LC_ALL", "C", 1), true);

using Bytes = std::vector<uint8_t>;

inline Bytes BytesOf(const std::string& text) {
    return Bytes(text.begin(), text.end());
}

// Polls until done() holds or the time is up; returns done(). The limit is only ever
// reached by a fault: a loaded machine running the sanitizer builds may take seconds.
inline bool WaitUntil(const std::function<bool()>& done,
                      std::chrono::milliseconds limit = std::chrono::seconds(10)) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() >= deadline) return done();
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

// A pseudo-terminal pair: the capture opens the slave by its path, the test writes into the master.
class PtyPair {
public:
    PtyPair() {
        // Raw from the start, like a serial line: no echo and no line editing, also while
        // the capture has the port closed.
        termios raw{};
        cfmakeraw(&raw);
        char name[256] = {};
        if (openpty(&master_, &slave_, name, &raw, nullptr) == 0) slavePath_ = name;
    }
    ~PtyPair() {
        CloseMaster();
        if (slave_ >= 0) close(slave_);
    }
    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;

    bool IsOpen() const { return !slavePath_.empty(); }
    const std::string& SlavePath() const { return slavePath_; }
    int MasterFd() const { return master_; }

    bool Write(const Bytes& bytes) const {
        size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t n = write(master_, bytes.data() + done, bytes.size() - done);
            if (n <= 0) return false;
            done += static_cast<size_t>(n);
        }
        return true;
    }
    // Writes what fits without blocking; returns the count written.
    size_t WriteSome(const Bytes& bytes) const {
        const int flags = fcntl(master_, F_GETFL);
        fcntl(master_, F_SETFL, flags | O_NONBLOCK);
        const ssize_t n = write(master_, bytes.data(), bytes.size());
        fcntl(master_, F_SETFL, flags);
        return n > 0 ? static_cast<size_t>(n) : 0;
    }
    // The other end goes away, as when a USB adapter is unplugged.
    void CloseMaster() {
        if (master_ >= 0) close(master_);
        master_ = -1;
    }

private:
    int master_ = -1;
    int slave_ = -1;
    std::string slavePath_;
};

// Writes bytes into the pseudo-terminal from a thread of its own, as fast as it takes
// them, until all went or the thread is destroyed.
inline std::jthread WriteInBackground(const PtyPair& pty, const Bytes& bytes) {
    fcntl(pty.MasterFd(), F_SETFL, fcntl(pty.MasterFd(), F_GETFL) | O_NONBLOCK);
    return std::jthread([&pty, &bytes](std::stop_token stop) {
        for (size_t done = 0; done < bytes.size() && !stop.stop_requested();) {
            const ssize_t put = write(pty.MasterFd(), bytes.data() + done, bytes.size() - done);
            if (put > 0)
                done += static_cast<size_t>(put);
            else
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    });
}

// Gives capture a raw recording in dir, to see what it reads; the recording stays the capture's.
inline const ZRawRecorder& RecordRaw(ZSerialCapture& capture, const ScratchDir& dir) {
    auto raw = std::make_unique<ZRawRecorder>();
    std::string error;
    raw->Create(dir.File("raw.bin"), error);
    capture.SetRawRecorder(std::move(raw));
    return *capture.GetRawRecorder();
}

// Lets held cycles run until they read nothing more while bytes keep coming: the pump
// is full, and the rest waits in the device.
template <class Capture>
bool RunUntilHeldBack(Capture& capture, const ZRawRecorder& read) {
    return WaitUntil([&] {
        const uint64_t before = read.BytesRecorded();
        return capture.RunCycles(3) && read.BytesRecorded() == before && before > 0;
    });
}

struct StatusMessage {
    uint8_t Kind;
    std::string Text;
    double Count;
    double Total;
    signed char Priority;
    bool operator==(const StatusMessage&) const = default;
};

inline std::ostream& operator<<(std::ostream& out, const StatusMessage& m) {
    return out << "{kind " << int(m.Kind) << ", \"" << m.Text << "\", " << m.Count << ", " << m.Total
               << ", prio " << int(m.Priority) << "}";
}

class RecordingStatusReceiver : public IZStatusReceiver {
public:
    bool PostStatus(uint8_t kind, const std::string& text, double count, double total,
                    signed char priority) override {
        std::lock_guard guard(lock_);
        messages_.push_back({kind, text, count, total, priority});
        return true;
    }
    std::vector<StatusMessage> Messages() const {
        std::lock_guard guard(lock_);
        return messages_;
    }
    void Clear() {
        std::lock_guard guard(lock_);
        messages_.clear();
    }
    // The total of the newest kind 0 message: the bytes handed out so far.
    double LatestTotalBytes() const {
        std::lock_guard guard(lock_);
        for (auto it = messages_.rbegin(); it != messages_.rend(); ++it)
            if (it->Kind == 0) return it->Total;
        return 0;
    }
    bool WaitForTotalBytes(double total) const {
        return WaitUntil([&] { return LatestTotalBytes() >= total; });
    }

private:
    mutable std::mutex lock_;  // guards messages_
    std::vector<StatusMessage> messages_;
};

struct LiveEntry {
    Bytes Data;
    uint8_t Kind;
};

class RecordingEntryReceiver : public IZEntryReceiver {
public:
    bool AddBlock(const sBlock& block) override {
        std::lock_guard guard(lock_);
        entries_.push_back({Bytes(block.Bytes, block.Bytes + block.Length), block.Kind});
        return true;
    }
    std::vector<LiveEntry> Entries() const {
        std::lock_guard guard(lock_);
        return entries_;
    }

private:
    mutable std::mutex lock_;  // guards entries_
    std::vector<LiveEntry> entries_;
};

// The lines of a log file; every line must end with CR LF (a line that does not is
// returned with a marker so that the comparison shows it).
inline std::vector<std::string> ReadLogLines(const std::string& path) {
    const std::string text = ReadBytes(path);
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        const size_t end = text.find("\r\n", start);
        if (end == std::string::npos) {
            lines.push_back(text.substr(start) + "<no CR LF>");
            break;
        }
        lines.push_back(text.substr(start, end - start));
        start = end + 2;
    }
    return lines;
}

// Header lines carry the wall-clock time; a well-formed time of day (" at HH:MM:SS (")
// becomes "T".
inline std::vector<std::string> MaskTimes(std::vector<std::string> lines) {
    const std::string form = " at 00:00:00 (";
    for (auto& line : lines) {
        const size_t at = line.find(" at ");
        if (at == std::string::npos || line.size() < at + form.size()) continue;
        bool matches = true;
        for (size_t i = 0; i < form.size() && matches; ++i) {
            const char c = line[at + i];
            matches = form[i] == '0' ? (c >= '0' && c <= '9') : c == form[i];
        }
        if (matches) line.replace(at, form.size(), " at T (");
    }
    return lines;
}

inline const std::string StartSeparator(56, '#');
inline const std::string DataSeparator(56, '~');
inline const std::string FlushSeparator(56, '>');
inline std::string StopSeparator() {
    std::string line;
    for (int i = 0; i < 28; ++i) line += " -";
    return line;
}

}  // namespace capture_test
