#include "ZFilter.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace {

constexpr uint64_t MaxLength = 0xFFFFFFFFu;

int TriggerSize(const TTriggerSequence& trigger) {
    return static_cast<int>(trigger.size());
}

}  // namespace

ZFilter::ZFilter(const ZLoggerSettings* settings, FilterEvent callback)
    : settings_(settings), callback_(std::move(callback)) {
    Reset();
}

void ZFilter::Reset() {
    fill_ = 0;
    start_ = 0;
    stopSearchFrom_ = 0;
    readTimes_.clear();
    uncountedLineBytes_ = 0;
    switch (settings_->CaptureMode) {
        case cmAllBytes:
            state_ = PassAll;
            break;
        case cmUntilStopTrigger:
            state_ = SearchStop;
            break;
        case cmSlip:
        case cmCobs:
            state_ = CollectEncoded;
            break;
        default:
            state_ = SearchStart;
            break;
    }
}

int64_t ZFilter::TakeUncountedLineBytes() {
    const int64_t taken = uncountedLineBytes_;
    uncountedLineBytes_ = 0;
    return taken;
}

bool ZFilter::FeedData(const uint8_t* bytes, int count) {
    // An empty chunk completes nothing; in PassAll it would otherwise become a data
    // block of no bytes that every counter would take for a packet.
    if (bytes == nullptr || count <= 0) return true;
    // Frames cut by silence need a time for every read; the time it arrives must do.
    if (settings_->CaptureMode == cmSilence) {
        const int64_t now = ZULNowMicros();
        return FeedData(bytes, count, ZULFromUnixMicros(now), now);
    }
    // The blocks this chunk completes share one time: that of its arrival.
    readTimes_.clear();
    readTimes_.push_back({fed_, ZULNow(), 0});
    return FeedChunk(bytes, count);
}

bool ZFilter::FeedChunk(const uint8_t* bytes, int count) {
    if (settings_->CaptureMode == cmUntilStopTrigger) return FeedUntilStop(bytes, count);
    if (const IZFrameCodec* codec = ZFrameCodecOfMode(settings_->CaptureMode))
        return FeedEncoded(*codec, bytes, count);
    if (!Append(bytes, count)) return false;
    while (RunStep() && fill_ > 0) {
    }
    return true;
}

bool ZFilter::FeedData(const uint8_t* bytes, int count, TDateTime readTime, int64_t readUs) {
    if (bytes == nullptr || count <= 0) return true;
    if (settings_->CaptureMode != cmSilence) {
        readTimes_.push_back({fed_, readTime, readUs});
        return FeedChunk(bytes, count);
    }
    if (fill_ > 0 && !readTimes_.empty() && readUs - readTimes_.back().Us >= silenceGapUs_)
        HandOutSilenceFrame(fill_);
    // A frame never outgrows the buffer or MaxBytesWithinTriggers: it is cut there.
    const int limit = settings_->MaxBytesWithinTriggers > 0
                          ? std::min(settings_->MaxBytesWithinTriggers, FilterBufferSize)
                          : FilterBufferSize;
    while (count > 0) {
        const int part = std::min(count, limit - fill_);
        readTimes_.push_back({fed_, readTime, readUs});
        Append(bytes, part);
        bytes += part;
        count -= part;
        if (fill_ >= limit) HandOutSilenceFrame(limit);
    }
    return true;
}

void ZFilter::Silence(int64_t lastReadUs) {
    if (settings_->CaptureMode != cmSilence || fill_ == 0 || readTimes_.empty()) return;
    if (readTimes_.back().Us <= lastReadUs) HandOutSilenceFrame(fill_);
}

void ZFilter::HandOutSilenceFrame(int length) {
    HandOut(BlockTime(), length, bkData, CheckFrame({Buffered(), length}));
    KeepTail(fill_ - length);
}

TDateTime ZFilter::BlockTime() {
    if (readTimes_.empty()) return ZULNow();
    ForgetReadTimesBefore(fed_ - static_cast<uint64_t>(fill_));
    return readTimes_.front().Time;
}

void ZFilter::ForgetReadTimesBefore(uint64_t position) {
    while (readTimes_.size() > 1 && readTimes_[1].Position <= position) readTimes_.pop_front();
}

bool ZFilter::Append(const uint8_t* bytes, int count) {
    if (count > FilterBufferSize - fill_) {
        Reset();
        return false;
    }
    fed_ += static_cast<uint64_t>(count);
    if (start_ != 0) {
        std::memmove(buffer_, buffer_ + start_, static_cast<size_t>(fill_));
        start_ = 0;
    }
    std::memcpy(buffer_ + fill_, bytes, static_cast<size_t>(count));
    fill_ += count;
    return true;
}

void ZFilter::Flush() {
    if (fill_ == 0) return;
    if (settings_->CaptureMode == cmSilence) {
        HandOutSilenceFrame(fill_);
        return;
    }
    // The rest of a frame too long to keep goes with the frame.
    if (state_ != SkipFrame) {
        const bool encoded = ZFrameCodecOfMode(settings_->CaptureMode) != nullptr;
        HandOutBytes(BlockTime(), encoded ? encoded_ : Buffered(), fill_, bkFlush);
    }
    fill_ = 0;
    start_ = 0;
    stopSearchFrom_ = 0;
}

bool ZFilter::RunStep() {
    if (settings_->CaptureMode == cmSilence) return false;  // frames end by time alone
    switch (state_) {
        case SearchStart:
            return StepSearchStart();
        case CollectData:
            return StepCollectData();
        case SearchStop:
            return StepSearchStop();
        case PassAll:
            StepPassAll();
            return false;
        case SkipFrame:
            return StepSkipFrame();
        case CollectEncoded:
            return false;
    }
    return false;
}

bool ZFilter::StepSearchStart() {
    const TTriggerSequence& trigger = settings_->TriggerStart;
    const int size = TriggerSize(trigger);
    // No start trigger: no frame can begin, so every byte is trash. (Searching for
    // an empty trigger would "find" it everywhere without consuming a byte.)
    if (size == 0) {
        HandOut(BlockTime(), fill_, bkTrash);
        fill_ = 0;
        return false;
    }
    if (fill_ < size) return false;
    const int p = FindTrigger(Buffered(), fill_, trigger.data(), size);
    if (p < 0) {
        // The kept bytes may be the beginning of a trigger that the next chunk completes.
        HandOut(BlockTime(), fill_ - size + 1, bkTrash);
        KeepTail(size - 1);
        return false;
    }
    if (p > 0) {
        HandOut(BlockTime(), p, bkTrash);
        KeepTail(fill_ - p);
    }
    if (BytesNeededForFrame() > fill_) return false;  // found again at index 0 once the rest is in

    switch (settings_->CaptureMode) {
        case cmDynamicSize: {
            const int64_t adjusted = static_cast<int64_t>(ReadLengthField()) + settings_->Frames.LengthAdjust;
            ExpectedLength = static_cast<uint32_t>(std::clamp<int64_t>(adjusted, 0, MaxLength));
            break;
        }
        case cmFixedSize:
            ExpectedLength = static_cast<uint32_t>(settings_->BytesAfterTrigger);
            break;
        default:
            // Other modes have no data count; without this a stale count of an earlier
            // capture would decide how an unknown mode cuts.
            ExpectedLength = 0;
            break;
    }
    TFrameVerdict verdict = fvNone;
    if (settings_->Frames.ChecksumActive()) {
        frameCheck_.KeepStart(Buffered(), size);
        if (settings_->CaptureMode != cmBetweenTriggers && ExpectedLength == 0) verdict = CheckFrame({});
    }
    HandOut(BlockTime(), size, bkStartTrigger, verdict);
    KeepTail(fill_ - size);
    if (settings_->CaptureMode == cmBetweenTriggers) {
        state_ = SearchStop;
        stopSearchFrom_ = 0;
    } else {
        state_ = CollectData;
    }
    return true;
}

int64_t ZFilter::BytesNeededForFrame() const {
    const auto triggerEnd = static_cast<int64_t>(settings_->TriggerStart.size());
    if (settings_->CaptureMode != cmDynamicSize) return triggerEnd;
    const int64_t fieldEnd = static_cast<int64_t>(std::max(settings_->StartAmountOfBytes, 0)) +
                             std::max(settings_->AmountOfBytesWidth, 0);
    return std::max(triggerEnd, fieldEnd);
}

uint32_t ZFilter::ReadLengthField() const {
    const int width = std::max(settings_->AmountOfBytesWidth, 0);
    const uint8_t* field = Buffered() + std::max(settings_->StartAmountOfBytes, 0);
    // Taken from the most significant byte down; once the value passes 32 bits it
    // can only grow, so it saturates there and wide fields cannot overflow.
    uint64_t value = 0;
    for (int i = 0; i < width; ++i) {
        const uint8_t byte = settings_->AmountOfBytesMSBFirst ? field[i] : field[width - 1 - i];
        value = std::min(value * 256 + byte, MaxLength + 1);
    }
    return static_cast<uint32_t>(std::min(value, MaxLength));
}

bool ZFilter::StepCollectData() {
    if (static_cast<uint32_t>(fill_) < ExpectedLength) return false;
    const auto length = static_cast<int>(ExpectedLength);
    if (length != 0) HandOut(BlockTime(), length, bkData, CheckFrame({Buffered(), length}));
    KeepTail(fill_ - length);
    state_ = SearchStart;
    return true;
}

bool ZFilter::StepSearchStop() {
    const TTriggerSequence& trigger = settings_->TriggerStop;
    const int size = TriggerSize(trigger);
    // An empty stop trigger is never found: the frame stays open as when no stop
    // trigger arrives (an empty one would otherwise match without consuming a byte).
    if (size == 0 || fill_ < size) return false;
    const int found =
        FindTrigger(Buffered() + stopSearchFrom_, fill_ - stopSearchFrom_, trigger.data(), size);
    if (found < 0) {
        stopSearchFrom_ = std::max(stopSearchFrom_, fill_ - size + 1);
        return false;
    }
    const int p = stopSearchFrom_ + found;
    if (p > 0) {
        HandOut(BlockTime(), p, bkData, CheckFrame({Buffered(), p}, {Buffered() + p, size}));
        KeepTail(fill_ - p);
    }
    // Without a start trigger a stop trigger alone is an empty line, no frame.
    const bool lines = settings_->CaptureMode == cmUntilStopTrigger;
    HandOut(BlockTime(), size, bkStopTrigger, p > 0 || lines ? fvNone : CheckFrame({}, {Buffered(), size}));
    KeepTail(fill_ - size);
    stopSearchFrom_ = 0;
    state_ = lines ? SearchStop : SearchStart;
    return true;
}

int ZFilter::FrameLimit() const {
    const int32_t most = settings_->MaxBytesWithinTriggers;
    return most > 0 && most < FilterBufferSize ? most : FilterBufferSize;
}

bool ZFilter::FeedUntilStop(const uint8_t* bytes, int count) {
    if (state_ != SkipFrame) state_ = SearchStop;
    const int limit = FrameLimit();
    // A tail that may begin the stop trigger is kept; it never fills the frame.
    const int tail = std::min(TriggerSize(settings_->TriggerStop) - 1, limit - 1);
    bool intact = true;
    while (count > 0) {
        const int part = std::clamp(limit - fill_, 0, count);
        Append(bytes, part);
        bytes += part;
        count -= part;
        while (RunStep() && fill_ > 0) {
        }
        if (state_ == SearchStop && fill_ >= limit) {
            KeepTail(tail);
            stopSearchFrom_ = 0;
            state_ = SkipFrame;
            intact = false;
        }
    }
    // Chunks may pass without a block (a frame being dropped): their times must not pile up.
    ForgetReadTimesBefore(fed_ - static_cast<uint64_t>(fill_));
    return intact;
}

bool ZFilter::StepSkipFrame() {
    const TTriggerSequence& trigger = settings_->TriggerStop;
    const int size = TriggerSize(trigger);
    const int p = size == 0 ? -1 : FindTrigger(Buffered(), fill_, trigger.data(), size);
    if (p < 0) {
        KeepTail(std::min(size - 1, FrameLimit() - 1));
        return false;
    }
    KeepTail(fill_ - p - size);
    state_ = SearchStop;
    return true;
}

bool ZFilter::FeedEncoded(const IZFrameCodec& codec, const uint8_t* bytes, int count) {
    if (state_ != SkipFrame) state_ = CollectEncoded;
    // The longest encoding of a full payload: every byte escaped.
    const int mostEncoded = 2 * FrameLimit();
    bool intact = true;
    while (count > 0) {
        const auto* end =
            static_cast<const uint8_t*>(std::memchr(bytes, codec.Delimiter(), static_cast<size_t>(count)));
        const int piece = end != nullptr ? static_cast<int>(end - bytes) + 1 : count;
        if (state_ == SkipFrame) {
            if (end != nullptr) state_ = CollectEncoded;
        } else if (fill_ + piece - (end != nullptr ? 1 : 0) > mostEncoded) {
            // Too long to be a frame that fits: dropped up to its delimiter.
            fill_ = 0;
            state_ = end != nullptr ? CollectEncoded : SkipFrame;
            intact = false;
        } else if (end == nullptr) {
            std::memcpy(encoded_ + fill_, bytes, static_cast<size_t>(piece));
            fill_ += piece;
        } else if (fill_ == 0) {
            // Frames that arrive whole are decoded where they lie.
            intact = EndEncodedFrame(codec, bytes, piece) && intact;
        } else {
            // The frame's first bytes came with an earlier chunk: fill_ still counts
            // only those, so its time is that of its first byte.
            std::memcpy(encoded_ + fill_, bytes, static_cast<size_t>(piece));
            intact = EndEncodedFrame(codec, encoded_, fill_ + piece) && intact;
            fill_ = 0;
        }
        fed_ += static_cast<uint64_t>(piece);
        bytes += piece;
        count -= piece;
    }
    // Chunks may pass without a block (a frame being dropped, empty frames): their
    // times must not pile up.
    ForgetReadTimesBefore(fed_ - static_cast<uint64_t>(fill_));
    return intact;
}

bool ZFilter::EndEncodedFrame(const IZFrameCodec& codec, const uint8_t* frame, int length) {
    int decoded = 0;
    switch (codec.Decode(frame, length - 1, buffer_, FrameLimit(), decoded)) {
        case drDecoded:
            if (decoded == 0) {
                uncountedLineBytes_ += length;
                return true;
            }
            encodedLength_ = length;
            HandOutBytes(BlockTime(), buffer_, decoded, bkData, CheckFrame({buffer_, decoded}));
            encodedLength_ = 0;
            return true;
        case drCorrupt:
            HandOutBytes(BlockTime(), frame, length, bkTrash);
            return true;
        default:
            return false;
    }
}

void ZFilter::StepPassAll() {
    HandOut(BlockTime(), fill_, bkData);
    fill_ = 0;
}

void ZFilter::HandOut(const TDateTime& time, int length, uint8_t kind, TFrameVerdict verdict) {
    HandOutBytes(time, Buffered(), length, kind, verdict);
}

void ZFilter::HandOutBytes(const TDateTime& time, const uint8_t* bytes, int length, uint8_t kind,
                           TFrameVerdict verdict) {
    verdict_ = verdict;
    lineBytes_ = uncountedLineBytes_ + (encodedLength_ > 0 ? encodedLength_ : length);
    uncountedLineBytes_ = 0;
    if (callback_) callback_(time, bytes, length, kind);
    verdict_ = fvNone;
}

TFrameVerdict ZFilter::CheckFrame(sFramePiece data, sFramePiece stop) const {
    if (!settings_->Frames.ChecksumActive()) return fvNone;
    // Frames cut by silence or ended by a delimiter have no start trigger.
    const uint8_t mode = settings_->CaptureMode;
    const bool started = mode >= cmFixedSize && mode <= cmBetweenTriggers;
    const sFramePiece start = started ? frameCheck_.Start() : sFramePiece{};
    const sFramePiece pieces[] = {start, data, stop};
    return ZFrameCheck::Check(settings_->Frames, pieces, 3);
}

void ZFilter::KeepTail(int k) {
    k = std::max(k, 0);
    if (k >= fill_) return;
    start_ += fill_ - k;
    fill_ = k;
}
