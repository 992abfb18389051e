#pragma once
// The system report: our system-information tool, kestrun-sysinfo, writes a
// report of chosen categories into a temporary file as 16-bit text; the report
// object waits for the file without freezing the window, converts and reads it,
// deletes it and hands the lines to a callback in the window thread.
//
// The temporary file is made afresh under a random name beside FileName (FileName
// followed by "." and six random characters), exclusively and never through a link,
// so a planted file or link in a folder that others may write cannot be written
// through; the tool is given that name.

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

    // Where the temporary report file goes, and the start of its name; empty means
    // "__sys_rep.tmp" in the application directory.
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

    // kestrun-sysinfo beside the executable (installed and in a build tree alike), else
    // the installed one in /usr/bin; empty when neither is an executable file that
    // can be trusted (see IsTrustedTool). A tool in a folder others may write could
    // have been planted there by another user.
    static std::string FindTool();
    // The decision behind FindTool: exeDir and installedDir end in '/' (or are empty).
    static std::string ChooseTool(const std::string& exeDir, const std::string& installedDir);
    // An executable regular file (links resolved) that belongs to the user or root and
    // that nobody else may write, in a folder of the user or root that nobody else may write.
    static bool IsTrustedTool(const std::string& path);
    // The argument of "/categories" for the chosen categories.
    static std::string CategoryText(const sReportSettings& settings);
    // The same as ZULUtf16ToUtf8 (below).
    static std::string Utf16ToUtf8(const std::string& bytes);

private:
    ~TZULSystemReport() = default;
    bool MakeReportFile();
    bool StartTool();
    void Complete();
    void WaitAndRead();
    bool ReadReport();
    // Whether the tool has put a report at the file's name.
    bool ReportWritten() const;
    // Waits 40 ms while the window keeps working.
    void Pause();
    // Whether the tool has ended (reaping it once it has); status_ then tells how, when known.
    bool ToolEnded();
    void Fail(const std::string& line);
    void RemoveFiles() const;

    sReportSettings settings_;
    std::string reportFile_;  // the file made for this report; empty until it exists
    bool error_ = false;
    std::vector<std::string> lines_;
    pid_t tool_ = -1;  // the running tool, -1 once reaped or never started
    int status_ = 0;   // the ended tool's wait status, when statusKnown_
    bool statusKnown_ = false;
};

// Turns 16-bit text into UTF-8: big-endian after the byte order mark FE FF, little-endian
// after FF FE or without a mark (the mark itself is dropped). A pair of surrogates is one
// character, a lone surrogate becomes U+FFFD and a trailing odd byte is dropped. Any bytes
// are accepted; the result is always valid UTF-8 (a 00 00 unit gives a NUL byte).
std::string ZULUtf16ToUtf8(const std::string& bytes);
