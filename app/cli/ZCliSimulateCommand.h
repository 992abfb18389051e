#pragma once
// kestrun-cli simulate: a demonstration device on a pseudo-terminal, reachable as
// a COM port through an override link, that streams sample frames until stopped,
// so that a capture can be tried without hardware.

#include <string>

#include "ZCliContext.h"

struct ZCliSimulateOptions {
    int Port = 99;
    double Rate = 2000;            // bytes per second
    std::string Mode = "dynamic";  // kDemoModes, kDemoFramings, or "modbus" (a server that answers)
    double DurationSeconds = 0;    // 0: until stopped
};

// Returns the exit code.
int ZCliRunSimulate(const ZCliSimulateOptions& options, ZCliContext& context);
