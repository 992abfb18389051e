// kestrun-sysinfo: writes a report of the system's serial ports and resources for
// a bug report, as 16-bit little-endian text with a byte order mark.
//
//   kestrun-sysinfo /report <file> /categories <+Name+Name-Name...>
//
// Categories: SystemSummary, Resources, ResourcesConflicts, ResourcesDMA,
// ResourcesForcedHardware, ResourcesIO, ResourcesIRQS, ResourcesMemory. The serial
// ports are always reported. The file appears complete or not at all (it is written
// under another name and renamed). Exit status: 0 written, 1 not written, 2 bad
// command line.
//
// KESTRUN_SYSINFO_ROOT, when set, is a folder that stands for "/": /proc, /sys, /dev
// and /etc are read under it. Tests use it to present a prepared system.

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

bool WriteReport(const std::string& fileName, const std::string& bytes) {
    const std::string partName = fileName + ".part";
    std::FILE* file = std::fopen(partName.c_str(), "wb");
    if (file == nullptr) {
        std::fprintf(stderr, "kestrun-sysinfo: cannot write '%s': %s\n", partName.c_str(),
                     std::strerror(errno));
        return false;
    }
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    const bool closed = std::fclose(file) == 0;
    if (!written || !closed || std::rename(partName.c_str(), fileName.c_str()) != 0) {
        std::fprintf(stderr, "kestrun-sysinfo: cannot write '%s': %s\n", fileName.c_str(),
                     std::strerror(errno));
        std::remove(partName.c_str());
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
