#include "ZULErrorHistory.h"

#include "ZULDateTime.h"

int TZULErrorHistory::AddError(const std::string& module, const std::string& function,
                               const std::string& error) {
    return Add(TZULError{module, function, error, ZULNowEpochMs(), false});
}

int TZULErrorHistory::AddInformation(const std::string& module, const std::string& function,
                                     const std::string& text) {
    return Add(TZULError{module, function, text, ZULNowEpochMs(), true});
}

int TZULErrorHistory::Add(TZULError entry) {
    std::lock_guard guard(lock_);
    if (!entry.Informational) ++errors_;
    entries_.push_back(std::move(entry));
    return static_cast<int>(entries_.size());
}

int TZULErrorHistory::GetCount() const {
    std::lock_guard guard(lock_);
    return static_cast<int>(entries_.size());
}

int TZULErrorHistory::GetErrorCount() const {
    std::lock_guard guard(lock_);
    return errors_;
}

TZULError TZULErrorHistory::GetError(int index) const {
    std::lock_guard guard(lock_);
    if (index < 0 || index >= static_cast<int>(entries_.size())) return {};
    return entries_[static_cast<size_t>(index)];
}

TZULError TZULErrorHistory::GetLatestError() const {
    std::lock_guard guard(lock_);
    for (auto entry = entries_.rbegin(); entry != entries_.rend(); ++entry)
        if (!entry->Informational) return *entry;
    return {};
}

void TZULErrorHistory::Clear() {
    std::lock_guard guard(lock_);
    entries_.clear();
    errors_ = 0;
}
