#pragma once
// Stand-in programs for tests that start other programs, and a check that none of
// the programs a test started is left behind.

#include <sys/stat.h>
#include <sys/wait.h>

#include <cerrno>
#include <chrono>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "TestFiles.h"
#include "ThreadTestHelpers.h"

// Writes a shell script and makes it executable.
inline void WriteScript(const std::string& path, const std::string& body) {
    WriteBytes(path, "#!/bin/sh\n" + body);
    chmod(path.c_str(), 0755);
}

// A file of NUL-terminated arguments (written with printf '%s\0' "$@") as a list.
inline std::vector<std::string> ReadRecordedArguments(const std::string& path) {
    const std::string bytes = ReadBytes(path);
    std::vector<std::string> arguments;
    std::string current;
    for (char c : bytes) {
        if (c == '\0') {
            arguments.push_back(current);
            current.clear();
        } else {
            current += c;
        }
    }
    return arguments;
}

// Whether this process has no child, running or ended, left; a child that is still
// being reaped elsewhere gets until the deadline.
inline bool NoChildLeft() {
    const auto deadline = std::chrono::steady_clock::now() + TestDeadline;
    for (;;) {
        const pid_t result = waitpid(-1, nullptr, WNOHANG);
        if (result < 0 && errno == ECHILD) return true;
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

// Waits until a file that another process writes has content.
inline bool WaitForFile(const std::string& path) {
    const auto deadline = std::chrono::steady_clock::now() + TestDeadline;
    while (ReadBytes(path).empty()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

// Sets an environment variable for one test and puts the old value back.
class ScopedEnvironment {
public:
    ScopedEnvironment(const char* name, const std::string& value) : name_(name) {
        const char* old = std::getenv(name);
        hadValue_ = old != nullptr;
        if (hadValue_) old_ = old;
        setenv(name, value.c_str(), 1);
    }
    ~ScopedEnvironment() {
        if (hadValue_)
            setenv(name_, old_.c_str(), 1);
        else
            unsetenv(name_);
    }
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

private:
    const char* name_;
    bool hadValue_ = false;
    std::string old_;
};
