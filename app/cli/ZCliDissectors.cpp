#include "ZCliDissectors.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <optional>
#include <sstream>
#include <vector>

#include "ZFramePcap.h"
#include "ZULSpawn.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr auto kTsharkLimit = std::chrono::seconds(15);
constexpr size_t kMaxOutput = 4u << 20;

// tshark's standard output when it ends well within the limits.
std::optional<std::string> RunTshark(const std::string& report) {
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
    const auto deadline = Clock::now() + kTsharkLimit;
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
    // Whatever it left running (its session's group) ends with it.
    if (!complete) ::kill(-pid, SIGKILL);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (!complete || !WIFEXITED(status) || WEXITSTATUS(status) != 0) return std::nullopt;
    return output;
}

// Whether a line's field (tab-separated, counting from 0) is name.
bool ListsName(const std::string& output, size_t field, const std::string& name) {
    std::istringstream lines(output);
    std::string line;
    while (std::getline(lines, line)) {
        size_t start = 0;
        for (size_t i = 0; i < field && start != std::string::npos; ++i) {
            start = line.find('\t', start);
            if (start != std::string::npos) ++start;
        }
        if (start == std::string::npos) continue;
        if (line.compare(start, line.find('\t', start) - start, name) == 0) return true;
    }
    return false;
}

}  // namespace

ZCliDissectorCheck ZCliCheckDissector(const std::string& name) {
    if (std::optional<std::string> listed = RunTshark("dissectors"); listed && !listed->empty())
        return ListsName(*listed, 0, name) ? ZCliDissectorCheck::Known : ZCliDissectorCheck::Unknown;
    // "Full name", "short name" and "filter name": the filter name is the dissector's.
    if (std::optional<std::string> listed = RunTshark("protocols"); listed && !listed->empty())
        return ListsName(*listed, 2, name) ? ZCliDissectorCheck::Known : ZCliDissectorCheck::Unknown;
    return ZCliDissectorCheck::Unchecked;
}

void ZCliWarnUnknownDissector(const std::string& name, std::ostream& err) {
    if (name == ZPcapDefaultProtocol || ZCliCheckDissector(name) != ZCliDissectorCheck::Unknown) return;
    err << "Warning: Wireshark does not know the protocol \"" << name
        << "\" (tshark does not list it): the packets name it anyway and show as \"Exported PDU\" "
           "without a decode.\n";
}
