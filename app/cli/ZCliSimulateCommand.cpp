#include "ZCliSimulateCommand.h"

#include <poll.h>
#include <termios.h>

#include <chrono>
#include <thread>

#include "Funset_strings.h"
#include "ZCliPortLink.h"
#include "ZDemoFrameSource.h"
#include "ZDemoRecordSource.h"
#include "ZModbusDemoServer.h"
#include "ZPacedWriter.h"
#include "ZPseudoTerminal.h"
#include "ZULAppDir.h"
#include "ZULDataDir.h"

namespace {

using Clock = std::chrono::steady_clock;

// Not one of kDemoModes: it answers requests instead of streaming frames.
constexpr const char* kModbusModeName = "modbus";
constexpr const char* kModbusSettingsFile = "demo_modbus.scs";
constexpr double kUntilStoppedSeconds = 100.0 * 365 * 24 * 3600;

// The streaming mode of that name: its settings file and its frames, one at a time.
// False for a name no such mode has.
bool FindStreamMode(const std::string& name, const char*& settingsFile, ZPacedWriter::Refill& frames) {
    for (const ZDemoModeInfo& mode : kDemoModes) {
        if (name != mode.Name) continue;
        settingsFile = mode.SettingsFile;
        frames = [source = std::make_shared<ZDemoFrameSource>(mode.Mode)](std::vector<uint8_t>& out) {
            source->AppendFrame(out);
            return true;
        };
        return true;
    }
    for (const ZDemoFramingInfo& framing : kDemoFramings) {
        if (name != framing.Name) continue;
        settingsFile = framing.SettingsFile;
        frames = [source = std::make_shared<ZDemoRecordSource>(framing.Framing)](std::vector<uint8_t>& out) {
            source->AppendFrame(out);
            return true;
        };
        return true;
    }
    return false;
}

// Waits for the descriptor to take bytes again when it is full, else for the next
// bytes to fall due; briefly either way, so a stop request is seen at once.
void WaitBriefly(int fd, bool full) {
    if (full) {
        pollfd writable{fd, POLLOUT, 0};
        poll(&writable, 1, 20);
    } else {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

void PrintBanner(const ZCliSimulateOptions& options, const char* settingsFile, const ZPseudoTerminal& pty,
                 const ZCliPortLink& link, ZCliContext& context) {
    const std::string settings = ZULGetSamplesDir() + settingsFile;
    // Only programs that share this application directory see the port.
    context.Out << "Simulating a serial device on COM" << options.Port << ": " << pty.SlavePath() << " (link "
                << link.Path() << ")\n"
                << "Application directory: " << ZULGetAppDir() << '\n';
    if (options.Mode == kModbusModeName) {
        context.Out << "Modbus RTU server at unit 17, holding registers 0..99 (functions 3 and 6)\n"
                    << "Fitting settings: " << settings << '\n'
                    << "Try: kestrun-cli send --settings " << settings << " --port " << options.Port
                    << " --checksum CRC-16/MODBUS --listen 1 11 03 00 00 00 04\n";
    } else {
        context.Out << "Frames: " << options.Mode << ", " << options.Rate << " bytes/s\n"
                    << "Fitting settings: " << settings << '\n'
                    << "Try: kestrun-cli capture --settings " << settings << " --port " << options.Port
                    << '\n';
    }
    context.Out << "Stop with Ctrl+C." << std::endl;
}

// 3.5 characters of 11 bits at the rate the port was set to; above 19200 baud the
// serial line rules fix it at 1.75 ms.
std::chrono::microseconds ModbusSilence(int slave) {
    static constexpr struct {
        speed_t Speed;
        int Rate;
    } kRates[] = {{B50, 50},       {B110, 110},     {B150, 150},      {B300, 300},   {B600, 600},
                  {B1200, 1200},   {B2400, 2400},   {B4800, 4800},    {B9600, 9600}, {B19200, 19200},
                  {B38400, 38400}, {B57600, 57600}, {B115200, 115200}};
    termios line{};
    int rate = 9600;
    if (tcgetattr(slave, &line) == 0) {
        for (const auto& entry : kRates) {
            if (cfgetospeed(&line) == entry.Speed) rate = entry.Rate;
        }
        if (cfgetospeed(&line) > B19200) rate = 115200;
    }
    if (rate > 19200) return std::chrono::microseconds(1750);
    return std::chrono::microseconds(3500LL * 11 * 1000 / rate + 1);
}

int RunModbusServer(const ZCliSimulateOptions& options, ZPseudoTerminal& pty, ZCliContext& context) {
    ZModbusDemoServer server;
    std::vector<uint8_t> received;
    std::vector<uint8_t> frame;
    uint64_t answers = 0;
    auto lastByte = Clock::now();
    const auto end = Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                        std::chrono::duration<double>(options.DurationSeconds));
    while (!context.IsStopRequested() && (options.DurationSeconds <= 0 || Clock::now() < end)) {
        pollfd readable{pty.Master(), POLLIN, 0};
        poll(&readable, 1, 2);
        uint8_t buffer[512];
        ssize_t got = 0;
        while ((got = read(pty.Master(), buffer, sizeof buffer)) > 0) {
            received.insert(received.end(), buffer, buffer + got);
            lastByte = Clock::now();
            // A flood without silence never forms a request; it is not kept without bound.
            if (received.size() > 4096) received.erase(received.begin(), received.end() - 256);
        }
        const auto silence = ModbusSilence(pty.Slave());
        while (ZModbusDemoServer::TakeFrame(received, Clock::now() - lastByte >= silence, frame)) {
            const std::vector<uint8_t> answer = server.Answer(frame);
            if (answer.empty()) continue;
            std::this_thread::sleep_until(lastByte + silence);
            size_t done = 0;
            while (done < answer.size()) {
                const ssize_t put = write(pty.Master(), answer.data() + done, answer.size() - done);
                if (put > 0) {
                    done += static_cast<size_t>(put);
                } else if (put < 0 && errno != EAGAIN && errno != EINTR) {
                    context.Err << "Writing to the pseudo-terminal failed: " << GetLastErrorText() << '\n';
                    return kCliExitFailed;
                } else {
                    WaitBriefly(pty.Master(), true);
                }
            }
            ++answers;
        }
    }
    context.Out << "Stopped after " << answers << " answers." << std::endl;
    return kCliExitOk;
}

}  // namespace

int ZCliRunSimulate(const ZCliSimulateOptions& options, ZCliContext& context) {
    const bool modbus = options.Mode == kModbusModeName;
    const char* settingsFile = kModbusSettingsFile;
    ZPacedWriter::Refill frames;
    if (!modbus && !FindStreamMode(options.Mode, settingsFile, frames)) {
        context.Err << "Unknown frame mode \"" << options.Mode << "\"\n";
        return kCliExitUsage;
    }
    ZPseudoTerminal pty;
    if (!pty.Open()) {
        context.Err << "The pseudo-terminal could not be created: " << GetLastErrorText() << '\n';
        return kCliExitFailed;
    }
    ZCliPortLink link;
    std::string errorText;
    if (!link.Create(options.Port, pty.SlavePath(), errorText)) {
        context.Err << errorText << '\n';
        return kCliExitFailed;
    }
    PrintBanner(options, settingsFile, pty, link, context);
    if (modbus) return RunModbusServer(options, pty, context);

    ZPacedWriter writer(pty.Master(), options.Rate, std::move(frames));
    // Beyond a century the end time would not fit the clock: such a run lasts until stopped.
    const bool timed = options.DurationSeconds > 0 && options.DurationSeconds < kUntilStoppedSeconds;
    const auto end = Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                        std::chrono::duration<double>(timed ? options.DurationSeconds : 0.0));
    while (!context.IsStopRequested() && (!timed || Clock::now() < end)) {
        if (!writer.WriteDue()) {
            context.Err << "Writing to the pseudo-terminal failed: " << GetLastErrorText() << '\n';
            return kCliExitFailed;
        }
        WaitBriefly(pty.Master(), writer.IsBlocked());
    }
    context.Out << "Stopped after " << writer.BytesWritten() << " bytes." << std::endl;
    return kCliExitOk;
}
