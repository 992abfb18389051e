#pragma once
// A recording fed to the logger as a replay, for every program that replays one: a
// ".pcapng" recording packet by packet at its recorded times (outbound packets as
// sends), any other file as untimed bytes in chunks of a given size. Open refuses what
// cannot be replayed with the text the user reads; Feed runs on whatever thread calls
// it, between the logger's BeginReplay and EndReplay. One thread at a time.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "ZPcapngReader.h"

class ZLogger;

// Whether a raw recording of that name keeps the time of every read (".pcapng").
bool IsTimedRecordingName(const std::string& path);

class ZRecordingReplay {
public:
    enum class Result { Complete, ReadFailed, Interrupted };
    // Why Open refused: the user named something that is no recording, or it could not be read.
    enum class Refusal { None, Usage, Unreadable };

    ZRecordingReplay();
    ~ZRecordingReplay();
    ZRecordingReplay(const ZRecordingReplay&) = delete;
    ZRecordingReplay& operator=(const ZRecordingReplay&) = delete;

    // Opens fileName for a replay with settings of captureMode. A timed recording is
    // checked whole first; an untimed one must be a regular file, and cannot serve
    // capture mode 4, whose frames end at silences only a timed recording holds. False
    // with errorText (naming the file) and why.
    bool Open(const std::string& fileName, uint8_t captureMode, std::string& errorText, Refusal& why);
    bool Timed() const { return timed_; }
    // The names of the lines a timed recording holds, one per interface (two for a
    // capture of two lines; none for an untimed one). Valid after Open.
    const std::vector<std::string>& LineNames() const;

    // Feeds the whole recording to logger (replaying: after BeginReplay), untimed bytes
    // in chunks of chunkSize. stopRequested is asked before every chunk or packet; true
    // interrupts. With recordedSpeed a timed recording is fed no faster than it was
    // recorded (an untimed one holds no times and runs at full speed). Blocks until done.
    Result Feed(ZLogger& logger, int chunkSize, const std::function<bool()>& stopRequested, bool recordedSpeed);
    // Why the last Feed that returned ReadFailed failed, naming the file.
    const std::string& ReadFailure() const { return readFailure_; }

private:
    Result FeedUntimed(ZLogger& logger, int chunkSize, const std::function<bool()>& stopRequested);
    Result FeedTimed(ZLogger& logger, const std::function<bool()>& stopRequested, bool recordedSpeed);

    struct FileCloser {
        void operator()(std::FILE* file) const;
    };

    std::string fileName_;
    bool timed_ = false;
    ZPcapngReader reader_;
    std::unique_ptr<std::FILE, FileCloser> file_;
    std::string readFailure_;
};
