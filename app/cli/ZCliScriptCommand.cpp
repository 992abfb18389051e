#include "ZCliScriptCommand.h"

#include <chrono>

#include "ZCliCaptureSession.h"
#include "ZCliScriptRun.h"
#include "ZLogger.h"

namespace {

using Clock = std::chrono::steady_clock;

// Between two looks at the stop flag, the port and the frame export.
constexpr auto WaitStep = std::chrono::milliseconds(50);

// Until the script ends, the duration passes, the user stops it or the port is lost
// (a capture that reconnects waits for it); true for a lost port.
bool WaitForScript(const ZCliCaptureOptions& options, ZCliCaptureSession& session, ZCliScriptRun& script,
                   ZCliContext& context) {
    const auto start = Clock::now();
    const auto duration = std::chrono::duration<double>(options.DurationSeconds);
    bool waiting = false;
    while (!script.WaitDone(WaitStep)) {
        session.FlushFrameExport();
        if (context.IsStopRequested()) return false;
        if (options.DurationSeconds > 0 && Clock::now() - start >= duration) return false;
        if (session.Settings().Reconnect) {
            ZCliShowPortState(waiting, session, context);
        } else if (ZCliPortWasLost(session.Logger())) {
            return true;
        }
    }
    return false;
}

}  // namespace

int ZCliRunScript(const ZCliScriptOptions& options, ZCliContext& context) {
    ZCliCaptureOptions capture = options.Capture;
    if (!options.Address.empty()) capture.Device = options.Address;
    ZCliCaptureSession session(context);
    ZCliScriptRun script(context, session.Logger(), false);
    if (!script.Load(options.ScriptFile)) return kCliExitUsage;
    // Among the observers before the start: no frame after it is missed.
    const auto attach = [&](ZLogger&) { script.Attach(session.Settings().CaptureMode); };
    if (int code = ZCliStartLiveCapture(capture, session, context, attach); code != kCliExitOk) {
        script.Detach();
        return code;
    }
    script.Begin();
    ZCliCaptureEnd end;
    end.PortLost = WaitForScript(capture, session, script, context);
    script.Stop();
    end.ShowSent = true;
    end.AfterStop = [&] { script.Detach(); };
    // Standard output is the script's: the summary goes to standard error.
    const int captureCode = ZCliFinishLiveCapture(capture, session, context, end, context.Err);
    return script.ExitCode(captureCode);
}
