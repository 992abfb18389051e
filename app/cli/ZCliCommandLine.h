#pragma once
// The command line of kestrun-cli: replay, capture, ports, settings and simulate.

#include "ZCliContext.h"

// Parses the arguments, runs the chosen command and returns its exit code:
// kCliExitUsage for bad usage, kCliExitOk after --help.
int ZCliRun(int argc, const char* const* argv, ZCliContext& context);
