#pragma once
// kestrun-cli ports: the COM ports present on this machine and their devices.

#include "ZCliContext.h"

// One line per present port: the port as the window program lists it ("COM3 — ttyUSB0
// (FT232R USB UART, FTDI)"), a tab, the device path it opens. With json, one JSON array
// of objects with "port", "name", "description" and "device" instead. Returns the exit code.
int ZCliRunPorts(ZCliContext& context, bool json = false);
