#pragma once
// The bug-report mail: hands a plain-text message to the desktop's mail composer
// through xdg-email, looked up on the PATH for each call. Subject, body and
// attachments travel inside one mailto: URI that is percent-encoded here, so no
// shell, echo or composer along the way can change them or read them as options:
// any text, NUL bytes included, arrives as it was given.

#include <functional>
#include <string>
#include <vector>

// How long SendMail lets the composer take, and what keeps the window working meanwhile.
struct sMailWait {
    int TimeoutMs = 60000;
    // Called about every 40 ms while SendMail waits, in the calling thread; may be empty.
    std::function<void()> ProcessEvents;
};

// Why SendMail returned false.
struct sMailOutcome {
    // xdg-email had not finished within the wait: the composer holds the message, and the
    // user may still send it. No error.
    bool StillOpen = false;
    // A sentence the user can read (empty when the mail was sent or is still open).
    std::string Error;
};

// The largest argument the system hands to a program (MAX_ARG_STRLEN, its closing NUL
// included); a longer URI cannot be handed over at all.
constexpr size_t MaxMailUriSize = 128 * 1024 - 1;

// Every byte outside A-Z a-z 0-9 - . _ ~ as %XX (upper-case hexadecimal).
std::string ZULPercentEncode(const std::string& text);
// "mailto:?subject=..&body=..&attach=..", each value percent-encoded; empty subject or
// body and a null attachment list are left out.
std::string ZULMailtoUri(const std::string& subject, const std::string& body,
                         const std::vector<std::string>* attachments);

// Sends to the "to" recipients (at least one) and the "cc" recipients, with subject,
// body (lines separated by LF) and the attachments (full paths; the composer names each
// after its last path part). Texts are UTF-8. cc and attachments may be null.
// True only when xdg-email accepted the message (exit status 0). Otherwise outcome,
// when given, says why: StillOpen when the composer had not finished within
// wait.TimeoutMs (it is left to finish on its own then), else an error sentence.
// Nothing is started when "to" is null or empty, when an address holds a control
// character or a backslash, or when the URI would exceed MaxMailUriSize.
// Blocks the caller for at most about wait.TimeoutMs.
bool SendMail(const std::vector<std::string>* to, const std::vector<std::string>* cc,
              const std::string& subject, const std::string& body,
              const std::vector<std::string>* attachments, const sMailWait& wait = {},
              sMailOutcome* outcome = nullptr);
