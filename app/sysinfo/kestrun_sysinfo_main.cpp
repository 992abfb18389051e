// kestrun-sysinfo: writes a report of the system's serial ports and resources for
// a bug report, as 16-bit little-endian text with a byte order mark.
//
//   kestrun-sysinfo /report <file> /categories <+Name+Name-Name...>
//
// Categories: SystemSummary, Resources, ResourcesConflicts, ResourcesDMA,
// ResourcesForcedHardware, ResourcesIO, ResourcesIRQS, ResourcesMemory. The serial
// ports are always reported. The file appears complete or not at all: it is written
// into <file>.part, which must not exist yet, and renamed. Exit status: 0 written,
// 1 not written, 2 bad command line.
//
// KESTRUN_SYSINFO_ROOT, when set, is a folder that stands for "/": /proc, /sys, /dev
// and /etc are read under it. Tests use it to present a prepared system.

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "ZSysInfoReport.h"

namespace {

const char* const Usage =
    "usage: kestrun-sysinfo /report <file> /categories <+Name+Name-Name...>\n"
    "categories: SystemSummary Resources ResourcesConflicts ResourcesDMA ResourcesForcedHardware\n"
    "            ResourcesIO ResourcesIRQS ResourcesMemory (the serial ports are always reported)\n"
    "KESTRUN_SYSINFO_ROOT=<folder> reads /proc, /sys, /dev and /etc under that folder.\n";

// The ".part" file is made afresh, never through a link or over someone else's file, and
// renamed into place once it is complete.
bool WriteReport(const std::string& fileName, const std::string& bytes) {
    const std::string partName = fileName + ".part";
    const int fd = ::open(partName.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) {
        std::fprintf(stderr, "kestrun-sysinfo: cannot write '%s': %s\n", partName.c_str(),
                     std::strerror(errno));
        return false;
    }
    size_t written = 0;
    while (written < bytes.size()) {
        const ssize_t count = ::write(fd, bytes.data() + written, bytes.size() - written);
        if (count < 0 && errno == EINTR) continue;
        if (count <= 0) break;
        written += static_cast<size_t>(count);
    }
    const bool complete = written == bytes.size();
    const bool closed = ::close(fd) == 0;
    if (!complete || !closed || std::rename(partName.c_str(), fileName.c_str()) != 0) {
        std::fprintf(stderr, "kestrun-sysinfo: cannot write '%s': %s\n", fileName.c_str(),
                     std::strerror(errno));
        ::unlink(partName.c_str());
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    std::string fileName;
    std::string categories;
    bool haveFile = false;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if ((argument == "/report" || argument == "/categories") && i + 1 < argc) {
            (argument == "/report" ? fileName : categories) = argv[++i];
            haveFile = haveFile || argument == "/report";
        } else {
            std::fputs(Usage, argument == "--help" ? stdout : stderr);
            return argument == "--help" ? 0 : 2;
        }
    }
    if (!haveFile || fileName.empty()) {
        std::fputs(Usage, stderr);
        return 2;
    }
    const char* root = std::getenv("KESTRUN_SYSINFO_ROOT");
    ZSysInfoReport report(root != nullptr ? root : "");
    std::string text;
    for (const std::string& line : report.Build(ParseSysInfoCategories(categories), categories))
        text += line + "\r\n";
    return WriteReport(fileName, Utf8ToUtf16LeWithBom(text)) ? 0 : 1;
}
