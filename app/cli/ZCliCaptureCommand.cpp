#include "ZCliCaptureCommand.h"

int ZCliRunCapture(const ZCliCaptureCommandOptions& options, ZCliContext& context) {
    ZCliCaptureOptions capture = options.Capture;
    if (!ZCliBuildSends(options.Send, capture.Sends, context.Err)) return kCliExitUsage;
    return ZCliRunLiveCapture(capture, context);
}
