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
//   block (the frame), ended by a read that comes a gap or more after the one
//   before, by Silence, by MaxBytesWithinTriggers (when above 0) or a full buffer,
//   and by Flush (the end of a capture counts as silence). The decision rests on
//   the read times alone, so a replay of the same reads cuts the same frames.
//
// The modes whose frames end at a stop trigger or a delimiter, without a start trigger:
// - cmUntilStopTrigger: as cmBetweenTriggers from the first byte after a stop
//   trigger, without a start trigger: data block, then stop block; a stop trigger
//   right after the previous one gives the stop block alone, with no verdict (an
//   empty line is no frame).
// - cmSlip, cmCobs: each frame up to its delimiter is decoded; the payload is one data
//   block (GetBlockEncodedLength gives its length on the line). Frames without a
//   payload give no block. A frame the codec refuses is one trash block of its bytes
//   as received, delimiter included. Flush hands out the bytes after the last
//   delimiter as received.
// - Frame size in modes 5 to 7: a frame (cmUntilStopTrigger: data and stop trigger;
//   cmSlip, cmCobs: the payload, whose encoding may take up to twice as many bytes)
//   holds at most FilterBufferSize bytes, or MaxBytesWithinTriggers when that is
//   above 0 and smaller. A longer one is dropped up to its end, stop trigger or
//   delimiter included, without a block (so is an encoding longer than twice the
//   limit, undecoded); FeedData says so by false, and the frames after it, in the
//   same chunk too, come out as usual.
//
// Block times: with chunks fed with their read time, a block carries the read time
// of the chunk that brought its first byte; fed without, the time it was recognised.

#include <cstdint>
#include <deque>
#include <functional>

#include "ZBlock.h"
#include "ZFrameCheck.h"
#include "ZLoggerSettings.h"
#include "ZULDateTime.h"

using FilterEvent =
    std::function<void(const TDateTime& time, const uint8_t* bytes, int length, uint8_t kind)>;

class ZFilter {
public:
    static constexpr int FilterBufferSize = 16384;

    // SkipFrame: dropping the rest of a frame that grew too long (modes 5 to 7);
    // CollectEncoded: collecting a SLIP or COBS frame up to its delimiter.
    enum State : uint8_t {
        SearchStart = 0,
        CollectData = 1,
        SearchStop = 2,
        PassAll = 3,
        SkipFrame = 4,
        CollectEncoded = 5,
    };

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
    // The silence that ends a frame in cmSilence, in microseconds (0: none).
    void SetSilenceGap(int64_t gapUs) { silenceGapUs_ = gapUs; }
    // Hands out the buffered bytes, if any, as one bkFlush block (cmSilence: as the
    // frame's data block); the state stays.
    void Flush();

    // Valid during the callback: the checksum verdict on the frame the block ends.
    // A frame's verdict goes with its data block, or with its last block when it has
    // none (a start trigger without data, a stop trigger right after its start);
    // every other block, the flush block included, carries fvNone.
    TFrameVerdict GetBlockVerdict() const { return verdict_; }
    // Valid during the callback: for the data block of a decoded frame (cmSlip,
    // cmCobs), the bytes the frame took on the line, delimiter included; 0 for every
    // other block.
    int GetBlockEncodedLength() const { return encodedLength_; }
    // Valid during the callback: the bytes of the line this block accounts for: its
    // encoded length or its length, and the bytes of frames without payload that came
    // since the block before (they give no block of their own).
    int64_t GetBlockLineBytes() const { return lineBytes_; }
    // The bytes of frames without payload that no block has accounted for yet; taking
    // them clears the count (a capture's end, where no block follows).
    int64_t TakeUncountedLineBytes();

    State GetState() const { return state_; }
    int GetFill() const { return fill_; }

private:
    // Takes a chunk whose read time is kept: the way the capture mode cuts frames.
    bool FeedChunk(const uint8_t* bytes, int count);
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
    void HandOutBytes(const TDateTime& time, const uint8_t* bytes, int length, uint8_t kind,
                      TFrameVerdict verdict = fvNone);
    // The most bytes one frame of modes 5 to 7 may hold.
    int FrameLimit() const;
    // cmUntilStopTrigger: appends the chunk piece by piece, as much as a frame may
    // still take, cutting frames after each piece.
    bool FeedUntilStop(const uint8_t* bytes, int count);
    // cmUntilStopTrigger after an overflow: drops bytes up to and with the next stop trigger.
    bool StepSkipFrame();
    // cmSlip, cmCobs: the chunk's frames, decoded by codec.
    bool FeedEncoded(const IZFrameCodec& codec, const uint8_t* bytes, int count);
    // Decodes and hands out one frame of length bytes, its delimiter the last.
    // False when its payload does not fit a frame.
    bool EndEncodedFrame(const IZFrameCodec& codec, const uint8_t* frame, int length);
    // cmSilence: hands out the first length buffered bytes as a frame.
    void HandOutSilenceFrame(int length);
    // The time of a block that starts at the first buffered byte.
    TDateTime BlockTime();
    // Forgets the read times of chunks that hold no byte from this stream position on.
    void ForgetReadTimesBefore(uint64_t position);
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
    int encodedLength_ = 0;  // GetBlockEncodedLength of the block being handed out
    int64_t lineBytes_ = 0;  // GetBlockLineBytes of the block being handed out
    // A line that sends only delimiters gives no block for as long as it likes.
    int64_t uncountedLineBytes_ = 0;
    // In cmSlip and cmCobs the buffer holds a frame's payload; the bytes of a frame
    // that a later chunk ends wait in encoded_ (fill_ of them), which holds the longest
    // encoding of a full payload and its delimiter.
    uint8_t buffer_[FilterBufferSize];
    uint8_t encoded_[2 * FilterBufferSize + 1];
};
