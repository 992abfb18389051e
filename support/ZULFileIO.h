#pragma once
// Reads a text file into lines and writes lines into a text file, byte for byte,
// with CR LF line ends. Never throws: failures become entries of its own error
// history and a false result. One object serves one call at a time.

#include <cstdio>
#include <string>
#include <vector>

#include "ZULErrorHistory.h"

class TZULFileIO {
public:
    TZULFileIO() = default;
    ~TZULFileIO();
    TZULFileIO(const TZULFileIO&) = delete;
    TZULFileIO& operator=(const TZULFileIO&) = delete;

    // Creates or empties the file and writes every line followed by CR LF.
    // lines == nullptr records "Invalid TStringList pointer given!". A write or close
    // that fails (full disk, I/O error) gives false; the lines written so far stay.
    bool WriteFile(const std::string& fileName, const std::vector<std::string>* lines);
    // Empties the list, then reads lines ended by LF or CR LF until the end of the file.
    // A last line without a line feed is not added. A read error gives false, with
    // the lines read so far left in the list.
    bool ReadFile(const std::string& fileName, std::vector<std::string>* lines);
    TZULError GetLatestError() const { return errors_.GetLatestError(); }

private:
    // These return 0 or the errno of the failure.
    int WriteLines(const std::vector<std::string>& lines);
    int WriteBytes(const char* data, size_t size);
    int ReadLines(std::vector<std::string>& lines);
    int CloseFile();

    std::FILE* file_ = nullptr;  // open only during a ReadFile or WriteFile call
    TZULErrorHistory errors_;
};
