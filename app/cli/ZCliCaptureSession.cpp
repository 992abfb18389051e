#include "ZCliCaptureSession.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <system_error>

#include "Funset_strings.h"
#include "ZCliDissectors.h"
#include "ZULAppDir.h"

namespace {

// The reason a folder could not be made, for the user; the attempt is repeated
// only to learn it.
std::string WhyNoDirectory(const std::string& dir) {
    std::error_code error;
    std::filesystem::create_directories(dir, error);
    return error ? error.message() : "a file of that name is in the way";
}

// The folders that making dir would create, innermost first.
std::vector<std::string> MissingFolders(std::string dir) {
    std::vector<std::string> missing;
    while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
    struct stat status {};
    while (!dir.empty() && dir != "/" && ::lstat(dir.c_str(), &status) != 0 && errno == ENOENT) {
        missing.push_back(dir);
        const size_t slash = dir.rfind('/');
        if (slash == std::string::npos) break;
        dir.resize(slash);
    }
    return missing;
}

}  // namespace

std::string ZCliWithTrailingSlash(std::string dir) {
    while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
    if (!dir.empty() && dir.back() != '/') dir += '/';
    return dir;
}

ZCliCaptureSession::ZCliCaptureSession(ZCliContext& context)
    : context_(context), logger_(std::make_unique<ZLogger>(ZLoggerSettings())) {}

ZCliCaptureSession::~ZCliCaptureSession() {
    // The engine's threads report into the collector and the export until they end.
    logger_.reset();
}

int ZCliCaptureSession::Prepare(const std::string& settingsFile, const std::string& outDir) {
    std::string errorText;
    // Without a file (kestrun-cli send) the defaults apply.
    if (!settingsFile.empty() && !logger_->LoadSettings(settingsFile, errorText)) {
        context_.Err << errorText << '\n';
        return kCliExitUsage;
    }
    logger_->GetSettings(settings_);
    // The window program shows a stored mode it does not know as "all bytes", so the
    // next capture runs that way; the command line does the same.
    if (settings_.CaptureMode > cmLastKnown) settings_.CaptureMode = cmAllBytes;
    if (int code = CheckTriggers(); code != kCliExitOk) return code;
    std::unique_ptr<ZRawRecorder> raw;
    if (!rawFile_.empty() && !IsTimedRecordingName(rawFile_)) {
        raw = std::make_unique<ZRawRecorder>(&logger_->GetErrorHistory());
        if (std::string error; !raw->Create(rawFile_, error)) {
            context_.Err << error << '\n';
            return kCliExitFailed;
        }
    }
    if (int code = writeLogFiles_ ? PrepareLogDir(outDir) : kCliExitOk; code != kCliExitOk) {
        if (raw) raw->Discard();
        return code;
    }
    logger_->SetWriteLogFiles(writeLogFiles_);
    settings_.Reconnect = settings_.Reconnect || reconnect_;
    settings_.Frames.PreciseTime = settings_.Frames.PreciseTime || preciseTime_;
    collector_.Reset(settings_.DataTriggers.GetCount());
    logger_->SetStatusReceiver(&collector_);
    logger_->SetSettings(settings_);
    fieldStatistics_.Reset(settings_.Fields);
    if (!settings_.Fields.Items.empty()) logger_->AddBlockObserver(&fieldStatistics_);
    logger_->SetRawRecorder(std::move(raw));
    return kCliExitOk;
}

int ZCliCaptureSession::CreateRawRecording() {
    if (rawFile_.empty() || !IsTimedRecordingName(rawFile_)) return kCliExitOk;
    auto raw = std::make_unique<ZRawRecorder>(&logger_->GetErrorHistory());
    const auto description = [this](int line) {
        return "COM" + std::to_string(logger_->GetCOMPort(line)) + " at " +
               std::to_string(logger_->GetBaudrate(line)) + " baud";
    };
    // One line keeps the interface the device names; two are named after the lines, so
    // that a replay and a reader tell them apart.
    const bool two = logger_->HasSecondLine();
    const std::string name = two ? logger_->GetLineName(0) : logger_->GetPort().GetDevicePath();
    if (std::string error; !raw->CreateTimed(rawFile_, name, description(0), error)) {
        context_.Err << error << '\n';
        return kCliExitFailed;
    }
    if (two && !raw->AddTimedInterface(logger_->GetLineName(1), description(1))) {
        context_.Err << "The recording file could not be written: \"" << rawFile_ << "\"\n";
        raw->Discard();
        return kCliExitFailed;
    }
    logger_->SetRawRecorder(std::move(raw));
    return kCliExitOk;
}

void ZCliCaptureSession::SetCaptureOptions(bool reconnect, const std::string& rawFile) {
    reconnect_ = reconnect;
    rawFile_ = rawFile;
}

int ZCliCaptureSession::CheckTriggers() const {
    if (std::string error; !settings_.CheckTriggers(error)) {
        context_.Err << error << '\n';
        return kCliExitFailed;
    }
    return kCliExitOk;
}

int ZCliCaptureSession::PrepareLogDir(const std::string& outDir) {
    std::string dir = ZCliWithTrailingSlash(outDir.empty() ? settings_.LogDir : outDir);
    // An empty folder would put the log files at the root of the file system.
    if (dir.empty()) dir = DefaultLogDir();
    std::vector<std::string> missing = MissingFolders(dir);
    if (!ZULForceDirectories(dir)) {
        context_.Err << "Error creating the log directory: \"" << dir << "\": " << WhyNoDirectory(dir)
                     << '\n';
        return kCliExitFailed;
    }
    if (access(dir.c_str(), W_OK | X_OK) != 0) {
        context_.Err << "The log directory is not writable: \"" << dir << "\": " << GetLastErrorText()
                     << '\n';
        return kCliExitFailed;
    }
    settings_.LogDir = dir;
    madeFolders_ = std::move(missing);
    return kCliExitOk;
}

int ZCliCaptureSession::OpenFrameExport(const std::string& fileName) {
    if (fileName.empty()) return kCliExitOk;
    std::string error;
    if (!frameExport_.Create(fileName, error)) {
        context_.Err << error << '\n';
        return kCliExitFailed;
    }
    frameExport_.SetWithFields(!settings_.Fields.Items.empty());
    struct stat made {};
    if (::lstat(fileName.c_str(), &made) == 0) {
        frameExportName_ = fileName;
        frameExportDevice_ = made.st_dev;
        frameExportInode_ = made.st_ino;
    }
    logger_->AddBlockObserver(&frameExport_);
    return kCliExitOk;
}

int ZCliCaptureSession::OpenCsv(const std::string& fileName) {
    if (fileName.empty()) return kCliExitOk;
    std::string error;
    if (!logger_->GetFieldCsv().Create(fileName, settings_.Fields, error)) {
        context_.Err << error << '\n';
        return kCliExitFailed;
    }
    if (settings_.Fields.Items.empty())
        context_.Err
            << "The settings define no fields ([_fields]): the CSV file gets its header \"time\" only.\n";
    return kCliExitOk;
}

bool ZCliCaptureSession::CheckCsv() {
    const std::string failure = logger_->GetFieldCsv().Failure();
    if (failure.empty()) return true;
    context_.Err << failure << '\n';
    return false;
}

void ZCliCaptureSession::ReportCsv() {
    const ZFieldCsv& csv = logger_->GetFieldCsv();
    if (csv.Path().empty()) return;
    context_.Err << "The field values are in " << csv.Path() << " (" << csv.RowsWritten() << " rows)\n";
}

void ZCliCaptureSession::Abandon() {
    if (ZRawRecorder* raw = logger_->GetRawRecorder()) raw->Discard();
    logger_->GetFieldCsv().Discard();
    std::string ignored;
    frameExport_.Close(ignored);
    struct stat named {};
    // Whatever took the name since, or a file that holds lines, stays.
    if (!frameExportName_.empty() && ::lstat(frameExportName_.c_str(), &named) == 0 &&
        S_ISREG(named.st_mode) && named.st_dev == frameExportDevice_ && named.st_ino == frameExportInode_ &&
        named.st_size == 0)
        ::unlink(frameExportName_.c_str());
    frameExportName_.clear();
    // rmdir removes only an empty folder: one that got files meanwhile stays.
    for (const std::string& folder : madeFolders_) {
        if (::rmdir(folder.c_str()) != 0) break;
    }
    madeFolders_.clear();
}

bool ZCliCaptureSession::CloseFrameExport() {
    std::string error;
    if (frameExport_.Close(error)) return true;
    context_.Err << error << '\n';
    return false;
}

int ZCliCaptureSession::OpenPcap(const std::string& fileName, const std::string& ifName,
                                 const std::string& ifDescription, const std::string& protocol) {
    if (fileName.empty()) return kCliExitOk;
    const std::string& dissector = protocol.empty() ? settings_.Frames.PcapProtocol : protocol;
    std::string error;
    if (!logger_->GetFramePcap().Create(fileName, dissector, ZStopTriggerEndsFrame(settings_.CaptureMode),
                                        ifName, ifDescription, error)) {
        context_.Err << error << '\n';
        return kCliExitFailed;
    }
    ZCliWarnUnknownDissector(dissector, context_.Err);
    return kCliExitOk;
}

void ZCliCaptureSession::ReportPcap() {
    const ZFramePcap& pcap = logger_->GetFramePcap();
    if (pcap.Path().empty()) return;
    context_.Err << "The Wireshark capture is in " << pcap.Path() << " (" << pcap.PacketsWritten()
                 << " packets)\n";
}

void ZCliCaptureSession::ResetCounters() {
    collector_.Reset(settings_.DataTriggers.GetCount());
    fieldStatistics_.Reset(settings_.Fields);
}

ZCliCaptureReport ZCliCaptureSession::TakeReport() {
    ZCliCaptureReport report;
    report.Counters = collector_.Snapshot();
    const TZULErrorHistory& errors = logger_->GetErrorHistory();
    for (int i = 0; i < errors.GetCount(); ++i) report.Errors.push_back(errors.GetError(i));
    report.LogFiles = logger_->GetLogFileManager().TakeWrittenFiles();
    report.LogFilesFailed = logger_->GetLogFileManager().TakeFailedFileCount();
    report.LogDir = settings_.LogDir;
    report.ChecksumActive = settings_.Frames.ChecksumActive();
    report.Fields = fieldStatistics_.Snapshot();
    if (logger_->CapturesTwoLines()) {
        for (int line = 0; line < ZLogger::MaxLines; ++line) {
            const ZLogger::sLineCounters& c = logger_->LineCounters[line];
            report.Lines.push_back({logger_->CapturedLineName(line), c.TotalBytes, c.TrashedBytes,
                                    c.StartTriggerCount, c.StopTriggerCount, c.DataPacketCount,
                                    c.DataPacketBytes, c.ChecksumGood, c.ChecksumBad});
        }
    }
    return report;
}
