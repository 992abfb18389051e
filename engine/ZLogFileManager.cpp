#include "ZLogFileManager.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <filesystem>
#include <string_view>
#include <system_error>
#include <thread>
#include <utility>

#include "ZFilter.h"

namespace {

constexpr int PumpIntervalMs = 20;
constexpr int MaxQueuedLines = 100000;
constexpr int ResumeQueuedLines = 90000;
constexpr int PumpBurstSize = 50;
constexpr signed char LinePriority = 2;
constexpr auto CollectPollInterval = std::chrono::milliseconds(20);
constexpr auto FullQueueRetryInterval = std::chrono::microseconds(100);

constexpr std::string_view HexPrefix = "HEX:   ";
constexpr std::string_view AsciiPrefix = "ASCII: ";
constexpr char PathDelimiter = '/';

struct BlockStyle {
    std::string Separator;
    std::string_view Header;
};

std::string Repeat(std::string_view unit, int times) {
    std::string text;
    for (int i = 0; i < times; ++i) text.append(unit);
    return text;
}

const BlockStyle& StartTriggerStyle() {
    static const BlockStyle style{Repeat("#", 56), "Start trigger received at "};
    return style;
}
const BlockStyle& DataStyle() {
    static const BlockStyle style{Repeat("~", 56), "Data received at "};
    return style;
}
const BlockStyle& StopTriggerStyle() {
    static const BlockStyle style{Repeat(" -", 28), "Stop trigger received at "};
    return style;
}
const BlockStyle& FlushStyle() {
    static const BlockStyle style{Repeat(">", 56), "Flushed data at "};
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
        default:
            return &FlushStyle();
    }
}

// Formatting runs in the capture path: one table look-up per byte instead of a
// conversion per digit.
constexpr std::array<char, 512> HexPairs = [] {
    constexpr char digits[] = "0123456789ABCDEF";
    std::array<char, 512> pairs{};
    for (int b = 0; b < 256; ++b) {
        pairs[2 * b] = digits[b >> 4];
        pairs[2 * b + 1] = digits[b & 0x0F];
    }
    return pairs;
}();

constexpr char AsciiOf(uint8_t b) {
    return b >= 0x20 && b <= 0x7E ? static_cast<char>(b) : '.';
}

std::string HeaderLine(const BlockStyle& style, TDateTime timestamp, int length) {
    const std::string time = ZULFormatLongTime(timestamp);
    const std::string count = std::to_string(length);
    std::string line;
    line.reserve(style.Header.size() + time.size() + count.size() + 8);
    line.append(style.Header).append(time).append(" (").append(count).append(" bytes)");
    return line;
}

// The pairs of count bytes, separated by one blank.
std::string HexLine(const uint8_t* bytes, int count) {
    std::string line(HexPrefix.size() + 3 * static_cast<size_t>(count) - 1, ' ');
    HexPrefix.copy(line.data(), HexPrefix.size());
    char* out = line.data() + HexPrefix.size();
    for (int i = 0; i < count; ++i, out += 3) {
        out[0] = HexPairs[2 * bytes[i]];
        out[1] = HexPairs[2 * bytes[i] + 1];
    }
    return line;
}

// Each character stands under the first digit of its hex pair. A line that does
// not end its block keeps one of the two blanks that follow its last character.
std::string AsciiLine(const uint8_t* bytes, int count, bool endsBlock) {
    std::string line(AsciiPrefix.size() + 3 * static_cast<size_t>(count) - (endsBlock ? 2 : 1), ' ');
    AsciiPrefix.copy(line.data(), AsciiPrefix.size());
    char* out = line.data() + AsciiPrefix.size();
    for (int i = 0; i < count; ++i, out += 3) *out = AsciiOf(bytes[i]);
    return line;
}

std::string WithTrailingDelimiter(const std::string& directory) {
    // An empty directory means the working directory, not the root of the file system.
    if (directory.empty() || directory.back() == PathDelimiter) return directory;
    return directory + PathDelimiter;
}

// Any entry of that name, a dangling link included, is taken: writing through it
// would overwrite or create something that is not ours.
bool PathTaken(const std::string& path) {
    std::error_code error;
    return std::filesystem::exists(std::filesystem::symlink_status(path, error));
}

}  // namespace

ZLogFileManager::ZLogFileManager(const ZLoggerSettings* settings, TZULErrorHistory* errors)
    : settings_(settings),
      errors_(errors),
      losses_("ZLogFileManager", "LogBlock", "log lines"),
      pump_(
          false, PumpIntervalMs, false, [this](sLogString line) { Collect(std::move(line)); }, false,
          MaxQueuedLines, ResumeQueuedLines) {
    losses_.SetErrorHistory(errors);
    pump_.SetBurstSize(PumpBurstSize);
    pump_.RaiseThreadPriority();
}

ZLogFileManager::~ZLogFileManager() {
    WaitUntilCollected();
    pump_.Terminate();
    pump_.WaitFor();
    losses_.Close();
}

void ZLogFileManager::SetSettings(const ZLoggerSettings* settings) {
    settings_.store(settings);
}

void ZLogFileManager::SetWaitWhenFull(bool wait) {
    waitWhenFull_.store(wait);
}

void ZLogFileManager::LogBlock(const uint8_t* data, int length, TDateTime timestamp, uint8_t kind) {
    const ZLoggerSettings* settings = settings_.load();
    if (settings == nullptr) return;
    // No bytes to read means an empty block, never a read through a bad pointer.
    if (data == nullptr || length < 0) length = 0;
    blockLines_.clear();
    FormatBlock(data, length, timestamp, kind, *settings);
    if (!blockLines_.empty()) QueueBlockLines();
}

void ZLogFileManager::FormatBlock(const uint8_t* data, int length, TDateTime timestamp, uint8_t kind,
                                  const ZLoggerSettings& settings) {
    const BlockStyle* style = StyleFor(kind, settings);
    if (style == nullptr) return;
    // An edited settings file may hold 0 or less; the cutting needs at least one byte per line.
    const int perLine = std::max(1, settings.MaxBytesInLogLine);
    const int linesPerKind = length / perLine + (length % perLine != 0 ? 1 : 0);
    blockLines_.reserve(2 + 2 * static_cast<size_t>(linesPerKind));
    blockLines_.push_back({style->Separator, false});
    blockLines_.push_back({HeaderLine(*style, timestamp, length), false});
    // start + count never passes length, so a huge line width cannot overflow the count.
    if (settings.ShowHexOutput) {
        for (int start = 0, count = 0; start < length; start += count) {
            count = std::min(perLine, length - start);
            blockLines_.push_back({HexLine(data + start, count), false});
        }
    }
    if (settings.ShowASCIIOutput) {
        for (int start = 0, count = 0; start < length; start += count) {
            count = std::min(perLine, length - start);
            blockLines_.push_back({AsciiLine(data + start, count, start + count == length), false});
        }
    }
    // A block without HEX or ASCII lines has no end mark, so no file starts after it.
    if (blockLines_.size() > 2) blockLines_.back().BlockEnd = true;
}

void ZLogFileManager::QueueBlockLines() {
    size_t accepted = pump_.PostAll(blockLines_, LinePriority);
    while (accepted < blockLines_.size() && waitWhenFull_.load()) {
        blockLines_.erase(blockLines_.begin(), blockLines_.begin() + static_cast<std::ptrdiff_t>(accepted));
        std::this_thread::sleep_for(FullQueueRetryInterval);
        accepted = pump_.PostAll(blockLines_, LinePriority);
    }
    if (accepted > 0) losses_.Accepted();
    if (accepted < blockLines_.size()) losses_.Lost(blockLines_.size() - accepted);
    blockLines_.clear();
}

void ZLogFileManager::Collect(sLogString line) {
    lines_.push_back(std::move(line.Text));
    if (!line.BlockEnd) return;
    const ZLoggerSettings* settings = settings_.load();
    if (settings == nullptr) return;
    if (static_cast<int64_t>(lines_.size()) >= settings->MaxLinesInLogFile) WriteLogFile(*settings);
}

void ZLogFileManager::Flush() {
    WaitUntilCollected();
    losses_.Close();
    const ZLoggerSettings* settings = settings_.load();
    if (settings != nullptr) WriteLogFile(*settings);
}

void ZLogFileManager::WaitUntilCollected() {
    while (!pump_.IsEmpty()) std::this_thread::sleep_for(CollectPollInterval);
}

void ZLogFileManager::WriteLogFile(const ZLoggerSettings& settings) {
    if (lines_.empty()) return;
    const std::string fileName = NextFreeFileName(settings.LogDir);
    if (fileIO_.WriteFile(fileName, &lines_)) {
        std::lock_guard guard(writtenLock_);
        writtenFiles_.push_back(fileName);
    } else if (errors_ != nullptr) {
        const TZULError error = fileIO_.GetLatestError();
        errors_->AddError(error.Module, error.Function, error.Error);
    }
    lines_.clear();
}

// Two files written within one millisecond would share a name. The name runs
// ahead of the clock instead (a replay writes thousands of files a second), so
// names stay unique and sort in writing order, and writing never waits.
std::string ZLogFileManager::NextFreeFileName(const std::string& logDir) {
    const std::string directory = WithTrailingDelimiter(logDir);
    int64_t candidate = std::max(ZULNowEpochMs(), lastFileEpochMs_ + 1);
    std::string fileName = directory + LogFileName(ZULLocalParts(candidate));
    while (PathTaken(fileName)) {
        ++candidate;
        fileName = directory + LogFileName(ZULLocalParts(candidate));
    }
    lastFileEpochMs_ = candidate;
    return fileName;
}

std::string ZLogFileManager::LogFileName(const ZULDateTimeParts& parts) {
    using std::to_string;
    return to_string(parts.Year) + "_" + to_string(parts.Month) + "_" + to_string(parts.Day) + "___" +
           to_string(parts.Hour) + "_" + to_string(parts.Minute) + "_" + to_string(parts.Second) + "_" +
           to_string(parts.Millisecond) + "_log.txt";
}

std::vector<std::string> ZLogFileManager::TakeWrittenFiles() {
    std::lock_guard guard(writtenLock_);
    return std::exchange(writtenFiles_, {});
}
