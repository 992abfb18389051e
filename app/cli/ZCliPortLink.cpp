#include "ZCliPortLink.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>

#include "Funset_strings.h"
#include "ZULAppDir.h"

namespace {

std::string ReadLink(const std::string& path) {
    char buffer[PATH_MAX];
    const ssize_t length = readlink(path.c_str(), buffer, sizeof buffer);
    return length < 0 ? std::string() : std::string(buffer, static_cast<size_t>(length));
}

}  // namespace

std::string ZCliPortLink::LinkPath(int port) {
    return ZULGetAppDir() + "ports/com" + std::to_string(port);
}

bool ZCliPortLink::Create(int port, const std::string& target, std::string& errorText) {
    Remove();
    const std::string folder = ZULGetAppDir() + "ports";
    if (!ZULForceDirectories(folder)) {
        errorText = "Error creating the ports directory: \"" + folder + "\": " + GetLastErrorText();
        return false;
    }
    const std::string path = LinkPath(port);
    struct stat status {};
    if (lstat(path.c_str(), &status) == 0 && !S_ISLNK(status.st_mode)) {
        errorText = "\"" + path + "\" exists and is not a link; it is left as it is.";
        return false;
    }
    // Made beside it and renamed over it, so a stale link is replaced in one step.
    const std::string temporary = path + ".new" + std::to_string(getpid());
    unlink(temporary.c_str());
    if (symlink(target.c_str(), temporary.c_str()) != 0 || rename(temporary.c_str(), path.c_str()) != 0) {
        errorText = "The port link \"" + path + "\" could not be created: " + GetLastErrorText();
        unlink(temporary.c_str());
        return false;
    }
    path_ = path;
    target_ = target;
    return true;
}

void ZCliPortLink::Remove() {
    if (path_.empty()) return;
    if (ReadLink(path_) == target_) unlink(path_.c_str());
    path_.clear();
    target_.clear();
}
