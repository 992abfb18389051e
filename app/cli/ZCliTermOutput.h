#pragma once
// What `kestrun-cli term` shows: the bytes received, as they come, to its standard
// output; with time stamps, a line's time before its first byte (a line begins
// after an LF, and after a CR that no LF follows, which starts it afresh); with
// --latin1 each byte as the character it stands for in UTF-8; with local echo the
// bytes sent as well.
//
// The capture's data thread hands the bytes over through OnBytes, which copies them
// into a queue of at most MaxQueuedBytes (ZTermByteQueue: what does not fit is
// counted as not shown, never waited for) and makes WakeFd readable. The main thread
// takes and formats them with Render.

#include <cstddef>
#include <cstdint>
#include <string>

#include "ZLoggerClients.h"
#include "ZTermByteQueue.h"
#include "ZTermStamps.h"

class ZCliTermOutput : public IZByteObserver {
public:
    static constexpr size_t MaxQueuedBytes = 1 << 20;

    ZCliTermOutput();
    ~ZCliTermOutput() override;
    ZCliTermOutput(const ZCliTermOutput&) = delete;
    ZCliTermOutput& operator=(const ZCliTermOutput&) = delete;

    // Data thread (any thread).
    void OnBytes(const uint8_t* bytes, int count, bool sent, int64_t timeUs) override;
    // Readable while bytes wait for Render; -1 when it could not be made (Render is then
    // called on a timer instead).
    int WakeFd() const { return wakeFd_; }

    // Main thread: the options for what is rendered from now on.
    void SetStamps(ZTermStampFormat format) { stamps_ = format; }
    ZTermStampFormat Stamps() const { return stamps_; }
    void SetLatin1(bool latin1) { latin1_ = latin1; }
    void SetLocalEcho(bool echo) { localEcho_ = echo; }
    // Main thread: appends what waits, formatted, to out; returns the bytes not shown
    // since the last call because the queue was full.
    uint64_t Render(std::string& out);
    // Main thread: the bytes not shown in all.
    uint64_t BytesNotShown() const { return notShown_; }

private:
    void Append(const ZTermByteQueue::Chunk& chunk, std::string& out);
    void AppendByte(uint8_t byte, std::string& out) const;

    ZTermByteQueue queue_{MaxQueuedBytes};
    int wakeFd_ = -1;

    // Main thread only.
    ZTermStampFormat stamps_ = ZTermStampFormat::Off;
    bool latin1_ = false;
    bool localEcho_ = false;
    bool lineStart_ = true;  // the next byte received begins a line
    bool afterCr_ = false;   // the last byte received was a CR
    uint64_t notShown_ = 0;
};
