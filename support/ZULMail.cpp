#include "ZULMail.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <thread>

#include "ZULSpawn.h"

extern char** environ;

namespace {

constexpr std::chrono::milliseconds PauseTime{40};

}  // namespace

bool SendMail(const std::vector<std::string>* to, const std::vector<std::string>* cc,
              const std::string& subject, const std::string& body,
              const std::vector<std::string>* attachments, const sMailWait& wait) {
    if (to == nullptr || to->empty()) return false;
    // Recipients go after --to / --cc, never as bare arguments: xdg-email would take a
    // bare "mailto:..." as a whole URL, with fields of its own choosing.
    std::vector<std::string> arguments{"xdg-email", "--utf8"};
    for (const std::string& address : *to) arguments.insert(arguments.end(), {"--to", address});
    if (cc != nullptr)
        for (const std::string& address : *cc) arguments.insert(arguments.end(), {"--cc", address});
    // xdg-email refuses an empty subject or body as a missing argument; empty means none.
    if (!subject.empty()) arguments.insert(arguments.end(), {"--subject", subject});
    if (!body.empty()) arguments.insert(arguments.end(), {"--body", body});
    if (attachments != nullptr)
        for (const std::string& path : *attachments) arguments.insert(arguments.end(), {"--attach", path});

    // Looked up on the PATH as it is now: the composer is found per call.
    const pid_t pid = ZULSpawn(arguments, true);
    if (pid < 0) return false;
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(wait.TimeoutMs);
    for (;;) {
        int status = 0;
        const pid_t result = ::waitpid(pid, &status, WNOHANG);
        if (result == pid) return WIFEXITED(status) && WEXITSTATUS(status) == 0;
        if (result < 0 && errno != EINTR) return false;
        if (Clock::now() >= deadline) break;
        std::this_thread::sleep_for(PauseTime);
        if (wait.ProcessEvents) wait.ProcessEvents();
    }
    // Some composers keep xdg-email until the user has finished the message; it may still
    // succeed, but not while we wait. Reaped when it ends, so that it leaves no zombie.
    ZULReapWhenEnded(pid);
    return false;
}
