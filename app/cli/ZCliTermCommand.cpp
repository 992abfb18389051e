#include "ZCliTermCommand.h"

#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <string_view>
#include <vector>

#include "Serial.h"
#include "ZCliCaptureSession.h"
#include "ZCliCrLfStream.h"
#include "ZCliRawTerminal.h"
#include "ZCliStopSignal.h"
#include "ZCliTermKeys.h"
#include "ZCliTermOutput.h"
#include "ZLogger.h"
#include "ZSendSequence.h"

namespace {

using Clock = std::chrono::steady_clock;

// Between two looks at the stop flag, the port's state and the frame export.
constexpr int LoopStepMs = 50;
// While piped bytes wait for the port to take them.
constexpr int SendRetryMs = 5;
constexpr auto BreakLength = std::chrono::milliseconds(250);
constexpr size_t ReadSize = 4096;
// Piped input is read no further while this much waits to be sent.
constexpr size_t MaxPendingBytes = 4 * MaxSendBytes;
constexpr std::string_view ClearScreen = "\x1b[H\x1b[2J";

bool WriteAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t written = write(fd, bytes.data(), bytes.size());
        if (written < 0 && errno == EINTR) continue;
        if (written < 0 && errno == EAGAIN) {
            pollfd ready{fd, POLLOUT, 0};
            poll(&ready, 1, LoopStepMs);
            continue;
        }
        if (written <= 0) return false;
        bytes.remove_prefix(static_cast<size_t>(written));
    }
    return true;
}

const char* StampsName(ZTermStampFormat format) {
    switch (format) {
        case ZTermStampFormat::Seconds:
            return "HH:MM:SS";
        case ZTermStampFormat::Milliseconds:
            return "HH:MM:SS.mmm";
        case ZTermStampFormat::Microseconds:
            return "HH:MM:SS.uuuuuu";
        case ZTermStampFormat::Off:
            break;
    }
    return "off";
}

// The loop of one terminal session: keys or piped bytes to the port, the device's
// bytes to the output, the commands of Ctrl+T, until the user quits, a signal stops
// it, piped input has ended and lingered, or the port is lost for good.
class TermLoop {
public:
    TermLoop(const ZCliTermOptions& options, ZCliCaptureSession& session, ZCliTermOutput& output,
             ZCliContext& context, bool keyboard, ZTermLineEnd map, ZTermCharset charset)
        : options_(options),
          session_(session),
          logger_(session.Logger()),
          output_(output),
          context_(context),
          keyboard_(keyboard),
          keys_(map, charset),
          pipeLineEnds_(map),
          charset_(charset) {
        const TSerialConfig config = logger_.GetPort().GetConfig();
        dtr_ = config.DTRActive;
        rts_ = config.RTSActive;
    }

    ZCliCaptureEnd Run();
    // Writes what the device sent that is not shown yet.
    void ShowOutput();

private:
    void ReadInput();
    void Pipe(const uint8_t* bytes, size_t count);
    void Typed(const uint8_t* bytes, size_t count);
    void RunCommand(ZCliTermCommand command);
    void SendKeys(const std::string& bytes);
    void SendPending();
    void ToggleLine(bool& state, uint32_t on, uint32_t off, const char* name);
    void Tell(std::string_view text);
    bool InputEndedAndSent();
    int WaitTimeoutMs() const;

    const ZCliTermOptions& options_;
    ZCliCaptureSession& session_;
    ZLogger& logger_;
    ZCliTermOutput& output_;
    ZCliContext& context_;
    const bool keyboard_;
    ZCliTermKeys keys_;
    ZTermLineEndConverter pipeLineEnds_;
    const ZTermCharset charset_;
    ZUtf8Decoder pipeUtf8_;
    std::string pending_;  // piped bytes the port has not taken yet
    bool inputEnded_ = false;
    bool quit_ = false;
    bool dtr_ = true;
    bool rts_ = true;
    bool breakOn_ = false;
    Clock::time_point breakEnd_{};
    bool lingering_ = false;
    Clock::time_point lingerEnd_{};
};

ZCliCaptureEnd TermLoop::Run() {
    ZCliCaptureEnd end;
    end.ShowSent = true;
    const bool reconnect = session_.Settings().Reconnect;
    bool waiting = false;
    for (;;) {
        ShowOutput();
        session_.FlushFrameExport();
        if (quit_ || context_.IsStopRequested()) break;
        if (reconnect) {
            ZCliShowPortState(waiting, session_, context_);
        } else if (ZCliPortWasLost(logger_)) {
            end.PortLost = true;
            break;
        }
        if (breakOn_ && Clock::now() >= breakEnd_) {
            logger_.SetOutputLine(CLRBREAK);
            breakOn_ = false;
        }
        SendPending();
        if (InputEndedAndSent()) break;
        pollfd waits[2] = {{output_.WakeFd(), POLLIN, 0}, {-1, POLLIN, 0}};
        if (!inputEnded_ && pending_.size() < MaxPendingBytes) waits[1].fd = context_.InputFd;
        if (poll(waits, 2, WaitTimeoutMs()) > 0 && waits[1].revents != 0) ReadInput();
    }
    if (breakOn_) logger_.SetOutputLine(CLRBREAK);
    return end;
}

int TermLoop::WaitTimeoutMs() const {
    if (!pending_.empty()) return SendRetryMs;
    if (breakOn_) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(breakEnd_ - Clock::now());
        return static_cast<int>(std::clamp<int64_t>(left.count() + 1, 0, LoopStepMs));
    }
    return LoopStepMs;
}

bool TermLoop::InputEndedAndSent() {
    // The answer to the last bytes is listened for once they have left.
    if (!inputEnded_ || !pending_.empty() || !logger_.SendsDone()) return false;
    if (!lingering_) {
        lingering_ = true;
        lingerEnd_ = Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                        std::chrono::duration<double>(options_.LingerSeconds));
    }
    return Clock::now() >= lingerEnd_;
}

void TermLoop::ShowOutput() {
    std::string text;
    if (const uint64_t lost = output_.Render(text); lost > 0)
        Tell(std::to_string(lost) + " bytes received were not shown: the terminal did not keep up.");
    if (!text.empty()) WriteAll(context_.OutputFd, text);
}

void TermLoop::ReadInput() {
    uint8_t buffer[ReadSize];
    const ssize_t got = read(context_.InputFd, buffer, sizeof buffer);
    if (got < 0 && (errno == EINTR || errno == EAGAIN)) return;
    if (got <= 0) {
        // A terminal that went away ends the session; a pipe's end is listened after.
        inputEnded_ = true;
        quit_ = keyboard_;
        return;
    }
    if (keyboard_)
        Typed(buffer, static_cast<size_t>(got));
    else
        Pipe(buffer, static_cast<size_t>(got));
}

void TermLoop::Pipe(const uint8_t* bytes, size_t count) {
    std::string converted;
    pipeLineEnds_.Convert(bytes, count, converted);
    if (charset_ == ZTermCharset::Utf8) {
        pending_ += converted;
        return;
    }
    for (const char byte : converted) {
        pipeUtf8_.Feed(
            static_cast<uint8_t>(byte),
            [this](char32_t c) { pending_ += ZTermEncodeText(std::u32string_view(&c, 1), ZTermCharset::Latin1); },
            [this](uint8_t invalid) { pending_ += static_cast<char>(invalid); });
    }
}

void TermLoop::Typed(const uint8_t* bytes, size_t count) {
    std::vector<ZCliTermStep> steps;
    keys_.Feed(bytes, count, steps);
    for (const ZCliTermStep& step : steps) {
        if (step.IsCommand)
            RunCommand(step.Command);
        else
            SendKeys(step.Bytes);
    }
}

void TermLoop::SendKeys(const std::string& bytes) {
    std::string error;
    // A key is never skipped: it waits behind what is still going out.
    if (logger_.SendBytes(std::vector<uint8_t>(bytes.begin(), bytes.end()), false, error) ==
        ZSendResult::Refused)
        Tell(error);
}

void TermLoop::SendPending() {
    while (!pending_.empty()) {
        const size_t size = std::min(pending_.size(), MaxSendBytes);
        std::string error;
        // Skipped while earlier bytes wait to go out: the pipe waits, nothing is lost.
        const ZSendResult result =
            logger_.SendBytes(std::vector<uint8_t>(pending_.begin(), pending_.begin() + static_cast<long>(size)),
                              true, error);
        if (result == ZSendResult::Skipped) return;
        if (result == ZSendResult::Refused) {
            Tell(error);
            pending_.clear();
            return;
        }
        pending_.erase(0, size);
    }
}

void TermLoop::RunCommand(ZCliTermCommand command) {
    switch (command) {
        case ZCliTermCommand::Quit:
            quit_ = true;
            break;
        case ZCliTermCommand::Break:
            if (!breakOn_ && logger_.SetOutputLine(SETBREAK)) {
                breakOn_ = true;
                breakEnd_ = Clock::now() + BreakLength;
                Tell("Break sent.");
            } else if (!breakOn_) {
                Tell("The break could not be sent: the device refused it.");
            }
            break;
        case ZCliTermCommand::ToggleDtr:
            ToggleLine(dtr_, SETDTR, CLRDTR, "DTR");
            break;
        case ZCliTermCommand::ToggleRts:
            ToggleLine(rts_, SETRTS, CLRRTS, "RTS");
            break;
        case ZCliTermCommand::Clear:
            if (isatty(context_.OutputFd) == 1) WriteAll(context_.OutputFd, ClearScreen);
            break;
        case ZCliTermCommand::CycleStamps:
            output_.SetStamps(ZTermNextStampFormat(output_.Stamps()));
            Tell(std::string("Time stamps: ") + StampsName(output_.Stamps()));
            break;
        case ZCliTermCommand::Help:
            Tell(ZCliTermKeys::HelpText());
            break;
    }
}

void TermLoop::ToggleLine(bool& state, uint32_t on, uint32_t off, const char* name) {
    if (!logger_.SetOutputLine(state ? off : on)) {
        Tell(std::string(name) + " could not be changed: the device refused.");
        return;
    }
    state = !state;
    Tell(std::string(name) + (state ? " on." : " off."));
}

void TermLoop::Tell(std::string_view text) {
    // On a line of its own, whatever the device left on the current one.
    context_.Err << "\n[kestrun-cli] " << text << '\n' << std::flush;
}

}  // namespace

int ZCliRunTerm(const ZCliTermOptions& options, ZCliContext& context) {
    ZTermLineEnd map = ZTermLineEnd::None;
    if (!options.Map.empty() && !ZTermLineEndFromName(options.Map, map)) {
        context.Err << "Unknown line end \"" << options.Map << "\"; choose cr, lf or crlf.\n";
        return kCliExitUsage;
    }
    ZTermStampFormat stamps = ZTermStampFormat::Off;
    if (!options.Timestamps.empty() && !ZTermStampFormatFromName(options.Timestamps, stamps)) {
        context.Err << "Unknown time stamps \"" << options.Timestamps << "\"; choose s, ms or us.\n";
        return kCliExitUsage;
    }
    ZCliCaptureOptions capture = options.Capture;
    if (!options.Address.empty()) capture.Device = options.Address;

    // Declared before the session: the engine hands it bytes until the session ends.
    ZCliTermOutput output;
    output.SetStamps(stamps);
    output.SetLatin1(options.Latin1);
    output.SetLocalEcho(options.LocalEcho);
    ZCliCaptureSession session(context);
    session.SetWriteLogFiles(!capture.SettingsFile.empty() || !capture.OutDir.empty());
    session.Logger().AddByteObserver(&output);
    if (int code = ZCliStartLiveCapture(capture, session, context); code != kCliExitOk) {
        session.Logger().RemoveByteObserver(&output);
        return code;
    }
    const bool keyboard = isatty(context.InputFd) == 1;
    if (keyboard) context.Err << "Type to the device; Ctrl+T q quits, Ctrl+T h lists the other keys.\n";
    // A terminal that closes stops the session as Ctrl+C stops a capture; output to a
    // reader that went away fails as a write instead of ending the program.
    ZCliStopSignal::AlsoStopOn(SIGHUP);
    std::signal(SIGPIPE, SIG_IGN);

    ZCliRawTerminal terminal(context.InputFd);
    ZCliCrLfStream rawErr(context.Err);
    ZCliContext termContext(context.Out, terminal.IsRaw() && context.ErrIsTerminal ? rawErr : context.Err);
    termContext.StopRequested = context.StopRequested;
    termContext.ErrIsTerminal = context.ErrIsTerminal;
    termContext.InputFd = context.InputFd;
    termContext.OutputFd = context.OutputFd;
    TermLoop loop(options, session, output, termContext, keyboard, map,
                  options.Latin1 ? ZTermCharset::Latin1 : ZTermCharset::Utf8);
    ZCliCaptureEnd end = loop.Run();
    end.AfterStop = [&] {
        // The bytes read up to the stop, then the terminal as it was, then the report.
        loop.ShowOutput();
        terminal.Restore();
    };
    const int code = ZCliFinishLiveCapture(capture, session, context, end, context.Err);
    session.Logger().RemoveByteObserver(&output);
    if (output.BytesNotShown() > 0)
        context.Err << output.BytesNotShown() << " bytes received were not shown (they are in the capture).\n";
    return code;
}
