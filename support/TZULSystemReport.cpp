#include "TZULSystemReport.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "Funset_strings.h"
#include "ZULAppDir.h"
#include "ZULFuncDecThread.h"
#include "ZULSpawn.h"

namespace {

const char* const ToolName = "kestrun-sysinfo";
// Where the package installs the programs.
const char* const InstalledToolDir = "/usr/bin/";
const char* const DefaultFileName = "__sys_rep.tmp";
constexpr std::chrono::milliseconds PauseTime{40};
// A report is some hundred kilobytes; a bound keeps a strange file harmless.
constexpr size_t MaxReportSize = 16 * 1024 * 1024;

bool IsExecutableFile(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && ::access(path.c_str(), X_OK) == 0;
}

}  // namespace

void sReportSettings::SetResources(bool conflicts, bool dma, bool forcedHardware, bool io, bool irqs,
                                   bool memory) {
    Resources = true;
    ResourcesConflicts = conflicts;
    ResourcesDMA = dma;
    ResourcesForcedHardware = forcedHardware;
    ResourcesIO = io;
    ResourcesIRQS = irqs;
    ResourcesMemory = memory;
}

TZULSystemReport::TZULSystemReport(sReportSettings& settings) {
    if (settings.FileName.empty()) settings.FileName = ZULGetAppDir() + DefaultFileName;
    settings_ = settings;

    if (!MakeReportFile())
        Fail("Could not open '" + settings_.FileName + "' for writing");
    else if (!StartTool())
        Fail(std::string("Missing '") + ToolName + "'");
    if (error_) RemoveFiles();
    // Last statement: without a dispatcher the completion may run, and release this
    // object, before the constructor has returned.
    new TZULFuncDecThread(
        false, [this] { Complete(); }, true, settings_.Dispatcher);
}

bool TZULSystemReport::MakeReportFile() {
    // The empty file holds the random name until the tool replaces it: nobody else can
    // put a link there meanwhile, even in a folder that others may write.
    std::string name = settings_.FileName + ".XXXXXX";
    const int fd = ::mkostemp(name.data(), O_CLOEXEC);
    if (fd < 0) return false;
    ::close(fd);
    reportFile_ = name;
    return true;
}

void TZULSystemReport::RemoveFiles() const {
    if (reportFile_.empty()) return;
    ::unlink(reportFile_.c_str());
    ::unlink((reportFile_ + ".part").c_str());
}

std::string TZULSystemReport::FindTool() {
    return ChooseTool(ZULGetExeDir(), InstalledToolDir);
}

std::string TZULSystemReport::ChooseTool(const std::string& exeDir, const std::string& installedDir) {
    for (const std::string& folder : {exeDir, installedDir}) {
        if (!folder.empty() && IsTrustedTool(folder + ToolName)) return folder + ToolName;
    }
    return "";
}

bool TZULSystemReport::IsTrustedTool(const std::string& path) {
    // Whoever may change the file or its folder decides what runs: only the user
    // and root may.
    char* resolved = ::realpath(path.c_str(), nullptr);
    if (resolved == nullptr) return false;
    const std::string real = resolved;
    std::free(resolved);
    struct stat info {};
    std::string why;
    return IsExecutableFile(real) && ::stat(real.c_str(), &info) == 0 &&
           (info.st_uid == ::geteuid() || info.st_uid == 0) && (info.st_mode & (S_IWGRP | S_IWOTH)) == 0 &&
           ZULCheckOwnFolder(real.substr(0, real.rfind('/') + 1), true, why);
}

std::string TZULSystemReport::CategoryText(const sReportSettings& settings) {
    std::string text;
    if (settings.SystemSummary) text += "+SystemSummary";
    if (settings.Resources) {
        text += "+Resources";
        const std::pair<bool, const char*> parts[] = {
            {settings.ResourcesConflicts, "ResourcesConflicts"},
            {settings.ResourcesDMA, "ResourcesDMA"},
            {settings.ResourcesForcedHardware, "ResourcesForcedHardware"},
            {settings.ResourcesIO, "ResourcesIO"},
            {settings.ResourcesIRQS, "ResourcesIRQS"},
            {settings.ResourcesMemory, "ResourcesMemory"},
        };
        for (const auto& [wanted, name] : parts) {
            text += wanted ? "+" : "-";
            text += name;
        }
    }
    return text;
}

std::string TZULSystemReport::Utf16ToUtf8(const std::string& bytes) {
    return ZULUtf16ToUtf8(bytes);
}

std::string ZULUtf16ToUtf8(const std::string& bytes) {
    const bool marked = bytes.size() >= 2;
    const auto first = marked ? static_cast<unsigned char>(bytes[0]) : 0;
    const auto second = marked ? static_cast<unsigned char>(bytes[1]) : 0;
    const bool bigEndian = first == 0xFE && second == 0xFF;
    size_t i = bigEndian || (first == 0xFF && second == 0xFE) ? 2 : 0;
    auto unitAt = [&bytes, bigEndian](size_t at) {
        const auto a = static_cast<unsigned char>(bytes[at]);
        const auto b = static_cast<unsigned char>(bytes[at + 1]);
        return static_cast<char16_t>(bigEndian ? (a << 8) | b : a | (b << 8));
    };
    std::string out;
    out.reserve(bytes.size() / 2);
    // A trailing odd byte is half a character and is dropped.
    for (; i + 1 < bytes.size(); i += 2) {
        const char16_t unit = unitAt(i);
        if (unit >= 0xD800 && unit <= 0xDBFF && i + 3 < bytes.size()) {
            const char16_t low = unitAt(i + 2);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                ZULAppendUtf8(out, 0x10000 + ((static_cast<char32_t>(unit) - 0xD800) << 10) + (low - 0xDC00));
                i += 2;
                continue;
            }
        }
        // A surrogate without its partner stands for no character: the replacement character.
        ZULAppendUtf8(out, unit >= 0xD800 && unit <= 0xDFFF ? char32_t{0xFFFD} : char32_t{unit});
    }
    return out;
}

bool TZULSystemReport::StartTool() {
    const std::string tool = settings_.ToolPath.empty() ? FindTool() : settings_.ToolPath;
    if (tool.empty()) return false;
    const std::string categories = CategoryText(settings_);
    // Each part is one argument and no shell sees them, so blanks or quotes in the
    // file name need no escaping.
    std::vector<std::string> arguments{tool, "/report", reportFile_, "/categories", categories};
    const pid_t pid = ZULSpawn(arguments, false);
    if (pid < 0) return false;
    tool_ = pid;
    return true;
}

void TZULSystemReport::Fail(const std::string& line) {
    error_ = true;
    lines_.assign(1, line);
}

void TZULSystemReport::Complete() {
    if (!error_) WaitAndRead();
    if (settings_.OnReportDone) settings_.OnReportDone(lines_, error_);
    delete this;
}

void TZULSystemReport::Pause() {
    std::this_thread::sleep_for(PauseTime);
    if (settings_.ProcessEvents) settings_.ProcessEvents();
}

bool TZULSystemReport::ToolEnded() {
    if (tool_ < 0) return true;
    int status = 0;
    const pid_t result = ::waitpid(tool_, &status, WNOHANG);
    if (result == 0) return false;
    // Reaped, or not our child any more (then how it ended is unknown): nothing left to wait for.
    statusKnown_ = result == tool_;
    status_ = status;
    tool_ = -1;
    return true;
}

bool TZULSystemReport::ReportWritten() const {
    struct stat info {};
    return ::lstat(reportFile_.c_str(), &info) == 0 && S_ISREG(info.st_mode) && info.st_size > 0;
}

void TZULSystemReport::WaitAndRead() {
    using Clock = std::chrono::steady_clock;
    const auto begin = Clock::now();
    const auto limit = std::chrono::milliseconds(settings_.Timeout);
    // The report counts once the tool has ended well and left it, so a file still being
    // written is not read; at the limit a report that is there is taken all the same.
    for (;;) {
        if (ToolEnded()) {
            if (statusKnown_ && WIFSIGNALED(status_)) {
                const int signal = WTERMSIG(status_);
                const char* name = strsignal(signal);
                Fail(std::string("'") + ToolName + "' was ended by signal " + std::to_string(signal) +
                     (name != nullptr ? std::string(" (") + name + ")" : std::string()));
            } else if (statusKnown_ && WEXITSTATUS(status_) != 0) {
                Fail(std::string("'") + ToolName + "' failed with exit status " +
                     std::to_string(WEXITSTATUS(status_)));
            } else if (!ReportWritten()) {
                Fail(std::string("'") + ToolName + "' ended without writing the report");
            }
            break;
        }
        Pause();
        if (Clock::now() - begin > limit) {
            if (tool_ >= 0) {
                ::kill(tool_, SIGKILL);
                // Killed, so it ends soon, but the window thread must not wait for it.
                ZULReapWhenEnded(tool_);
                tool_ = -1;
            }
            if (!ReportWritten()) Fail("Timout exceeded");
            break;
        }
    }
    if (!error_) ReadReport();
    RemoveFiles();
}

bool TZULSystemReport::ReadReport() {
    const std::string& name = reportFile_;
    const int fd = ::open(name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    struct stat info {};
    if (fd < 0 || ::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        if (fd >= 0) ::close(fd);
        Fail("Could not open '" + name + "' for reading");
        return false;
    }
    std::string bytes;
    char block[65536];
    ssize_t count = 0;
    while ((count = ::read(fd, block, sizeof block)) > 0 && bytes.size() <= MaxReportSize)
        bytes.append(block, static_cast<size_t>(count));
    const int readError = count < 0 ? errno : 0;
    ::close(fd);
    if (readError != 0) {
        Fail("Could not read '" + name + "': " + std::strerror(readError));
        return false;
    }
    if (bytes.size() > MaxReportSize) {
        Fail("Could not read '" + name + "': larger than " + std::to_string(MaxReportSize / (1024 * 1024)) +
             " MB");
        return false;
    }
    // Lines end with LF or CR LF; a last line without its line feed is not a whole line.
    const std::string text = ZULUtf16ToUtf8(bytes);
    lines_.clear();
    size_t start = 0;
    for (size_t feed; (feed = text.find('\n', start)) != std::string::npos; start = feed + 1) {
        size_t end = feed;
        if (end > start && text[end - 1] == '\r') --end;
        lines_.push_back(text.substr(start, end - start));
    }
    return true;
}
