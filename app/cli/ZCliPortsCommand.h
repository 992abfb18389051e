#pragma once
// kestrun-cli ports: the COM ports present on this machine and their devices.

#include "ZCliContext.h"

// One line per present port: "COM" + number, a blank, the device path. Returns the exit code.
int ZCliRunPorts(ZCliContext& context);
