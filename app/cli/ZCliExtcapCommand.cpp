#include "ZCliExtcapCommand.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <thread>

#include "Funset_strings.h"
#include "Serial.h"
#include "VerInfo.h"
#include "ZCliCaptureSession.h"
#include "ZFramePcap.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr const char* kInterfacePrefix = "kestrun-com";
constexpr auto kRelayStep = std::chrono::milliseconds(50);

void ListInterfaces(ZCliContext& context) {
    context.Out << "extcap {version=" << VerInfo().GetVersionString(8)
                << "}{display=Kestrun serial capture}\n";
    InitSerial(99);
    for (int n = 1; n <= LastCOM(); ++n) {
        if (!COMAvailable(n)) continue;
        context.Out << "interface {value=" << ZCliExtcapInterfaceName(n) << "}{display=Kestrun COM" << n
                    << " (" << PortDevicePath(n) << ")}\n";
    }
}

void ListConfig(int port, ZCliContext& context) {
    context.Out
        << "arg {number=0}{call=--settings}{display=Settings file}{type=fileselect}{mustexist=true}"
           "{tooltip=The .scs file that cuts the stream into frames (none: every chunk read is a packet)}\n"
        << "arg {number=1}{call=--port}{display=COM port}{type=integer}{range=1,99}{default=" << port
        << "}{tooltip=The COM port to capture from}\n"
        << "arg {number=2}{call=--baud}{display=Baud rate}{type=selector}"
           "{tooltip=The line's rate (default: the settings' rate)}\n"
        << "value {arg=2}{value=0}{display=As in the settings file}{default=true}\n";
    for (int32_t rate : Baudrates)
        context.Out << "value {arg=2}{value=" << rate << "}{display=" << rate << "}\n";
    context.Out << "arg {number=3}{call=--protocol}{display=Protocol}{type=string}"
                   "{tooltip=The Wireshark dissector that decodes each frame, e.g. mbrtu for Modbus RTU "
                   "(default: the settings' PcapProtocol)}\n";
}

// A private folder for the capture file, which is read and removed at once: only the
// two descriptors keep it.
int OpenRelaySource(ZCliCaptureSession& session, const std::string& ifName, const std::string& device,
                    const std::string& protocol, ZCliContext& context) {
    const char* tmp = std::getenv("TMPDIR");
    std::string dir = std::string(tmp != nullptr && *tmp == '/' ? tmp : "/tmp") + "/kestrun-extcap-XXXXXX";
    if (::mkdtemp(dir.data()) == nullptr) {
        context.Err << "A temporary folder could not be made: " << GetErrorText(errno) << '\n';
        return -1;
    }
    const std::string path = dir + "/capture.pcapng";
    int fd = -1;
    if (session.OpenPcap(path, ifName, device, protocol) == kCliExitOk) {
        fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
        if (fd < 0) context.Err << "The capture could not be read: " << GetErrorText(errno) << '\n';
    }
    ::unlink(path.c_str());
    ::rmdir(dir.c_str());
    return fd;
}

// Wireshark opens the FIFO's reading end before or after starting the program; the
// open waits for it without blocking a stop.
int OpenFifo(const std::string& fifo, ZCliContext& context) {
    for (;;) {
        const int fd = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC);
        if (fd >= 0) {
            struct stat info {};
            if (::fstat(fd, &info) == 0 && S_ISFIFO(info.st_mode)) return fd;
            ::close(fd);
            context.Err << "The FIFO is no FIFO: \"" << fifo << "\"\n";
            return -1;
        }
        if (errno != ENXIO) {
            context.Err << "The FIFO could not be opened: \"" << fifo << "\": " << GetErrorText(errno)
                        << '\n';
            return -1;
        }
        if (context.IsStopRequested()) return -1;
        std::this_thread::sleep_for(kRelayStep);
    }
}

// Hands what the capture file has grown by to the FIFO; false once the reader is gone
// or the file cannot be read.
bool Relay(int source, int fifo, const ZCliContext& context) {
    char buffer[65536];
    for (;;) {
        const ssize_t got = ::read(source, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return got == 0;
        for (ssize_t sent = 0; sent < got;) {
            const ssize_t put = ::write(fifo, buffer + sent, static_cast<size_t>(got - sent));
            if (put > 0) {
                sent += put;
                continue;
            }
            if (put < 0 && errno != EAGAIN && errno != EINTR) return false;
            // A reader that does not keep up holds the capture back, never a stop.
            if (context.IsStopRequested()) return false;
            pollfd writable{fifo, POLLOUT, 0};
            ::poll(&writable, 1, static_cast<int>(kRelayStep.count()));
        }
    }
}

// Waits up to one relay step for Wireshark to close its end of the FIFO; true once it
// has. Without anything to write, a closed reader shows only here (POLLERR).
bool ReaderGone(int fifo) {
    pollfd check{fifo, 0, 0};
    return ::poll(&check, 1, static_cast<int>(kRelayStep.count())) > 0 &&
           (check.revents & (POLLERR | POLLHUP)) != 0;
}

bool PortLost(TZULErrorHistory& errors) {
    for (int i = errors.GetCount() - 1; i >= 0; --i) {
        if (errors.GetError(i).Function == "PollPort") return true;
    }
    return false;
}

int Capture(const ZCliExtcapOptions& options, int port, ZCliContext& context) {
    if (options.Fifo.empty()) {
        context.Err << "A capture needs --fifo.\n";
        return kCliExitUsage;
    }
    // A reader that goes away must end the capture, not the program.
    ::signal(SIGPIPE, SIG_IGN);
    ZCliCaptureSession session(context);
    if (int code = session.Prepare(options.SettingsFile, ""); code != kCliExitOk) return code;
    ZLogger& logger = session.Logger();
    logger.SetCOMPort(port);
    if (options.Baudrate > 0) logger.SetBaudrate(options.Baudrate);
    const std::string device = logger.GetPort().GetDevicePath();
    const int source =
        OpenRelaySource(session, "COM" + std::to_string(port), device, options.Protocol, context);
    if (source < 0) return kCliExitFailed;
    const int fifo = OpenFifo(options.Fifo, context);
    if (fifo < 0) {
        ::close(source);
        return context.IsStopRequested() ? kCliExitOk : kCliExitFailed;
    }
    session.ResetCounters();
    int code = kCliExitOk;
    if (logger.StartCapture()) {
        if (context.OnCaptureStarted) context.OnCaptureStarted();
        bool readerThere = true;
        while (readerThere && !context.IsStopRequested()) {
            readerThere = Relay(source, fifo, context);
            if (PortLost(logger.GetErrorHistory())) {
                context.Err << "The capture ended early: the COM port was lost.\n";
                code = kCliExitFailed;
                break;
            }
            // An idle port writes nothing that would fail: the closed FIFO is looked for.
            readerThere = readerThere && !ReaderGone(fifo);
        }
        logger.StopCapture();
        if (readerThere) Relay(source, fifo, context);
    } else {
        context.Err << (logger.GetStartErrorText().empty() ? "The COM port could not be opened..."
                                                           : logger.GetStartErrorText())
                    << '\n';
        if (const std::string reason = logger.GetPort().GetLastOpenErrorText(); !reason.empty())
            context.Err << reason << '\n';
        code = kCliExitFailed;
    }
    ::close(fifo);
    ::close(source);
    return code;
}

}  // namespace

std::string ZCliExtcapInterfaceName(int port) {
    return kInterfacePrefix + std::to_string(port);
}

int ZCliExtcapInterfacePort(const std::string& name) {
    const std::string prefix = kInterfacePrefix;
    if (name.size() <= prefix.size() || name.size() > prefix.size() + 2 ||
        name.compare(0, prefix.size(), prefix) != 0)
        return 0;
    int port = 0;
    for (size_t i = prefix.size(); i < name.size(); ++i) {
        if (name[i] < '0' || name[i] > '9') return 0;
        port = port * 10 + (name[i] - '0');
    }
    return port >= 1 && port <= 99 && name[prefix.size()] != '0' ? port : 0;
}

int ZCliRunExtcap(const ZCliExtcapOptions& options, ZCliContext& context) {
    if (options.Interfaces) {
        ListInterfaces(context);
        return kCliExitOk;
    }
    const int port = options.Port > 0 ? options.Port : ZCliExtcapInterfacePort(options.Interface);
    if (port == 0) {
        context.Err << "This is no Kestrun interface: \"" << options.Interface << "\" (e.g. "
                    << ZCliExtcapInterfaceName(1) << ")\n";
        return kCliExitUsage;
    }
    if (options.Dlts) {
        context.Out << "dlt {number=" << ZPcapLinkTypeUpperPdu
                    << "}{name=WIRESHARK_UPPER_PDU}{display=Kestrun frames (exported PDU)}\n";
        return kCliExitOk;
    }
    if (options.Config) {
        ListConfig(port, context);
        return kCliExitOk;
    }
    if (options.Capture) return Capture(options, port, context);
    context.Err << "Ask for --extcap-interfaces, --extcap-dlts, --extcap-config or --capture.\n";
    return kCliExitUsage;
}
