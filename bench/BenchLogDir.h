#pragma once
// A folder for the log files of one benchmark, below $TMPDIR (default /tmp), removed
// with everything in it. Thousands of log files are made and deleted per run: on a
// disk file system the creation of new files after many deletions can cost more
// than the whole engine, so TMPDIR=/dev/shm measures the engine alone.

#include <stdlib.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

class BenchLogDir {
public:
    BenchLogDir() {
        std::string pattern = (std::filesystem::temp_directory_path() / "kestrun_bench_XXXXXX").string();
        // Without a folder of its own there is nothing the destructor may remove.
        if (mkdtemp(pattern.data()) == nullptr) {
            std::perror("kestrun bench: cannot make a folder for the log files");
            std::abort();
        }
        path_ = pattern + "/";
    }
    ~BenchLogDir() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    BenchLogDir(const BenchLogDir&) = delete;
    BenchLogDir& operator=(const BenchLogDir&) = delete;

    // Removes the files written so far.
    void Empty() const {
        for (const auto& entry : std::filesystem::directory_iterator(path_)) std::filesystem::remove(entry);
    }
    // The folder with a trailing '/'.
    const std::string& Path() const { return path_; }

private:
    std::string path_;
};
