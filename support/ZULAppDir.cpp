#include "ZULAppDir.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <vector>

namespace {

std::string WithTrailingSlash(std::string path) {
    if (path.empty() || path.back() != '/') path += '/';
    return path;
}

std::string WithoutTrailingSlash(std::string path) {
    while (path.size() > 1 && path.back() == '/') path.pop_back();
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

bool ZULIsSystemFolder(const std::string& folder) {
    static const char* const SystemFolders[] = {"/usr",   "/bin",    "/sbin", "/lib", "/lib32",
                                                "/lib64", "/libx32", "/opt",  "/etc"};
    const std::string path = WithTrailingSlash(folder);
    for (const char* system : SystemFolders) {
        const std::string prefix = WithTrailingSlash(system);
        if (path.compare(0, prefix.size(), prefix) == 0) return true;
    }
    return false;
}

bool ZULIsPrivateFolder(const std::string& folder) {
    std::string path = folder;
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    struct stat info {};
    if (path.empty() || ::lstat(path.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) return false;
    return info.st_uid == ::geteuid() && (info.st_mode & (S_IWGRP | S_IWOTH)) == 0 &&
           ::access(path.c_str(), W_OK) == 0;
}

std::string ZULChooseAppDir(const ZULAppDirInputs& inputs) {
    const std::string& home = inputs.KestrunHome;
    if (home == "~" || home.rfind("~/", 0) == 0) {
        // Only the home folder itself is ever meant: never a folder named "~".
        if (!inputs.Home.empty() && inputs.Home.front() == '/')
            return WithTrailingSlash(WithTrailingSlash(inputs.Home) + home.substr(home.size() > 1 ? 2 : 1));
    } else if (!home.empty() && home.front() == '/') {
        return WithTrailingSlash(home);
    } else if (!home.empty() && !inputs.CurrentDir.empty() && inputs.CurrentDir.front() == '/') {
        return WithTrailingSlash(WithTrailingSlash(inputs.CurrentDir) + home);
    }
    if (!inputs.ExeDir.empty() && inputs.ExeDirPrivate && !ZULIsSystemFolder(inputs.ExeDir))
        return WithTrailingSlash(inputs.ExeDir);
    // A relative XDG_DATA_HOME is invalid by the base directory rules and must be ignored;
    // taking it would make the folder depend on the working directory.
    if (!inputs.XdgDataHome.empty() && inputs.XdgDataHome.front() == '/')
        return WithTrailingSlash(inputs.XdgDataHome) + "kestrun/";
    // Without an absolute home the folder would depend on the working directory
    // (or be /.local/share): there is none.
    if (inputs.Home.empty() || inputs.Home.front() != '/') return "";
    return WithTrailingSlash(inputs.Home) + ".local/share/kestrun/";
}

bool ZULCheckOwnFolder(const std::string& folder, bool mayBeRoots, std::string& why) {
    char* resolved = ::realpath(folder.c_str(), nullptr);
    if (resolved == nullptr) {
        why = "it cannot be found (" + std::string(std::strerror(errno)) + ")";
        return false;
    }
    const std::string real = resolved;
    std::free(resolved);
    struct stat info {};
    if (::stat(real.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
        why = "it is not a folder";
        return false;
    }
    const std::string named = real == WithoutTrailingSlash(folder) ? std::string() : " (" + real + ")";
    if (info.st_uid != ::geteuid() && !(mayBeRoots && info.st_uid == 0)) {
        why = "it" + named + " belongs to another user";
        return false;
    }
    if ((info.st_mode & (S_IWGRP | S_IWOTH)) != 0) {
        why = "others may write to it" + named;
        return false;
    }
    return true;
}

bool ZULCheckAppDir(std::string& errorText) {
    const std::string dir = ZULGetAppDir();
    if (dir.empty()) {
        errorText =
            "There is no application directory: HOME is not an absolute folder and the password "
            "database names no home folder. Set HOME or KESTRUN_HOME to an absolute folder.";
        return false;
    }
    // A folder not made yet is checked where it would be made; a folder of root
    // above it (/home) is sound, since nobody else may create names there.
    std::string existing = WithoutTrailingSlash(dir);
    struct stat info {};
    while (::lstat(existing.c_str(), &info) != 0 && errno == ENOENT && existing.size() > 1) {
        const size_t slash = existing.rfind('/');
        existing = slash == 0 ? "/" : existing.substr(0, slash);
    }
    std::string why;
    if (ZULCheckOwnFolder(existing, existing != WithoutTrailingSlash(dir), why)) return true;
    errorText = "The application directory \"" + dir + "\" cannot be used: ";
    if (existing != WithoutTrailingSlash(dir))
        errorText += "the folder \"" + existing + "\" it would be made in: ";
    errorText += why + ". Another user could plant files there.";
    return false;
}

std::string ZULGetAppDir() {
    ZULAppDirInputs inputs;
    inputs.KestrunHome = Environment("KESTRUN_HOME");
    inputs.ExeDir = ZULGetExeDir();
    inputs.ExeDirPrivate = ZULIsPrivateFolder(inputs.ExeDir);
    inputs.XdgDataHome = Environment("XDG_DATA_HOME");
    inputs.Home = Environment("HOME");
    if (inputs.Home.empty() || inputs.Home.front() != '/') inputs.Home = HomeFromPasswordDatabase();
    std::error_code error;
    inputs.CurrentDir = std::filesystem::current_path(error).string();
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
