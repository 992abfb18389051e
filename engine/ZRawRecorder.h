#pragma once
// A file that receives every byte read from the port, unchanged and in order. The
// bytes are buffered and written out when the buffer fills, when the oldest
// buffered byte has waited FlushDelay (checked by the caller's regular FlushIfDue),
// and at Close, so a crash loses at most about a second of them. A timed recording
// (pcapng) also holds what was sent, as packets flagged outbound.
//
// The file is always a new one: Create never replaces an existing file and never
// follows a link. Write, WriteSent, FlushIfDue, Flush and Close belong to one thread
// at a time (while a capture runs, whoever holds the capture's port lock: its thread
// for the reads, a sender for the sends; the main thread before and after); MoveTo,
// Path and the counts may be called from any thread.

#include <sys/types.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "ZPcapngWriter.h"
#include "ZULErrorHistory.h"

class ZRawRecorder {
public:
    static constexpr auto FlushDelay = std::chrono::milliseconds(500);

    // errors (optional, not owned) receives the first write failure.
    explicit ZRawRecorder(TZULErrorHistory* errors = nullptr);
    ~ZRawRecorder();
    ZRawRecorder(const ZRawRecorder&) = delete;
    ZRawRecorder& operator=(const ZRawRecorder&) = delete;

    // Creates path as a new file; false with an error text that names the file when
    // it exists, is a link or cannot be made.
    bool Create(const std::string& path, std::string& errorText);
    // errno of the last failed Create (EEXIST: the name is taken).
    int GetCreateError() const { return createError_; }
    // Like Create, but the file is pcapng: every Write is one packet with its time
    // (link type 147, the interface named ifName and described by ifDescription).
    bool CreateTimed(const std::string& path, const std::string& ifName, const std::string& ifDescription,
                     std::string& errorText);
    // A timed recording of two lines: the second line's interface, added before the
    // first Write; false for a plain recording (it cannot keep two lines apart).
    bool AddTimedInterface(const std::string& ifName, const std::string& ifDescription);
    bool IsOpen() const { return fd_ >= 0 || timed_ != nullptr; }
    // Whether the file is a timed recording (pcapng).
    bool IsTimed() const { return timed_ != nullptr; }

    // Buffers the bytes; a full buffer is written out first. After a failed write
    // nothing more is written (the failure is recorded once). timeUs, the time of the
    // read in microseconds since the Unix epoch, is kept by a timed recording only.
    // line 1 (the second line of a capture of two) goes to the second interface.
    void Write(const uint8_t* bytes, size_t count, int64_t timeUs = 0, int line = 0);
    // Bytes sent at timeUs: a timed recording keeps them as a packet flagged outbound;
    // a plain one holds the bytes read only and leaves them out.
    void WriteSent(const uint8_t* bytes, size_t count, int64_t timeUs);
    // Writes the buffer out when its oldest byte has waited FlushDelay by now.
    void FlushIfDue(std::chrono::steady_clock::time_point now);
    void Flush();
    // Flushes and closes the file; the object keeps its path and count.
    void Close();
    // Closes the file and removes it when no byte was recorded into it (and it is
    // still the file this object made).
    void Discard();

    // Renames the file to newPath without replacing anything there; false when that
    // is not possible (the file keeps its name).
    bool MoveTo(const std::string& newPath);
    std::string Path() const;
    // Bytes handed to Write so far (whether or not written out yet).
    uint64_t BytesRecorded() const { return recorded_.load(); }
    // Bytes the file accepted so far (a timed recording's headers and packets
    // included); after Close, the size of the file.
    uint64_t BytesWritten() const { return written_.load(); }
    // Bytes handed to Write that the file could not take.
    uint64_t BytesMissing() const { return recorded_.load() - readsWritten_.load(); }
    // A write or the close failed: the file holds less than was recorded.
    bool HasFailed() const { return failedSeen_.load(); }

private:
    void WriteOut();
    void Fail(int errorNumber);
    // A timed recording: one packet, and what the file holds since.
    void WriteTimed(const uint8_t* bytes, size_t count, int64_t timeUs, uint32_t flags,
                    uint32_t interface = 0);
    void TakeTimedCounts();

    TZULErrorHistory* const errors_;
    std::unique_ptr<ZPcapngWriter> timed_;  // the file of a timed recording
    ino_t timedInode_ = 0;                  // of the file CreateTimed made
    int fd_ = -1;
    int createError_ = 0;
    bool failed_ = false;
    std::vector<uint8_t> buffer_;
    std::chrono::steady_clock::time_point oldest_{};
    std::atomic<uint64_t> recorded_{0};
    std::atomic<uint64_t> written_{0};
    std::atomic<uint64_t> readsWritten_{0};  // of the bytes recorded, those the file took
    std::atomic<bool> failedSeen_{false};    // failed_ for other threads

    mutable std::mutex pathLock_;  // guards path_
    std::string path_;
};
