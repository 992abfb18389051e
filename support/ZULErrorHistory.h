#pragma once
// Thread-safe, append-only list of errors a component keeps about its own
// failures instead of throwing them at its caller.

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

struct TZULError {
    std::string Module;
    std::string Function;
    std::string Error;
    int64_t TimeMs = 0;          // when it was added, milliseconds since the Unix epoch
    bool Informational = false;  // news for the user (a port is back), not a failure

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
    // Appends an informational entry, which is listed but not counted as an error.
    int AddInformation(const std::string& module, const std::string& function, const std::string& text);
    // Entries of both kinds.
    int GetCount() const;
    // Entries that are errors.
    int GetErrorCount() const;
    // Entry at index (0 = oldest); three empty texts for an index out of range.
    TZULError GetError(int index) const;
    // Newest entry that is an error; three empty texts when there is none.
    TZULError GetLatestError() const;
    void Clear();

private:
    int Add(TZULError entry);

    mutable std::mutex lock_;  // guards entries_ and errors_
    std::vector<TZULError> entries_;
    int errors_ = 0;  // entries_ that are errors
};
