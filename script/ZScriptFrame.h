#pragma once
// One frame as a script sees it: the bytes of its start trigger, data block and stop
// trigger as the checksum saw them, where the data block lies within them, the time
// of the read that brought its first byte, the checksum's verdict and the values of
// the settings' fields, and its line in a capture of two lines. A plain value; any thread.

#include <cstddef>
#include <cstdint>
#include <string>

#include "ZChecksum.h"
#include "ZFieldValues.h"

struct ZScriptFrame {
    std::string Bytes;      // start trigger, data, stop trigger
    size_t DataOffset = 0;  // the data block within Bytes
    size_t DataLength = 0;
    int64_t TimeUs = 0;  // microseconds since the Unix epoch
    TFrameVerdict Verdict = fvNone;
    ZFieldValues Fields;  // no field when the settings define none or the checksum was wrong
    int Line = -1;        // 0 or 1 with two lines; -1 with one
    std::string LineName;  // the line's name with two lines; "" with one
};
