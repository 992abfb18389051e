#pragma once
// Turns filter blocks into human-readable log lines and writes them into log
// files named after the local date and time, a new file at the first block end
// at or past MaxLinesInLogFile. Formatting runs in the caller's thread; the lines
// travel through a pump to a worker thread that collects and writes them.

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "ZLoggerSettings.h"
#include "ZULDateTime.h"
#include "ZULErrorHistory.h"
#include "ZULFileIO.h"
#include "ZULLossCounter.h"
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

    ZLogFileManager(const ZLogFileManager&) = delete;
    ZLogFileManager& operator=(const ZLogFileManager&) = delete;

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

    // "2005_3_7___14_5_9_312_log.txt": the name of a log file written at that local time.
    static std::string LogFileName(const ZULDateTimeParts& parts);

private:
    void FormatBlock(const uint8_t* data, int length, TDateTime timestamp, uint8_t kind,
                     const ZLoggerSettings& settings);
    void QueueBlockLines();
    void Collect(sLogString line);
    void WriteLogFile(const ZLoggerSettings& settings);
    std::string NextFreeFileName(const std::string& logDir);
    void WaitUntilCollected();

    std::atomic<const ZLoggerSettings*> settings_;
    TZULErrorHistory* const errors_;
    ZULLossCounter losses_;
    std::atomic<bool> waitWhenFull_{false};

    // The lines of the block being queued; LogBlock's thread only (kept to reuse its storage).
    std::vector<sLogString> blockLines_;

    // The collected lines and what writing them needs belong to the worker thread,
    // and to Flush once the pump has nothing queued and nothing in hand.
    std::vector<std::string> lines_;
    TZULFileIO fileIO_;
    int64_t lastFileEpochMs_ = 0;

    std::mutex writtenLock_;  // guards writtenFiles_
    std::vector<std::string> writtenFiles_;

    // Last member: its thread, which uses everything above, is stopped first.
    TZULMsgPump<sLogString> pump_;
};
