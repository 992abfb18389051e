#pragma once
// A Lua script beside a live capture (`kestrun-cli script`) or a replay (`replay
// --script`): its frame queue among the engine's block observers, its host, its
// print on standard output and its failure on standard error and in the error
// history. The calling thread owns it; the script runs on a thread of its own.

#include <chrono>
#include <cstdint>
#include <string>

#include "ZCliContext.h"
#include "ZScriptCaptureTarget.h"
#include "ZScriptFrameQueue.h"
#include "ZScriptHost.h"

class ZLogger;

class ZCliScriptRun {
public:
    // The script drives logger's port; replay: frames come from a recording, which
    // waits for the script, and there is no port.
    ZCliScriptRun(ZCliContext& context, ZLogger& logger, bool replay);
    ~ZCliScriptRun();
    ZCliScriptRun(const ZCliScriptRun&) = delete;
    ZCliScriptRun& operator=(const ZCliScriptRun&) = delete;

    // Reads the script; false after telling the user why.
    bool Load(const std::string& fileName);
    // Puts the frame queue among the logger's block observers, framed as captureMode
    // frames. While no capture or replay runs.
    void Attach(uint8_t captureMode);
    // Runs the main chunk, once the capture or the replay has started.
    void Begin() { host_.Begin(); }
    bool IsDone() const { return host_.IsDone(); }
    bool WaitDone(std::chrono::milliseconds limit) { return host_.WaitDone(limit); }
    // The recording is over: a waiting script learns there are no more frames.
    void EndOfFrames() { queue_.Close(); }
    // Ends the script (at once when it ended already).
    void Stop() { host_.Stop(); }
    // Takes the queue out of the observers again; while no capture or replay runs.
    void Detach();
    // The exit code of the command: 1 after a script error (told on Err), the script's
    // exit(code), else captureCode.
    int ExitCode(int captureCode) const;

private:
    ZCliContext& context_;
    ZLogger& logger_;
    ZScriptFrameQueue queue_;
    ZScriptCaptureTarget target_;
    ZScriptHost host_;
    bool attached_ = false;
};
