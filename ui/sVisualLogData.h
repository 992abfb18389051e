#pragma once
// One live-view entry on its way from the capture engine's data thread to the
// capture window: a copy of one filter block, owned by whoever holds the record.

#include <cstdint>
#include <memory>
#include <string>

#include "ZULDateTime.h"

struct sVisualLogData {
    std::unique_ptr<uint8_t[]> Data;  // Size bytes; null when Size is 0
    int32_t Size = 0;
    uint8_t Kind = 0;  // a BlockKind
    TDateTime TimeStamp = 0.0;
    uint8_t Verdict = 0;  // a TFrameVerdict: the checksum of the frame this block ends
    std::string Values;   // the field values present, "temperature 31.5 °C, ..."; UTF-8
    int8_t Line = -1;     // the line of a capture of two lines (0 or 1); -1 with one
};
