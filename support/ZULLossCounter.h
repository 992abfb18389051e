#pragma once
// Counts what a full queue refused (or another cause dropped) and records each loss
// episode once in an error history, with the amount lost. An episode begins with
// the first loss and ends at the next accepted post (or at Close).

#include <cstdint>
#include <mutex>
#include <string>

#include "ZULErrorHistory.h"
#include "ZULText.h"

class ZULLossCounter {
public:
    // unit names what is counted and cause why it is lost: "log lines" and "queue
    // full" (texts marked for translation, ZULText.h) give "1200 log lines lost (queue full)".
    ZULLossCounter(std::string module, std::string function, std::string unit,
                   std::string cause = ZULFormat(ZUL_TEXT("LossCounter", "queue full")));

    // errors may be null (losses are then only counted); not owned.
    void SetErrorHistory(TZULErrorHistory* errors);
    void Lost(uint64_t amount);
    void Accepted();
    // Records a still-open episode; call when the producer stops.
    void Close();
    uint64_t TotalLost() const;

private:
    void RecordEpisodeLocked();

    const std::string module_, function_, unit_, cause_;
    mutable std::mutex lock_;  // guards the counters and errors_
    TZULErrorHistory* errors_ = nullptr;
    uint64_t episodeLost_ = 0;
    uint64_t totalLost_ = 0;
};
