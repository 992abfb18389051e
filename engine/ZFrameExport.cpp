#include "ZFrameExport.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "Funset_strings.h"

namespace {

constexpr auto FlushInterval = std::chrono::seconds(1);

const char* KindName(uint8_t kind) {
    switch (kind) {
        case bkStartTrigger:
            return "start";
        case bkData:
            return "data";
        case bkStopTrigger:
            return "stop";
        case bkTrash:
            return "trash";
        case bkSent:
            return "sent";
        default:
            return "flush";
    }
}

const char* VerdictText(TFrameVerdict verdict) {
    switch (verdict) {
        case fvGood:
            return "\"good\"";
        case fvBad:
            return "\"bad\"";
        default:
            return "null";
    }
}

std::string FormatTime(TDateTime time) {
    return ZULFormatIsoMicros(ZULToUnixMicros(time));
}

}  // namespace

ZFrameExport::~ZFrameExport() {
    std::string ignored;
    Close(ignored);
}

bool ZFrameExport::Create(const std::string& fileName, std::string& errorText) {
    std::lock_guard guard(lock_);
    if (file_ != nullptr) {
        errorText = "The frame file is already open: \"" + fileName_ + "\"";
        return false;
    }
    const int fd = ::open(fileName.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd < 0) {
        errorText = "The frame file could not be created: \"" + fileName + "\": " + GetErrorText(errno);
        return false;
    }
    file_ = ::fdopen(fd, "w");
    if (file_ == nullptr) {
        errorText = "The frame file could not be created: \"" + fileName + "\": " + GetErrorText(errno);
        ::close(fd);
        return false;
    }
    fileName_ = fileName;
    lastFlush_ = Clock::now();
    writeError_ = 0;
    return true;
}

std::string ZFrameExport::FormatLine(const sBlock& block) {
    static constexpr char Digits[] = "0123456789ABCDEF";
    const uint8_t* bytes = block.Bytes;
    const int length = bytes == nullptr || block.Length < 0 ? 0 : block.Length;
    const std::span<const uint32_t> triggerCounts = block.TriggerCounts;
    std::string line;
    line.reserve(160 + 2 * static_cast<size_t>(length) + 12 * triggerCounts.size());
    line += "{\"time\": \"";
    line += FormatTime(block.Time);
    line += "\", \"kind\": \"";
    line += KindName(block.Kind);
    line += "\", \"length\": ";
    line += std::to_string(length);
    if (block.EncodedLength > 0) {
        line += ", \"encoded_length\": ";
        line += std::to_string(block.EncodedLength);
    }
    line += ", \"hex\": \"";
    for (int i = 0; i < length; ++i) {
        line += Digits[bytes[i] >> 4];
        line += Digits[bytes[i] & 0x0F];
    }
    line += "\", \"checksum\": ";
    line += VerdictText(block.Verdict);
    line += ", \"data_triggers\": [";
    for (size_t i = 0; i < triggerCounts.size(); ++i) {
        if (i > 0) line += ", ";
        line += std::to_string(triggerCounts[i]);
    }
    line += "]}";
    return line;
}

void ZFrameExport::OnBlock(const sBlock& block) {
    std::string line = FormatLine(block);
    line += '\n';
    std::lock_guard guard(lock_);
    if (file_ == nullptr) return;
    if (std::fwrite(line.data(), 1, line.size(), file_) != line.size() && writeError_ == 0)
        writeError_ = errno != 0 ? errno : EIO;
    const Clock::time_point now = Clock::now();
    if (now - lastFlush_ >= FlushInterval) FlushLocked(now);
}

void ZFrameExport::FlushIfDue() {
    std::lock_guard guard(lock_);
    const Clock::time_point now = Clock::now();
    if (file_ != nullptr && now - lastFlush_ >= FlushInterval) FlushLocked(now);
}

void ZFrameExport::FlushLocked(Clock::time_point now) {
    if (std::fflush(file_) != 0 && writeError_ == 0) writeError_ = errno;
    lastFlush_ = now;
}

bool ZFrameExport::Close(std::string& errorText) {
    std::lock_guard guard(lock_);
    if (file_ == nullptr) return true;
    if (std::fclose(file_) != 0 && writeError_ == 0) writeError_ = errno;
    file_ = nullptr;
    if (writeError_ == 0) return true;
    errorText = "The frame file could not be written: \"" + fileName_ + "\": " + GetErrorText(writeError_);
    return false;
}
