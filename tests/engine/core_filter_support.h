#pragma once
// A frame filter whose blocks are recorded, for the filter tests.

#include <cstdint>
#include <ostream>
#include <vector>

#include "ZFilter.h"

namespace filter_test {

using Bytes = std::vector<uint8_t>;

struct Block {
    uint8_t kind;
    Bytes bytes;
    int encoded = 0;  // the filter's GetBlockEncodedLength
    bool operator==(const Block&) const = default;
};

inline std::ostream& operator<<(std::ostream& out, const Block& block) {
    static const char* const Names[] = {"start", "data", "stop", "trash", "flush"};
    out << (block.kind < 5 ? Names[block.kind] : "?") << '[';
    for (size_t i = 0; i < block.bytes.size(); ++i) out << (i ? " " : "") << static_cast<int>(block.bytes[i]);
    if (block.encoded != 0) out << ", " << block.encoded << " encoded";
    return out << ']';
}

inline Block Start(Bytes b) {
    return {bkStartTrigger, std::move(b)};
}
inline Block Data(Bytes b) {
    return {bkData, std::move(b)};
}
inline Block Stop(Bytes b) {
    return {bkStopTrigger, std::move(b)};
}
inline Block Trash(Bytes b) {
    return {bkTrash, std::move(b)};
}
inline Block Flushed(Bytes b) {
    return {bkFlush, std::move(b)};
}
// The data block of a frame that took encoded bytes on the line.
inline Block Decoded(Bytes b, int encoded) {
    return {bkData, std::move(b), encoded};
}

class RecordingFilter {
public:
    explicit RecordingFilter(const ZLoggerSettings& settings)
        : settings_(settings),
          filter_(&settings_, [this](const TDateTime& time, const uint8_t* bytes, int length, uint8_t kind) {
              blocks_.push_back({kind, Bytes(bytes, bytes + length), filter_.GetBlockEncodedLength()});
              times_.push_back(time);
              verdicts_.push_back(filter_.GetBlockVerdict());
              lineBytes_ += filter_.GetBlockLineBytes();
          }) {}

    bool Feed(const Bytes& chunk) { return filter_.FeedData(chunk.data(), static_cast<int>(chunk.size())); }
    // The blocks handed out since the last call.
    std::vector<Block> Take() {
        std::vector<Block> taken;
        taken.swap(blocks_);
        times_.clear();
        verdicts_.clear();
        return taken;
    }
    ZFilter& Filter() { return filter_; }
    ZLoggerSettings& Settings() { return settings_; }
    const std::vector<TDateTime>& Times() const { return times_; }
    // The verdicts of the blocks handed out since the last Take.
    const std::vector<TFrameVerdict>& Verdicts() const { return verdicts_; }
    // The bytes on the line that every block so far accounted for.
    int64_t LineBytes() const { return lineBytes_; }

private:
    ZLoggerSettings settings_;
    ZFilter filter_;
    std::vector<Block> blocks_;
    std::vector<TDateTime> times_;
    std::vector<TFrameVerdict> verdicts_;
    int64_t lineBytes_ = 0;
};

}  // namespace filter_test
