#include "ZULMail.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

#include "ZULSpawn.h"
#include "ZULText.h"

namespace {

constexpr std::chrono::milliseconds PauseTime{40};
const char* const Composer = "xdg-email";

// xdg-email encodes an address itself, after passing it through echo: a backslash or a
// line break would arrive changed, so such an address is refused rather than mangled.
bool IsPlainAddress(const std::string& address) {
    return !address.empty() && std::none_of(address.begin(), address.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return byte < 0x20 || byte == 0x7F || c == '\\';
    });
}

// xdg-email's documented exit statuses.
std::string StatusText(int status) {
    if (WIFSIGNALED(status)) {
        const int signal = WTERMSIG(status);
        const char* name = strsignal(signal);
        return std::string(Composer) + " was ended by signal " + std::to_string(signal) +
               (name != nullptr ? std::string(" (") + name + ")" : std::string());
    }
    const int code = WEXITSTATUS(status);
    ZULTextTemplate reason = ZUL_TEXT("Mail", "it failed");
    switch (code) {
        case 1:
            reason = ZUL_TEXT("Mail", "it refused its command line");
            break;
        case 2:
            reason = ZUL_TEXT("Mail", "a file to attach does not exist");
            break;
        case 3:
            reason = ZUL_TEXT("Mail", "no mail program is set up on this desktop");
            break;
        case 4:
            reason = ZUL_TEXT("Mail", "the mail program could not take the message");
            break;
        case 5:
            reason = ZUL_TEXT("Mail", "a file to attach cannot be read");
            break;
        default:
            break;
    }
    return ZULFormat(ZUL_TEXT("Mail", "%1 ended with exit status %2: %3"),
                     {Composer, std::to_string(code), ZULFormat(reason)});
}

bool Failed(sMailOutcome* outcome, const std::string& error) {
    if (outcome != nullptr) outcome->Error = error;
    return false;
}

}  // namespace

std::string ZULPercentEncode(const std::string& text) {
    static const char* const Hex = "0123456789ABCDEF";
    std::string out;
    out.reserve(text.size() * 3);
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        const bool unreserved = (byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z') ||
                                (byte >= '0' && byte <= '9') || c == '-' || c == '.' || c == '_' || c == '~';
        if (unreserved) {
            out += c;
        } else {
            out += '%';
            out += Hex[byte >> 4];
            out += Hex[byte & 0x0F];
        }
    }
    return out;
}

std::string ZULMailtoUri(const std::string& subject, const std::string& body,
                         const std::vector<std::string>* attachments) {
    std::string fields;
    auto add = [&fields](const char* name, const std::string& value) {
        fields += fields.empty() ? "?" : "&";
        fields += name;
        fields += '=';
        fields += ZULPercentEncode(value);
    };
    if (!subject.empty()) add("subject", subject);
    if (!body.empty()) add("body", body);
    if (attachments != nullptr)
        for (const std::string& path : *attachments) add("attach", path);
    return "mailto:" + fields;
}

bool SendMail(const std::vector<std::string>* to, const std::vector<std::string>* cc,
              const std::string& subject, const std::string& body,
              const std::vector<std::string>* attachments, const sMailWait& wait, sMailOutcome* outcome) {
    if (outcome != nullptr) *outcome = {};
    if (to == nullptr || to->empty()) return Failed(outcome, "the mail has no recipient");
    // Recipients go after --to / --cc, never as bare arguments: xdg-email would take a
    // bare "mailto:..." as a whole URL, with fields of its own choosing.
    std::vector<std::string> arguments{Composer, "--utf8"};
    for (const auto& [list, option] : {std::pair{to, "--to"}, std::pair{cc, "--cc"}}) {
        if (list == nullptr) continue;
        for (const std::string& address : *list) {
            if (!IsPlainAddress(address))
                return Failed(outcome, "the address '" + address + "' holds characters no mail address has");
            arguments.insert(arguments.end(), {option, address});
        }
    }
    std::string uri = ZULMailtoUri(subject, body, attachments);
    if (uri.size() > MaxMailUriSize)
        return Failed(outcome, "the message is too long to hand to the mail program (" +
                                   std::to_string(uri.size()) + " bytes once encoded, at most " +
                                   std::to_string(MaxMailUriSize) + ")");
    arguments.push_back(std::move(uri));

    // Looked up on the PATH as it is now: the composer is found per call.
    const pid_t pid = ZULSpawn(arguments, true);
    if (pid < 0) {
        const int error = errno;
        if (error == ENOENT)
            return Failed(outcome, std::string(Composer) + " was not found (it comes with xdg-utils)");
        return Failed(outcome, std::string(Composer) + " could not be started: " + std::strerror(error));
    }
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(wait.TimeoutMs);
    for (;;) {
        int status = 0;
        const pid_t result = ::waitpid(pid, &status, WNOHANG);
        if (result == pid) {
            if (WIFEXITED(status) && WEXITSTATUS(status) == 0) return true;
            return Failed(outcome, StatusText(status));
        }
        if (result < 0 && errno != EINTR)
            return Failed(outcome,
                          std::string("waiting for ") + Composer + " failed: " + std::strerror(errno));
        if (Clock::now() >= deadline) break;
        std::this_thread::sleep_for(PauseTime);
        if (wait.ProcessEvents) wait.ProcessEvents();
    }
    // Some composers keep xdg-email until the user has finished the message; it may still
    // be sent, but not while we wait. Reaped when it ends, so that it leaves no zombie.
    ZULReapWhenEnded(pid);
    if (outcome != nullptr) outcome->StillOpen = true;
    return false;
}
