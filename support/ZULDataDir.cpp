#include "ZULDataDir.h"

#include <filesystem>
#include <system_error>

#include "ZULAppDir.h"

namespace {

std::string WithTrailingSlash(std::string path) {
    if (path.empty() || path.back() != '/') path += '/';
    return path;
}

}  // namespace

std::string ZULFindSamplesDir(const std::string& exeDir, const std::string& installedFromExe,
                              const std::string& sourceDir) {
    if (!exeDir.empty()) {
        const std::filesystem::path installed =
            (std::filesystem::path(exeDir) / installedFromExe).lexically_normal();
        std::error_code ignored;
        if (std::filesystem::is_directory(installed, ignored)) return WithTrailingSlash(installed.string());
    }
    return WithTrailingSlash(sourceDir);
}

std::string ZULGetSamplesDir() {
    return ZULFindSamplesDir(ZULGetExeDir(), KESTRUN_INSTALLED_SAMPLES_DIR, KESTRUN_SOURCE_SAMPLES_DIR);
}
