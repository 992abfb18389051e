#pragma once
// Helpers shared by the kestrun-cli tests: running a command in-process, a
// scratch folder, files, and the pseudo-terminal that the test environment
// makes reachable as COM98 (and, until a simulator replaces the link, COM99).

#include <gtest/gtest.h>
#include <poll.h>
#include <unistd.h>

#include <atomic>
#include <cctype>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "ZCliCommandLine.h"
#include "ZPseudoTerminal.h"

namespace clitest {

struct CliResult {
    int Code = -1;
    std::string Out;
    std::string Err;
};

inline CliResult RunCli(const std::vector<std::string>& args, const std::atomic<bool>* stop = nullptr,
                        std::function<void()> onCaptureStarted = {}) {
    std::vector<const char*> argv{"kestrun-cli"};
    for (const std::string& arg : args) argv.push_back(arg.c_str());
    std::ostringstream out, err;
    ZCliContext context{out, err};
    context.StopRequested = stop;
    context.OnCaptureStarted = std::move(onCaptureStarted);
    CliResult result;
    result.Code = ZCliRun(static_cast<int>(argv.size()), argv.data(), context);
    result.Out = out.str();
    result.Err = err.str();
    return result;
}

// The application directory (KESTRUN_HOME) of this test process, with a trailing '/'.
std::string& TestHome();
// The pseudo-terminal behind the override link com98.
ZPseudoTerminal& TestPty();

// A fresh folder below the test home, removed at the end of the test.
class ScratchDir {
public:
    ScratchDir() {
        static int serial = 0;
        path_ = TestHome() + "scratch" + std::to_string(++serial) + "/";
        std::filesystem::remove_all(path_);
        std::filesystem::create_directories(path_);
    }
    ~ScratchDir() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    const std::string& Path() const { return path_; }
    std::string operator/(const std::string& name) const { return path_ + name; }

private:
    std::string path_;
};

// What a peer of the line receives: read from fd until count bytes came (60 s at most).
inline std::string ReadFromPeer(int fd, size_t count) {
    std::string bytes;
    const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (bytes.size() < count && std::chrono::steady_clock::now() < limit) {
        pollfd readable{fd, POLLIN, 0};
        poll(&readable, 1, 50);
        char buffer[256];
        const ssize_t got = read(fd, buffer, sizeof buffer);
        if (got > 0) bytes.append(buffer, static_cast<size_t>(got));
    }
    return bytes;
}

inline void WriteFile(const std::string& path, const std::string& content) {
    std::ofstream file(path, std::ios::binary);
    file << content;
}

inline void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream file(path, std::ios::binary);
    file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// Whether text holds only characters of the pattern's kind at each place: '9' a
// digit, any other character itself. (std::regex upsets GCC 12's sanitizer builds.)
inline bool MatchesShape(const std::string& text, const std::string& pattern) {
    if (text.size() != pattern.size()) return false;
    for (size_t i = 0; i < text.size(); ++i) {
        const bool ok = pattern[i] == '9' ? std::isdigit(static_cast<unsigned char>(text[i])) != 0
                                          : text[i] == pattern[i];
        if (!ok) return false;
    }
    return true;
}

// The lines of a log file (CR LF ends), with the time of day in a header line
// (" at HH:MM:SS (", or with precise time " at HH:MM:SS.uuuuuu (") replaced by "<time>".
inline std::vector<std::string> ReadLogLines(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::vector<std::string> lines;
    std::string line;
    while (std::getline(file, line)) {
        EXPECT_TRUE(!line.empty() && line.back() == '\r') << "line without CR LF: " << line;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        const size_t at = line.find(" at ");
        if (at != std::string::npos && MatchesShape(line.substr(at, 14), " at 99:99:99 (")) {
            line.replace(at + 4, 8, "<time>");
        } else if (at != std::string::npos && MatchesShape(line.substr(at, 21), " at 99:99:99.999999 (")) {
            line.replace(at + 4, 15, "<time>");
        }
        lines.push_back(line);
    }
    return lines;
}

// The settings file text of a port section that any test may use: the port
// defaults on COM1, as the port component writes them.
inline const std::string kDefaultPortSection =
    "[_serial_capture]\r\n"
    "_settings="
    "RRS0001084000000204800002048000000170190000160000000400063026013000000000000000000000000096\r\n";

}  // namespace clitest
