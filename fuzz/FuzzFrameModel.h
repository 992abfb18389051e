#pragma once
// A plain model of the capture modes that end frames by a stop trigger (5) or by a
// delimiter (SLIP 6, COBS 7), written from their rules one byte at a time, without
// the filter's buffers or codecs: the fuzz target compares the filter with it.

#include <algorithm>
#include <cstdint>
#include <utility>
#include <vector>

#include "TriggerSequence.h"
#include "ZFilter.h"
#include "ZLoggerSettings.h"

struct TModelBlock {
    uint8_t Kind;
    std::vector<uint8_t> Bytes;
    int Encoded;        // GetBlockEncodedLength
    int64_t LineBytes;  // GetBlockLineBytes
    bool operator==(const TModelBlock&) const = default;
};

class TFrameModel {
public:
    explicit TFrameModel(const ZLoggerSettings& settings)
        : mode_(settings.CaptureMode),
          stop_(settings.TriggerStop),
          limit_(settings.MaxBytesWithinTriggers > 0 &&
                         settings.MaxBytesWithinTriggers < ZFilter::FilterBufferSize
                     ? settings.MaxBytesWithinTriggers
                     : ZFilter::FilterBufferSize) {}

    // False when a frame grew too long in this chunk.
    bool Feed(const uint8_t* bytes, size_t count) {
        intact_ = true;
        for (size_t i = 0; i < count; ++i)
            mode_ == cmUntilStopTrigger ? TakeLineByte(bytes[i]) : TakeEncodedByte(bytes[i]);
        return intact_;
    }
    void Flush() {
        if (!skipping_ && !frame_.empty()) Emit(bkFlush, frame_, 0);
        frame_.clear();
    }
    int64_t TakeUncounted() { return std::exchange(uncounted_, 0); }
    std::vector<TModelBlock> Blocks;

private:
    void Emit(uint8_t kind, const std::vector<uint8_t>& bytes, int encoded) {
        const int own = encoded > 0 ? encoded : static_cast<int>(bytes.size());
        Blocks.push_back({kind, bytes, encoded, std::exchange(uncounted_, 0) + own});
    }

    bool StopEndsAt(const std::vector<uint8_t>& bytes) const {
        const size_t size = stop_.size();
        return size > 0 && bytes.size() >= size &&
               MatchAt(bytes.data() + bytes.size() - size, stop_.data(), static_cast<int>(size));
    }

    void TakeLineByte(uint8_t byte) {
        frame_.push_back(byte);
        if (skipping_) {
            // The bytes kept of a frame being dropped: what may begin its stop trigger.
            if (StopEndsAt(frame_)) {
                skipping_ = false;
                frame_.clear();
            } else {
                const size_t keep = static_cast<size_t>(std::max<int64_t>(
                    0, std::min<int64_t>(static_cast<int64_t>(stop_.size()) - 1, limit_ - 1)));
                if (frame_.size() > keep)
                    frame_.erase(frame_.begin(), frame_.end() - static_cast<std::ptrdiff_t>(keep));
            }
            return;
        }
        if (StopEndsAt(frame_)) {
            const auto dataEnd = frame_.end() - static_cast<std::ptrdiff_t>(stop_.size());
            if (dataEnd != frame_.begin()) Emit(bkData, {frame_.begin(), dataEnd}, 0);
            Emit(bkStopTrigger, {dataEnd, frame_.end()}, 0);
            frame_.clear();
        } else if (static_cast<int>(frame_.size()) >= limit_) {
            intact_ = false;
            skipping_ = true;
            const size_t keep = static_cast<size_t>(
                std::max<int64_t>(0, std::min<int64_t>(static_cast<int64_t>(stop_.size()) - 1, limit_ - 1)));
            frame_.erase(frame_.begin(), frame_.end() - static_cast<std::ptrdiff_t>(keep));
        }
    }

    void TakeEncodedByte(uint8_t byte) {
        const uint8_t delimiter = mode_ == cmSlip ? 0xC0 : 0x00;
        if (skipping_) {
            skipping_ = byte != delimiter;
            return;
        }
        if (byte != delimiter) {
            frame_.push_back(byte);
            // No payload that fits takes more than two bytes each on the line.
            if (static_cast<int>(frame_.size()) > 2 * limit_) {
                intact_ = false;
                skipping_ = true;
                frame_.clear();
            }
            return;
        }
        std::vector<uint8_t> payload;
        const int result = mode_ == cmSlip ? DecodeSlip(payload) : DecodeCobs(payload);
        const int encoded = static_cast<int>(frame_.size()) + 1;
        if (result == drCorrupt) {
            frame_.push_back(delimiter);
            Emit(bkTrash, frame_, 0);
        } else if (result == drTooLong) {
            intact_ = false;
        } else if (payload.empty()) {
            uncounted_ += encoded;
        } else {
            Emit(bkData, payload, encoded);
        }
        frame_.clear();
    }

    // One byte more for the payload, unless that makes it too long.
    bool Put(std::vector<uint8_t>& payload, uint8_t byte) const {
        if (static_cast<int>(payload.size()) == limit_) return false;
        payload.push_back(byte);
        return true;
    }

    int DecodeSlip(std::vector<uint8_t>& payload) const {
        for (size_t i = 0; i < frame_.size(); ++i) {
            uint8_t byte = frame_[i];
            if (byte == 0xDB) {
                if (i + 1 == frame_.size() || (frame_[i + 1] != 0xDC && frame_[i + 1] != 0xDD))
                    return drCorrupt;
                byte = frame_[++i] == 0xDC ? 0xC0 : 0xDB;
            }
            if (!Put(payload, byte)) return drTooLong;
        }
        return drDecoded;
    }

    int DecodeCobs(std::vector<uint8_t>& payload) const {
        for (size_t i = 0; i < frame_.size();) {
            const size_t code = frame_[i++];
            if (code == 0 || i + code - 1 > frame_.size()) return drCorrupt;
            for (size_t k = 1; k < code; ++k) {
                if (!Put(payload, frame_[i++])) return drTooLong;
            }
            if (code != 0xFF && i < frame_.size() && !Put(payload, 0x00)) return drTooLong;
        }
        return drDecoded;
    }

    uint8_t mode_;
    TTriggerSequence stop_;
    int limit_;
    std::vector<uint8_t> frame_;
    bool skipping_ = false;
    bool intact_ = true;
    int64_t uncounted_ = 0;
};
