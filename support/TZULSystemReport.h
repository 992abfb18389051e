#pragma once
// The system report: our system-information tool, kestrun-sysinfo, writes a
// report of chosen categories into a temporary file as 16-bit text; the report
// object waits for the file without freezing the window, converts and reads it,
// deletes it and hands the lines to a callback in the window thread.

#include <sys/types.h>

#include <functional>
#include <string>
#include <vector>

#include "ZULMainThread.h"

struct sReportSettings {
    // The defaults: no file name, no callback, 60000 ms, no category.
    sReportSettings() = default;
    // Requests Resources and sets its six sub-categories, in this order.
    void SetResources(bool conflicts, bool dma, bool forcedHardware, bool io, bool irqs, bool memory);

    // Temporary report file; empty means "__sys_rep.tmp" in the application directory.
    std::string FileName;
    // Receives the report lines, or one error line with error == true.
    std::function<void(const std::vector<std::string>& lines, bool error)> OnReportDone;
    // Milliseconds to wait for the report file.
    int Timeout = 60000;
    bool SystemSummary = false;
    bool Resources = false;
    bool ResourcesConflicts = false;
    bool ResourcesDMA = false;
    bool ResourcesForcedHardware = false;
    bool ResourcesIO = false;
    bool ResourcesIRQS = false;
    bool ResourcesMemory = false;

    // The window thread: the completion step and OnReportDone run there. Must outlive the
    // start of the report's decoupling thread (the window program's lives as long as the
    // program). Without one, both run in the decoupling thread.
    IZULMainThreadDispatcher* Dispatcher = nullptr;
    // Lets the window process its pending events while the completion step waits; called
    // in the thread that runs the completion step. May be empty.
    std::function<void()> ProcessEvents;
    // The tool to run; empty means kestrun-sysinfo found by FindTool.
    std::string ToolPath;
};

class TZULSystemReport {
public:
    // Starts the report and returns at once; the result arrives later, exactly once,
    // through OnReportDone. Create with new and keep no pointer: the object releases
    // itself after delivering. With an empty FileName the default name is written back
    // into settings. Never throws; every failure is a delivered error line.
    explicit TZULSystemReport(sReportSettings& settings);
    TZULSystemReport(const TZULSystemReport&) = delete;
    TZULSystemReport& operator=(const TZULSystemReport&) = delete;

    // kestrun-sysinfo beside the executable (installed and in a build tree alike);
    // empty when it is not an executable file there.
    static std::string FindTool();
    // The argument of "/categories" for the chosen categories.
    static std::string CategoryText(const sReportSettings& settings);
    // Turns 16-bit little-endian text (a leading byte order mark dropped) into UTF-8.
    static std::string Utf16ToUtf8(const std::string& bytes);

private:
    ~TZULSystemReport() = default;
    bool StartTool();
    void Complete();
    void WaitAndRead();
    bool ConvertInPlace();
    // Waits 40 ms while the window keeps working.
    void Pause();
    // Whether the tool has ended (reaping it once it has).
    bool ToolEnded();
    void Fail(const std::string& line);

    sReportSettings settings_;
    bool error_ = false;
    std::vector<std::string> lines_;
    pid_t tool_ = -1;  // the running tool, -1 once reaped or never started
};
