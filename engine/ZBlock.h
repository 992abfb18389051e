#pragma once
// One block of a capture as the logger hands it on: to the log files, the live view,
// the frame export, the Wireshark capture and every other observer. Built by the
// logger for each block the frame filter recognises and for each send; the bytes it
// points to are valid only during the call that hands it on.

#include <cstdint>
#include <span>
#include <string_view>

#include "ZChecksum.h"
#include "ZULDateTime.h"

class ZFieldValues;

enum BlockKind : uint8_t {
    bkStartTrigger = 0,
    bkData = 1,
    bkStopTrigger = 2,
    bkTrash = 3,
    bkFlush = 4,
    // Bytes the user sent to the device; never a filter block, the logger makes them.
    bkSent = 5,
};

struct sBlock {
    sBlock() = default;
    sBlock(TDateTime time, const uint8_t* bytes, int length, uint8_t kind, TFrameVerdict verdict = fvNone)
        : Time(time), Bytes(bytes), Length(length), Kind(kind), Verdict(verdict) {}

    TDateTime Time = 0;
    const uint8_t* Bytes = nullptr;  // may be null only when Length is 0
    int Length = 0;
    uint8_t Kind = bkData;  // a BlockKind
    // The checksum verdict on the frame this block ends (fvNone for every other block).
    TFrameVerdict Verdict = fvNone;
    // For the data block of a decoded frame (SLIP, COBS): the bytes it took on the line,
    // delimiter included; 0 for every other block.
    int EncodedLength = 0;
    // The matches of each data trigger within this block, by trigger index; empty where
    // they are not counted (the log files and the live view do not need them).
    std::span<const uint32_t> TriggerCounts;
    // The values of the fields the settings define, decoded from a data block; null
    // for every other block, for a data block whose checksum is wrong and when the
    // settings define no fields.
    const ZFieldValues* Values = nullptr;
    // The line of a capture of two lines (0 or 1) and its name, which stays valid while
    // the capture or replay runs; -1 and "" when one line is captured.
    int8_t Line = -1;
    std::string_view LineName;
};
