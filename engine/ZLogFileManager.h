#pragma once
// Turns filter blocks into human-readable log lines and writes them into log
// files named after the local date and time, a new file at the first block end
// at or past MaxLinesInLogFile. Formatting runs in the caller's thread; the lines
// travel through a pump to a worker thread that collects and writes them.

#include <cstdint>
#include <string>
#include <vector>

#include "ZLoggerSettings.h"
#include "ZULDateTime.h"
#include "ZULErrorHistory.h"
#include "ZULMsgPump.h"

struct sLogString {
    std::string Text;       // the finished line, without line break
    bool BlockEnd = false;  // true only on the last line of a block
};

class ZLogFileManager {
public:
    // settings is not owned; errors (optional, not owned) receives write failures
    // and line losses so the user can see them.
    explicit ZLogFileManager(const ZLoggerSettings* settings, TZULErrorHistory* errors = nullptr);
    // Waits until the queue is empty, stops the worker; writes no file.
    ~ZLogFileManager();

    void SetSettings(const ZLoggerSettings* settings);
    // Formats one block and queues its lines (nothing for trash or a switched-off kind).
    void LogBlock(const uint8_t* data, int length, TDateTime timestamp, uint8_t kind);
    // Waits until every queued line is collected, then writes them as one file (if any).
    void Flush();
    // Lossless mode for offline replays: LogBlock waits while the queue is full
    // instead of dropping lines.
    void SetWaitWhenFull(bool wait);
    // Full paths of the files written since the last call, in writing order.
    std::vector<std::string> TakeWrittenFiles();

private:
    // (private members: to be completed with the implementation)
};
