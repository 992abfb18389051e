#pragma once
// kestrun-cli script: a live capture with a Lua script beside it. The capture starts,
// then the script's main chunk runs; the capture stops when the main chunk returns,
// unless the script registered on_frame: then it runs until --duration, a stop
// (SIGINT) or exit(). --duration also ends a main chunk still running.

#include <string>

#include "ZCliContext.h"
#include "ZCliLiveCapture.h"

struct ZCliScriptOptions {
    std::string ScriptFile;
    ZCliCaptureOptions Capture;
    std::string Address;  // a device path or network port given without --device
};

// Runs the capture and the script; returns the script's exit code (1 on a script
// error), else the capture's.
int ZCliRunScript(const ZCliScriptOptions& options, ZCliContext& context);
