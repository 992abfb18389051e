#include "ZScriptCaptureTarget.h"

#include "ZLogger.h"

namespace {
constexpr const char* Module = "Script";
}

bool ZScriptCaptureTarget::Send(const std::vector<uint8_t>& bytes, std::string& errorText) {
    return capture_.SendBytes(bytes, false, errorText) == ZSendResult::Sent;
}

bool ZScriptCaptureTarget::SetOutputLine(uint32_t escapeFunction, std::string& errorText) {
    if (capture_.SetOutputLine(escapeFunction)) return true;
    errorText = "the port refused to change the line (no port open, or a device without modem lines)";
    return false;
}

void ZScriptCaptureTarget::Log(const std::string& text) {
    capture_.GetErrorHistory().AddInformation(Module, "log", text);
    capture_.LogInformation(text);
}

void ZScriptCaptureTarget::LogError(const std::string& text) {
    capture_.GetErrorHistory().AddError(Module, "Run", text);
}
