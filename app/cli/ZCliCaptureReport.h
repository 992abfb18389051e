#pragma once
// The result of a replay or a live capture as the user gets it: one JSON object
// (--json) or a short summary for people.

#include <nlohmann/json.hpp>
#include <ostream>
#include <string>
#include <vector>

#include "ZCliStatusCollector.h"
#include "ZFieldStatistics.h"
#include "ZULErrorHistory.h"

// One line of a capture of two lines, as its summary shows it.
struct ZCliLineReport {
    std::string Name;
    uint32_t TotalBytes = 0;
    uint32_t TrashedBytes = 0;
    uint32_t StartTriggers = 0;
    uint32_t StopTriggers = 0;
    uint32_t DataPackets = 0;
    uint32_t DataPacketBytes = 0;
    uint32_t ChecksumGood = 0;
    uint32_t ChecksumBad = 0;
};

struct ZCliCaptureReport {
    ZCliCounters Counters;
    std::vector<TZULError> Errors;      // oldest first
    std::vector<std::string> LogFiles;  // full paths, in the order written
    size_t LogFilesFailed = 0;          // log files that could not be written
    std::string LogDir;
    bool ChecksumActive = false;  // the settings check a checksum: the counts are shown
    bool ShowSent = false;        // the capture sent: the bytes sent are shown
    uint64_t SkippedSends = 0;    // ticks of repeats that passed without a send ("skipped: N")
    std::vector<ZFieldSummary> Fields;  // one per field the settings define
    std::vector<ZCliLineReport> Lines;  // a capture of two lines: each; else empty

    nlohmann::ordered_json ToJson() const;
    void PrintJson(std::ostream& out) const;
    void PrintSummary(std::ostream& out) const;
    // Chunks the frame filter dropped because its buffer would overflow (recorded
    // in the error history); a frame longer than the buffer is lost so.
    size_t BufferOverflows() const;
    // Tells the user about log files that could not be written; false when there were any.
    bool CheckLogFiles(std::ostream& err) const;
};

// A file name without its folder.
std::string ZCliBaseName(const std::string& path);
// JSON text that never fails on bytes that are not UTF-8 (settings files and paths
// are 8-bit text): such bytes become U+FFFD instead of aborting the output. Numbers
// that are not whole come in the shortest form that reads back to the same double,
// as the log files and the CSV file write them (a whole double too: 42, 1e+15).
std::string ZCliJsonText(const nlohmann::ordered_json& value);
