#pragma once
// Sending from kestrun-cli: the sequence the DATA arguments (or --send) and their
// options describe, the [_send] list of a settings file (--send-file), the sender
// that a capture drives to send them once and repeat them at their intervals, and
// the command `kestrun-cli send`, which sends and exits or listens for the answer.

#include <chrono>
#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "ZCliCaptureCommand.h"
#include "ZCliContext.h"
#include "ZSendSequence.h"

class ZSerialCapture;

struct ZCliSendOptions {
    std::vector<std::string> Data;  // joined into one sequence; none: no such sequence
    bool Text = false;              // text with escapes instead of HEX
    std::string Checksum;           // an algorithm's number or name; empty: none
    std::string ChecksumOrder;      // "lsb" or "msb"; empty: the algorithm's order
    std::string LineEnd;            // "cr", "lf" or "crlf"; empty: none
    std::string Encode;             // "slip" or "cobs"; empty: sent as they are
    int EveryMs = 0;                // repeat the DATA sequence; 0: once
    std::string SendFile;           // a settings file whose [_send] list is sent after it

    bool Any() const { return !Data.empty() || !SendFile.empty(); }
};

// The sequences the options ask for, in sending order: the DATA one first, then the
// file's list. False after telling the user why on err (bad usage).
bool ZCliBuildSends(const ZCliSendOptions& options, std::vector<ZSendSequence>& sequences, std::ostream& err);

// Sends its sequences through a capture that has its port open: each once, in order,
// at the first call, then each with an interval again whenever it is due. The thread
// that runs the capture calls it; repeats skip (and count) while the line is behind.
class ZCliSender {
public:
    using Clock = std::chrono::steady_clock;

    explicit ZCliSender(std::vector<ZSendSequence> sequences);

    // Sends what is due at now; false after a send was refused (the reason on err).
    bool SendDue(ZSerialCapture& capture, Clock::time_point now, std::ostream& err);
    // When the next repeat falls due; Clock::time_point::max() when none will.
    Clock::time_point NextDue() const;
    bool Empty() const { return items_.empty(); }

private:
    struct Item {
        std::vector<uint8_t> Bytes;
        Clock::duration Every{};
        Clock::time_point Due{};
        bool Done = false;  // sent once and never repeated
    };
    std::vector<Item> items_;
    bool started_ = false;
    std::string lastError_;  // the refusal last told, until a send goes again
};

struct ZCliSendCommandOptions {
    ZCliCaptureOptions Capture;  // port, settings file, and what --listen records
    ZCliSendOptions Send;
    double ListenSeconds = 0;  // 0: exit once the bytes are out
};

// Runs `kestrun-cli send`; returns the exit code.
int ZCliRunSend(const ZCliSendCommandOptions& options, ZCliContext& context);
