#include "ZCliLiveCapture.h"

#include <algorithm>
#include <optional>
#include <cctype>
#include <sstream>
#include <thread>

#include "Serial.h"
#include "ZChecksum.h"
#include "ZCliCaptureSession.h"
#include "ZFrameCodec.h"
#include "ZLogger.h"
#include "ZULFileIO.h"
#include "ZULIniFile.h"

namespace {

using Clock = std::chrono::steady_clock;

// An algorithm's number, or its name as `kestrun-cli settings` prints it (in any case).
bool ParseChecksum(const std::string& text, int32_t& algorithm) {
    algorithm = ZChecksum::FromName(text);
    return algorithm >= 0;
}

std::string ChecksumChoices() {
    std::string choices;
    for (int32_t i = 0; i < ChecksumAlgorithmCount; ++i) {
        choices += (i == 0 ? "" : ", ") + std::to_string(i) + " \"" + ZChecksum::Name(i) + "\"";
    }
    return choices;
}

bool BuildDataSequence(const ZCliSendOptions& options, ZSendSequence& sequence, std::ostream& err) {
    std::string joined;
    for (const std::string& part : options.Data) joined += (joined.empty() ? "" : " ") + part;
    std::string error;
    if (!(options.Text ? ParseSendText(joined, sequence.Data, error)
                       : ParseSendHex(joined, sequence.Data, error))) {
        err << error << '\n';
        return false;
    }
    if (!options.Checksum.empty() && !ParseChecksum(options.Checksum, sequence.Checksum)) {
        err << "Unknown checksum \"" << options.Checksum << "\"; choose one of " << ChecksumChoices()
            << ".\n";
        return false;
    }
    sequence.ChecksumLSBFirst = options.ChecksumOrder.empty()
                                    ? ZSendSequence::DefaultLSBFirst(sequence.Checksum)
                                    : options.ChecksumOrder == "lsb";
    if (!options.LineEnd.empty()) sequence.LineEnd = SendLineEndFromName(options.LineEnd);
    if (!options.Encode.empty()) sequence.Encode = ZFrameEncodingFromName(options.Encode.c_str());
    sequence.ChecksumSkip = options.ChecksumSkip;
    sequence.Every = options.EveryMs;
    sequence.WaitAnswerMs = options.WaitAnswerMs;
    return true;
}

}  // namespace

bool ZCliBuildSends(const ZCliSendOptions& options, ZSendList& sends, std::ostream& err) {
    sends = ZSendList();
    if (!options.Data.empty()) {
        ZSendSequence sequence;
        if (!BuildDataSequence(options, sequence, err)) return false;
        sends.Items.push_back(std::move(sequence));
    }
    if (!options.SendFile.empty()) {
        const ZULIniFile ini(options.SendFile);
        if (!ini.LoadError().empty()) {
            err << "The settings file \"" << options.SendFile << "\" cannot be read: the file "
                << ini.LoadError()
                << (ZULFileKindText(options.SendFile).empty()
                        ? ""
                        : ", and a settings file must be a regular file")
                << ".\n";
            return false;
        }
        ZSendList list;
        list.ReadFromIni(ini);
        if (list.Items.empty()) {
            err << "The settings file \"" << options.SendFile << "\" holds no sequences to send ([_send]).\n";
            return false;
        }
        sends.Items.insert(sends.Items.end(), list.Items.begin(), list.Items.end());
        sends.GapMs = list.GapMs;
    }
    for (const ZSendSequence& sequence : sends.Items) {
        if (sequence.BuildBytes().size() > MaxSendBytes) {
            err << "The sequence is too long to send: " << sequence.BuildBytes().size() << " bytes (at most "
                << MaxSendBytes << ").\n";
            return false;
        }
    }
    return true;
}

ZCliSender::ZCliSender(const ZSendList& sends, ZSerialCapture& capture, int32_t gapMs) : capture_(capture) {
    SetLine(capture.GetLineTiming(), sends.GapMs != 0 ? sends.GapMs : gapMs);
    for (const ZSendSequence& sequence : sends.Items) Enqueue(sequence);
}

bool ZCliSender::SendDue(std::ostream& err) {
    std::string error;
    const bool sent =
        ZSendPacer::SendDue([this](const std::vector<uint8_t>& bytes, bool repeat,
                                   std::string& why) { return capture_.SendBytes(bytes, repeat, why); },
                            Clock::now(), error);
    if (sent) {
        lastError_.clear();
        return true;
    }
    if (error != lastError_) err << error << '\n';
    lastError_ = error;
    return false;
}

namespace {

constexpr auto kWaitStep = std::chrono::milliseconds(50);
constexpr auto kDisplayInterval = std::chrono::milliseconds(250);

void ChooseLinePort(int port, const std::string& device, int baudrate, ZLogger& logger, int line) {
    if (!device.empty()) {
        logger.GetPort(line).SetDevicePath(device);
    } else if (port > 0) {
        logger.SetCOMPort(port, line);
    }
    if (baudrate > 0) logger.SetBaudrate(baudrate, line);
}

void ChoosePort(const ZCliCaptureOptions& options, ZLogger& logger) {
    ChooseLinePort(options.Port, options.Device, options.Baudrate, logger, 0);
    // Naming the second line's port turns it on; the settings file may have it on already.
    if (options.Port2 > 0 || !options.Device2.empty()) logger.SetSecondLine(true);
    if (logger.HasSecondLine()) ChooseLinePort(options.Port2, options.Device2, options.Baudrate2, logger, 1);
}

// "COM<n> (<device>)", or the device path or network address that was chosen.
std::string DescribeLinePort(ZLogger& logger, int line, bool byPath) {
    const std::string device = logger.GetPort(line).GetDevicePath();
    if (byPath || !logger.GetNetworkPort(line).empty()) return device;
    return "COM" + std::to_string(logger.GetCOMPort(line)) + " (" + device + ")";
}

std::string DescribePort(const ZCliCaptureOptions& options, ZLogger& logger) {
    std::string text = DescribeLinePort(logger, 0, !options.Device.empty());
    if (!logger.HasSecondLine()) return text;
    text += " at " + std::to_string(logger.GetBaudrate(0)) + " baud (" + logger.GetLineName(0) + ") and ";
    text += DescribeLinePort(logger, 1, !options.Device2.empty());
    text += " (" + logger.GetLineName(1) + ")";
    return text;
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
// With two lines, only when both are lost.
bool PortWasLost(ZLogger& logger) {
    return logger.IsPortLost();
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
        } else if (PortWasLost(session.Logger())) {
            return WaitResult::PortLost;
        }
        if (!sender.Idle()) sender.SendDue(context.Err);
        // A send falls due between two looks at the counters: the wait ends then.
        const auto later = Clock::now();
        std::this_thread::sleep_until(std::min(later + kWaitStep, sender.NextDue(later)));
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
    return PortWasLost(logger);
}
void ZCliShowPortState(bool& waiting, ZCliCaptureSession& session, ZCliContext& context) {
    ShowPortState(waiting, session, context);
}

int ZCliStartLiveCapture(const ZCliCaptureOptions& options, ZCliCaptureSession& session, ZCliContext& context,
                         const std::function<void(ZLogger&)>& beforeStart) {
    session.SetCaptureOptions(options.Reconnect, options.RawFile);
    session.SetPreciseTime(options.PreciseTime);
    if (int code = session.Prepare(options.SettingsFile, options.OutDir); code != kCliExitOk) return code;
    ZLogger& logger = session.Logger();
    ChoosePort(options, logger);
    // Before anything is named after the lines (the timed recording's interfaces).
    if (beforeStart) beforeStart(logger);
    // A stop asked for while a network port connects ends the wait at once.
    logger.SetStopFlag(context.StopRequested);
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
    if (int code = session.OpenCsv(options.CsvFile); code != kCliExitOk) {
        session.Abandon();
        return code;
    }
    const std::string portText = DescribePort(options, logger);
    const int32_t baudrate = logger.GetBaudrate(logger.HasSecondLine() ? 1 : 0);
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
    const bool csvWritten = session.CheckCsv();
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
        rawLost = raw->BytesMissing();
    }
    session.ReportPcap();
    session.ReportCsv();
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
    // Listening that heard nothing failed, unless the user ended it before its time.
    if (options.ExpectAnswer && report.Counters.TotalBytes == 0 && !context.IsStopRequested()) {
        context.Err << "No answer within " << options.DurationSeconds << " s\n";
        return kCliExitFailed;
    }
    const bool logged = report.CheckLogFiles(context.Err);
    return framesWritten && csvWritten && rawWritten && logged ? kCliExitOk : kCliExitFailed;
}

int ZCliRunLiveCapture(const ZCliCaptureOptions& options, ZCliContext& context) {
    ZCliCaptureSession session(context);
    std::optional<ZCliSender> sender;
    // In the observers before the start: an answer to the first send must not be missed.
    const auto addSender = [&](ZLogger& logger) {
        sender.emplace(options.Sends, logger, session.Settings().Send.GapMs);
        logger.AddBlockObserver(&*sender);
    };
    if (int code = ZCliStartLiveCapture(options, session, context, addSender); code != kCliExitOk) {
        if (sender) session.Logger().RemoveBlockObserver(&*sender);
        return code;
    }
    const WaitResult waited = WaitWhileCapturing(options, session, context, *sender);
    ZCliCaptureEnd end;
    end.PortLost = waited == WaitResult::PortLost;
    end.ShowSent = !options.Sends.Items.empty();
    end.SkippedSends = sender->Skipped();
    end.CounterLine = true;
    end.AfterStop = [&] { session.Logger().RemoveBlockObserver(&*sender); };
    return ZCliFinishLiveCapture(options, session, context, end, context.Out);
}
