#include "ZPcapDissectors.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <optional>
#include <sstream>
#include <thread>

#include "ZULSpawn.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr size_t kMaxOutput = 4u << 20;

// tshark's standard output when it ends well within the limits.
std::optional<std::string> RunTshark(const std::string& report, std::chrono::milliseconds limit) {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) return std::nullopt;
    const pid_t pid = ZULSpawn({"tshark", "-G", report}, true, fds[1]);
    ::close(fds[1]);
    if (pid < 0) {
        ::close(fds[0]);
        return std::nullopt;
    }
    std::string output;
    bool complete = false;
    const auto deadline = Clock::now() + limit;
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0 || output.size() > kMaxOutput) break;
        pollfd readable{fds[0], POLLIN, 0};
        const int ready = ::poll(&readable, 1, static_cast<int>(left.count()));
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0) break;
        char buffer[65536];
        const ssize_t got = ::read(fds[0], buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) {
            complete = got == 0;
            break;
        }
        output.append(buffer, static_cast<size_t>(got));
    }
    ::close(fds[0]);
    // A tshark that closed its output need not have ended: it gets what is left of the limit.
    int status = 0;
    pid_t ended = 0;
    while (complete && (ended = ::waitpid(pid, &status, WNOHANG)) == 0 && Clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    if (ended == pid)
        return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? std::optional(output) : std::nullopt;
    // Whatever it left running (its session's group) ends with it.
    ::kill(-pid, SIGKILL);
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return std::nullopt;
}

// Field field (tab-separated, counting from 0) of each line.
std::vector<std::string> ListedNames(const std::string& output, size_t field) {
    std::vector<std::string> names;
    std::istringstream lines(output);
    std::string line;
    while (std::getline(lines, line)) {
        size_t start = 0;
        for (size_t i = 0; i < field && start != std::string::npos; ++i) {
            start = line.find('\t', start);
            if (start != std::string::npos) ++start;
        }
        if (start == std::string::npos) continue;
        std::string name = line.substr(start, line.find('\t', start) - start);
        if (!name.empty()) names.push_back(std::move(name));
    }
    std::sort(names.begin(), names.end());
    names.erase(std::unique(names.begin(), names.end()), names.end());
    return names;
}

}  // namespace

bool ZListDissectors(std::vector<std::string>& names, std::chrono::milliseconds limit) {
    names.clear();
    if (std::optional<std::string> listed = RunTshark("dissectors", limit); listed && !listed->empty())
        names = ListedNames(*listed, 0);
    // "Full name", "short name" and "filter name": the filter name is the dissector's.
    else if (std::optional<std::string> protocols = RunTshark("protocols", limit);
             protocols && !protocols->empty())
        names = ListedNames(*protocols, 2);
    return !names.empty();
}

ZDissectorCheck ZCheckDissector(const std::string& name) {
    std::vector<std::string> names;
    if (!ZListDissectors(names)) return ZDissectorCheck::Unchecked;
    return std::binary_search(names.begin(), names.end(), name) ? ZDissectorCheck::Known
                                                                : ZDissectorCheck::Unknown;
}
