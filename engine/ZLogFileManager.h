#pragma once
// Turns filter blocks into human-readable log lines and writes them into log
// files named after the local date and time each is started at, a new file at the
// first block end at or past MaxLinesInLogFile. Formatting runs in the caller's
// thread; the lines travel through a pump to a worker thread that appends them to
// the open file as they come: at each of its wake-ups (every 20 ms while lines
// arrive) it writes all it was handed, so a reader of the file (tail -f) sees them
// at once and a killed program loses only what was still on its way.
//
// The lines of a block travel together, as one text: a line each would cost a
// heap string and a queue entry per line, more than the formatting itself. The
// queue still counts lines, so its limits and losses are those of single lines.

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "ZBlock.h"
#include "ZLoggerSettings.h"
#include "ZULDateTime.h"
#include "ZULErrorHistory.h"
#include "ZULFileIO.h"
#include "ZULLossCounter.h"
#include "ZULMsgPump.h"

// Where a block's last line ends within the lines of an sLogString.
struct sLogBlockEnd {
    size_t TextEnd;  // offset just past the line's CR LF
    size_t Lines;    // lines up to and including it
};

// Consecutive log lines: those of one or more blocks, or of the first part of
// a block when the queue had room for only so many.
struct sLogString {
    std::string Text;                     // the finished lines, each ended by CR LF
    size_t LineCount = 0;                 // lines in Text
    std::vector<sLogBlockEnd> BlockEnds;  // the block ends among them, in order

    // The queue counts a record as its lines.
    size_t Weight() const { return LineCount; }
    // Splits off the first lines as a record of their own, with their block ends.
    sLogString TakeFirst(size_t lines);
};

class ZLogFileManager {
public:
    // settings is not owned; errors (optional, not owned) receives write failures
    // and line losses so the user can see them.
    explicit ZLogFileManager(const ZLoggerSettings* settings, TZULErrorHistory* errors = nullptr);
    // Waits until the queue is empty, stops the worker and closes the open file; what
    // it appended stays.
    ~ZLogFileManager();

    ZLogFileManager(const ZLogFileManager&) = delete;
    ZLogFileManager& operator=(const ZLogFileManager&) = delete;

    void SetSettings(const ZLoggerSettings* settings);
    // Formats one block and queues its lines (nothing for trash or a switched-off kind).
    // checksumWrong adds the line "*** checksum wrong ***" as the block's last line.
    void LogBlock(const sBlock& block, bool checksumWrong = false);
    void LogBlock(const uint8_t* data, int length, TDateTime timestamp, uint8_t kind, bool checksumWrong = false) {
        LogBlock(sBlock{timestamp, data, length, kind}, checksumWrong);
    }

    // Queues an information for the user as two lines, a rule and "Information at
    // <time>: <text>" (line breaks in text become blanks), after the lines queued before
    // and never within a block's. Any thread; it waits for room as LogBlock does.
    void LogInformation(TDateTime time, std::string_view text);

    // While one lives, the lines of the blocks logged in its thread are gathered and
    // queued together when it ends: the blocks of one received chunk travel as one
    // record, not as one each. Same thread as LogBlock; not nested.
    class BlockBatch {
    public:
        explicit BlockBatch(ZLogFileManager& writer) : writer_(writer) { writer_.batching_ = true; }
        ~BlockBatch() {
            writer_.batching_ = false;
            writer_.QueueBatch();
        }
        BlockBatch(const BlockBatch&) = delete;
        BlockBatch& operator=(const BlockBatch&) = delete;

    private:
        ZLogFileManager& writer_;
    };
    // Waits until every queued line is written, then closes the open file (if any):
    // the next line starts a new file.
    void Flush();
    // Lossless mode for offline replays: LogBlock waits while the queue is full
    // instead of dropping lines.
    void SetWaitWhenFull(bool wait);
    // Full paths of the files finished (closed) since the last call, in writing order;
    // empty while the list is not kept.
    std::vector<std::string> TakeWrittenFiles();
    // Whether the written files are listed for TakeWrittenFiles (they are at first).
    // An owner that never takes them turns the list off, or it grows with every file.
    void SetKeepWrittenFiles(bool keep);
    // Called with the full path of every file as it is created, before its first line,
    // on the thread that creates it (the worker, or Flush's caller). Set it before the
    // first block is logged.
    void SetFileWrittenHook(std::function<void(const std::string&)> hook) { fileWritten_ = std::move(hook); }
    // How many log files could not be written (their lines are lost, the cut-off file
    // removed) since the last call.
    size_t TakeFailedFileCount();
    // Why the last log file could not be written; "" once a file has been written again
    // (or none failed). Any thread.
    std::string GetWriteProblem();
    void ClearWriteProblem();

    // Whether log files can be written into dir: it exists or can be made, it is a folder
    // that is not marked read-only, and a new file can be created in it (one is made and
    // removed again). False with a text for the user naming the folder and the reason.
    // Blocks on the file system; any thread.
    static bool CheckLogFolder(const std::string& dir, std::string& errorText);
    // After this many taken names in a row the writer gives up on a file and records why.
    static constexpr int MaxTakenNames = 10000;

    // "2005_3_7___14_5_9_312_log.txt": the name of a log file written at that local time.
    static std::string LogFileName(const ZULDateTimeParts& parts);
    // Appends the lines of one block to lines as LogBlock formats them (nothing for
    // trash or a switched-off kind), with the marker line after a frame whose checksum
    // is wrong and, when the settings' LogFields is on, the line "Values: name=value
    // unit, ..." after a data block with values; data may be null only when length is
    // 0 or less.
    static void FormatBlock(const sBlock& block, bool checksumWrong, const ZLoggerSettings& settings,
                            sLogString& lines);

private:
    void QueueBatch();
    // Posts records whole: the part that waits for room is never overtaken by another
    // thread's record. False when lines were lost.
    void Post(sLogString& lines);
    // The worker's hand-out: appends the records' lines, finishing a file at every
    // block end at or past the limit, and writes what it appended.
    void Collect(std::vector<sLogString>& records);
    // Writes the appended lines into the open file, starting one when none is open.
    void WritePending(const ZLoggerSettings& settings);
    // Writes the rest and closes the file; the next lines start a new one.
    void FinishFile(const ZLoggerSettings& settings);
    // Creates the next file under a name not taken yet; false when none could be made.
    bool StartFile(const ZLoggerSettings& settings);
    void FileFailed(const std::string& problem);
    void WaitUntilCollected();

    std::atomic<const ZLoggerSettings*> settings_;
    TZULErrorHistory* const errors_;
    ZULLossCounter losses_;
    std::atomic<bool> waitWhenFull_{false};

    // Guards the order of the posts into pump_: the parts of one record go in back to back.
    std::mutex postLock_;
    // Lines formatted but not queued yet, and whether a BlockBatch is open;
    // LogBlock's thread only.
    sLogString batch_;
    bool batching_ = false;

    // The collected lines and what writing them needs belong to the worker thread,
    // and to Flush once the pump has nothing queued and nothing in hand.
    std::string pending_;   // lines of the current file not written yet, each ended by CR LF
    size_t fileLines_ = 0;  // lines of the current file, written or pending
    TZULFileIO fileIO_;
    std::string filePath_;     // the open file; "" while none is
    bool fileFailed_ = false;  // the current file could not be made or written: its lines are lost
    int64_t lastFileEpochMs_ = 0;

    // Guards the outcome of the writes: writtenFiles_, keepWrittenFiles_, failedFiles_
    // and writeProblem_.
    std::mutex writtenLock_;
    std::vector<std::string> writtenFiles_;
    bool keepWrittenFiles_ = true;
    std::function<void(const std::string&)> fileWritten_;
    size_t failedFiles_ = 0;
    std::string writeProblem_;

    // Last member: its thread, which uses everything above, is stopped first.
    TZULMsgPump<sLogString> pump_;
};
