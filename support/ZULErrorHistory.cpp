#include "ZULErrorHistory.h"

int TZULErrorHistory::AddError(const std::string& module, const std::string& function,
                               const std::string& error) {
    TZULError entry{module, function, error};  // copied before the lock is taken
    std::lock_guard guard(lock_);
    entries_.push_back(std::move(entry));
    return static_cast<int>(entries_.size());
}

int TZULErrorHistory::GetCount() const {
    std::lock_guard guard(lock_);
    return static_cast<int>(entries_.size());
}

TZULError TZULErrorHistory::GetError(int index) const {
    std::lock_guard guard(lock_);
    if (index < 0 || index >= static_cast<int>(entries_.size())) return {};
    return entries_[static_cast<size_t>(index)];
}

TZULError TZULErrorHistory::GetLatestError() const {
    std::lock_guard guard(lock_);
    if (entries_.empty()) return {};
    return entries_.back();
}

void TZULErrorHistory::Clear() {
    std::lock_guard guard(lock_);
    entries_.clear();
}
