#include "ZLogger.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "ZULIniFile.h"

namespace {

constexpr int LoggerPollIntervalMs = 20;
constexpr int LoggerReadSize = 500;
constexpr signed char StatusPriority = 2;
const std::string ErrorListRule(31, '~');

// A directory of that name is no settings file.
bool FileExists(const std::string& fileName) {
    std::error_code error;
    const auto status = std::filesystem::status(fileName, error);
    return !error && std::filesystem::exists(status) && !std::filesystem::is_directory(status);
}

std::string Quoted(const std::string& text) {
    return "\"" + text + "\"";
}

}  // namespace

ZLogger::ZLogger(const ZLoggerSettings& settings)
    : ZSerialCapture(LoggerPollIntervalMs, LoggerReadSize), settings_(std::make_unique<ZLoggerSettings>()) {
    settings_->Assign(settings);
    filter_ = std::make_unique<ZFilter>(
        settings_.get(), [this](const TDateTime& time, const uint8_t* bytes, int length, uint8_t kind) {
            OnFilterBlock(time, bytes, length, kind);
        });
    parser_ = std::make_unique<ZDataTriggerParser>(
        settings_->DataTriggers, [this](const TDateTime& time, int index) { OnDataTrigger(time, index); });
    writer_ = std::make_unique<ZLogFileManager>(settings_.get(), &GetErrorHistory());
}

ZLogger::~ZLogger() {
    // No chunk may reach the filter once its parts start to go.
    StopCaptureThread();
    filter_.reset();
    parser_.reset();
    // The writer's worker reads the settings until its queue has drained, so the
    // settings outlive it.
    writer_.reset();
    settings_.reset();
}

void ZLogger::ProcessData(const uint8_t* bytes, int count) {
    // The log lines of one chunk's blocks travel to the writer's worker together.
    ZLogFileManager::BlockBatch batch(*writer_);
    if (!filter_->FeedData(bytes, count))
        GetErrorHistory().AddError("Filter", "FeedData", "Input buffer overflow");
}

void ZLogger::OnFilterBlock(const TDateTime& time, const uint8_t* bytes, int length, uint8_t kind) {
    const auto size = static_cast<uint32_t>(length);
    TotalBytes += size;
    PostStatus(0, 0, TotalBytes);
    if (entryReceiver_) entryReceiver_->AddEntry(bytes, length, time, kind);
    writer_->LogBlock(bytes, length, time, kind);
    switch (kind) {
        case bkStartTrigger:
            StartTriggerCount += 1;
            StartTriggerBytes += static_cast<uint32_t>(settings_->TriggerStart.size());
            PostStatus(2, StartTriggerCount, StartTriggerBytes);
            break;
        case bkData:
            // Matches are reported before the data counters move, as the main window expects.
            parser_->Scan(bytes, length);
            DataPacketCount += 1;
            DataPacketBytes += size;
            PostStatus(4, DataPacketCount, DataPacketBytes);
            break;
        case bkStopTrigger:
            StopTriggerCount += 1;
            StopTriggerBytes += static_cast<uint32_t>(settings_->TriggerStop.size());
            PostStatus(3, StopTriggerCount, StopTriggerBytes);
            break;
        case bkTrash:
            TrashedBytes += size;
            PostStatus(1, 0, TrashedBytes);
            break;
        default:
            break;
    }
}

void ZLogger::OnDataTrigger(const TDateTime& /*time*/, int index) {
    if (index >= 0 && static_cast<size_t>(index) < DataTriggerCounts.size()) DataTriggerCounts[index] += 1;
    PostStatus(5, index, 0);
}

void ZLogger::PostStatus(uint8_t kind, double count, double total) {
    if (statusReceiver_) statusReceiver_->PostStatus(kind, std::string(), count, total, StatusPriority);
}

void ZLogger::ZeroCounters() {
    TrashedBytes = 0;
    TotalBytes = 0;
    StartTriggerCount = 0;
    StartTriggerBytes = 0;
    StopTriggerCount = 0;
    StopTriggerBytes = 0;
    DataPacketCount = 0;
    DataPacketBytes = 0;
    DataTriggerCounts.assign(static_cast<size_t>(parser_->GetCount()), 0);
}

bool ZLogger::StartCapture() {
    // Zeroing and resetting under a running capture would race with the chunk pump.
    if (IsCapturing() || replaying_) return false;
    DrainChunks();
    ZeroCounters();
    filter_->Reset();
    return OpenPort();
}

bool ZLogger::StopCapture() {
    const bool closed = ClosePort();
    FinishCapture();
    return closed;
}

void ZLogger::FinishCapture() {
    // Chunks read before the close are still on their way; the filter must see them all
    // before its rest is flushed, and never from two threads at once.
    DrainChunks();
    filter_->Flush();
    writer_->Flush();
}

bool ZLogger::SetSettings(const ZLoggerSettings& settings) {
    if (IsCapturing() || replaying_) return false;
    auto fresh = std::make_unique<ZLoggerSettings>();
    fresh->Assign(settings);
    filter_->SetSettings(fresh.get());
    writer_->SetSettings(fresh.get());
    parser_->SetTriggers(fresh->DataTriggers);
    settings_ = std::move(fresh);
    return true;
}

void ZLogger::GetSettings(ZLoggerSettings& settings) const {
    settings.Assign(*settings_);
}

bool ZLogger::LoadSettings(const std::string& fileName, std::string& errorText) {
    if (IsCapturing() || replaying_) {
        errorText = "Cannot change settings while capture is running!";
        return false;
    }
    if (!FileExists(fileName)) {
        errorText = "File not found: " + Quoted(fileName);
        return false;
    }
    const ZULIniFile ini(fileName);
    if (!LoadPortSettings(ini, errorText)) return false;
    if (!ZLoggerSettings::CheckIni(ini, errorText)) return false;
    // The parser keeps its triggers: callers show the loaded settings and pass them
    // through SetSettings before the next capture, which brings the parser in line.
    settings_->ReadFromIni(ini);
    return true;
}

bool ZLogger::SaveSettings(const std::string& fileName, bool overwrite, std::string& errorText) {
    if (!overwrite && FileExists(fileName)) {
        errorText = "File already exists: " + Quoted(fileName);
        return false;
    }
    // Built in memory from nothing (saving replaces the whole file) and written through a
    // temporary file, so a failed write leaves the previous file as it was.
    ZULIniFile ini;
    SavePortSettings(ini);
    settings_->WriteToIni(ini);
    if (!ini.UpdateFile(fileName)) {
        errorText = "File could not be created: " + Quoted(fileName);
        return false;
    }
    return true;
}

int ZLogger::GetErrorList(std::vector<std::string>& list) {
    const TZULErrorHistory& errors = GetErrorHistory();
    const int count = errors.GetCount();
    list.clear();
    list.push_back("### TOTAL ERRORS: " + std::to_string(count) + " ###");
    list.push_back(ErrorListRule);
    for (int i = 0; i < count; ++i) {
        const TZULError entry = errors.GetError(i);
        list.push_back(ErrorListRule);
        list.push_back("Module:\t" + entry.Module);
        list.push_back("Function:\t" + entry.Function);
        list.push_back("Error:\t" + entry.Error);
    }
    return count;
}

void ZLogger::BeginReplay() {
    if (IsCapturing() || replaying_) return;
    DrainChunks();
    replaying_ = true;
    ZeroCounters();
    filter_->Reset();
    writer_->SetWaitWhenFull(true);
}

void ZLogger::FeedReplay(const uint8_t* bytes, int count) {
    if (replaying_) PostReceivedChunk(bytes, count, true);
}

void ZLogger::EndReplay() {
    if (!replaying_) return;
    FinishCapture();
    writer_->SetWaitWhenFull(false);
    replaying_ = false;
}
