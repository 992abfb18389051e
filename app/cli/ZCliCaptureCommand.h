#pragma once
// kestrun-cli capture: a live capture from a COM port or any serial device path
// until a duration has passed or the user stops it.

#include <string>
#include <vector>

#include "ZCliContext.h"
#include "ZSendSequence.h"

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
    std::string CsvFile;     // also write the field values into this new CSV file
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
