#include "ZULAppDir.h"

#include <pwd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <system_error>
#include <vector>

namespace {

std::string WithTrailingSlash(std::string path) {
    if (path.empty() || path.back() != '/') path += '/';
    return path;
}

std::string Environment(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

std::string HomeFromPasswordDatabase() {
    std::vector<char> buffer(16384);
    passwd entry{};
    passwd* found = nullptr;
    if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) != 0 || found == nullptr)
        return "";
    return found->pw_dir != nullptr ? found->pw_dir : "";
}

}  // namespace

std::string ZULChooseAppDir(const ZULAppDirInputs& inputs) {
    if (!inputs.KestrunHome.empty()) return WithTrailingSlash(inputs.KestrunHome);
    if (!inputs.ExeDir.empty() && inputs.ExeDirWritable) return WithTrailingSlash(inputs.ExeDir);
    // A relative XDG_DATA_HOME is invalid by the base directory rules and must be ignored;
    // taking it would make the folder depend on the working directory.
    if (!inputs.XdgDataHome.empty() && inputs.XdgDataHome.front() == '/')
        return WithTrailingSlash(inputs.XdgDataHome) + "kestrun/";
    return WithTrailingSlash(inputs.Home) + ".local/share/kestrun/";
}

std::string ZULGetAppDir() {
    ZULAppDirInputs inputs;
    inputs.KestrunHome = Environment("KESTRUN_HOME");
    inputs.ExeDir = ZULGetExeDir();
    inputs.ExeDirWritable = !inputs.ExeDir.empty() && access(inputs.ExeDir.c_str(), W_OK) == 0;
    inputs.XdgDataHome = Environment("XDG_DATA_HOME");
    inputs.Home = Environment("HOME");
    if (inputs.Home.empty()) inputs.Home = HomeFromPasswordDatabase();
    return ZULChooseAppDir(inputs);
}

std::string ZULGetExeDir() {
    std::error_code error;
    const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error || exe.empty()) return "";
    return WithTrailingSlash(exe.parent_path().string());
}

bool ZULForceDirectories(const std::string& path) {
    // Callers explain a failure with GetLastErrorText, so errno must name its cause.
    if (path.empty()) {
        errno = ENOENT;
        return false;
    }
    std::error_code error;
    std::filesystem::create_directories(path, error);
    // An existing directory is success; create_directories reports that inconsistently across versions.
    std::error_code ignored;
    if (std::filesystem::is_directory(path, ignored)) return true;
    errno = error ? error.value() : EEXIST;
    return false;
}
