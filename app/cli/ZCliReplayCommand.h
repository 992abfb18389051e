#pragma once
// kestrun-cli replay: parses a recorded dump offline with the settings of a
// settings file, exactly as a live capture would have parsed the same bytes.

#include <string>

#include "ZCliContext.h"

struct ZCliReplayOptions {
    std::string SettingsFile;
    std::string InputFile;
    std::string OutDir;  // empty: the settings' log directory
    int ChunkSize = 500;
    bool Json = false;
    std::string FramesFile;  // the frame export (JSON lines); empty: none
    std::string PcapFile;    // the frames as a Wireshark capture; empty: none
    std::string CsvFile;     // the field values as a new CSV file; empty: none
    std::string ScriptFile;  // a Lua script that sees the frames; empty: none
};

// Feeds the input in consecutive chunks of ChunkSize bytes through the path a
// received chunk takes (nothing dropped), then does the stop steps. Returns the
// exit code. A script runs beside the replay, which waits for it; its exit code
// (1 on a script error) is then the command's, and the summary goes to Err.
int ZCliRunReplay(const ZCliReplayOptions& options, ZCliContext& context);
