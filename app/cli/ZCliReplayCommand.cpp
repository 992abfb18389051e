#include "ZCliReplayCommand.h"

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ZCliCaptureSession.h"
#include "ZCliScriptRun.h"
#include "ZRecordingReplay.h"

namespace {

using FeedResult = ZRecordingReplay::Result;

// Until the script has taken the recording's frames and ended, or the user stops it.
void WaitForScript(ZCliScriptRun& script, const ZCliContext& context) {
    script.EndOfFrames();
    while (!script.WaitDone(std::chrono::milliseconds(50))) {
        if (context.IsStopRequested()) break;
    }
    script.Stop();
}

// Opens what the replay writes besides the log files, feeds the input through the
// engine, does the stop steps and reports. readFailure tells why a feed that failed
// to read its input did.
int Replay(const ZCliReplayOptions& options, ZCliCaptureSession& session, ZCliContext& context,
           const std::function<FeedResult(ZLogger&)>& feed, const std::function<std::string()>& readFailure,
           ZCliScriptRun* script) {
    if (int code = session.OpenFrameExport(options.FramesFile); code != kCliExitOk) {
        session.Abandon();
        return code;
    }
    if (int code = session.OpenPcap(options.PcapFile, "replay", options.InputFile); code != kCliExitOk) {
        session.Abandon();
        return code;
    }
    if (int code = session.OpenCsv(options.CsvFile); code != kCliExitOk) {
        session.Abandon();
        return code;
    }
    session.ResetCounters();
    ZLogger& logger = session.Logger();
    if (script != nullptr) script->Attach(session.Settings().CaptureMode);
    logger.BeginReplay();
    if (script != nullptr) script->Begin();
    const FeedResult fed = feed(logger);
    // The stop steps run whatever happened, so everything fed so far is logged.
    logger.EndReplay();
    if (script != nullptr) {
        WaitForScript(*script, context);
        script->Detach();
    }
    const bool framesWritten = session.CloseFrameExport();
    const bool csvWritten = session.CheckCsv();

    ZCliCaptureReport report = session.TakeReport();
    // A recording that holds sends shows them, as the capture that made it did.
    report.ShowSent = report.Counters.Sends > 0;
    session.ReportPcap();
    session.ReportCsv();
    if (options.Json) {
        report.PrintJson(context.Out);
    } else {
        // Standard output is the script's when one runs.
        report.PrintSummary(script != nullptr ? context.Err : context.Out);
    }
    if (fed == FeedResult::ReadFailed) {
        context.Err << readFailure() << '\n';
        return kCliExitFailed;
    }
    if (fed == FeedResult::Interrupted) {
        context.Err << "Replay interrupted: the input was not fed completely.\n";
        return kCliExitFailed;
    }
    const int code =
        framesWritten && csvWritten && report.CheckLogFiles(context.Err) ? kCliExitOk : kCliExitFailed;
    return script != nullptr ? script->ExitCode(code) : code;
}

}  // namespace

int ZCliRunReplay(const ZCliReplayOptions& options, ZCliContext& context) {
    ZCliCaptureSession session(context);
    std::optional<ZCliScriptRun> script;
    if (!options.ScriptFile.empty()) {
        script.emplace(context, session.Logger(), true);
        if (!script->Load(options.ScriptFile)) return kCliExitUsage;
    }
    ZCliScriptRun* const scriptRun = script ? &*script : nullptr;
    if (int code = session.Prepare(options.SettingsFile, options.OutDir); code != kCliExitOk) return code;

    ZRecordingReplay recording;
    std::string errorText;
    ZRecordingReplay::Refusal why = ZRecordingReplay::Refusal::None;
    if (!recording.Open(options.InputFile, session.Settings().CaptureMode, errorText, why)) {
        session.Abandon();
        context.Err << errorText << '\n';
        return why == ZRecordingReplay::Refusal::Usage ? kCliExitUsage : kCliExitFailed;
    }
    // A recording of two lines replays as two lines, named as they were.
    if (const std::vector<std::string>& names = recording.LineNames(); names.size() >= 2) {
        session.Logger().SetSecondLine(true);
        for (int line = 0; line < ZLogger::MaxLines; ++line) session.Logger().SetLineName(line, names[line]);
    }
    return Replay(
        options, session, context,
        [&](ZLogger& logger) {
            return recording.Feed(
                logger, options.ChunkSize, [&] { return context.IsStopRequested(); }, false);
        },
        [&] { return recording.ReadFailure(); }, scriptRun);
}
