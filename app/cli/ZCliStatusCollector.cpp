#include "ZCliStatusCollector.h"

void ZCliStatusCollector::ZWideCounter::Follow(double reported) {
    const auto now = static_cast<uint32_t>(reported);
    // Unsigned subtraction gives the step even across the wrap at 2^32.
    wide += static_cast<uint32_t>(now - last);
    last = now;
}

void ZCliStatusCollector::Reset(int dataTriggerCount) {
    std::lock_guard<std::mutex> guard(lock_);
    total_ = trashed_ = startCount_ = startBytes_ = stopCount_ = stopBytes_ = dataCount_ = dataBytes_ =
        checksumGood_ = checksumBad_ = sends_ = bytesSent_ = {};
    dataTriggerCounts_.assign(static_cast<size_t>(dataTriggerCount > 0 ? dataTriggerCount : 0), 0);
}

bool ZCliStatusCollector::PostStatus(uint8_t kind, const std::string& /*text*/, double count, double total,
                                     signed char /*priority*/) {
    std::lock_guard<std::mutex> guard(lock_);
    switch (kind) {
        case 0:
            total_.Follow(total);
            break;
        case 1:
            trashed_.Follow(total);
            break;
        case 2:
            startCount_.Follow(count);
            startBytes_.Follow(total);
            break;
        case 3:
            stopCount_.Follow(count);
            stopBytes_.Follow(total);
            break;
        case 4:
            dataCount_.Follow(count);
            dataBytes_.Follow(total);
            break;
        case 6:
            checksumGood_.Follow(count);
            checksumBad_.Follow(total);
            break;
        case 8:
            sends_.Follow(count);
            bytesSent_.Follow(total);
            break;
        case 5: {
            // The settings in use decide how many triggers there are; an index outside
            // them cannot be shown anywhere and is ignored.
            if (count >= 0 && count < static_cast<double>(dataTriggerCounts_.size())) {
                ++dataTriggerCounts_[static_cast<size_t>(count)];
            }
            break;
        }
        default:
            break;
    }
    return true;
}

ZCliCounters ZCliStatusCollector::Snapshot() const {
    std::lock_guard<std::mutex> guard(lock_);
    ZCliCounters counters;
    counters.TotalBytes = total_.wide;
    counters.TrashedBytes = trashed_.wide;
    counters.StartTriggers = startCount_.wide;
    counters.StartTriggerBytes = startBytes_.wide;
    counters.StopTriggers = stopCount_.wide;
    counters.StopTriggerBytes = stopBytes_.wide;
    counters.DataPackets = dataCount_.wide;
    counters.DataPacketBytes = dataBytes_.wide;
    counters.DataTriggerCounts = dataTriggerCounts_;
    counters.ChecksumGood = checksumGood_.wide;
    counters.ChecksumBad = checksumBad_.wide;
    counters.Sends = sends_.wide;
    counters.BytesSent = bytesSent_.wide;
    return counters;
}
