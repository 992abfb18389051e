#include "ZLogFileManager.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <string_view>
#include <system_error>
#include <thread>
#include <utility>

#include "Funset_strings.h"
#include "ZFieldText.h"
#include "ZFieldValues.h"
#include "ZFilter.h"
#include "ZULAppDir.h"
#include "ZULText.h"

namespace {

constexpr int PumpIntervalMs = 20;
constexpr int MaxQueuedLines = 100000;
constexpr int ResumeQueuedLines = 90000;
constexpr signed char LinePriority = 2;
constexpr auto CollectPollInterval = std::chrono::milliseconds(20);
// How long one wait for room in a full queue lasts before it looks again.
constexpr auto FullQueueWait = std::chrono::milliseconds(100);

constexpr std::string_view HexPrefix = "HEX:   ";
constexpr std::string_view AsciiPrefix = "ASCII: ";
constexpr char PathDelimiter = '/';

struct BlockStyle {
    std::string Separator;
    std::string_view Header;
    // With two lines the header names the line: Subject, then Linked and the name, then " at ".
    std::string_view Subject;
    std::string_view Linked = " from ";
};

std::string Repeat(std::string_view unit, int times) {
    std::string text;
    for (int i = 0; i < times; ++i) text.append(unit);
    return text;
}

const BlockStyle& StartTriggerStyle() {
    static const BlockStyle style{Repeat("#", 56), "Start trigger received at ", "Start trigger"};
    return style;
}
const BlockStyle& DataStyle() {
    static const BlockStyle style{Repeat("~", 56), "Data received at ", "Data"};
    return style;
}
const BlockStyle& StopTriggerStyle() {
    static const BlockStyle style{Repeat(" -", 28), "Stop trigger received at ", "Stop trigger"};
    return style;
}
const BlockStyle& SentStyle() {
    static const BlockStyle style{Repeat("~", 56), "Data sent at ", "Data sent", " to "};
    return style;
}
const BlockStyle& FlushStyle() {
    static const BlockStyle style{Repeat(">", 56), "Flushed data at ", "Flushed data"};
    return style;
}

// The style of a block that is written, or null for one that is not. Codes the
// filter does not know count as flushed data, so nothing it hands over is lost.
const BlockStyle* StyleFor(uint8_t kind, const ZLoggerSettings& settings) {
    switch (kind) {
        case bkStartTrigger:
            return settings.LogStartTrigger ? &StartTriggerStyle() : nullptr;
        case bkData:
            return settings.LogDataField ? &DataStyle() : nullptr;
        case bkStopTrigger:
            return settings.LogStopTrigger ? &StopTriggerStyle() : nullptr;
        case bkTrash:
            return nullptr;
        case bkSent:
            return &SentStyle();
        default:
            return &FlushStyle();
    }
}

// Formatting runs in the capture path. Each byte's group of three characters
// (its hex pair and a blank, or its character and two blanks) is looked up
// whole and stored with one four-character copy; the fourth character is
// overwritten by the next group.
struct CharGroup {
    char chars[4];
};
using GroupTable = std::array<CharGroup, 256>;

constexpr char AsciiOf(uint8_t b) {
    return b >= 0x20 && b <= 0x7E ? static_cast<char>(b) : '.';
}

constexpr GroupTable HexGroups = [] {
    constexpr char digits[] = "0123456789ABCDEF";
    GroupTable groups{};
    for (int b = 0; b < 256; ++b) groups[b] = {{digits[b >> 4], digits[b & 0x0F], ' ', ' '}};
    return groups;
}();

constexpr GroupTable AsciiGroups = [] {
    GroupTable groups{};
    for (int b = 0; b < 256; ++b) groups[b] = {{AsciiOf(static_cast<uint8_t>(b)), ' ', ' ', ' '}};
    return groups;
}();

constexpr std::string_view LineEnd = "\r\n";
constexpr std::string_view InformationPrefix = "Information at ";
constexpr std::string_view ChecksumWrongLine = "*** checksum wrong ***";
constexpr std::string_view ValuesPrefix = "Values: ";

// "Values: temperature=31.5 °C, altitude=545.4" after a data block with values.
bool AppendValuesLine(std::string& text, const sBlock& block, const ZLoggerSettings& settings) {
    if (block.Values == nullptr || block.Values->PresentCount() == 0 || !settings.Fields.LogFields)
        return false;
    text.append(ValuesPrefix);
    ZAppendFieldValues(text, *block.Values, '=');
    text.append(LineEnd);
    return true;
}

// Makes room for size more characters at the end of text and returns where they start.
char* Extend(std::string& text, size_t size) {
    const size_t at = text.size();
    text.resize(at + size, ' ');
    return text.data() + at;
}

void AppendLine(std::string& text, std::string_view line) {
    text.append(line).append(LineEnd);
}

// With precise time, the header's time carries the microseconds its stamp holds.
void AppendHeaderLine(std::string& text, const BlockStyle& style, const sBlock& block, int length,
                      bool preciseTime) {
    if (block.Line < 0)
        text.append(style.Header);
    else
        text.append(style.Subject).append(style.Linked).append(block.LineName).append(" at ");
    text.append(ZULFormatLongTimeFraction(block.Time, preciseTime ? 6 : 0))
        .append(" (")
        .append(std::to_string(length))
        .append(" bytes)")
        .append(LineEnd);
}

// Appends prefix, the groups of count bytes (count >= 1) of which the last keeps
// lastWidth of its characters, and the line end.
void AppendGroupLine(std::string& text, std::string_view prefix, const GroupTable& groups,
                     const uint8_t* bytes, int count, size_t lastWidth) {
    const size_t groupsBefore = 3 * static_cast<size_t>(count - 1);
    char* out = Extend(text, prefix.size() + groupsBefore + lastWidth + LineEnd.size());
    out += prefix.copy(out, prefix.size());
    for (int i = 0; i < count - 1; ++i, out += 3) std::memcpy(out, groups[bytes[i]].chars, 4);
    std::memcpy(out, groups[bytes[count - 1]].chars, lastWidth);
    LineEnd.copy(out + lastWidth, LineEnd.size());
}

// The pairs of count bytes, separated by one blank.
void AppendHexLine(std::string& text, const uint8_t* bytes, int count) {
    AppendGroupLine(text, HexPrefix, HexGroups, bytes, count, 2);
}

// Each character stands under the first digit of its hex pair. A line that does
// not end its block keeps one of the two blanks that follow its last character.
void AppendAsciiLine(std::string& text, const uint8_t* bytes, int count, bool endsBlock) {
    AppendGroupLine(text, AsciiPrefix, AsciiGroups, bytes, count, endsBlock ? 1 : 2);
}

std::string WithTrailingDelimiter(const std::string& directory) {
    // An empty directory means the working directory, not the root of the file system.
    if (directory.empty() || directory.back() == PathDelimiter) return directory;
    return directory + PathDelimiter;
}

}  // namespace

void ZLogFileManager::FormatBlock(const sBlock& block, bool checksumWrong, const ZLoggerSettings& settings,
                                  sLogString& lines) {
    const uint8_t* data = block.Bytes;
    // No bytes to read means an empty block, never a read through a bad pointer.
    const int length = data == nullptr || block.Length < 0 ? 0 : block.Length;
    const BlockStyle* style = StyleFor(block.Kind, settings);
    if (style == nullptr) return;
    // An edited settings file may hold 0 or less; the cutting needs at least one byte per line.
    const int perLine = std::max(1, settings.MaxBytesInLogLine);
    const size_t linesPerKind = static_cast<size_t>(length / perLine + (length % perLine != 0 ? 1 : 0));
    const int kinds = (settings.ShowHexOutput ? 1 : 0) + (settings.ShowASCIIOutput ? 1 : 0);
    std::string& text = lines.Text;
    const size_t needed = text.size() + 2 * (style->Separator.size() + LineEnd.size()) + 48 +
                          block.LineName.size() +
                          static_cast<size_t>(kinds) * (3 * static_cast<size_t>(length) + 8 * linesPerKind);
    // A batch grows block by block: room is made geometrically, not block by block.
    if (needed > text.capacity()) text.reserve(std::max(needed, 2 * text.capacity()));
    AppendLine(text, style->Separator);
    AppendHeaderLine(text, *style, block, length, settings.UsesPreciseTime());
    // start + count never passes length, so a huge line width cannot overflow the count.
    if (settings.ShowHexOutput) {
        for (int start = 0, count = 0; start < length; start += count) {
            count = std::min(perLine, length - start);
            AppendHexLine(text, data + start, count);
        }
    }
    if (settings.ShowASCIIOutput) {
        for (int start = 0, count = 0; start < length; start += count) {
            count = std::min(perLine, length - start);
            AppendAsciiLine(text, data + start, count, start + count == length);
        }
    }
    const size_t blockLines = 2 + static_cast<size_t>(kinds) * linesPerKind;
    if (checksumWrong) AppendLine(text, ChecksumWrongLine);
    const bool valuesLine = AppendValuesLine(text, block, settings);
    lines.LineCount += blockLines + (checksumWrong ? 1 : 0) + (valuesLine ? 1 : 0);
    // A block without HEX or ASCII lines has no end mark, so no file starts after it.
    if (blockLines > 2) lines.BlockEnds.push_back({text.size(), lines.LineCount});
}

ZLogFileManager::ZLogFileManager(const ZLoggerSettings* settings, TZULErrorHistory* errors)
    : settings_(settings),
      errors_(errors),
      losses_("ZLogFileManager", "LogBlock", ZULFormat(ZUL_TEXT("LossCounter", "log lines"))),
      // Everything queued at a wake-up is handed out at once, so that it is written with
      // one call, not one per record.
      pump_(false, PumpIntervalMs, false,
            TZULMsgPump<sLogString>::BatchCallback(
                [this](std::vector<sLogString>& records) { Collect(records); }),
            false, MaxQueuedLines, ResumeQueuedLines) {
    losses_.SetErrorHistory(errors);
    pump_.RaiseThreadPriority();
}

ZLogFileManager::~ZLogFileManager() {
    WaitUntilCollected();
    pump_.Terminate();
    pump_.WaitFor();
    losses_.Close();
    fileIO_.CloseNew();
}

void ZLogFileManager::SetSettings(const ZLoggerSettings* settings) {
    settings_.store(settings);
}

void ZLogFileManager::SetWaitWhenFull(bool wait) {
    waitWhenFull_.store(wait);
}

void ZLogFileManager::LogBlock(const sBlock& block, bool checksumWrong) {
    const ZLoggerSettings* settings = settings_.load();
    if (settings == nullptr) return;
    FormatBlock(block, checksumWrong, *settings, batch_);
    if (!batching_) QueueBatch();
}

// Lines that do not fit are lost, counted per line; in lossless mode the rest
// waits for room instead.
void ZLogFileManager::QueueBatch() {
    Post(batch_);
    batch_ = sLogString();
}

void ZLogFileManager::Post(sLogString& lines) {
    const size_t count = lines.LineCount;
    if (count == 0) return;
    std::lock_guard guard(postLock_);
    size_t accepted = pump_.PostWeighted(lines, LinePriority);
    while (accepted < count && waitWhenFull_.load()) {
        pump_.WaitForRoom(FullQueueWait);
        accepted += pump_.PostWeighted(lines, LinePriority);
    }
    if (accepted > 0) losses_.Accepted();
    if (accepted < count) losses_.Lost(count - accepted);
}

void ZLogFileManager::LogInformation(TDateTime time, std::string_view text) {
    const ZLoggerSettings* settings = settings_.load();
    if (settings == nullptr) return;
    sLogString lines;
    AppendLine(lines.Text, Repeat("=", 56));
    lines.Text.append(InformationPrefix)
        .append(ZULFormatLongTimeFraction(time, settings->UsesPreciseTime() ? 6 : 0));
    lines.Text.append(": ");
    // One line, whatever the text holds: the file's line count stays true.
    const size_t textStart = lines.Text.size();
    lines.Text.append(text);
    std::replace_if(
        lines.Text.begin() + static_cast<std::ptrdiff_t>(textStart), lines.Text.end(),
        [](char c) { return c == '\r' || c == '\n'; }, ' ');
    lines.Text.append(LineEnd);
    lines.LineCount = 2;
    lines.BlockEnds.push_back({lines.Text.size(), lines.LineCount});
    Post(lines);
}

// A file ends at every block end at or past the line limit, wherever it falls
// within a record.
void ZLogFileManager::Collect(std::vector<sLogString>& records) {
    const ZLoggerSettings* settings = settings_.load();
    for (const sLogString& lines : records) {
        size_t textDone = 0;
        size_t linesDone = 0;
        for (const sLogBlockEnd& end : lines.BlockEnds) {
            pending_.append(lines.Text, textDone, end.TextEnd - textDone);
            fileLines_ += end.Lines - linesDone;
            textDone = end.TextEnd;
            linesDone = end.Lines;
            if (settings != nullptr && static_cast<int64_t>(fileLines_) >= settings->MaxLinesInLogFile)
                FinishFile(*settings);
        }
        pending_.append(lines.Text, textDone);
        fileLines_ += lines.LineCount - linesDone;
    }
    if (settings != nullptr) WritePending(*settings);
}

void ZLogFileManager::Flush() {
    WaitUntilCollected();
    losses_.Close();
    const ZLoggerSettings* settings = settings_.load();
    if (settings != nullptr) FinishFile(*settings);
}

void ZLogFileManager::WaitUntilCollected() {
    while (!pump_.IsEmpty()) std::this_thread::sleep_for(CollectPollInterval);
}

void ZLogFileManager::WritePending(const ZLoggerSettings& settings) {
    if (pending_.empty()) return;
    // The lines of a file that failed are lost until the next file starts.
    if (!fileFailed_ && (!filePath_.empty() || StartFile(settings)) && !fileIO_.AppendText(pending_))
        FileFailed(fileIO_.GetLatestError().Error);
    pending_.clear();
}

void ZLogFileManager::FinishFile(const ZLoggerSettings& settings) {
    WritePending(settings);
    if (!filePath_.empty()) {
        if (fileIO_.CloseNew()) {
            std::lock_guard guard(writtenLock_);
            if (keepWrittenFiles_) writtenFiles_.push_back(filePath_);
        } else {
            FileFailed(fileIO_.GetLatestError().Error);
        }
    }
    filePath_.clear();
    fileFailed_ = false;
    fileLines_ = 0;
}

// Two files started within one millisecond would share a name. The name runs
// ahead of the clock instead (a replay starts thousands of files a second), so
// names stay unique and sort in writing order, and writing never waits. A name
// that is taken, by anything, is skipped: a log file never replaces a file. The
// skipping is bounded: a folder where every name seems taken (one that cannot
// hold the names at all) must not stop the writer for good.
bool ZLogFileManager::StartFile(const ZLoggerSettings& settings) {
    const std::string directory = WithTrailingDelimiter(settings.LogDir);
    int64_t candidate = std::max(ZULNowEpochMs(), lastFileEpochMs_ + 1);
    bool started = false;
    for (int taken = 0;; ++candidate) {
        const std::string fileName = directory + LogFileName(ZULLocalParts(candidate));
        bool nameTaken = false;
        if (fileIO_.CreateNew(fileName, nameTaken)) {
            filePath_ = fileName;
            started = true;
        } else if (nameTaken && ++taken < MaxTakenNames) {
            continue;
        } else if (nameTaken) {
            const std::string problem =
                ZULFormat(ZUL_TEXT("LogFiles", "No free log file name in '%1': %2 names in a row were taken"),
                          {directory, std::to_string(MaxTakenNames)});
            if (errors_ != nullptr) errors_->AddError("ZLogFileManager", "WriteLogFile", problem);
            FileFailed(problem);
        } else {
            const TZULError error = fileIO_.GetLatestError();
            if (errors_ != nullptr) errors_->AddError(error.Module, error.Function, error.Error);
            FileFailed(error.Error);
        }
        break;
    }
    lastFileEpochMs_ = candidate;
    if (!started) return false;
    {
        std::lock_guard guard(writtenLock_);
        writeProblem_.clear();
    }
    if (fileWritten_) fileWritten_(filePath_);
    return true;
}

void ZLogFileManager::FileFailed(const std::string& problem) {
    // A file that could not even be made was recorded where that was found out.
    if (!filePath_.empty() && errors_ != nullptr) {
        const TZULError error = fileIO_.GetLatestError();
        errors_->AddError(error.Module, error.Function, error.Error);
    }
    filePath_.clear();
    fileFailed_ = true;
    std::lock_guard guard(writtenLock_);
    ++failedFiles_;
    writeProblem_ = problem;
}

std::string ZLogFileManager::GetWriteProblem() {
    std::lock_guard guard(writtenLock_);
    return writeProblem_;
}

void ZLogFileManager::ClearWriteProblem() {
    std::lock_guard guard(writtenLock_);
    writeProblem_.clear();
}

bool ZLogFileManager::CheckLogFolder(const std::string& dir, std::string& errorText) {
    const std::string folder = WithTrailingDelimiter(dir);
    const auto refuse = [&](const std::string& reason) {
        errorText =
            ZULFormat(ZUL_TEXT("LogFileManager", "Log files cannot be written into the folder \"%1\": %2"),
                      {folder, reason});
        return false;
    };
    if (dir.empty()) return refuse(ZULFormat(ZUL_TEXT("LogFileManager", "no log folder is set.")));
    // Without its trailing delimiter, so that a file of that name is seen as what it is.
    const std::string path = folder.size() > 1 ? folder.substr(0, folder.size() - 1) : folder;
    struct stat info {};
    if (stat(path.c_str(), &info) != 0) {
        if (errno != ENOENT && errno != ENOTDIR)
            return refuse(ZULFormat(ZUL_TEXT("LogFileManager", "%1."), {GetErrorText(errno)}));
        if (!ZULForceDirectories(folder)) {
            const int reason = errno;
            // The part of the path that stops the making tells more than the whole path does.
            std::error_code error;
            std::filesystem::create_directories(folder, error);
            return refuse(ZULFormat(ZUL_TEXT("LogFileManager", "it cannot be made (%1)."),
                                    {error ? error.message() : GetErrorText(reason)}));
        }
        if (stat(path.c_str(), &info) != 0)
            return refuse(ZULFormat(ZUL_TEXT("LogFileManager", "%1."), {GetErrorText(errno)}));
    }
    if (!S_ISDIR(info.st_mode)) return refuse(ZULFormat(ZUL_TEXT("LogFileManager", "it is not a folder.")));
    // Root may write into any folder; one that nobody may write to is still meant to stay as it is.
    if ((info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0)
        return refuse(ZULFormat(ZUL_TEXT("LogFileManager", "the folder is read-only.")));
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string probe =
            folder + ".kestrun_write_check_" + std::to_string(getpid()) + "_" + std::to_string(attempt);
        const int fd = open(probe.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd < 0 && errno == EEXIST) continue;
        if (fd < 0)
            return refuse(ZULFormat(ZUL_TEXT("LogFileManager", "no file can be created there (%1)."),
                                    {GetErrorText(errno)}));
        close(fd);
        unlink(probe.c_str());
        return true;
    }
    return refuse(
        ZULFormat(ZUL_TEXT("LogFileManager", "no file can be created there (every trial name is taken).")));
}

std::string ZLogFileManager::LogFileName(const ZULDateTimeParts& parts) {
    using std::to_string;
    return to_string(parts.Year) + "_" + to_string(parts.Month) + "_" + to_string(parts.Day) + "___" +
           to_string(parts.Hour) + "_" + to_string(parts.Minute) + "_" + to_string(parts.Second) + "_" +
           to_string(parts.Millisecond) + "_log.txt";
}

void ZLogFileManager::SetKeepWrittenFiles(bool keep) {
    std::lock_guard guard(writtenLock_);
    keepWrittenFiles_ = keep;
    if (!keep) writtenFiles_ = {};
}

std::vector<std::string> ZLogFileManager::TakeWrittenFiles() {
    std::lock_guard guard(writtenLock_);
    return std::exchange(writtenFiles_, {});
}

size_t ZLogFileManager::TakeFailedFileCount() {
    std::lock_guard guard(writtenLock_);
    return std::exchange(failedFiles_, 0);
}

sLogString sLogString::TakeFirst(size_t lines) {
    if (lines >= LineCount) return std::exchange(*this, {});
    size_t cut = 0;
    for (size_t i = 0; i < lines; ++i) cut = Text.find('\n', cut) + 1;
    const auto firstKept = std::find_if(BlockEnds.begin(), BlockEnds.end(),
                                        [lines](const sLogBlockEnd& end) { return end.Lines > lines; });
    sLogString first{Text.substr(0, cut), lines, {BlockEnds.begin(), firstKept}};
    Text.erase(0, cut);
    LineCount -= lines;
    BlockEnds.erase(BlockEnds.begin(), firstKept);
    for (sLogBlockEnd& end : BlockEnds) {
        end.TextEnd -= cut;
        end.Lines -= lines;
    }
    return first;
}
