#include "ZTextFile.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "Funset_strings.h"
#include "ZULText.h"

namespace {

constexpr auto FlushInterval = std::chrono::seconds(1);

}  // namespace

ZTextFile::ZTextFile(std::string what) : what_(std::move(what)) {}

ZTextFile::~ZTextFile() {
    std::string ignored;
    Close(ignored);
}

bool ZTextFile::Create(const std::string& path, std::string& errorText) {
    std::lock_guard guard(lock_);
    if (file_ != nullptr) {
        errorText = ZULFormat(ZUL_TEXT("TextFile", "The %1 is already open: \"%2\""), {what_, path_});
        return false;
    }
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    struct stat made {};
    if (fd < 0 || ::fstat(fd, &made) != 0 || (file_ = ::fdopen(fd, "w")) == nullptr) {
        createError_ = errno;
        errorText = ZULFormat(ZUL_TEXT("TextFile", "The %1 could not be created: \"%2\": %3"),
                              {what_, path, GetErrorText(createError_)});
        if (fd >= 0) {
            ::close(fd);
            ::unlink(path.c_str());
        }
        return false;
    }
    path_ = path;
    device_ = made.st_dev;
    inode_ = made.st_ino;
    lastFlush_ = Clock::now();
    writeError_ = 0;
    createError_ = 0;
    return true;
}

int ZTextFile::GetCreateError() const {
    std::lock_guard guard(lock_);
    return createError_;
}

void ZTextFile::Append(std::string_view text) {
    std::lock_guard guard(lock_);
    if (file_ == nullptr) return;
    if (std::fwrite(text.data(), 1, text.size(), file_) != text.size() && writeError_ == 0)
        writeError_ = errno != 0 ? errno : EIO;
    const Clock::time_point now = Clock::now();
    if (now - lastFlush_ >= FlushInterval) FlushLocked(now);
}

void ZTextFile::FlushIfDue() {
    std::lock_guard guard(lock_);
    const Clock::time_point now = Clock::now();
    if (file_ != nullptr && now - lastFlush_ >= FlushInterval) FlushLocked(now);
}

void ZTextFile::FlushLocked(Clock::time_point now) {
    if (std::fflush(file_) != 0 && writeError_ == 0) writeError_ = errno;
    lastFlush_ = now;
}

bool ZTextFile::Close(std::string& errorText) {
    std::lock_guard guard(lock_);
    return CloseLocked(errorText);
}

bool ZTextFile::CloseLocked(std::string& errorText) {
    if (file_ == nullptr) return true;
    if (std::fclose(file_) != 0 && writeError_ == 0) writeError_ = errno;
    file_ = nullptr;
    if (writeError_ == 0) return true;
    errorText = ZULFormat(ZUL_TEXT("TextFile", "The %1 could not be written: \"%2\": %3"),
                          {what_, path_, GetErrorText(writeError_)});
    return false;
}

void ZTextFile::Remove() {
    std::lock_guard guard(lock_);
    // A file closed already was finished, not abandoned.
    if (file_ == nullptr) return;
    std::string ignored;
    CloseLocked(ignored);
    struct stat named {};
    // Whatever took the name since stays.
    if (!path_.empty() && ::lstat(path_.c_str(), &named) == 0 && S_ISREG(named.st_mode) &&
        named.st_dev == device_ && named.st_ino == inode_)
        ::unlink(path_.c_str());
}

bool ZTextFile::MoveTo(const std::string& newPath) {
    std::lock_guard guard(lock_);
    if (path_.empty()) return false;
    if (renameat2(AT_FDCWD, path_.c_str(), AT_FDCWD, newPath.c_str(), RENAME_NOREPLACE) != 0) return false;
    path_ = newPath;
    return true;
}

bool ZTextFile::IsOpen() const {
    std::lock_guard guard(lock_);
    return file_ != nullptr;
}

std::string ZTextFile::Path() const {
    std::lock_guard guard(lock_);
    return path_;
}
