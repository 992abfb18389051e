#include "VerInfo.h"

#include <sys/stat.h>

namespace {

bool SameFile(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// Whether fileName stands for the running program: no name, a name that cannot be
// found (the program's own texts are the fallback), or the executable itself.
bool NamesRunningProgram(const std::string& fileName) {
    if (fileName.empty()) return true;
    struct stat named {};
    if (::stat(fileName.c_str(), &named) != 0) return true;
    struct stat self {};
    return ::stat("/proc/self/exe", &self) == 0 && SameFile(named, self);
}

// The running program's texts, by index.
constexpr const char* ProgramTexts[10] = {
    "Kestrun",                                  // CompanyName
    "Kestrun serial capture and parsing tool",  // FileDescription
    KESTRUN_VERSION_QUAD,                       // FileVersion
    "kestrun",                                  // InternalName
    "",                                         // LegalCopyright
    "",                                         // LegalTrademarks
    "kestrun",                                  // OriginalFilename
    "Kestrun",                                  // ProductName
    KESTRUN_VERSION,                            // ProductVersion
    "",                                         // Comments
};

}  // namespace

VerInfo::VerInfo(const std::string& fileName) {
    if (!NamesRunningProgram(fileName)) return;  // other files carry no version texts
    for (size_t i = 0; i < texts_.size(); ++i) texts_[i] = ProgramTexts[i];
}

std::string VerInfo::GetVersionString(int index) const {
    constexpr int fileVersion = 2;
    if (index < 0 || index >= static_cast<int>(texts_.size())) index = fileVersion;
    return texts_[static_cast<size_t>(index)];
}
