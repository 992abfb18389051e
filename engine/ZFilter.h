#pragma once
// Cuts the received byte stream into blocks by the capture mode of the settings:
// start trigger, data, stop trigger, trash, and the flush block at a stop.
// Each recognised block goes at once to one callback, with the time it was
// recognised; the bytes point into the filter's buffer and are valid only during
// the call. The filter has no lock: FeedData, Reset and Flush must never overlap.
//
// Settings the main window would not offer (from an edited settings file) still
// cut safely, and the filter never reads a byte that has not been received:
// - No start trigger (modes 1 to 3): no frame can begin; every byte is trash.
// - No stop trigger (cmBetweenTriggers): it is never found, so an open frame ends
//   in the buffer overflow like a frame whose stop trigger never arrives.
// - cmDynamicSize, length field at StartAmountOfBytes (a negative one counts as 0)
//   from the start trigger's first byte, AmountOfBytesWidth bytes wide:
//   - A field reaching past the end of the trigger: when the trigger is found but
//     the field is not all received, the trash before the trigger is handed out and
//     the rest waits. The trigger block is still the trigger's bytes; the field
//     bytes after it belong to the data, which count from the byte after the trigger.
//   - Width 0 (or negative) gives length 0. Widths above 4 are read exactly and
//     saturate at 0xFFFFFFFF, so leading zero bytes still give a small length
//     (00 00 00 00 01 02 is 258); a larger length never fits the buffer and ends
//     in the buffer overflow.
// - An empty chunk is no block, not even in cmAllBytes.
// - cmSilence: the bytes of reads less than the silence gap apart make one data
//   block (the frame), ended by a read that comes a gap or more after the end of
//   the read before on the line (its time plus the line time of its bytes), by
//   Silence, by MaxBytesWithinTriggers (when above 0) or a full buffer, and by Flush
//   (the end of a capture counts as silence). The decision rests on the read times
//   and sizes alone, so a replay of the same reads cuts the same frames.
//
// Block times: with chunks fed with their read time, a block carries the read time
// of the chunk that brought its first byte; fed without, the time it was recognised.

#include <cstdint>
#include <deque>
#include <functional>

#include "ZBlock.h"
#include "ZFrameCheck.h"
#include "ZLineTiming.h"
#include "ZLoggerSettings.h"
#include "ZULDateTime.h"

using FilterEvent =
    std::function<void(const TDateTime& time, const uint8_t* bytes, int length, uint8_t kind)>;

class ZFilter {
public:
    static constexpr int FilterBufferSize = 16384;

    enum State : uint8_t { SearchStart = 0, CollectData = 1, SearchStop = 2, PassAll = 3 };

    // settings is not owned and must outlive the filter (or be replaced by SetSettings).
    ZFilter(const ZLoggerSettings* settings, FilterEvent callback);

    void SetSettings(const ZLoggerSettings* settings) { settings_ = settings; }
    // Empties the buffer; PassAll in cmAllBytes, SearchStart otherwise.
    void Reset();
    // Appends the chunk and hands out every block it completes. A chunk that would
    // overfill the buffer resets the filter, is dropped, and gives false.
    bool FeedData(const uint8_t* bytes, int count);
    // The same for a chunk read at readTime, which is readUs (microseconds since the
    // Unix epoch) in local time; times never go backwards.
    bool FeedData(const uint8_t* bytes, int count, TDateTime readTime, int64_t readUs);
    // cmSilence: nothing was read for the silence gap after the read at lastReadUs;
    // ends the open frame when no later chunk has been fed. Other modes ignore it.
    void Silence(int64_t lastReadUs);
    // The silence that ends a frame in cmSilence, in microseconds (0: none), and the
    // line whose character times tell when a read's bytes ended (no rate: at its time).
    void SetSilenceGap(int64_t gapUs, const ZLineTiming& line = {}) {
        silenceGapUs_ = gapUs;
        line_ = line;
    }
    // Hands out the buffered bytes, if any, as one bkFlush block (cmSilence: as the
    // frame's data block); the state stays.
    void Flush();

    // Valid during the callback: the checksum verdict on the frame the block ends.
    // A frame's verdict goes with its data block, or with its last block when it has
    // none (a start trigger without data, a stop trigger right after its start);
    // every other block, the flush block included, carries fvNone.
    TFrameVerdict GetBlockVerdict() const { return verdict_; }

    State GetState() const { return state_; }
    int GetFill() const { return fill_; }

private:
    // Each step either waits for more bytes (false) or has changed the state (true).
    bool RunStep();
    bool StepSearchStart();
    bool StepCollectData();
    bool StepSearchStop();
    void StepPassAll();
    // Bytes a start trigger at the front of the buffer needs before its frame can go
    // on: the trigger, and in cmDynamicSize also a length field reaching past it.
    int64_t BytesNeededForFrame() const;
    // The length field of the start trigger at the front of the buffer.
    uint32_t ReadLengthField() const;
    void HandOut(const TDateTime& time, int length, uint8_t kind, TFrameVerdict verdict = fvNone);
    // cmSilence: hands out the first length buffered bytes as a frame.
    void HandOutSilenceFrame(int length);
    // The time of a block that starts at the first buffered byte.
    TDateTime BlockTime();
    bool Append(const uint8_t* bytes, int count);
    // The verdict on the kept start trigger followed by the given pieces.
    TFrameVerdict CheckFrame(sFramePiece data, sFramePiece stop = {}) const;
    // Keeps the last k buffered bytes (k < 0 counts as 0); nothing changes when k >= fill.
    void KeepTail(int k);
    // The buffered bytes start here.
    const uint8_t* Buffered() const { return buffer_ + start_; }

    const ZLoggerSettings* settings_;
    FilterEvent callback_;
    State state_ = SearchStart;
    int fill_ = 0;
    uint32_t ExpectedLength = 0;
    ZFrameCheck frameCheck_;  // the start trigger of the open frame, while a checksum is set
    TFrameVerdict verdict_ = fvNone;
    // In SearchStop: the stop trigger cannot start before this index. The buffered
    // bytes before it stay unchanged until a match, so a new chunk resumes the
    // search here instead of rescanning the whole frame.
    int stopSearchFrom_ = 0;
    // The buffered bytes are buffer_[start_, start_ + fill_). A block handed out only
    // moves start_; the bytes kept go back to the front once per chunk, not once per
    // block, which a chunk of many small frames would otherwise pay for many times.
    int start_ = 0;
    // Bytes ever fed; the buffered ones are the last fill_ of them.
    uint64_t fed_ = 0;
    // Stream position (in fed_) at which each buffered chunk starts, with its read time,
    // oldest first; empty when chunks come without a time.
    struct sReadTime {
        uint64_t Position;
        TDateTime Time;
        int64_t Us;
    };
    std::deque<sReadTime> readTimes_;
    int64_t silenceGapUs_ = 0;
    ZLineTiming line_;
    // cmSilence: when the bytes of the last read ended on the line.
    int64_t lastReadEndUs_ = 0;
    uint8_t buffer_[FilterBufferSize];
};
