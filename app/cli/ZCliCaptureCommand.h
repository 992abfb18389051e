#pragma once
// kestrun-cli capture: a live capture from a COM port or any serial device path
// until a duration has passed or the user stops it.

#include <cstdint>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "ZCliContext.h"
#include "ZSendSequence.h"

class ZCliCaptureSession;
class ZLogger;

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
    std::string PcapFile;    // also write the frames as a Wireshark capture into this new file
    std::vector<ZSendSequence> Sends;  // sent once each as the capture starts, repeats at their interval
};

// The port the options choose (else the settings'), on logger's port.
void ZCliChoosePort(const ZCliCaptureOptions& options, ZLogger& logger);
// "COM<n> (<device>)" or the device path, for the user.
std::string ZCliDescribePort(const ZCliCaptureOptions& options, ZLogger& logger);
// Why the port did not open, for the user; "" when the port cannot tell.
std::string ZCliOpenFailureReason(const ZCliCaptureOptions& options, ZLogger& logger);

// Runs the capture and reports it; returns the exit code.
int ZCliRunCapture(const ZCliCaptureOptions& options, ZCliContext& context);

// The parts of a capture for a command that waits in its own way while it runs
// (`term`). ZCliStartLiveCapture prepares session as the options say (settings, log
// folder, port, recordings, frame export, Wireshark capture) and starts it, telling
// the user where it captures; kCliExitOk once it runs, else the exit code after the
// user was told why (nothing it made is left behind then).
int ZCliStartLiveCapture(const ZCliCaptureOptions& options, ZCliCaptureSession& session, ZCliContext& context);
// Whether the port of a capture that does not reconnect was lost: it reads nothing more.
bool ZCliPortWasLost(ZLogger& logger);
// A capture that reconnects tells the user when its port goes and when it is back;
// waiting holds what was told last.
void ZCliShowPortState(bool& waiting, ZCliCaptureSession& session, ZCliContext& context);
// How a capture came to its end, for its report.
struct ZCliCaptureEnd {
    bool PortLost = false;     // it ended early: the port was lost
    bool ShowSent = false;     // it sent: the report shows the bytes sent
    uint64_t SkippedSends = 0;
    bool CounterLine = false;  // the live counter line on a terminal gets its final state
    std::function<void()> AfterStop;  // called once the capture has stopped, before the report
};
// Stops the capture, closes its files, tells where the recordings went and reports
// it: JSON on context.Out with options.Json, else the summary on summary. Returns
// the exit code.
int ZCliFinishLiveCapture(const ZCliCaptureOptions& options, ZCliCaptureSession& session, ZCliContext& context,
                          const ZCliCaptureEnd& end, std::ostream& summary);
