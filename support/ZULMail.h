#pragma once
// The bug-report mail: hands a plain-text message to the desktop's mail composer
// through xdg-email, looked up on the PATH for each call. Every text travels as a
// program argument of its own, never through a shell, so any text is safe.

#include <functional>
#include <string>
#include <vector>

// How long SendMail lets the composer take, and what keeps the window working meanwhile.
struct sMailWait {
    int TimeoutMs = 60000;
    // Called about every 40 ms while SendMail waits, in the calling thread; may be empty.
    std::function<void()> ProcessEvents;
};

// Sends to the "to" recipients (at least one) and the "cc" recipients, with subject,
// body (lines separated by LF) and the attachments (full paths; the composer names each
// after its last path part). Texts are UTF-8. cc and attachments may be null.
// True only when xdg-email accepted the message (exit status 0). False, without starting
// anything, when "to" is null or empty; false when xdg-email is missing, fails, or has not
// finished within wait.TimeoutMs (it is left to finish on its own then). Blocks the caller
// for at most about wait.TimeoutMs.
bool SendMail(const std::vector<std::string>* to, const std::vector<std::string>* cc,
              const std::string& subject, const std::string& body,
              const std::vector<std::string>* attachments, const sMailWait& wait = {});
