#pragma once
// The fuzzer's input as a file in a private scratch folder, for code that reads
// files by name (a /proc/self/fd name would not do: such files are opened without
// following links).

#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "FuzzInput.h"

// Holds one file at a time; each Hold replaces its bytes.
class TScratchFile {
public:
    explicit TScratchFile(const char* name) {
        const char* tmp = std::getenv("TMPDIR");
        std::string pattern =
            std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/kestrun_fuzz_XXXXXX";
        Require(mkdtemp(pattern.data()) != nullptr, "a scratch folder can be made");
        folder_ = pattern;
        path_ = folder_ + "/" + name;
    }
    ~TScratchFile() {
        unlink(path_.c_str());
        rmdir(folder_.c_str());
    }
    TScratchFile(const TScratchFile&) = delete;
    TScratchFile& operator=(const TScratchFile&) = delete;

    const std::string& Path() const { return path_; }
    const std::string& Hold(const void* data, size_t size) {
        const int fd = open(path_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        Require(fd >= 0, "the scratch file opens");
        const char* bytes = static_cast<const char*>(data);
        for (size_t done = 0; done < size;) {
            const ssize_t written = write(fd, bytes + done, size - done);
            Require(written > 0, "the scratch file takes the bytes");
            done += static_cast<size_t>(written);
        }
        close(fd);
        return path_;
    }

private:
    std::string folder_;
    std::string path_;
};
