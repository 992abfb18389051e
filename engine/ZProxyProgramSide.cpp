#include "ZProxyProgramSide.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <utility>

#include "SerialPlatform.h"
#include "Termios2Speed.h"
#include "ZLogger.h"
#include "ZULText.h"

namespace {

constexpr const char* Module = "Proxy";

}  // namespace

ZProxyProgramSide::ZProxyProgramSide(ZLogger& logger) : logger_(logger) {}

ZProxyProgramSide::~ZProxyProgramSide() { End(); }

bool ZProxyProgramSide::CheckLinkPath(const std::string& path, std::string& errorText) {
    struct stat existing {};
    if (lstat(path.c_str(), &existing) != 0) return true;
    errorText = ZULFormat(
        ZUL_TEXT("Proxy", "The link path exists already: \"%1\". Choose a path that does not."), {path});
    return false;
}

void ZProxyProgramSide::ConfigureLines() {
    previousSecondLine_ = logger_.HasSecondLine();
    // Saved as enabled, so that the copy holds the second line's settings either way.
    logger_.SetSecondLine(true);
    previousLines_ = ZULIniFile();
    logger_.SavePortSettings(previousLines_);
    configured_ = true;
    logger_.SetNetworkPort("", 1);
    logger_.GetPort(1).SetDevicePath(PtyMasterDevice);
    logger_.SetForwarding(true);
    logger_.SetLineName(0, DeviceLineName);
    logger_.SetLineName(1, ProgramLineName);
}

void ZProxyProgramSide::RestoreLines() {
    if (!std::exchange(configured_, false)) return;
    logger_.SetForwarding(false);
    std::string ignored;
    // The copy holds a name only when one was set, and a network port only when one was chosen.
    logger_.SetLineName(0, "");
    logger_.SetLineName(1, "");
    logger_.SetNetworkPort("", 1);
    logger_.LoadPortSettings(previousLines_, ignored);
    logger_.SetSecondLine(previousSecondLine_);
}

bool ZProxyProgramSide::Serve(const std::string& path, std::string& errorText) {
    End();
    programDevice_ = logger_.GetPort(1).GetPeerDevice();
    programEnd_ = open(programDevice_.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    termios raw{};
    const bool ready = programEnd_ >= 0 && tcgetattr(programEnd_, &raw) == 0 &&
                       (cfmakeraw(&raw), tcsetattr(programEnd_, TCSANOW, &raw) == 0) &&
                       ReadProgramLine(known_) && symlink(programDevice_.c_str(), path.c_str()) == 0;
    if (ready) {
        linkPath_ = path;
        return true;
    }
    const int error = errno;
    errorText = ZULFormat(ZUL_TEXT("Proxy", "The link could not be made: \"%1\": %2"),
                          {path, std::strerror(error)});
    End();
    return false;
}

bool ZProxyProgramSide::ReadProgramLine(sProgramLine& line) const {
    termios settings{};
    if (tcgetattr(programEnd_, &settings) != 0 || !Termios2GetSpeed(programEnd_, line.Rate)) return false;
    line.TwoStopBits = (settings.c_cflag & CSTOPB) != 0;
    return true;
}

bool ZProxyProgramSide::FollowProgram(std::string& recorded) {
    sProgramLine now;
    if (programEnd_ < 0 || !ReadProgramLine(now) || now == known_) return false;
    known_ = now;
    const std::string rate = std::to_string(now.Rate);
    const std::string text =
        now.TwoStopBits ? ZULFormat(ZUL_TEXT("Proxy", "The program set %1 baud, 2 stop bits"), {rate})
                        : ZULFormat(ZUL_TEXT("Proxy", "The program set %1 baud, 1 stop bit"), {rate});
    if (!logger_.ChangeLine(0, static_cast<int32_t>(now.Rate), now.TwoStopBits ? sb_2 : sb_1)) {
        recorded = ZULFormat(ZUL_TEXT("Proxy", "%1, which the device refused"), {text});
        logger_.GetErrorHistory().AddError(Module, "FollowProgram", recorded);
        return true;
    }
    recorded = text;
    logger_.GetErrorHistory().AddInformation(Module, "FollowProgram", recorded);
    logger_.LogInformation(recorded);
    return true;
}

void ZProxyProgramSide::RemoveLink() {
    if (linkPath_.empty()) return;
    const std::string path = std::exchange(linkPath_, std::string());
    // Someone may have put something else there meanwhile: only this link goes.
    char target[PATH_MAX] = {};
    const ssize_t length = readlink(path.c_str(), target, sizeof target - 1);
    if (length > 0 && std::string(target, static_cast<size_t>(length)) == programDevice_) unlink(path.c_str());
}

void ZProxyProgramSide::End() {
    RemoveLink();
    if (programEnd_ >= 0) close(programEnd_);
    programEnd_ = -1;
}
