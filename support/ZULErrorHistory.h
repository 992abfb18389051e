#pragma once
// Thread-safe, append-only list of errors a component keeps about its own
// failures instead of throwing them at its caller.

#include <mutex>
#include <string>
#include <vector>

struct TZULError {
    std::string Module;
    std::string Function;
    std::string Error;

    // An entry whose three texts are empty stands for a missing entry.
    bool IsEmpty() const { return Module.empty() && Function.empty() && Error.empty(); }
};

class TZULErrorHistory {
public:
    TZULErrorHistory() = default;
    TZULErrorHistory(const TZULErrorHistory&) = delete;
    TZULErrorHistory& operator=(const TZULErrorHistory&) = delete;

    // Appends a copy of the three texts; returns the number of entries after the append.
    int AddError(const std::string& module, const std::string& function, const std::string& error);
    int GetCount() const;
    // Entry at index (0 = oldest); three empty texts for an index out of range.
    TZULError GetError(int index) const;
    // Newest entry; three empty texts when the history is empty.
    TZULError GetLatestError() const;
    void Clear();

private:
    mutable std::mutex lock_;  // guards entries_
    std::vector<TZULError> entries_;
};
