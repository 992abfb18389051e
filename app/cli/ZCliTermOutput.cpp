#include "ZCliTermOutput.h"

#include <sys/eventfd.h>
#include <unistd.h>


ZCliTermOutput::ZCliTermOutput() : wakeFd_(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

ZCliTermOutput::~ZCliTermOutput() {
    if (wakeFd_ >= 0) close(wakeFd_);
}

void ZCliTermOutput::OnBytes(const uint8_t* bytes, int count, bool sent, int64_t timeUs) {
    if (count <= 0 || !queue_.Push(bytes, count, sent, timeUs)) return;
    if (wakeFd_ >= 0) {
        const uint64_t one = 1;
        // A counter that is full still wakes the reader: the write may fail harmlessly.
        [[maybe_unused]] const ssize_t ignored = write(wakeFd_, &one, sizeof one);
    }
}

uint64_t ZCliTermOutput::Render(std::string& out) {
    if (wakeFd_ >= 0) {
        uint64_t count = 0;
        [[maybe_unused]] const ssize_t ignored = read(wakeFd_, &count, sizeof count);
    }
    std::deque<ZTermByteQueue::Chunk> taken;
    const uint64_t lost = queue_.Take(taken);
    for (const ZTermByteQueue::Chunk& chunk : taken) Append(chunk, out);
    notShown_ += lost;
    return lost;
}

void ZCliTermOutput::Append(const ZTermByteQueue::Chunk& chunk, std::string& out) {
    if (chunk.Sent) {
        if (!localEcho_) return;
        for (const uint8_t byte : chunk.Bytes) AppendByte(byte, out);
        return;
    }
    for (const uint8_t byte : chunk.Bytes) {
        const bool startsLine = lineStart_ || (afterCr_ && byte != '\n');
        if (startsLine) out += ZTermStampPrefix(chunk.TimeUs, stamps_);
        lineStart_ = byte == '\n';
        afterCr_ = byte == '\r';
        AppendByte(byte, out);
    }
}

void ZCliTermOutput::AppendByte(uint8_t byte, std::string& out) const {
    if (latin1_ && byte >= 0x80) {
        out += static_cast<char>(0xC0 | (byte >> 6));
        out += static_cast<char>(0x80 | (byte & 0x3F));
        return;
    }
    out += static_cast<char>(byte);
}
