#include "ZULFileIO.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <exception>

#include "Funset_strings.h"

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

bool IsDirectory(std::FILE* file) {
    struct stat info {};
    return fstat(fileno(file), &info) == 0 && S_ISDIR(info.st_mode);
}

}  // namespace

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

bool TZULFileIO::WriteWith(const std::string& fileName, const std::function<int()>& writeContent,
                           bool* nameTaken) {
    const char* const function = "WriteFile";
    // "x": created exclusively, so an existing file is never opened, let alone emptied.
    file_ = std::fopen(fileName.c_str(), nameTaken != nullptr ? "wbx" : "wb");
    if (nameTaken != nullptr) *nameTaken = file_ == nullptr && errno == EEXIST;
    if (file_ == nullptr && nameTaken != nullptr && *nameTaken) return false;
    if (file_ == nullptr) {
        errors_.AddError(Module, function, "Could not open '" + fileName + "' for writing");
        return false;
    }
    // Our own blocks are the buffer; a second copy through stdio's would only cost time.
    std::setvbuf(file_, nullptr, _IONBF, 0);
    int writeError = 0;
    try {
        writeError = writeContent();
    } catch (const std::exception& e) {
        errors_.AddError(Module, function, std::string("Exception occured: ") + e.what());
        CloseFile();
        return false;
    }
    // A full disk or an I/O error may only show when the file is closed.
    const int closeError = CloseFile();
    if (writeError == 0) writeError = closeError;
    if (writeError != 0) {
        errors_.AddError(Module, function, "Could not write '" + fileName + "': " + GetErrorText(writeError));
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
    file_ = std::fopen(fileName.c_str(), "rb");
    // A directory opens here, but it is no file to read: the same failure as a missing file.
    if (file_ != nullptr && IsDirectory(file_)) CloseFile();
    if (file_ == nullptr) {
        errors_.AddError(Module, function, "Could not open '" + fileName + "' for reading");
        return false;
    }
    int readError = 0;
    try {
        readError = ReadLines(*lines);
    } catch (const std::exception& e) {
        errors_.AddError(Module, function, std::string("Exception occured: ") + e.what());
        CloseFile();
        return false;
    }
    CloseFile();
    // Stopping at a read error is not the end of the file: the list would silently be short.
    if (readError != 0) {
        errors_.AddError(Module, function, "Could not read '" + fileName + "': " + GetErrorText(readError));
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
