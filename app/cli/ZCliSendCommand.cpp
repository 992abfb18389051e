#include "ZCliSendCommand.h"

#include <algorithm>
#include <thread>

#include "ZCliCaptureSession.h"
#include "ZLogger.h"

namespace {

// Waits for the port to let every byte out: what the line needs at its rate, and
// a few seconds for the rest of the way.
bool WaitUntilSent(ZLogger& logger, size_t bytes, const ZCliContext& context) {
    const auto lineTime =
        std::chrono::microseconds(logger.GetLineTiming().BytesMicros(static_cast<int64_t>(bytes)));
    const auto deadline = ZCliSender::Clock::now() + lineTime + std::chrono::seconds(5);
    while (!logger.SendsDone()) {
        if (ZCliSender::Clock::now() >= deadline || context.IsStopRequested()) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

// Hands every sequence to the line, paced; false after a refusal (told on err).
bool SendAll(ZCliSender& sender, const ZCliContext& context) {
    bool ok = true;
    while (!context.IsStopRequested()) {
        ok = sender.SendDue(context.Err) && ok;
        if (sender.Idle()) break;
        std::this_thread::sleep_until(sender.NextDue(ZCliSender::Clock::now()));
    }
    return ok;
}

}  // namespace

int ZCliRunSend(const ZCliSendCommandOptions& options, ZCliContext& context) {
    ZSendList sends;
    if (!ZCliBuildSends(options.Send, sends, context.Err)) return kCliExitUsage;
    if (options.ListenSeconds > 0) {
        ZCliCaptureOptions capture = options.Capture;
        capture.DurationSeconds = options.ListenSeconds;
        capture.Sends = sends;
        capture.ExpectAnswer = true;
        return ZCliRunLiveCapture(capture, context);
    }
    // Without listening nothing is recorded: the port is opened, not a capture started.
    ZCliCaptureSession session(context);
    if (int code = session.Prepare(options.Capture.SettingsFile, options.Capture.OutDir); code != kCliExitOk)
        return code;
    ZLogger& logger = session.Logger();
    ZCliChoosePort(options.Capture, logger);
    logger.SetStopFlag(context.StopRequested);
    const std::string portText = ZCliDescribePort(options.Capture, logger);
    if (!logger.OpenPort()) {
        context.Err << "The COM port could not be opened...\n";
        if (const std::string reason = ZCliOpenFailureReason(options.Capture, logger); !reason.empty())
            context.Err << reason << '\n';
        return kCliExitFailed;
    }
    ZCliSender sender(sends, logger, session.Settings().Send.GapMs);
    bool ok = SendAll(sender, context);
    size_t bytes = 0;
    for (const ZSendSequence& sequence : sends.Items) bytes += sequence.BuildBytes().size();
    if (ok && !WaitUntilSent(logger, bytes, context)) {
        context.Err << "The bytes did not all leave " << portText << " in time.\n";
        ok = false;
    }
    logger.ClosePort();
    if (!ok) return kCliExitFailed;
    context.Err << "Sent " << bytes << " bytes to " << portText << " at " << logger.GetBaudrate()
                << " baud.\n";
    return kCliExitOk;
}
