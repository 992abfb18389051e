#pragma once
// A new text file that receives lines as they come (the frame export, the CSV file of
// the field values). It is created only where no file or link of its name exists,
// its text reaches the file at least once a second while text arrives or FlushIfDue
// is called, and at Close, and a failed write is reported at Close. Every operation
// may be called from any thread; one lock serialises them.

#include <sys/types.h>

#include <chrono>
#include <cstdio>
#include <mutex>
#include <string>
#include <string_view>

class ZTextFile {
public:
    // what names the file in the texts the user reads ("frame file", "CSV file").
    explicit ZTextFile(std::string what);
    // Closes the file; a failure is not reported then.
    ~ZTextFile();
    ZTextFile(const ZTextFile&) = delete;
    ZTextFile& operator=(const ZTextFile&) = delete;

    // Creates path as a new file; an existing file or link of that name is never
    // opened. False with the text the user reads when it cannot be created.
    bool Create(const std::string& path, std::string& errorText);
    // errno of the last failed Create (EEXIST: the name is taken).
    int GetCreateError() const;
    // Appends text (nothing while no file is open). A failed write is remembered for Close.
    void Append(std::string_view text);
    // Hands the text to the file when the last flush is a second old.
    void FlushIfDue();
    // Flushes and closes; false with the text the user reads when text was lost.
    // True when no file is open. The object keeps the path.
    bool Close(std::string& errorText);
    // Closes the open file and removes it, if the name still holds the file Create
    // made. Nothing when no file is open.
    void Remove();
    // Renames the file to newPath without replacing anything there; false when that
    // is not possible (the file keeps its name).
    bool MoveTo(const std::string& newPath);

    bool IsOpen() const;
    std::string Path() const;

private:
    using Clock = std::chrono::steady_clock;
    void FlushLocked(Clock::time_point now);
    bool CloseLocked(std::string& errorText);

    const std::string what_;
    mutable std::mutex lock_;  // guards every field below
    std::FILE* file_ = nullptr;
    std::string path_;
    dev_t device_ = 0;  // of the file Create made, so that only it is removed
    ino_t inode_ = 0;
    Clock::time_point lastFlush_{};
    int writeError_ = 0;
    int createError_ = 0;
};
