#include "ZRawRecorder.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "Funset_strings.h"
#include "ZULText.h"

namespace {

// Large enough that a fast line costs few writes, small enough to stay in cache.
constexpr size_t BufferSize = 64 * 1024;

std::string Quoted(const std::string& text) {
    return "\"" + text + "\"";
}

}  // namespace

ZRawRecorder::ZRawRecorder(TZULErrorHistory* errors) : errors_(errors) {
    buffer_.reserve(BufferSize);
}

ZRawRecorder::~ZRawRecorder() {
    Close();
}

bool ZRawRecorder::Create(const std::string& path, std::string& errorText) {
    Close();
    // A recording never replaces a file, and a link planted under the name must not
    // redirect it somewhere else.
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd < 0) {
        const int error = errno;
        createError_ = error;
        errorText =
            error == EEXIST
                ? ZULFormat(ZUL_TEXT("RawRecorder",
                                     "The raw recording file could not be created: %1: a file "
                                     "of that name exists"),
                            {Quoted(path)})
                : ZULFormat(ZUL_TEXT("RawRecorder", "The raw recording file could not be created: %1: %2"),
                            {Quoted(path), GetErrorText(error)});
        return false;
    }
    fd_ = fd;
    failed_ = false;
    failedSeen_ = false;
    buffer_.clear();
    recorded_ = 0;
    written_ = 0;
    readsWritten_ = 0;
    std::lock_guard guard(pathLock_);
    path_ = path;
    return true;
}

bool ZRawRecorder::CreateTimed(const std::string& path, const std::string& ifName,
                               const std::string& ifDescription, std::string& errorText) {
    Close();
    auto writer = std::make_unique<ZPcapngWriter>();
    if (!writer->Create(path, ZPcapngWriter::LinkTypeUser0, ifName, ifDescription, errorText)) {
        createError_ = errno;
        if (errorText.find("a file of that name exists") != std::string::npos) createError_ = EEXIST;
        return false;
    }
    struct stat made {};
    timedInode_ = lstat(path.c_str(), &made) == 0 ? made.st_ino : 0;
    timed_ = std::move(writer);
    failed_ = false;
    failedSeen_ = false;
    recorded_ = 0;
    TakeTimedCounts();
    std::lock_guard guard(pathLock_);
    path_ = path;
    return true;
}

bool ZRawRecorder::AddTimedInterface(const std::string& ifName, const std::string& ifDescription) {
    return timed_ != nullptr && timed_->AddInterface(ZPcapngWriter::LinkTypeUser0, ifName, ifDescription);
}

void ZRawRecorder::Write(const uint8_t* bytes, size_t count, int64_t timeUs, int line) {
    if (timed_ != nullptr && count > 0) {
        recorded_ += count;
        WriteTimed(bytes, count, timeUs, 0, line == 1 ? 1 : 0);
        return;
    }
    if (fd_ < 0 || count == 0) return;
    recorded_ += count;
    if (failed_) return;
    if (buffer_.size() + count > BufferSize) WriteOut();
    if (buffer_.empty()) oldest_ = std::chrono::steady_clock::now();
    buffer_.insert(buffer_.end(), bytes, bytes + count);
    if (buffer_.size() >= BufferSize) WriteOut();
}

void ZRawRecorder::WriteSent(const uint8_t* bytes, size_t count, int64_t timeUs) {
    if (timed_ != nullptr && count > 0) WriteTimed(bytes, count, timeUs, ZPcapngWriter::FlagOutbound);
}

void ZRawRecorder::WriteTimed(const uint8_t* bytes, size_t count, int64_t timeUs, uint32_t flags,
                              uint32_t interface) {
    // A read or a send is at most a few KB; a packet never needs splitting.
    if (!timed_->Write({timeUs, bytes, static_cast<uint32_t>(count), flags, "", interface}) && !failed_) {
        failed_ = true;
        failedSeen_ = true;
        if (errors_ != nullptr)
            errors_->AddError("RawRecorder", "Write",
                              ZULFormat(ZUL_TEXT("RawRecorder", "The raw recording could not be written: %1"),
                                        {Quoted(Path())}));
    }
    TakeTimedCounts();
}

void ZRawRecorder::TakeTimedCounts() {
    written_ = timed_->FileBytes();
    readsWritten_ = timed_->PacketBytesWritten(false);
}

void ZRawRecorder::FlushIfDue(std::chrono::steady_clock::time_point now) {
    if (timed_ != nullptr) {
        timed_->FlushIfDue();
        TakeTimedCounts();
    }
    if (!buffer_.empty() && now - oldest_ >= FlushDelay) WriteOut();
}

void ZRawRecorder::Flush() {
    WriteOut();
}

void ZRawRecorder::WriteOut() {
    size_t done = 0;
    while (fd_ >= 0 && !failed_ && done < buffer_.size()) {
        const ssize_t n = write(fd_, buffer_.data() + done, buffer_.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            Fail(n < 0 ? errno : ENOSPC);
            break;
        }
        done += static_cast<size_t>(n);
        written_ += static_cast<uint64_t>(n);
        readsWritten_ += static_cast<uint64_t>(n);
    }
    buffer_.clear();
}

void ZRawRecorder::Fail(int errorNumber) {
    failed_ = true;
    failedSeen_ = true;
    if (errors_ != nullptr)
        errors_->AddError("RawRecorder", "Write",
                          ZULFormat(ZUL_TEXT("RawRecorder", "The raw recording could not be written: %1: %2"),
                                    {Quoted(Path()), GetErrorText(errorNumber)}));
}

void ZRawRecorder::Close() {
    if (timed_ != nullptr) {
        std::string errorText;
        if (!timed_->Close(errorText)) {
            if (!failed_ && errors_ != nullptr) errors_->AddError("RawRecorder", "Close", errorText);
            failed_ = true;
            failedSeen_ = true;
        }
        TakeTimedCounts();
        timed_.reset();
        return;
    }
    if (fd_ < 0) return;
    WriteOut();
    if (close(fd_) != 0 && !failed_) Fail(errno);
    fd_ = -1;
}

void ZRawRecorder::Discard() {
    if (timed_ != nullptr) {
        const std::string path = Path();
        const bool empty = recorded_ == 0;
        Close();
        struct stat named {};
        // Only the file this object made goes; whatever took its name since stays.
        if (empty && lstat(path.c_str(), &named) == 0 && named.st_ino == timedInode_) unlink(path.c_str());
        return;
    }
    if (fd_ < 0) return;
    struct stat made {};
    struct stat named {};
    const std::string path = Path();
    // Only the file this object made goes; whatever took its name since stays.
    const bool same = fstat(fd_, &made) == 0 && lstat(path.c_str(), &named) == 0 &&
                      made.st_dev == named.st_dev && made.st_ino == named.st_ino;
    const bool empty = recorded_ == 0;
    Close();
    if (same && empty) unlink(path.c_str());
}

bool ZRawRecorder::MoveTo(const std::string& newPath) {
    std::lock_guard guard(pathLock_);
    if (path_.empty()) return false;
    if (renameat2(AT_FDCWD, path_.c_str(), AT_FDCWD, newPath.c_str(), RENAME_NOREPLACE) != 0) return false;
    path_ = newPath;
    return true;
}

std::string ZRawRecorder::Path() const {
    std::lock_guard guard(pathLock_);
    return path_;
}
