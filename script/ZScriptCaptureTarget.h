#pragma once
// The script's target on a capture: sends and modem lines through its port (none in
// a replay), log entries into its error history and, for log(), its log files. The
// capture must outlive it.

#include "IZScriptTarget.h"

class ZLogger;

class ZScriptCaptureTarget : public IZScriptTarget {
public:
    // replay: the capture replays a recording and has no port.
    ZScriptCaptureTarget(ZLogger& capture, bool replay) : capture_(capture), replay_(replay) {}

    bool HasPort() const override { return !replay_; }
    bool Send(const std::vector<uint8_t>& bytes, std::string& errorText) override;
    bool SetOutputLine(uint32_t escapeFunction, std::string& errorText) override;
    void Log(const std::string& text) override;
    void LogError(const std::string& text) override;

private:
    ZLogger& capture_;
    const bool replay_;
};
