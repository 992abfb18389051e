#include "ZULFileIO.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <exception>
#include <utility>

#include "Funset_strings.h"
#include "ZULText.h"

namespace {

const char* const Module = "ZULFileIO";
const char* const InvalidList = "Invalid TStringList pointer given!";

// Log files are written at hundreds of MB/s: lines are gathered into blocks of
// this size so that the system is called once per block, not once per line.
constexpr size_t WriteBlockSize = 256 * 1024;
constexpr size_t ReadBlockSize = 256 * 1024;

// Lines end at LF. A CR directly before the LF belongs to the line end, but CRs
// pair up with the byte after them (a CR followed by anything but LF keeps that
// byte with it), so of a run of CRs before the LF only an odd one out is the line end.
void DropLineEndCarriageReturn(std::string& line) {
    size_t carriageReturns = 0;
    for (auto it = line.rbegin(); it != line.rend() && *it == '\r'; ++it) ++carriageReturns;
    if (carriageReturns % 2 == 1) line.pop_back();
}

// O_NONBLOCK keeps the open of a pipe without a writer (or reader) from waiting;
// once the file is known to be regular it is switched off again.
int OpenRegular(const std::string& fileName, int flags, mode_t mode) {
    const int fd = ::open(fileName.c_str(), flags | O_NONBLOCK | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC, mode);
    if (fd < 0) return -1;
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        errno = EINVAL;
        return -1;
    }
    const int status = ::fcntl(fd, F_GETFL);
    if (status >= 0) ::fcntl(fd, F_SETFL, status & ~O_NONBLOCK);
    return fd;
}

std::FILE* OpenStream(const std::string& fileName, int flags, const char* mode) {
    const int fd = OpenRegular(fileName, flags, 0666);
    if (fd < 0) return nullptr;
    // Truncated only once known to be a regular file: O_TRUNC on the open would
    // also act on whatever else the name stands for.
    if ((flags & O_ACCMODE) != O_RDONLY && (flags & O_EXCL) == 0 && ::ftruncate(fd, 0) != 0) {
        const int error = errno;
        ::close(fd);
        errno = error;
        return nullptr;
    }
    std::FILE* file = ::fdopen(fd, mode);
    if (file == nullptr) ::close(fd);
    return file;
}

}  // namespace

int ZULOpenRegularFile(const std::string& fileName) {
    return OpenRegular(fileName, O_RDONLY, 0);
}

std::string ZULFileKindText(unsigned int mode) {
    if (S_ISDIR(mode)) return ZULFormat(ZUL_TEXT("FileIO", "a folder"));
    if (S_ISLNK(mode)) return ZULFormat(ZUL_TEXT("FileIO", "a symbolic link"));
    if (S_ISFIFO(mode)) return ZULFormat(ZUL_TEXT("FileIO", "a FIFO (named pipe)"));
    if (S_ISCHR(mode) || S_ISBLK(mode)) return ZULFormat(ZUL_TEXT("FileIO", "a device"));
    if (S_ISSOCK(mode)) return ZULFormat(ZUL_TEXT("FileIO", "a socket"));
    return "";
}

std::string ZULFileKindText(const std::string& fileName) {
    struct stat info {};
    return ::lstat(fileName.c_str(), &info) == 0 ? ZULFileKindText(info.st_mode) : "";
}

bool ZULReadRegularFile(const std::string& fileName, size_t maxSize, std::string& text) {
    text.clear();
    const int fd = ZULOpenRegularFile(fileName);
    if (fd < 0) return false;
    struct stat info {};
    if (::fstat(fd, &info) == 0 && static_cast<uint64_t>(info.st_size) > maxSize) {
        ::close(fd);
        errno = EFBIG;
        return false;
    }
    // Read to one byte past the limit: the size a stat reports can change under us.
    std::string bytes(maxSize < 65536 ? maxSize + 1 : 65536, '\0');
    size_t done = 0;
    for (;;) {
        if (done == bytes.size()) {
            if (bytes.size() > maxSize) break;
            bytes.resize(std::min(bytes.size() * 2, maxSize + 1));
        }
        const ssize_t got = ::read(fd, bytes.data() + done, bytes.size() - done);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) {
            const int error = errno;
            ::close(fd);
            errno = error;
            return false;
        }
        if (got == 0) break;
        done += static_cast<size_t>(got);
    }
    ::close(fd);
    if (done > maxSize) {
        errno = EFBIG;
        return false;
    }
    bytes.resize(done);
    text = std::move(bytes);
    return true;
}

TZULFileIO::~TZULFileIO() {
    if (file_ != nullptr) std::fclose(file_);
}

bool TZULFileIO::WriteFile(const std::string& fileName, const std::vector<std::string>* lines) {
    if (lines == nullptr) {
        errors_.AddError(Module, "WriteFile", InvalidList);
        return false;
    }
    return WriteWith(fileName, [this, lines] { return WriteLines(*lines); });
}

bool TZULFileIO::WriteText(const std::string& fileName, const std::string& text) {
    return WriteWith(fileName, [this, &text] { return WriteBytes(text.data(), text.size()); });
}

bool TZULFileIO::WriteNewText(const std::string& fileName, const std::string& text, bool& nameTaken) {
    return WriteWith(
        fileName, [this, &text] { return WriteBytes(text.data(), text.size()); }, &nameTaken);
}

bool TZULFileIO::CreateNew(const std::string& fileName, bool& nameTaken) {
    if (file_ != nullptr) CloseNew();
    file_ = OpenStream(fileName, O_WRONLY | O_CREAT | O_EXCL, "wb");
    nameTaken = file_ == nullptr && errno == EEXIST;
    if (file_ == nullptr) {
        if (!nameTaken)
            errors_.AddError(Module, "WriteFile",
                             ZULFormat(ZUL_TEXT("FileIO", "Could not open '%1' for writing"), {fileName}));
        return false;
    }
    std::setvbuf(file_, nullptr, _IONBF, 0);
    struct stat made {};
    newInode_ = ::fstat(::fileno(file_), &made) == 0 ? made.st_ino : 0;
    newName_ = fileName;
    return true;
}

bool TZULFileIO::AppendText(const std::string& text) {
    if (file_ == nullptr) return false;
    if (const int error = WriteBytes(text.data(), text.size())) {
        FailNew(error);
        return false;
    }
    return true;
}

bool TZULFileIO::CloseNew() {
    if (file_ == nullptr) return true;
    // A full disk or an I/O error may only show when the file is closed.
    const int error = CloseFile();
    if (error == 0) return true;
    FailNew(error);
    return false;
}

void TZULFileIO::FailNew(int error) {
    if (file_ != nullptr) CloseFile();
    struct stat named {};
    // Only the file CreateNew made goes; whatever took its name since stays.
    if (::lstat(newName_.c_str(), &named) == 0 && named.st_ino == newInode_) ::unlink(newName_.c_str());
    errors_.AddError(
        Module, "WriteFile",
        ZULFormat(ZUL_TEXT("FileIO", "Could not write '%1': %2"), {newName_, GetErrorText(error)}));
}

bool TZULFileIO::WriteWith(const std::string& fileName, const std::function<int()>& writeContent,
                           bool* nameTaken) {
    const char* const function = "WriteFile";
    // O_EXCL: created exclusively, so an existing file (or a link) is never opened, let alone emptied.
    file_ = OpenStream(fileName, O_WRONLY | O_CREAT | (nameTaken != nullptr ? O_EXCL : 0), "wb");
    if (nameTaken != nullptr) *nameTaken = file_ == nullptr && errno == EEXIST;
    if (file_ == nullptr && nameTaken != nullptr && *nameTaken) return false;
    if (file_ == nullptr) {
        errors_.AddError(Module, function,
                         ZULFormat(ZUL_TEXT("FileIO", "Could not open '%1' for writing"), {fileName}));
        return false;
    }
    // Our own blocks are the buffer; a second copy through stdio's would only cost time.
    std::setvbuf(file_, nullptr, _IONBF, 0);
    int writeError = 0;
    try {
        writeError = writeContent();
    } catch (const std::exception& e) {
        errors_.AddError(Module, function,
                         ZULFormat(ZUL_TEXT("FileIO", "Exception occured: %1"), {e.what()}));
        CloseFile();
        if (nameTaken != nullptr) ::unlink(fileName.c_str());
        return false;
    }
    // A full disk or an I/O error may only show when the file is closed.
    const int closeError = CloseFile();
    if (writeError == 0) writeError = closeError;
    if (writeError != 0) {
        // A file this call created holds nothing anyone asked for: a cut-off copy would
        // pass for the whole.
        if (nameTaken != nullptr) ::unlink(fileName.c_str());
        errors_.AddError(
            Module, function,
            ZULFormat(ZUL_TEXT("FileIO", "Could not write '%1': %2"), {fileName, GetErrorText(writeError)}));
        return false;
    }
    return true;
}

int TZULFileIO::WriteLines(const std::vector<std::string>& lines) {
    std::string block;
    block.reserve(WriteBlockSize);
    for (const std::string& line : lines) {
        if (block.size() + line.size() + 2 > WriteBlockSize && !block.empty()) {
            if (const int error = WriteBytes(block.data(), block.size())) return error;
            block.clear();
        }
        if (line.size() + 2 > WriteBlockSize) {
            // Too long to gather: written straight from the caller's string.
            if (const int error = WriteBytes(line.data(), line.size())) return error;
            block.append("\r\n");
            continue;
        }
        block.append(line).append("\r\n");
    }
    return WriteBytes(block.data(), block.size());
}

int TZULFileIO::WriteBytes(const char* data, size_t size) {
    if (size == 0) return 0;
    errno = 0;
    if (std::fwrite(data, 1, size, file_) == size) return 0;
    return errno != 0 ? errno : EIO;
}

int TZULFileIO::CloseFile() {
    errno = 0;
    const int result = std::fclose(file_);
    file_ = nullptr;
    if (result == 0) return 0;
    return errno != 0 ? errno : EIO;
}

bool TZULFileIO::ReadFile(const std::string& fileName, std::vector<std::string>* lines) {
    const char* const function = "ReadFile";
    if (lines == nullptr) {
        errors_.AddError(Module, function, InvalidList);
        return false;
    }
    lines->clear();
    // Anything but a regular file (a folder, a pipe, a device) is no file to read:
    // the same failure as a missing file.
    file_ = OpenStream(fileName, O_RDONLY, "rb");
    if (file_ == nullptr) {
        errors_.AddError(Module, function,
                         ZULFormat(ZUL_TEXT("FileIO", "Could not open '%1' for reading"), {fileName}));
        return false;
    }
    int readError = 0;
    try {
        readError = ReadLines(*lines);
    } catch (const std::exception& e) {
        errors_.AddError(Module, function,
                         ZULFormat(ZUL_TEXT("FileIO", "Exception occured: %1"), {e.what()}));
        CloseFile();
        return false;
    }
    CloseFile();
    // Stopping at a read error is not the end of the file: the list would silently be short.
    if (readError != 0) {
        errors_.AddError(
            Module, function,
            ZULFormat(ZUL_TEXT("FileIO", "Could not read '%1': %2"), {fileName, GetErrorText(readError)}));
        return false;
    }
    return true;
}

int TZULFileIO::ReadLines(std::vector<std::string>& lines) {
    std::string block(ReadBlockSize, '\0');
    std::string line;
    for (;;) {
        errno = 0;
        const size_t count = std::fread(block.data(), 1, block.size(), file_);
        if (count == 0) break;
        const char* begin = block.data();
        const char* const end = begin + count;
        while (const char* lineFeed =
                   static_cast<const char*>(std::memchr(begin, '\n', static_cast<size_t>(end - begin)))) {
            line.append(begin, lineFeed);
            DropLineEndCarriageReturn(line);
            lines.push_back(std::move(line));
            line.clear();
            begin = lineFeed + 1;
        }
        line.append(begin, end);
    }
    // Whatever is left in line was not ended by a line feed and is not a line.
    if (std::ferror(file_)) return errno != 0 ? errno : EIO;
    return 0;
}
