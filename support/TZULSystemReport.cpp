#include "TZULSystemReport.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <thread>

#include "ZULAppDir.h"
#include "ZULFileIO.h"
#include "ZULFuncDecThread.h"
#include "ZULSpawn.h"

extern char** environ;

namespace {

const char* const ToolName = "kestrun-sysinfo";
const char* const DefaultFileName = "__sys_rep.tmp";
constexpr std::chrono::milliseconds PauseTime{40};
// The tool renames its finished file into place, so the file opens at once when it is
// ours; a stand-in tool may hold it a little longer, but never makes the window wait long.
constexpr int OpenAttempts = 50;

bool IsExecutableFile(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && ::access(path.c_str(), X_OK) == 0;
}

bool Exists(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0;
}

void AppendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
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

    TZULFileIO io;
    const std::vector<std::string> probe{"test"};
    if (!io.WriteFile(settings_.FileName, &probe)) {
        Fail(io.GetLatestError().Error);
    } else {
        std::remove(settings_.FileName.c_str());
        if (!StartTool()) Fail(std::string("Missing '") + ToolName + "'");
    }
    // Last statement: without a dispatcher the completion may run, and release this
    // object, before the constructor has returned.
    new TZULFuncDecThread(
        false, [this] { Complete(); }, true, settings_.Dispatcher);
}

std::string TZULSystemReport::FindTool() {
    const std::string exeDir = ZULGetExeDir();
    if (exeDir.empty()) return "";
    const std::string candidate = exeDir + ToolName;
    return IsExecutableFile(candidate) ? candidate : "";
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
    size_t i = bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
                       static_cast<unsigned char>(bytes[1]) == 0xFE
                   ? 2
                   : 0;
    auto unitAt = [&bytes](size_t at) {
        return static_cast<char16_t>(static_cast<unsigned char>(bytes[at]) |
                                     (static_cast<unsigned char>(bytes[at + 1]) << 8));
    };
    std::string out;
    out.reserve(bytes.size() / 2);
    // A trailing odd byte is half a character and is dropped.
    for (; i + 1 < bytes.size(); i += 2) {
        const char16_t unit = unitAt(i);
        if (unit >= 0xD800 && unit <= 0xDBFF && i + 3 < bytes.size()) {
            const char16_t low = unitAt(i + 2);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                AppendUtf8(out, 0x10000 + ((static_cast<char32_t>(unit) - 0xD800) << 10) + (low - 0xDC00));
                i += 2;
                continue;
            }
        }
        // A surrogate without its partner stands for no character: the replacement character.
        AppendUtf8(out, unit >= 0xD800 && unit <= 0xDFFF ? char32_t{0xFFFD} : char32_t{unit});
    }
    return out;
}

bool TZULSystemReport::StartTool() {
    const std::string tool = settings_.ToolPath.empty() ? FindTool() : settings_.ToolPath;
    if (tool.empty()) return false;
    const std::string categories = CategoryText(settings_);
    // Each part is one argument and no shell sees them, so blanks or quotes in the
    // file name need no escaping.
    std::vector<std::string> arguments{tool, "/report", settings_.FileName, "/categories", categories};
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
    tool_ = -1;  // reaped, or not our child any more: either way nothing left to wait for
    return true;
}

void TZULSystemReport::WaitAndRead() {
    using Clock = std::chrono::steady_clock;
    const auto begin = Clock::now();
    const auto limit = std::chrono::milliseconds(settings_.Timeout);
    // The file counts once it is there and the tool has ended, so a file still being written
    // is not read; at the limit a file that is there is taken all the same.
    for (;;) {
        const bool ended = ToolEnded();
        if (Exists(settings_.FileName) && ended) break;
        Pause();
        if (Clock::now() - begin > limit) {
            if (tool_ >= 0) {
                ::kill(tool_, SIGKILL);
                // Killed, so it ends soon, but the window thread must not wait for it.
                ZULReapWhenEnded(tool_);
                tool_ = -1;
            }
            if (Exists(settings_.FileName)) break;
            Fail("Timout exceeded");
            return;
        }
    }
    if (!ConvertInPlace()) {
        std::remove(settings_.FileName.c_str());
        return;
    }
    TZULFileIO io;
    if (!io.ReadFile(settings_.FileName, &lines_)) Fail(io.GetLatestError().Error);
    std::remove(settings_.FileName.c_str());
}

bool TZULSystemReport::ConvertInPlace() {
    std::FILE* file = nullptr;
    for (int attempt = 0; attempt < OpenAttempts; ++attempt) {
        file = std::fopen(settings_.FileName.c_str(), "rb");
        if (file != nullptr) break;
        Pause();
    }
    if (file == nullptr) {
        Fail("Could not open '" + settings_.FileName + "' for reading");
        return false;
    }
    std::string bytes;
    char block[65536];
    size_t count = 0;
    while ((count = std::fread(block, 1, sizeof block, file)) > 0) bytes.append(block, count);
    const bool readFailed = std::ferror(file) != 0;
    std::fclose(file);
    if (readFailed) {
        Fail("Could not read '" + settings_.FileName + "'");
        return false;
    }
    TZULFileIO io;
    if (!io.WriteText(settings_.FileName, Utf16ToUtf8(bytes))) {
        Fail(io.GetLatestError().Error);
        return false;
    }
    return true;
}
