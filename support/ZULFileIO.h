#pragma once
// Reads a text file into lines and writes lines into a text file, byte for byte,
// with CR LF line ends. Never throws: failures become entries of its own error
// history and a false result. One object serves one call at a time.

#include <sys/types.h>

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "ZULErrorHistory.h"

// Opens fileName for reading if it is a regular file: a pipe, a device or a folder
// is refused without waiting for a writer (errno EINVAL). The descriptor blocks
// normally once open; -1 on failure, with errno telling why.
int ZULOpenRegularFile(const std::string& fileName);
// The whole regular file in text, when it holds at most maxSize bytes; false
// otherwise (errno EFBIG for a larger file, else as ZULOpenRegularFile).
bool ZULReadRegularFile(const std::string& fileName, size_t maxSize, std::string& text);
// What a file of that mode is when it is no regular file, for the user: "a folder",
// "a symbolic link", "a FIFO (named pipe)", "a device" or "a socket"; "" for a
// regular file.
std::string ZULFileKindText(unsigned int mode);
// The same for the file fileName names itself (a link is not followed); "" also
// when there is none.
std::string ZULFileKindText(const std::string& fileName);

class TZULFileIO {
public:
    TZULFileIO() = default;
    ~TZULFileIO();
    TZULFileIO(const TZULFileIO&) = delete;
    TZULFileIO& operator=(const TZULFileIO&) = delete;

    // Files are opened without following a link in their last component and only
    // when they are (or are created as) regular files: a pipe never blocks a call.

    // Creates or empties the file and writes every line followed by CR LF.
    // lines == nullptr records "Invalid TStringList pointer given!". A write or close
    // that fails (full disk, I/O error) gives false; the lines written so far stay.
    bool WriteFile(const std::string& fileName, const std::vector<std::string>* lines);
    // Creates or empties the file and writes text as it stands (its lines already
    // ended); failures as for WriteFile, recorded under the same function name.
    bool WriteText(const std::string& fileName, const std::string& text);
    // Like WriteText, but only into a file of that name that does not exist yet
    // (a dangling link counts as existing). When the name is taken nothing is
    // written or recorded, and nameTaken becomes true. A write that fails removes
    // the file it created.
    bool WriteNewText(const std::string& fileName, const std::string& text, bool& nameTaken);
    // A new file that text is added to as it comes: CreateNew makes it as WriteNewText
    // would (nameTaken likewise; "Could not open" recorded), AppendText writes text as it
    // stands, CloseNew closes it. A write or close that fails is recorded, removes the
    // file (a cut-off copy would pass for the whole) and gives false; the file is then
    // closed. Between CreateNew and CloseNew the object serves no other call.
    bool CreateNew(const std::string& fileName, bool& nameTaken);
    bool AppendText(const std::string& text);
    bool CloseNew();
    // Empties the list, then reads lines ended by LF or CR LF until the end of the file.
    // A last line without a line feed is not added. A read error gives false, with
    // the lines read so far left in the list.
    bool ReadFile(const std::string& fileName, std::vector<std::string>* lines);
    TZULError GetLatestError() const { return errors_.GetLatestError(); }

private:
    // Opens, runs writeContent, closes, and records any failure.
    // nameTaken, when given, asks for a new file and tells whether the name was taken.
    bool WriteWith(const std::string& fileName, const std::function<int()>& writeContent,
                   bool* nameTaken = nullptr);
    // These return 0 or the errno of the failure.
    int WriteLines(const std::vector<std::string>& lines);
    int WriteBytes(const char* data, size_t size);
    int ReadLines(std::vector<std::string>& lines);
    int CloseFile();
    // Records the failure of the new file, closes it and removes it.
    void FailNew(int error);

    std::FILE* file_ = nullptr;  // open during a ReadFile or WriteFile call, or from CreateNew to CloseNew
    std::string newName_;        // the file CreateNew made
    ino_t newInode_ = 0;
    TZULErrorHistory errors_;
};
