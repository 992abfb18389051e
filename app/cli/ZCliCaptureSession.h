#pragma once
// One engine prepared for a replay or a live capture from a settings file, with
// the checks the window program makes before it starts a capture, and the report
// of what the capture produced.

#include <sys/types.h>

#include <memory>
#include <string>
#include <vector>

#include "ZCliCaptureReport.h"
#include "ZCliContext.h"
#include "ZCliStatusCollector.h"
#include "ZFieldStatistics.h"
#include "ZFrameExport.h"
#include "ZLogger.h"
#include "ZLoggerSettings.h"
#include "ZRecordingReplay.h"


class ZCliCaptureSession {
public:
    explicit ZCliCaptureSession(ZCliContext& context);
    ~ZCliCaptureSession();
    ZCliCaptureSession(const ZCliCaptureSession&) = delete;
    ZCliCaptureSession& operator=(const ZCliCaptureSession&) = delete;

    // Loads the settings file as the engine loads one (an empty name: the defaults), checks that the capture
    // mode has the triggers it needs, points the log files at outDir (or the settings' log directory when
    // outDir is empty) and makes sure that folder exists, then hands the settings to the engine. Tells the
    // user what went wrong and returns the exit code: kCliExitOk to go on, kCliExitUsage when the file cannot
    // be loaded, kCliExitFailed when a trigger is missing or the folder cannot be made.
    int Prepare(const std::string& settingsFile, const std::string& outDir);
    // For a live capture, before Prepare: reconnect turns reconnecting on (the settings
    // may have it on already); a rawFile is created by Prepare before the log folder
    // is made, and refused (kCliExitFailed, the file named) when it cannot be created.
    void SetCaptureOptions(bool reconnect, const std::string& rawFile);
    // For a live capture, before Prepare: precise time on (the settings may have it on already).
    void SetPreciseTime(bool precise) { preciseTime_ = precise; }
    // Before Prepare: without log files (they are written at first) no log folder is
    // made or needed, and the capture writes none.
    void SetWriteLogFiles(bool write) { writeLogFiles_ = write; }
    bool WritesLogFiles() const { return writeLogFiles_; }
    // After Prepare and once the port is chosen: creates a raw file whose name ends in
    // ".pcapng" (timed, naming the port); the exit code, with the message written.
    int CreateRawRecording();

    // Creates the frame export file (none for an empty name) and hands it the engine's
    // blocks. Tells the user why it cannot be created and returns kCliExitFailed then.
    int OpenFrameExport(const std::string& fileName);
    // Hands the exported lines to the file when they are a second old; any thread.
    void FlushFrameExport() { frameExport_.FlushIfDue(); }
    // Closes the frame export after the engine stopped; false after telling the user
    // that lines were lost.
    bool CloseFrameExport();

    // Creates the engine's CSV file of the field values (none for an empty name), and
    // warns when the settings define no fields. After Prepare. Tells the user why it
    // cannot be created and returns kCliExitFailed then.
    int OpenCsv(const std::string& fileName);
    // After the engine stopped: false after telling the user that rows of the CSV file were lost.
    bool CheckCsv();
    // Tells the user where the CSV file went, if there is one.
    void ReportCsv();

    // Creates the engine's Wireshark capture (none for an empty name) of a port called
    // ifName on the device ifDescription, with protocol (empty: the settings'), and
    // warns once when tshark does not know that protocol. After Prepare. Tells the user
    // why it cannot be created and returns kCliExitFailed then.
    int OpenPcap(const std::string& fileName, const std::string& ifName, const std::string& ifDescription,
                 const std::string& protocol = {});
    // Tells the user where the Wireshark capture went, if there is one.
    void ReportPcap();
    // For a run that fails before it starts: removes what this session made (the raw
    // recording, the frame export and the CSV file while still empty, the log folders it created
    // while still empty), so the same command can run again. Call with the engine stopped.
    void Abandon();

    // Zeroes the collected counters; call right before the engine starts.
    void ResetCounters();
    ZLogger& Logger() { return *logger_; }
    const ZLoggerSettings& Settings() const { return settings_; }
    ZCliCounters Counters() const { return collector_.Snapshot(); }
    // The counters, the error history and the log files written since the last call.
    ZCliCaptureReport TakeReport();

private:
    int CheckTriggers() const;
    int PrepareLogDir(const std::string& outDir);

    ZCliContext& context_;
    bool reconnect_ = false;
    bool preciseTime_ = false;
    bool writeLogFiles_ = true;
    std::string rawFile_;
    ZLoggerSettings settings_;
    ZCliStatusCollector collector_;  // outlives the engine, which reports into it
    ZFrameExport frameExport_;       // likewise
    ZFieldStatistics fieldStatistics_;  // likewise
    std::string frameExportName_;
    dev_t frameExportDevice_ = 0;  // the file the export made, so only it is removed
    ino_t frameExportInode_ = 0;
    std::vector<std::string> madeFolders_;  // created by PrepareLogDir, innermost first
    std::unique_ptr<ZLogger> logger_;
};

// The folder with exactly one trailing '/'; an empty text stays empty.
std::string ZCliWithTrailingSlash(std::string dir);
