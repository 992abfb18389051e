#pragma once
// Runs one Lua script on a thread of its own: its main chunk, then, when it registered
// on_frame, its handler for every frame until the frames end (a replay) or Stop. The
// script sees only the safe libraries (base without dofile, loadfile, require and
// binary chunks; string, table, math, utf8; os.time, os.clock, os.date) and the API
// functions (send, hex, tohex, expect, read_frame, on_frame, sleep, now, set_dtr,
// set_rts, send_break, log, print, exit). Its memory is capped, and a main chunk or
// handler that calls no API function for the no-yield limit is ended with an error.
//
// Start, Stop, WaitDone and the results may be called from any one thread (the owner);
// print and the target are called on the script's thread.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "IZScriptTarget.h"
#include "ZScriptFrameQueue.h"

struct lua_State;

struct ZScriptLimits {
    using Clock = std::chrono::steady_clock;
    std::chrono::milliseconds NoYield{5000};
    size_t MemoryBytes = size_t{64} << 20;
    // The time the no-yield limit is measured with: one seam, so a test decides when
    // the limit passes.
    std::function<Clock::time_point()> Now = [] { return Clock::now(); };
};

class ZScriptHost {
public:
    using PrintFn = std::function<void(const std::string& line)>;

    // The queue and the target must outlive the host; print receives each print()'s
    // line (with its '\n').
    ZScriptHost(ZScriptFrameQueue& queue, IZScriptTarget& target, ZScriptLimits limits, PrintFn print);
    // Stops the script and waits for its thread.
    ~ZScriptHost();
    ZScriptHost(const ZScriptHost&) = delete;
    ZScriptHost& operator=(const ZScriptHost&) = delete;

    // Reads the script (a regular file of at most 16 MiB); false with the text the user
    // reads when it cannot be read. Before Begin.
    bool Load(const std::string& fileName, std::string& errorText);
    // Takes source text named chunkName (as error messages name it) as the script.
    void LoadSource(const std::string& chunkName, const std::string& source);
    // Starts the script's thread on what was loaded. Once.
    void Begin();
    // Waits until the script has ended, at most for limit; true when it has.
    bool WaitDone(std::chrono::milliseconds limit);
    bool IsDone() const;
    // Ends the script wherever it is (a wait returns at once, running code at its next
    // instruction count) and waits for its thread. The end is not an error.
    void Stop();
    // Once done: whether the script failed (a Lua error, a cap, an overrun), its
    // message with file and line, and the exit code (exit(code); 1 on failure, else 0).
    bool Failed() const;
    std::string ErrorText() const;
    int ExitCode() const;
    // Whether the script called exit().
    bool Exited() const;

    // For the API functions (script thread).
    struct State;

private:
    void Run();
    void Finish(bool failed, const std::string& error);

    ZScriptFrameQueue& queue_;
    IZScriptTarget& target_;
    const ZScriptLimits limits_;
    const PrintFn print_;
    std::string chunkName_;
    std::string source_;
    std::thread thread_;

    mutable std::mutex lock_;  // guards done_, failed_, error_, exitCode_ and exited_
    std::condition_variable doneChanged_;
    bool done_ = false;
    bool failed_ = false;
    std::string error_;
    int exitCode_ = 0;
    bool exited_ = false;
    std::atomic<bool> stopRequested_{false};
};
