#pragma once
// kestrun-cli capture: a live capture from a COM port or any serial device path
// until a duration has passed or the user stops it, sending what --send and
// --send-file ask for.

#include "ZCliContext.h"
#include "ZCliLiveCapture.h"

struct ZCliCaptureCommandOptions {
    ZCliCaptureOptions Capture;
    ZCliSendOptions Send;
};

// Runs the capture and reports it; returns the exit code (kCliExitUsage when the
// sequences to send cannot be built).
int ZCliRunCapture(const ZCliCaptureCommandOptions& options, ZCliContext& context);
