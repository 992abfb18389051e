#pragma once
// What the soak programs share: the process's resident memory, and what they read
// back from the log files a long capture writes (the bytes the files hold, counted
// from their block headers; the files are removed once counted so that a long run
// does not fill the folder).

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "ZLogFileManager.h"

inline double ResidentMB() {
    std::ifstream statm("/proc/self/statm");
    long size = 0, resident = 0;
    statm >> size >> resident;
    return static_cast<double>(resident) * static_cast<double>(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

// The bytes of the blocks a log file holds: the sum of "(<n> bytes)" of its header lines.
inline uint64_t LoggedBytesOf(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::string line;
    uint64_t bytes = 0;
    while (std::getline(file, line)) {
        const size_t open = line.rfind(" (");
        if (line.compare(0, 5, "HEX: ") == 0 || line.compare(0, 6, "ASCII:") == 0) continue;
        if (open == std::string::npos || line.find(" bytes)", open) == std::string::npos) continue;
        bytes += std::strtoull(line.c_str() + open + 2, nullptr, 10);
    }
    return bytes;
}

// Counts and removes the log files the writer has finished (it must keep their list).
class SoakLogChecker {
public:
    explicit SoakLogChecker(ZLogFileManager& writer) : writer_(writer) {}

    void CheckWritten() {
        for (const std::string& path : writer_.TakeWrittenFiles()) {
            bytes_ += LoggedBytesOf(path);
            ++files_;
            std::remove(path.c_str());
        }
    }
    uint64_t Bytes() const { return bytes_; }
    uint64_t Files() const { return files_; }

private:
    ZLogFileManager& writer_;
    uint64_t bytes_ = 0;
    uint64_t files_ = 0;
};
