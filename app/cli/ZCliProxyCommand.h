#pragma once
// kestrun-cli proxy: stands between a program and its device. The device is opened
// as a capture opens it; a pseudo-terminal takes the program's side, reachable through
// a symbolic link the program opens as if it were the device. Every byte is passed on
// both ways by the capture thread and captured as two lines: device to program is
// line 0 ("device"), program to device line 1 ("program"). The rate and stop bits the
// program sets on its side are applied to the device.

#include <string>

#include "ZCliContext.h"
#include "ZCliLiveCapture.h"

struct ZCliProxyOptions {
    // The device, the settings and what a capture writes; the second line is the
    // proxy's own.
    ZCliCaptureOptions Capture;
    std::string Link;  // the symbolic link made for the program; must not exist yet
};

// Runs the proxy until a stop, the duration, or the device's loss (without
// --reconnect: exit 1), and reports it as a capture does. The link is removed on
// every way out. Returns the exit code.
int ZCliRunProxy(const ZCliProxyOptions& options, ZCliContext& context);
