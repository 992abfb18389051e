#pragma once
// kestrun-cli term: a terminal on a COM port, a device or a network port, on top of
// a capture that frames, checks and logs in the background exactly as `capture`
// does. Keys typed at a terminal go to the device as typed (ZCliTermKeys), with the
// terminal in raw mode until the program ends, however it ends; piped input is sent
// as it comes, and the program ends once it is sent and the device has had
// --linger seconds to answer. What the device sends goes to standard output as it
// comes (ZCliTermOutput); the summary goes to standard error.

#include <string>

#include "ZCliContext.h"
#include "ZCliLiveCapture.h"

struct ZCliTermOptions {
    // The port, settings file, log folder and the recordings. Without a settings file
    // every byte is captured, and log files are written only into an --out folder.
    ZCliCaptureOptions Capture;
    std::string Address;     // a device path or network port given without --device
    std::string Timestamps;  // "s", "ms" or "us" before each line received; empty: none
    std::string Map;         // "cr", "lf" or "crlf" for a typed Enter; empty: keys unchanged
    bool LocalEcho = false;  // show what is sent as well
    bool Latin1 = false;     // the device speaks Latin-1, the terminal UTF-8
    double LingerSeconds = 1;
};

// Runs the terminal; returns the exit code.
int ZCliRunTerm(const ZCliTermOptions& options, ZCliContext& context);
