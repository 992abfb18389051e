#include "ZCliScriptRun.h"

#include "ZLogger.h"
#include "ZLoggerSettings.h"

ZCliScriptRun::ZCliScriptRun(ZCliContext& context, ZLogger& logger, bool replay)
    : context_(context),
      logger_(logger),
      queue_(false, replay),
      target_(logger, replay),
      // Only the script's thread prints while it runs; the summary follows its end.
      host_(queue_, target_, ZScriptLimits(), [&out = context.Out](const std::string& line) {
          out << line << std::flush;
      }) {}

ZCliScriptRun::~ZCliScriptRun() {
    Stop();
    Detach();
}

bool ZCliScriptRun::Load(const std::string& fileName) {
    std::string error;
    if (host_.Load(fileName, error)) return true;
    context_.Err << error << '\n';
    return false;
}

void ZCliScriptRun::Attach(uint8_t captureMode) {
    queue_.SetStopTriggerEndsFrame(ZStopTriggerEndsFrame(captureMode));
    logger_.AddBlockObserver(&queue_);
    attached_ = true;
}

void ZCliScriptRun::Detach() {
    if (attached_) logger_.RemoveBlockObserver(&queue_);
    attached_ = false;
}

int ZCliScriptRun::ExitCode(int captureCode) const {
    if (host_.Failed()) {
        context_.Err << host_.ErrorText() << '\n';
        return kCliExitFailed;
    }
    if (host_.Exited() && host_.ExitCode() != 0) return host_.ExitCode();
    return captureCode;
}
