#include "ZCliCaptureCommand.h"

#include <chrono>
#include <sstream>
#include <thread>

#include "Serial.h"
#include "ZCliCaptureSession.h"
#include "ZCliSendCommand.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr auto kWaitStep = std::chrono::milliseconds(50);
constexpr auto kDisplayInterval = std::chrono::milliseconds(250);

void ChoosePort(const ZCliCaptureOptions& options, ZLogger& logger) {
    if (!options.Device.empty()) {
        logger.GetPort().SetDevicePath(options.Device);
    } else if (options.Port > 0) {
        logger.SetCOMPort(options.Port);
    }
    if (options.Baudrate > 0) logger.SetBaudrate(options.Baudrate);
}

std::string DescribePort(const ZCliCaptureOptions& options, ZLogger& logger) {
    const std::string device = logger.GetPort().GetDevicePath();
    if (!options.Device.empty()) return device;
    return "COM" + std::to_string(logger.GetCOMPort()) + " (" + device + ")";
}

// Why the open failed. A COM number that the scan did not find never reaches a
// device, so the port itself could only say that no port is chosen.
std::string OpenFailureReason(const ZCliCaptureOptions& options, ZLogger& logger) {
    if (options.Device.empty() && options.Port > 0 && !COMAvailable(options.Port))
        return PortRefusalText(options.Port) + " \"kestrun-cli ports\" lists the ports present.";
    return logger.GetOpenFailureText();
}

// The engine records a port that hung up or vanished in its error history; the
// capture cannot receive anything more after that.
bool PortWasLost(TZULErrorHistory& errors) {
    for (int i = errors.GetCount() - 1; i >= 0; --i) {
        if (errors.GetError(i).Function == "PollPort") return true;
    }
    return false;
}

std::string CounterLine(const ZCliCounters& c) {
    std::ostringstream line;
    line << "Total " << c.TotalBytes << " B | trash " << c.TrashedBytes << " B | start " << c.StartTriggers
         << " | stop " << c.StopTriggers << " | data " << c.DataPackets << " (" << c.DataPacketBytes << " B)";
    if (!c.DataTriggerCounts.empty()) {
        line << " | triggers";
        for (uint64_t count : c.DataTriggerCounts) line << ' ' << count;
    }
    if (c.ChecksumGood + c.ChecksumBad > 0)
        line << " | checksums " << c.ChecksumGood << " good, " << c.ChecksumBad << " bad";
    return line.str();
}

enum class WaitResult { Finished, PortLost };

// A capture that reconnects goes on after a loss; the user learns of each change.
void ShowPortState(bool& waiting, ZCliCaptureSession& session, ZCliContext& context) {
    if (session.Logger().IsWaitingForPort() == waiting) return;
    waiting = !waiting;
    if (context.ErrIsTerminal) context.Err << "\r\x1b[K";
    context.Err << (waiting ? "The COM port was lost; waiting for it to come back...\n"
                            : "The COM port is back.\n");
}

WaitResult WaitWhileCapturing(const ZCliCaptureOptions& options, ZCliCaptureSession& session,
                              ZCliContext& context, ZCliSender& sender) {
    const bool reconnect = session.Settings().Reconnect;
    bool waiting = false;
    const auto start = Clock::now();
    const auto duration = std::chrono::duration<double>(options.DurationSeconds);
    auto nextDisplay = start;
    for (;;) {
        const auto now = Clock::now();
        if (context.ErrIsTerminal && now >= nextDisplay) {
            context.Err << '\r' << CounterLine(session.Counters()) << "\x1b[K" << std::flush;
            nextDisplay = now + kDisplayInterval;
        }
        session.FlushFrameExport();
        if (context.IsStopRequested()) return WaitResult::Finished;
        if (options.DurationSeconds > 0 && now - start >= duration) return WaitResult::Finished;
        if (reconnect) {
            ShowPortState(waiting, session, context);
        } else if (PortWasLost(session.Logger().GetErrorHistory())) {
            return WaitResult::PortLost;
        }
        if (!sender.Empty()) sender.SendDue(session.Logger(), Clock::now(), context.Err);
        // A repeat falls due between two looks at the counters: the wait ends then.
        std::this_thread::sleep_until(std::min(Clock::now() + kWaitStep, sender.NextDue()));
    }
}

}  // namespace

void ZCliChoosePort(const ZCliCaptureOptions& options, ZLogger& logger) {
    ChoosePort(options, logger);
}
std::string ZCliDescribePort(const ZCliCaptureOptions& options, ZLogger& logger) {
    return DescribePort(options, logger);
}
std::string ZCliOpenFailureReason(const ZCliCaptureOptions& options, ZLogger& logger) {
    return OpenFailureReason(options, logger);
}

bool ZCliPortWasLost(ZLogger& logger) {
    return PortWasLost(logger.GetErrorHistory());
}
void ZCliShowPortState(bool& waiting, ZCliCaptureSession& session, ZCliContext& context) {
    ShowPortState(waiting, session, context);
}

int ZCliStartLiveCapture(const ZCliCaptureOptions& options, ZCliCaptureSession& session, ZCliContext& context) {
    session.SetCaptureOptions(options.Reconnect, options.RawFile);
    session.SetPreciseTime(options.PreciseTime);
    if (int code = session.Prepare(options.SettingsFile, options.OutDir); code != kCliExitOk) return code;
    ZLogger& logger = session.Logger();
    ChoosePort(options, logger);
    // A timed recording names the port it records, which is known only now.
    if (int code = session.CreateRawRecording(); code != kCliExitOk) return code;

    if (int code = session.OpenFrameExport(options.FramesFile); code != kCliExitOk) {
        session.Abandon();
        return code;
    }
    const std::string device = logger.GetPort().GetDevicePath();
    const std::string portName =
        options.Device.empty() ? "COM" + std::to_string(logger.GetCOMPort()) : device;
    if (int code = session.OpenPcap(options.PcapFile, portName, device); code != kCliExitOk) {
        session.Abandon();
        return code;
    }
    const std::string portText = DescribePort(options, logger);
    const int32_t baudrate = logger.GetBaudrate();
    session.ResetCounters();
    if (!logger.StartCapture()) {
        session.Abandon();
        if (!logger.GetStartErrorText().empty()) {
            context.Err << logger.GetStartErrorText() << '\n';
            return kCliExitFailed;
        }
        context.Err << "The COM port could not be opened...\n";
        if (const std::string reason = OpenFailureReason(options, logger); !reason.empty()) {
            context.Err << reason << '\n';
        }
        return kCliExitFailed;
    }
    context.Err << "Capturing from " << portText << " at " << baudrate << " baud";
    if (session.WritesLogFiles())
        context.Err << " into " << session.Settings().LogDir << '\n';
    else
        context.Err << " (no log files)\n";
    if (context.OnCaptureStarted) context.OnCaptureStarted();
    return kCliExitOk;
}

int ZCliFinishLiveCapture(const ZCliCaptureOptions& options, ZCliCaptureSession& session, ZCliContext& context,
                          const ZCliCaptureEnd& end, std::ostream& summary) {
    ZLogger& logger = session.Logger();
    const bool stopped = logger.StopCapture();
    const bool framesWritten = session.CloseFrameExport();
    if (end.AfterStop) end.AfterStop();
    if (end.CounterLine && context.ErrIsTerminal)
        context.Err << '\r' << CounterLine(session.Counters()) << "\x1b[K\n";

    ZCliCaptureReport report = session.TakeReport();
    report.ShowSent = end.ShowSent;
    report.SkippedSends = end.SkippedSends;
    uint64_t rawLost = 0;
    bool rawFailed = false;
    if (const ZRawRecorder* raw = logger.GetRawRecorder()) {
        context.Err << "The raw bytes are in " << raw->Path() << " (" << raw->BytesWritten() << " bytes)\n";
        rawFailed = raw->HasFailed();
        rawLost = raw->BytesRecorded() - raw->BytesWritten();
    }
    session.ReportPcap();
    if (options.Json) {
        report.PrintJson(context.Out);
    } else {
        report.PrintSummary(summary);
    }
    if (!stopped) {
        context.Err << "Capture could not be stopped!\n";
        return kCliExitFailed;
    }
    if (end.PortLost) {
        context.Err << "The capture ended early: the COM port was lost.\n";
        return kCliExitFailed;
    }
    const bool rawWritten = !rawFailed;
    if (!rawWritten) {
        context.Err << "The raw recording is incomplete: " << rawLost
                    << " bytes read from the port could not be written to it.\n";
    }
    const bool logged = report.CheckLogFiles(context.Err);
    return framesWritten && rawWritten && logged ? kCliExitOk : kCliExitFailed;
}

int ZCliRunCapture(const ZCliCaptureOptions& options, ZCliContext& context) {
    ZCliCaptureSession session(context);
    if (int code = ZCliStartLiveCapture(options, session, context); code != kCliExitOk) return code;
    ZCliSender sender(options.Sends);
    const WaitResult waited = WaitWhileCapturing(options, session, context, sender);
    ZCliCaptureEnd end;
    end.PortLost = waited == WaitResult::PortLost;
    end.ShowSent = !options.Sends.empty();
    end.SkippedSends = session.Logger().SkippedSends();
    end.CounterLine = true;
    return ZCliFinishLiveCapture(options, session, context, end, context.Out);
}
