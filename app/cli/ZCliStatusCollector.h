#pragma once
// The command-line program's receiver of the engine's status messages. It keeps the
// latest counters and counts the matches of every data trigger (kind 5), which only
// the status messages carry. The engine calls it directly on its data thread, so no
// message is ever dropped; that lets it follow the 32-bit counters past their wrap
// into 64-bit totals. A snapshot can be taken from any thread.

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "ZLoggerClients.h"

struct ZCliCounters {
    uint64_t TotalBytes = 0;
    uint64_t TrashedBytes = 0;
    uint64_t StartTriggers = 0;
    uint64_t StartTriggerBytes = 0;
    uint64_t StopTriggers = 0;
    uint64_t StopTriggerBytes = 0;
    uint64_t DataPackets = 0;
    uint64_t DataPacketBytes = 0;
    std::vector<uint64_t> DataTriggerCounts;  // one per data trigger of the settings in use
    uint64_t ChecksumGood = 0;
    uint64_t ChecksumBad = 0;
    uint64_t Sends = 0;
    uint64_t BytesSent = 0;

    bool operator==(const ZCliCounters&) const = default;
};

class ZCliStatusCollector : public IZStatusReceiver {
public:
    // Starts from zero with one match counter per data trigger (a capture start).
    void Reset(int dataTriggerCount);
    bool PostStatus(uint8_t kind, const std::string& text, double count, double total,
                    signed char priority) override;
    ZCliCounters Snapshot() const;

private:
    // A 64-bit total that follows a 32-bit counter reported after each change.
    struct ZWideCounter {
        uint32_t last = 0;
        uint64_t wide = 0;
        void Follow(double reported);
    };

    mutable std::mutex lock_;  // guards every field below
    ZWideCounter total_, trashed_, startCount_, startBytes_, stopCount_, stopBytes_, dataCount_, dataBytes_,
        checksumGood_, checksumBad_, sends_, bytesSent_;
    std::vector<uint64_t> dataTriggerCounts_;
};
