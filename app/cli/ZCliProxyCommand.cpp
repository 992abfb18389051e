#include "ZCliProxyCommand.h"

#include <chrono>
#include <thread>

#include "SerialPlatform.h"
#include "ZCliCaptureSession.h"
#include "ZProxyProgramSide.h"

namespace {

using Clock = std::chrono::steady_clock;

enum class ProxyEnd { Stopped, DeviceLost };

ProxyEnd ForwardUntilDone(const ZCliProxyOptions& options, ZCliCaptureSession& session, ZCliContext& context,
                          ZProxyProgramSide& programSide) {
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
        if (std::string recorded; programSide.FollowProgram(recorded)) context.Err << recorded << ".\n";
        session.FlushFrameExport();
        std::this_thread::sleep_for(ZProxyProgramSide::FollowInterval);
    }
}

}  // namespace

int ZCliRunProxy(const ZCliProxyOptions& options, ZCliContext& context) {
    if (std::string refusal; !ZProxyProgramSide::CheckLinkPath(options.Link, refusal)) {
        context.Err << refusal << '\n';
        return kCliExitFailed;
    }
    ZCliCaptureOptions capture = options.Capture;
    capture.Port2 = 0;
    capture.Device2 = PtyMasterDevice;
    capture.Baudrate2 = 0;
    // Forwarding waits on both ports: a byte goes on as soon as it is there.
    capture.PreciseTime = true;
    ZCliCaptureSession session(context);
    ZProxyProgramSide programSide(session.Logger());
    const auto asProxy = [&programSide](ZLogger&) { programSide.ConfigureLines(); };
    if (int code = ZCliStartLiveCapture(capture, session, context, asProxy); code != kCliExitOk) return code;
    std::string failure;
    const bool ready = programSide.Serve(options.Link, failure);
    ZCliCaptureEnd end;
    if (!ready) {
        context.Err << failure << '\n';
    } else {
        context.Err << "Serving the device to a program at " << options.Link << " ("
                    << programSide.ProgramDevice() << ")\n";
        end.PortLost = ForwardUntilDone(options, session, context, programSide) == ProxyEnd::DeviceLost;
    }
    programSide.RemoveLink();
    const int code = ZCliFinishLiveCapture(capture, session, context, end, context.Out);
    programSide.End();
    return ready ? code : kCliExitFailed;
}
