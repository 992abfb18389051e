#pragma once
// A live capture from a COM port or a device path and what it sends: what both
// `kestrun-cli capture` and `kestrun-cli send --listen` take as options, the
// sequences the options describe, the port chosen and described for the user, and
// the run itself, which captures until a duration has passed or the user stops it.

#include <chrono>
#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "ZCliContext.h"
#include "ZSendSequence.h"

class ZLogger;
class ZSerialCapture;

struct ZCliSendOptions {
    std::vector<std::string> Data;  // joined into one sequence; none: no such sequence
    bool Text = false;              // text with escapes instead of HEX
    std::string Checksum;           // an algorithm's number or name; empty: none
    std::string ChecksumOrder;      // "lsb" or "msb"; empty: the algorithm's order
    std::string LineEnd;            // "cr", "lf" or "crlf"; empty: none
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

struct ZCliCaptureOptions {
    std::string SettingsFile;
    int Port = 0;                // 0: the port of the settings file
    std::string Device;          // a device path instead of a COM number
    int Baudrate = 0;            // 0: the rate of the settings file; else one of Baudrates
    double DurationSeconds = 0;  // 0: until stopped
    std::string OutDir;          // empty: the settings' log directory
    bool Json = false;
    std::string FramesFile;  // the frame export (JSON lines); empty: none
    bool Reconnect = false;  // wait for a lost port instead of ending (also on when the settings say so)
    std::string RawFile;     // also record every byte read into this new file (".pcapng": with times)
    // Stamp every read to the microsecond (also on when the settings say so).
    bool PreciseTime = false;
    std::string PcapFile;              // also write the frames as a Wireshark capture into this new file
    std::vector<ZSendSequence> Sends;  // sent once each as the capture starts, repeats at their interval
};

// The port the options choose (else the settings'), on logger's port.
void ZCliChoosePort(const ZCliCaptureOptions& options, ZLogger& logger);
// "COM<n> (<device>)" or the device path, for the user.
std::string ZCliDescribePort(const ZCliCaptureOptions& options, ZLogger& logger);
// Why the port did not open, for the user; "" when the port cannot tell.
std::string ZCliOpenFailureReason(const ZCliCaptureOptions& options, ZLogger& logger);

// Runs the capture and reports it; returns the exit code.
int ZCliRunLiveCapture(const ZCliCaptureOptions& options, ZCliContext& context);
