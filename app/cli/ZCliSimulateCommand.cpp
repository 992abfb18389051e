#include "ZCliSimulateCommand.h"

#include <poll.h>

#include <chrono>
#include <thread>

#include "Funset_strings.h"
#include "ZCliPortLink.h"
#include "ZDemoFrameSource.h"
#include "ZPacedWriter.h"
#include "ZPseudoTerminal.h"
#include "ZULAppDir.h"
#include "ZULDataDir.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr double kUntilStoppedSeconds = 100.0 * 365 * 24 * 3600;

const ZDemoModeInfo* FindMode(const std::string& name) {
    for (const ZDemoModeInfo& mode : kDemoModes) {
        if (name == mode.Name) return &mode;
    }
    return nullptr;
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

void PrintBanner(const ZCliSimulateOptions& options, const ZDemoModeInfo& mode, const ZPseudoTerminal& pty,
                 const ZCliPortLink& link, ZCliContext& context) {
    const std::string settings = ZULGetSamplesDir() + mode.SettingsFile;
    // Only programs that share this application directory see the port.
    context.Out << "Simulating a serial device on COM" << options.Port << ": " << pty.SlavePath() << " (link "
                << link.Path() << ")\n"
                << "Application directory: " << ZULGetAppDir() << '\n'
                << "Frames: " << mode.Name << ", " << options.Rate << " bytes/s\n"
                << "Fitting settings: " << settings << '\n'
                << "Try: kestrun-cli capture --settings " << settings << " --port " << options.Port << '\n'
                << "Stop with Ctrl+C." << std::endl;
}

}  // namespace

int ZCliRunSimulate(const ZCliSimulateOptions& options, ZCliContext& context) {
    const ZDemoModeInfo* mode = FindMode(options.Mode);
    if (mode == nullptr) {
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
    PrintBanner(options, *mode, pty, link, context);

    ZDemoFrameSource source(mode->Mode);
    ZPacedWriter writer(pty.Master(), options.Rate, [&source](std::vector<uint8_t>& out) {
        source.AppendFrame(out);
        return true;
    });
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
