#pragma once
// kestrun-cli send: sends the sequence the DATA arguments and their options
// describe (and a settings file's [_send] list) to a port, then exits or listens
// for the answer as a capture does.

#include "ZCliContext.h"
#include "ZCliLiveCapture.h"

struct ZCliSendCommandOptions {
    ZCliCaptureOptions Capture;  // port, settings file, and what --listen records
    ZCliSendOptions Send;
    double ListenSeconds = 0;  // 0: exit once the bytes are out
};

// Runs `kestrun-cli send`; returns the exit code.
int ZCliRunSend(const ZCliSendCommandOptions& options, ZCliContext& context);
