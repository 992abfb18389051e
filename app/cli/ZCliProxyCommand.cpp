#include "ZCliProxyCommand.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <climits>
#include <cstring>
#include <thread>

#include "SerialPlatform.h"
#include "Termios2Speed.h"
#include "ZCliCaptureSession.h"

namespace {

using Clock = std::chrono::steady_clock;

// The program's settings are looked at this often: a change reaches the device well
// within 50 ms.
constexpr auto kFollowStep = std::chrono::milliseconds(10);

// What a pseudo-terminal shows of the program's settings: the rate and the stop bits
// (the driver forces 8 data bits and no parity on every change).
struct ProgramLine {
    uint32_t Rate = 0;
    bool TwoStopBits = false;
    bool operator==(const ProgramLine&) const = default;
};

bool ReadProgramLine(int slave, ProgramLine& line) {
    termios settings{};
    if (tcgetattr(slave, &settings) != 0 || !Termios2GetSpeed(slave, line.Rate)) return false;
    line.TwoStopBits = (settings.c_cflag & CSTOPB) != 0;
    return true;
}

// The symbolic link to the program's side, removed at every way out, but only while
// it is still the link this proxy made.
class ProgramLink {
public:
    ProgramLink(std::string path, std::string target) : path_(std::move(path)), target_(std::move(target)) {}
    ~ProgramLink() { Remove(); }
    ProgramLink(const ProgramLink&) = delete;
    ProgramLink& operator=(const ProgramLink&) = delete;

    // False with errno set when the link cannot be made (an existing path included).
    bool Make() {
        made_ = symlink(target_.c_str(), path_.c_str()) == 0;
        return made_;
    }
    void Remove() {
        if (!made_) return;
        made_ = false;
        char target[PATH_MAX] = {};
        const ssize_t length = readlink(path_.c_str(), target, sizeof target - 1);
        if (length > 0 && std::string(target, static_cast<size_t>(length)) == target_) unlink(path_.c_str());
    }

private:
    std::string path_;
    std::string target_;
    bool made_ = false;
};

std::string ProgramLineText(const ProgramLine& line) {
    return "The program set " + std::to_string(line.Rate) + " baud, " +
           (line.TwoStopBits ? "2 stop bits" : "1 stop bit");
}

// Applies what the program set to the device, and records it.
void FollowProgram(int slave, ProgramLine& known, ZLogger& logger, ZCliContext& context) {
    ProgramLine now;
    if (!ReadProgramLine(slave, now) || now == known) return;
    known = now;
    const std::string text = ProgramLineText(now);
    if (!logger.ChangeLine(0, static_cast<int32_t>(now.Rate), now.TwoStopBits ? sb_2 : sb_1)) {
        logger.GetErrorHistory().AddError("Proxy", "FollowProgram", text + ", which the device refused");
        context.Err << text << ", which the device refused.\n";
        return;
    }
    logger.GetErrorHistory().AddInformation("Proxy", "FollowProgram", text);
    context.Err << text << ".\n";
}

enum class ProxyEnd { Stopped, DeviceLost };

// known: the program's side as it was before the program could reach it.
ProxyEnd ForwardUntilDone(const ZCliProxyOptions& options, ZCliCaptureSession& session, ZCliContext& context,
                          int slave, ProgramLine known) {
    ZLogger& logger = session.Logger();
    bool waiting = false;
    const auto start = Clock::now();
    const auto duration = std::chrono::duration<double>(options.Capture.DurationSeconds);
    for (;;) {
        if (context.IsStopRequested()) return ProxyEnd::Stopped;
        if (options.Capture.DurationSeconds > 0 && Clock::now() - start >= duration) return ProxyEnd::Stopped;
        if (session.Settings().Reconnect)
            ZCliShowPortState(waiting, session, context);
        else if (logger.IsLineLost(0))
            return ProxyEnd::DeviceLost;
        FollowProgram(slave, known, logger, context);
        session.FlushFrameExport();
        std::this_thread::sleep_for(kFollowStep);
    }
}

}  // namespace

int ZCliRunProxy(const ZCliProxyOptions& options, ZCliContext& context) {
    struct stat existing {};
    if (lstat(options.Link.c_str(), &existing) == 0) {
        context.Err << "The link path exists already: \"" << options.Link
                    << "\". Choose a path that does not.\n";
        return kCliExitFailed;
    }
    ZCliCaptureOptions capture = options.Capture;
    capture.Port2 = 0;
    capture.Device2 = PtyMasterDevice;
    capture.Baudrate2 = 0;
    // Forwarding waits on both ports: a byte goes on as soon as it is there.
    capture.PreciseTime = true;
    ZCliCaptureSession session(context);
    const auto asProxy = [](ZLogger& logger) {
        logger.SetForwarding(true);
        logger.SetLineName(0, "device");
        logger.SetLineName(1, "program");
    };
    if (int code = ZCliStartLiveCapture(capture, session, context, asProxy); code != kCliExitOk) return code;
    ZLogger& logger = session.Logger();
    const std::string slavePath = logger.GetPort(1).GetPeerDevice();
    // Kept open, so that the program may close and reopen its side, and so that its
    // settings can be read.
    const int slave = open(slavePath.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    ProgramLink link(options.Link, slavePath);
    termios raw{};
    ProgramLine known;
    const bool ready = slave >= 0 && tcgetattr(slave, &raw) == 0 &&
                       (cfmakeraw(&raw), tcsetattr(slave, TCSANOW, &raw) == 0) &&
                       ReadProgramLine(slave, known) && link.Make();
    ZCliCaptureEnd end;
    if (!ready) {
        context.Err << "The link could not be made: \"" << options.Link << "\": " << std::strerror(errno)
                    << '\n';
    } else {
        context.Err << "Serving the device to a program at " << options.Link << " (" << slavePath << ")\n";
        end.PortLost = ForwardUntilDone(options, session, context, slave, known) == ProxyEnd::DeviceLost;
    }
    link.Remove();
    const int code = ZCliFinishLiveCapture(capture, session, context, end, context.Out);
    if (slave >= 0) close(slave);
    return ready ? code : kCliExitFailed;
}
