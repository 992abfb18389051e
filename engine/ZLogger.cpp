#include "ZLogger.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <filesystem>
#include <system_error>

#include "ZULFileIO.h"
#include "ZULIniFile.h"
#include "ZULText.h"

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

// The Wireshark capture of the frames is "<first log file's name>.pcapng"; a timed raw
// recording made beside it in the same capture must not take that name.
std::string RawRecordingSuffix(bool timed) { return timed ? ".raw.pcapng" : ".bin"; }

}  // namespace

ZLogger::ZLogger(const ZLoggerSettings& settings)
    : ZSerialCapture(LoggerPollIntervalMs, LoggerReadSize),
      settings_(std::make_unique<ZLoggerSettings>()),
      logGate_([this](const sBlock& block, bool checksumWrong) { LogBlock(block, checksumWrong); }) {
    settings_->Assign(settings);
    for (int line = 0; line < MaxLines; ++line)
        filters_[line] = std::make_unique<ZFilter>(
            settings_.get(), [this, line](const TDateTime& time, const uint8_t* bytes, int length, uint8_t kind) {
                OnFilterBlock(line, time, bytes, length, kind);
            });
    parser_ = std::make_unique<ZDataTriggerParser>(
        settings_->DataTriggers, [this](const TDateTime& time, int index) { OnDataTrigger(time, index); });
    writer_ = std::make_unique<ZLogFileManager>(settings_.get(), &GetErrorHistory());
    // A full queue of log lines holds the chunks back, and they the reading: the
    // port's driver keeps what is not read yet, so no line needs to be dropped.
    writer_->SetWaitWhenFull(true);
    writer_->SetFileWrittenHook([this](const std::string& path) { OnLogFileWritten(path); });
    PrepareFields();
}

void ZLogger::PrepareFields() {
    decoder_ = ZFieldDecoder(settings_->Fields);
    values_ = decoder_.MakeValues();
}

ZLogger::~ZLogger() {
    // No chunk may reach the filter once its parts start to go.
    StopCaptureThread();
    for (auto& filter : filters_) filter.reset();
    parser_.reset();
    // The writer's worker reads the settings until its queue has drained, so the
    // settings outlive it.
    writer_.reset();
    settings_.reset();
}

void ZLogger::ProcessData(const uint8_t* bytes, int count) {
    FeedFilter(bytes, count, 0, 0);
}

void ZLogger::FeedFilter(const uint8_t* bytes, int count, TDateTime time, int64_t timeUs) {
    ObserveBytes(bytes, count, false);
    // The log lines of one chunk's blocks travel to the writer's worker together.
    ZLogFileManager::BlockBatch batch(*writer_);
    ZFilter& filter = *filters_[ChunkLine()];
    const bool fed = time != 0 ? filter.FeedData(bytes, count, time, timeUs) : filter.FeedData(bytes, count);
    if (!fed)
        GetErrorHistory().AddError("Filter", "FeedData",
                                   ZULFormat(ZUL_TEXT("Filter", "Input buffer overflow")));
}

void ZLogger::PollDone() {
    pcap_.FlushIfDue();
    csv_.FlushIfDue();
}

void ZLogger::ProcessTimedData(const uint8_t* bytes, int count, TDateTime time, int64_t timeUs) {
    FeedFilter(bytes, count, time, timeUs);
}

void ZLogger::SilenceSince(int64_t lastReadUs) {
    ZLogFileManager::BlockBatch batch(*writer_);
    filters_[ChunkLine()]->Silence(lastReadUs);
}

int64_t ZLogger::SilenceGapMicros(int line) {
    if (settings_->CaptureMode != cmSilence) return 0;
    return settings_->Frames.SilenceGapMicros(GetLineTiming(line));
}

void ZLogger::PortStateChanged(bool waiting) {
    if (waiting) {
        // Only the lost line's frame ends; the other line's goes on.
        const int line = ChunkLine();
        ZLogFileManager::BlockBatch batch(*writer_);
        filters_[line]->Flush();
        CountBytesWithoutBlock(line);
        filters_[line]->Reset();
    }
    if (statusReceiver_)
        statusReceiver_->PostStatus(7, waiting ? WaitingForPortText : std::string(), 0, 0, StatusPriority);
}

void ZLogger::AddBlockObserver(IZBlockObserver* observer) {
    if (observer != nullptr && std::find(blockObservers_.begin(), blockObservers_.end(), observer) ==
                                   blockObservers_.end())
        blockObservers_.push_back(observer);
}

void ZLogger::RemoveBlockObserver(IZBlockObserver* observer) {
    std::erase(blockObservers_, observer);
}

void ZLogger::AddByteObserver(IZByteObserver* observer) {
    if (observer != nullptr && std::find(byteObservers_.begin(), byteObservers_.end(), observer) ==
                                   byteObservers_.end())
        byteObservers_.push_back(observer);
}

void ZLogger::RemoveByteObserver(IZByteObserver* observer) {
    std::erase(byteObservers_, observer);
}

void ZLogger::ObserveBytes(const uint8_t* bytes, int count, bool sent) {
    for (IZByteObserver* observer : byteObservers_)
        observer->OnLineBytes(bytes, count, sent, ChunkTimeUs(), ChunkLine());
}

void ZLogger::SetWriteLogFiles(bool write) {
    if (!IsCapturing() && !replaying_) writeLogFiles_ = write;
}

void ZLogger::LogInformation(std::string_view text) {
    if (writeLogFiles_) writer_->LogInformation(ZULNow(), text);
}

void ZLogger::LogBlock(const sBlock& block, bool checksumWrong) {
    if (writeLogFiles_) writer_->LogBlock(block, checksumWrong);
}

void ZLogger::Observe(const sBlock& block) {
    for (IZBlockObserver* observer : blockObservers_) observer->OnBlock(block);
    pcap_.OnBlock(block);
    csv_.OnBlock(block);
}

void ZLogger::ProcessSent(const uint8_t* bytes, int count, TDateTime time) {
    ObserveBytes(bytes, count, true);
    SendCount += 1;
    SentBytes += static_cast<uint32_t>(count);
    PostStatus(8, SendCount, SentBytes);
    std::fill(blockTriggerCounts_.begin(), blockTriggerCounts_.end(), 0);
    sBlock block{time, bytes, count, bkSent};
    MarkLine(block, 0);
    if (entryReceiver_) entryReceiver_->AddBlock(block);
    LogBlock(block, false);
    block.TriggerCounts = blockTriggerCounts_;
    Observe(block);
}

void ZLogger::MarkLine(sBlock& block, int line) const {
    if (!twoLines_) return;
    block.Line = static_cast<int8_t>(line);
    block.LineName = lineNames_[line];
}

void ZLogger::OnFilterBlock(int line, const TDateTime& time, const uint8_t* bytes, int length, uint8_t kind) {
    const ZFilter& filter = *filters_[line];
    sLineCounters& counters = LineCounters[line];
    const auto size = static_cast<uint32_t>(length);
    const TFrameVerdict verdict = filter.GetBlockVerdict();
    std::fill(blockTriggerCounts_.begin(), blockTriggerCounts_.end(), 0);
    // The bytes on the line, which a decoded frame's payload is not.
    const auto lineBytes = static_cast<uint32_t>(filter.GetBlockLineBytes());
    TotalBytes += lineBytes;
    counters.TotalBytes += lineBytes;
    PostStatus(0, 0, TotalBytes);
    sBlock block{time, bytes, length, kind, verdict};
    block.EncodedLength = filter.GetBlockEncodedLength();
    MarkLine(block, line);
    if (kind == bkData && verdict != fvBad && !decoder_.Empty()) {
        decoder_.Decode(bytes, length, values_);
        block.Values = &values_;
    }
    if (entryReceiver_) entryReceiver_->AddBlock(block);
    logGate_.Pass(*settings_, block);
    switch (kind) {
        case bkStartTrigger:
            StartTriggerCount += 1;
            counters.StartTriggerCount += 1;
            StartTriggerBytes += static_cast<uint32_t>(settings_->TriggerStart.size());
            PostStatus(2, StartTriggerCount, StartTriggerBytes);
            break;
        case bkData:
            // Matches are reported before the data counters move, as the main window expects.
            parser_->Scan(bytes, length);
            DataPacketCount += 1;
            DataPacketBytes += size;
            counters.DataPacketCount += 1;
            counters.DataPacketBytes += size;
            PostStatus(4, DataPacketCount, DataPacketBytes);
            break;
        case bkStopTrigger:
            StopTriggerCount += 1;
            counters.StopTriggerCount += 1;
            StopTriggerBytes += static_cast<uint32_t>(settings_->TriggerStop.size());
            PostStatus(3, StopTriggerCount, StopTriggerBytes);
            break;
        case bkTrash:
            TrashedBytes += size;
            counters.TrashedBytes += size;
            PostStatus(1, 0, TrashedBytes);
            break;
        default:
            break;
    }
    if (verdict != fvNone) {
        (verdict == fvGood ? ChecksumGood : ChecksumBad) += 1;
        (verdict == fvGood ? counters.ChecksumGood : counters.ChecksumBad) += 1;
        PostStatus(6, ChecksumGood, ChecksumBad);
    }
    block.TriggerCounts = blockTriggerCounts_;
    Observe(block);
}

void ZLogger::CountBytesWithoutBlock(int line) {
    if (const int64_t bytes = filters_[line]->TakeUncountedLineBytes(); bytes > 0) {
        TotalBytes += static_cast<uint32_t>(bytes);
        LineCounters[line].TotalBytes += static_cast<uint32_t>(bytes);
        PostStatus(0, 0, TotalBytes);
    }
}

void ZLogger::OnDataTrigger(const TDateTime& /*time*/, int index) {
    // Read by DataTriggerMatchesSoFar on another thread while the capture runs.
    if (index >= 0 && static_cast<size_t>(index) < DataTriggerCounts.size())
        std::atomic_ref<uint32_t>(DataTriggerCounts[static_cast<size_t>(index)])
            .fetch_add(1, std::memory_order_relaxed);
    if (index >= 0 && static_cast<size_t>(index) < blockTriggerCounts_.size())
        blockTriggerCounts_[static_cast<size_t>(index)] += 1;
    PostStatus(5, index, 0);
}

uint32_t ZLogger::DataTriggerMatchesSoFar(int index) const {
    if (index < 0 || static_cast<size_t>(index) >= DataTriggerCounts.size()) return 0;
    // The list is resized only by the thread that starts captures, which is the caller's.
    auto& count = const_cast<uint32_t&>(DataTriggerCounts[static_cast<size_t>(index)]);
    return std::atomic_ref<uint32_t>(count).load(std::memory_order_relaxed);
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
    ChecksumGood = 0;
    ChecksumBad = 0;
    SendCount = 0;
    SentBytes = 0;
    for (sLineCounters& counters : LineCounters) counters = sLineCounters();
    DataTriggerCounts.assign(static_cast<size_t>(parser_->GetCount()), 0);
    blockTriggerCounts_.assign(DataTriggerCounts.size(), 0);
    logGate_.Reset();
}

bool ZLogger::StartCapture() {
    // Zeroing and resetting under a running capture would race with the chunk pump.
    if (IsCapturing() || replaying_) return false;
    startErrorText_.clear();
    // A capture whose lines could go nowhere would only look as if it worked.
    if (writeLogFiles_ && !ZLogFileManager::CheckLogFolder(settings_->LogDir, startErrorText_)) return false;
    writer_->ClearWriteProblem();
    // A plain raw recording is one stream of bytes: two lines would mix in it.
    const ZRawRecorder* handed = GetRawRecorder();
    const bool plainRaw = handed != nullptr && handed->IsOpen() ? !handed->IsTimed()
                                                                 : settings_->RawRecording && !settings_->Frames.RawRecordingTimed;
    if (HasSecondLine() && plainRaw) {
        startErrorText_ = "A raw recording of two lines must be timed (.pcapng): a .bin file cannot keep them apart.";
        return false;
    }
    DrainChunks();
    ZeroCounters();
    PrepareLines();
    SetPreciseTime(settings_->UsesPreciseTime(), SilenceGapMicros(0));
    SetReconnect(settings_->Reconnect);
    {
        // The last capture's recording keeps the name it has.
        std::lock_guard guard(rawNameLock_);
        rawAwaitingName_ = nullptr;
    }
    ZRawRecorder* given = GetRawRecorder();
    if (given == nullptr || !given->IsOpen()) {
        std::unique_ptr<ZRawRecorder> recorder;
        if (settings_->RawRecording && !CreateRawRecording(recorder)) {
            SetRawRecorder(nullptr);
            return false;
        }
        SetRawRecorder(std::move(recorder));
    }
    if (!pcap_.IsOpen() && settings_->Frames.PcapRecording && !CreatePcapRecording()) {
        if (ZRawRecorder* recorder = GetRawRecorder()) recorder->Discard();
        return false;
    }
    const bool csvFailed =
        !csv_.IsOpen() && settings_->Fields.CsvRecording && !decoder_.Empty() && !CreateCsvRecording();
    if (!csvFailed && OpenPort()) return true;
    if (ZRawRecorder* recorder = GetRawRecorder()) recorder->Discard();
    AbandonCsv();
    bool made = false;
    {
        std::lock_guard guard(rawNameLock_);
        made = pcapAwaitingName_;
    }
    ClosePcap();
    // A capture of this start that never began leaves no file behind.
    if (made && pcap_.PacketsWritten() == 0) unlink(pcap_.Path().c_str());
    return false;
}

bool ZLogger::CreatePcapRecording() {
    std::string directory = settings_->LogDir;
    if (!directory.empty() && directory.back() != '/') directory += '/';
    const std::string device = GetPort().GetDevicePath();
    const std::string port = "COM" + std::to_string(GetCOMPort());
    const int64_t now = ZULNowEpochMs();
    for (int64_t candidate = now; candidate < now + 1000; ++candidate) {
        const std::string path =
            directory + ZLogFileManager::LogFileName(ZULLocalParts(candidate)) + ".pcapng";
        // A name that is taken, by anything, is skipped, as the log files do.
        struct stat taken {};
        if (lstat(path.c_str(), &taken) == 0) continue;
        if (!pcap_.Create(path, settings_->Frames.PcapProtocol, ZStopTriggerEndsFrame(settings_->CaptureMode),
                          port, device, startErrorText_))
            return false;
        std::lock_guard guard(rawNameLock_);
        pcapAwaitingName_ = true;
        return true;
    }
    startErrorText_ = ZULFormat(
        ZUL_TEXT("Logger", "The Wireshark capture could not be created: every name is taken in \"%1\""),
        {directory});
    return false;
}

void ZLogger::ClosePcap() {
    if (std::string error; !pcap_.Close(error)) GetErrorHistory().AddError("FramePcap", "Close", error);
    std::lock_guard guard(rawNameLock_);
    pcapAwaitingName_ = false;
}

bool ZLogger::CreateCsvRecording() {
    std::string directory = settings_->LogDir;
    if (!directory.empty() && directory.back() != '/') directory += '/';
    const int64_t now = ZULNowEpochMs();
    for (int64_t candidate = now; candidate < now + 1000; ++candidate) {
        const std::string path = directory + ZLogFileManager::LogFileName(ZULLocalParts(candidate)) + ".csv";
        if (csv_.Create(path, settings_->Fields, startErrorText_)) {
            startErrorText_.clear();
            std::lock_guard guard(rawNameLock_);
            csvAwaitingName_ = true;
            return true;
        }
        // A name that is taken, by anything, is skipped, as the log files do.
        if (csv_.GetCreateError() != EEXIST) return false;
    }
    startErrorText_ = ZULFormat(
        ZUL_TEXT("Logger", "The CSV file could not be created: every name is taken in \"%1\""), {directory});
    return false;
}

void ZLogger::CloseCsv() {
    if (std::string error; !csv_.Close(error)) GetErrorHistory().AddError("FieldCsv", "Close", error);
    std::lock_guard guard(rawNameLock_);
    csvAwaitingName_ = false;
}

void ZLogger::AbandonCsv() {
    bool made = false;
    {
        std::lock_guard guard(rawNameLock_);
        made = csvAwaitingName_;
        csvAwaitingName_ = false;
    }
    // A file handed over by the caller is the caller's to remove.
    if (made) csv_.Discard();
}

bool ZLogger::CreateRawRecording(std::unique_ptr<ZRawRecorder>& recorder) {
    std::string directory = settings_->LogDir;
    if (!directory.empty() && directory.back() != '/') directory += '/';
    recorder = std::make_unique<ZRawRecorder>(&GetErrorHistory());
    // A name that is taken, by anything, is skipped, as the log files do.
    const int64_t now = ZULNowEpochMs();
    const bool timed = settings_->Frames.RawRecordingTimed;
    for (int64_t candidate = now; candidate < now + 1000; ++candidate) {
        const std::string path =
            directory + ZLogFileManager::LogFileName(ZULLocalParts(candidate)) + RawRecordingSuffix(timed);
        const bool created = timed ? CreateTimedRecording(*recorder, path) : recorder->Create(path, startErrorText_);
        if (created) {
            startErrorText_.clear();
            std::lock_guard guard(rawNameLock_);
            rawAwaitingName_ = recorder.get();
            return true;
        }
        if (recorder->GetCreateError() != EEXIST) break;
    }
    return false;
}

bool ZLogger::CreateTimedRecording(ZRawRecorder& recorder, const std::string& path) {
    if (!HasSecondLine())
        return recorder.CreateTimed(path, GetPort().GetDevicePath(), "COM" + std::to_string(GetCOMPort()),
                                    startErrorText_);
    // Each line an interface named after it, so that a replay keeps them apart.
    const auto deviceOf = [this](int line) {
        const std::string device = GetPort(line).GetDevicePath();
        return device.empty() ? "COM" + std::to_string(GetCOMPort(line)) : device;
    };
    return recorder.CreateTimed(path, GetLineName(0), deviceOf(0), startErrorText_) &&
           recorder.AddTimedInterface(GetLineName(1), deviceOf(1));
}

void ZLogger::OnLogFileWritten(const std::string& path) {
    std::lock_guard guard(rawNameLock_);
    // A name that is taken leaves the capture under the name it has.
    if (pcapAwaitingName_) pcap_.MoveTo(path + ".pcapng");
    pcapAwaitingName_ = false;
    if (csvAwaitingName_) csv_.MoveTo(path + ".csv");
    csvAwaitingName_ = false;
    if (rawAwaitingName_ == nullptr) return;
    // A name that is taken leaves the recording under the name it has.
    const std::string current = rawAwaitingName_->Path();
    const std::string timedSuffix = RawRecordingSuffix(true);
    const bool timed = current.size() >= timedSuffix.size() &&
                       current.compare(current.size() - timedSuffix.size(), timedSuffix.size(), timedSuffix) == 0;
    rawAwaitingName_->MoveTo(path + RawRecordingSuffix(timed));
    rawAwaitingName_ = nullptr;
}

bool ZLogger::StopCapture() {
    const bool closed = ClosePort();
    FinishCapture();
    return closed;
}

void ZLogger::PrepareLines() {
    twoLines_ = HasSecondLine();
    for (int line = 0; line < MaxLines; ++line) {
        lineNames_[line] = twoLines_ ? GetLineName(line) : std::string();
        filters_[line]->Reset();
        filters_[line]->SetSilenceGap(SilenceGapMicros(line), GetLineTiming(line));
    }
}

void ZLogger::FinishCapture() {
    // Chunks read before the close are still on their way; the filters must see them all
    // before their rest is flushed, and never from two threads at once.
    DrainChunks();
    for (int line = 0; line < MaxLines; ++line) {
        filters_[line]->Flush();
        CountBytesWithoutBlock(line);
    }
    logGate_.Finish();
    writer_->Flush();
    ClosePcap();
    CloseCsv();
}

bool ZLogger::SetSettings(const ZLoggerSettings& settings) {
    if (IsCapturing() || replaying_) return false;
    auto fresh = std::make_unique<ZLoggerSettings>();
    fresh->Assign(settings);
    for (auto& filter : filters_) filter->SetSettings(fresh.get());
    writer_->SetSettings(fresh.get());
    parser_->SetTriggers(fresh->DataTriggers);
    settings_ = std::move(fresh);
    PrepareFields();
    return true;
}

void ZLogger::GetSettings(ZLoggerSettings& settings) const {
    settings.Assign(*settings_);
}

bool ZLogger::LoadSettings(const std::string& fileName, std::string& errorText) {
    if (IsCapturing() || replaying_) {
        errorText = ZULFormat(ZUL_TEXT("Logger", "Cannot change settings while capture is running!"));
        return false;
    }
    if (!FileExists(fileName)) {
        std::error_code ignored;
        errorText = ZULFormat(std::filesystem::is_directory(fileName, ignored)
                                  ? ZUL_TEXT("Logger",
                                             "File not found: %1: it is a folder, and a settings file must "
                                             "be a regular file")
                                  : ZUL_TEXT("Logger", "File not found: %1"),
                              {Quoted(fileName)});
        return false;
    }
    const ZULIniFile ini(fileName);
    // The port takes the file's settings before the rest is checked: a refused file
    // puts the previous ones back, so that nothing of it is used.
    ZULIniFile previousPort;
    SavePortSettings(previousPort);
    if (!LoadPortSettings(ini, errorText)) {
        // The designed text stays first; why nothing could be read follows it.
        if (!ini.LoadError().empty())
            errorText = ZULFormat(ZUL_TEXT("Logger", "%1: the file %2"), {errorText, ini.LoadError()});
        if (!ZULFileKindText(fileName).empty())
            errorText =
                ZULFormat(ZUL_TEXT("Logger", "%1, and a settings file must be a regular file"), {errorText});
        return false;
    }
    if (!ZLoggerSettings::CheckIni(ini, errorText)) {
        std::string ignored;
        LoadPortSettings(previousPort, ignored);
        return false;
    }
    // The parser keeps its triggers: callers show the loaded settings and pass them
    // through SetSettings before the next capture, which brings the parser in line.
    settings_->ReadFromIni(ini);
    PrepareFields();
    return true;
}

bool ZLogger::SaveSettings(const std::string& fileName, bool overwrite, std::string& errorText) {
    if (!overwrite && FileExists(fileName)) {
        errorText = ZULFormat(ZUL_TEXT("Logger", "File already exists: %1"), {Quoted(fileName)});
        return false;
    }
    // Built in memory from nothing (saving replaces the whole file) and written through a
    // temporary file, so a failed write leaves the previous file as it was.
    ZULIniFile ini;
    SavePortSettings(ini);
    settings_->WriteToIni(ini);
    if (!ini.UpdateFile(fileName)) {
        errorText = ZULFormat(ZUL_TEXT("Logger", "File could not be created: %1"), {Quoted(fileName)});
        return false;
    }
    return true;
}

int ZLogger::GetErrorList(std::vector<std::string>& list) {
    const TZULErrorHistory& errors = GetErrorHistory();
    const int count = errors.GetCount();
    list.clear();
    list.push_back("### TOTAL ERRORS: " + std::to_string(errors.GetErrorCount()) + " ###");
    list.push_back(ErrorListRule);
    for (int i = 0; i < count; ++i) {
        const TZULError entry = errors.GetError(i);
        list.push_back(ErrorListRule);
        list.push_back("Module:\t" + entry.Module);
        list.push_back("Function:\t" + entry.Function);
        list.push_back((entry.Informational ? "Information:\t" : "Error:\t") + entry.Error);
    }
    return errors.GetErrorCount();
}

void ZLogger::BeginReplay() {
    if (IsCapturing() || replaying_) return;
    DrainChunks();
    replaying_ = true;
    ZeroCounters();
    PrepareLines();
    SpreadChunks(false);
    DeliverPromptly(false);
}

void ZLogger::FeedReplay(const uint8_t* bytes, int count, int64_t timeUs, int line) {
    if (replaying_) PostReceivedChunk(bytes, count, true, timeUs, line);
}

void ZLogger::FeedReplaySent(const uint8_t* bytes, int count, int64_t timeUs) {
    if (replaying_) PostSentRecord(bytes, count, timeUs);
}

void ZLogger::EndReplay() {
    if (!replaying_) return;
    FinishCapture();
    SpreadChunks(true);
    DeliverPromptly(true);
    replaying_ = false;
}
