#include "ZPendingTotals.h"

bool ZPendingTotals::Ride(uint8_t kind, double count, double total) {
    if (kind >= slots_.size()) return false;
    std::lock_guard guard(lock_);
    Slot& slot = slots_[kind];
    slot.count = count;
    slot.total = total;
    if (slot.onItsWay) return true;
    slot.onItsWay = true;
    return false;
}

void ZPendingTotals::Refused(uint8_t kind) {
    if (kind >= slots_.size()) return;
    std::lock_guard guard(lock_);
    slots_[kind].onItsWay = false;
}

void ZPendingTotals::Arrived(uint8_t kind, double& count, double& total) {
    if (kind >= slots_.size()) return;
    std::lock_guard guard(lock_);
    Slot& slot = slots_[kind];
    // A message that did not come through PostStatus has nothing riding on it.
    if (!slot.onItsWay) return;
    count = slot.count;
    total = slot.total;
    slot.onItsWay = false;
}
