#pragma once
// A live capture from a COM port or a device path and what it sends: what both
// `kestrun-cli capture` and `kestrun-cli send --listen` take as options, the
// sequences the options describe, the port chosen and described for the user, and
// the run itself, which captures until a duration has passed or the user stops it.

#include <cstdint>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "ZCliContext.h"
#include "ZSendPacer.h"
#include "ZSendSequence.h"

class ZCliCaptureSession;
class ZLogger;
class ZSerialCapture;

struct ZCliSendOptions {
    std::vector<std::string> Data;                   // joined into one sequence; none: no such sequence
    bool Text = false;                               // text with escapes instead of HEX
    std::string Checksum;                            // an algorithm's number or name; empty: none
    std::string ChecksumOrder;                       // "lsb" or "msb"; empty: the algorithm's order
    int ChecksumSkip = ZSendSequence::ProtocolSkip;  // leading bytes the checksum leaves out
    std::string LineEnd;                             // "cr", "lf" or "crlf"; empty: none
    std::string Encode;                              // "slip" or "cobs"; empty: sent as they are
    int EveryMs = 0;                                 // repeat the DATA sequence; 0: once
    int WaitAnswerMs = 0;  // after the DATA sequence, wait this long for the answer; 0: not
    std::string SendFile;  // a settings file whose [_send] list is sent after it

    bool Any() const { return !Data.empty() || !SendFile.empty(); }
};

// The sequences the options ask for, in sending order: the DATA one first, then the
// file's list, whose SendGapMs the list keeps. False after telling the user why on
// err (bad usage).
bool ZCliBuildSends(const ZCliSendOptions& options, ZSendList& sends, std::ostream& err);

// Sends through a capture that has its port open, paced by the engine: each sequence
// once, in order, then those with an interval on their ticks. A refusal is told
// once, not at every tick (a lost port refuses every one). The thread that runs the
// capture drives it; it must be in the engine's block observers while sends may be
// answered.
class ZCliSender : public ZSendPacer {
public:
    using Clock = ZSendPacer::Clock;

    // The sequences, paced on the line of capture, with the list's gap, else gapMs.
    ZCliSender(const ZSendList& sends, ZSerialCapture& capture, int32_t gapMs);
    // Sends what is due now; false after a send was refused (the reason on err).
    bool SendDue(std::ostream& err);

private:
    ZSerialCapture& capture_;
    std::string lastError_;  // the refusal last told, until a send goes again
};

struct ZCliCaptureOptions {
    std::string SettingsFile;
    int Port = 0;                // 0: the port of the settings file
    std::string Device;          // a device path instead of a COM number
    int Baudrate = 0;            // 0: the rate of the settings file; else one of Baudrates
    // The second line (the other direction): a port number or a device path (either
    // turns the second line on), and its rate; 0 and "": the settings file's.
    int Port2 = 0;
    std::string Device2;
    int Baudrate2 = 0;
    double DurationSeconds = 0;  // 0: until stopped
    std::string OutDir;          // empty: the settings' log directory
    bool Json = false;
    std::string FramesFile;  // the frame export (JSON lines); empty: none
    bool Reconnect = false;  // wait for a lost port instead of ending (also on when the settings say so)
    std::string RawFile;     // also record every byte read into this new file (".pcapng": with times)
    // Stamp every read to the microsecond (also on when the settings say so).
    bool PreciseTime = false;
    std::string PcapFile;  // also write the frames as a Wireshark capture into this new file
    std::string CsvFile;   // also write the field values into this new CSV file
    ZSendList Sends;       // sent once each as the capture starts, repeats at their interval
    // send --listen: a capture that received nothing failed ("No answer within S s").
    bool ExpectAnswer = false;
};

// The port the options choose (else the settings'), on logger's port.
void ZCliChoosePort(const ZCliCaptureOptions& options, ZLogger& logger);
// "COM<n> (<device>)" or the device path, for the user.
std::string ZCliDescribePort(const ZCliCaptureOptions& options, ZLogger& logger);
// Why the port did not open, for the user; "" when the port cannot tell.
std::string ZCliOpenFailureReason(const ZCliCaptureOptions& options, ZLogger& logger);

// Runs the capture and reports it; returns the exit code.
int ZCliRunLiveCapture(const ZCliCaptureOptions& options, ZCliContext& context);

// The parts of a capture for a command that waits in its own way while it runs
// (`term`). ZCliStartLiveCapture prepares session as the options say (settings, log
// folder, port, recordings, frame export, Wireshark capture, CSV file) and starts it,
// telling the user where it captures; beforeStart, when given, is called with the
// logger once its ports are chosen, before anything is made after them (the
// recordings, the exports) and before the start. kCliExitOk once it runs, else the exit code after
// the user was told why (nothing it made is left behind then).
int ZCliStartLiveCapture(const ZCliCaptureOptions& options, ZCliCaptureSession& session, ZCliContext& context,
                         const std::function<void(ZLogger&)>& beforeStart = {});
// Whether the port of a capture that does not reconnect was lost: it reads nothing more.
bool ZCliPortWasLost(ZLogger& logger);
// A capture that reconnects tells the user when its port goes and when it is back;
// waiting holds what was told last.
void ZCliShowPortState(bool& waiting, ZCliCaptureSession& session, ZCliContext& context);
// How a capture came to its end, for its report.
struct ZCliCaptureEnd {
    bool PortLost = false;  // it ended early: the port was lost
    bool ShowSent = false;  // it sent: the report shows the bytes sent
    uint64_t SkippedSends = 0;
    bool CounterLine = false;         // the live counter line on a terminal gets its final state
    std::function<void()> AfterStop;  // called once the capture has stopped, before the report
};
// Stops the capture, closes its files, tells where the recordings went and reports
// it: JSON on context.Out with options.Json, else the summary on summary. Returns
// the exit code.
int ZCliFinishLiveCapture(const ZCliCaptureOptions& options, ZCliCaptureSession& session, ZCliContext& context,
                          const ZCliCaptureEnd& end, std::ostream& summary);
