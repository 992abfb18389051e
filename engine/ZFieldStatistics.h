#pragma once
// What the values of each field did over a capture or a replay: how many blocks had
// one, the least, the greatest, the mean and the last. Fed every block (the data
// blocks with values count); read once the blocks have stopped, or from any thread
// while they arrive.

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "ZFieldList.h"
#include "ZFrameExport.h"

struct ZFieldSummary {
    std::string Name;
    std::string Unit;
    uint64_t Count = 0;  // Min, Max, Mean and Last only mean something when Count > 0
    double Min = 0;
    double Max = 0;
    double Mean = 0;
    double Last = 0;
};

class ZFieldStatistics : public IZBlockObserver {
public:
    // Starts from nothing, with one entry per field of fields.
    void Reset(const ZFieldList& fields);
    void OnBlock(const sBlock& block) override;
    // One entry per field, in field order.
    std::vector<ZFieldSummary> Snapshot() const;

private:
    struct Running {
        uint64_t count = 0;
        double min = 0;
        double max = 0;
        double sum = 0;   // in arrival order, so the mean is sum / count as anyone would add them
        double mean = 0;  // kept step by step, for when the sum overflows
        double last = 0;
    };

    mutable std::mutex lock_;  // guards every field below
    std::vector<std::string> names_;
    std::vector<std::string> units_;
    std::vector<Running> running_;
};
