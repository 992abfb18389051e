#include "ZPcapngWriter.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "Funset_strings.h"
#include "ZULText.h"

namespace {

constexpr uint32_t SectionHeaderType = 0x0A0D0D0A;
constexpr uint32_t InterfaceDescriptionType = 1;
constexpr uint32_t EnhancedPacketType = 6;
constexpr uint32_t ByteOrderMagic = 0x1A2B3C4D;
constexpr uint16_t OptEndOfOpt = 0;
constexpr uint16_t OptComment = 1;
constexpr uint16_t IfName = 2;
constexpr uint16_t IfDescription = 3;
constexpr uint16_t IfTsResol = 9;
constexpr uint16_t EpbFlags = 2;
// Option values are at most this long: the length field has 16 bits.
constexpr size_t MaxOptionLength = 0xFFFC;

// Blocks are built in the machine's byte order; the byte-order magic tells a reader which.
class BlockBuilder {
public:
    explicit BlockBuilder(std::vector<uint8_t>& out, uint32_t type) : out_(out), start_(out.size()) {
        Put32(type);
        Put32(0);  // the total length, filled in by Finish
    }
    void Put16(uint16_t value) { PutBytes(&value, sizeof(value)); }
    void Put32(uint32_t value) { PutBytes(&value, sizeof(value)); }
    void Put64(uint64_t value) { PutBytes(&value, sizeof(value)); }
    // Grown, then copied into: GCC 12 at -O3 takes an insert of a few bytes at the
    // end for a write past the buffer (a false -Wstringop-overflow).
    void PutBytes(const void* bytes, size_t count) {
        if (count == 0) return;
        const size_t at = out_.size();
        out_.resize(at + count);
        std::memcpy(out_.data() + at, bytes, count);
    }
    void PadTo4() { out_.resize(out_.size() + (4 - (out_.size() - start_) % 4) % 4, 0); }
    void PutOption(uint16_t code, const void* value, size_t length) {
        if (length > MaxOptionLength) length = MaxOptionLength;
        Put16(code);
        Put16(static_cast<uint16_t>(length));
        PutBytes(value, length);
        PadTo4();
    }
    void PutOption(uint16_t code, const std::string& text) { PutOption(code, text.data(), text.size()); }
    void Finish(bool withOptions) {
        if (withOptions) PutOption(OptEndOfOpt, nullptr, 0);
        const uint32_t total = static_cast<uint32_t>(out_.size() - start_ + 4);
        std::memcpy(out_.data() + start_ + 4, &total, sizeof(total));
        Put32(total);
    }

private:
    std::vector<uint8_t>& out_;
    const size_t start_;
};

// Writes all of it, or gives the errno of the failure; done counts what the file took.
int WriteAll(int fd, const uint8_t* bytes, size_t count, uint64_t& done) {
    while (count > 0) {
        const ssize_t n = write(fd, bytes, count);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return n < 0 ? errno : ENOSPC;
        bytes += n;
        count -= static_cast<size_t>(n);
        done += static_cast<uint64_t>(n);
    }
    return 0;
}

std::string Quoted(const std::string& text) {
    return "\"" + text + "\"";
}

}  // namespace

ZPcapngWriter::~ZPcapngWriter() {
    std::string ignored;
    Close(ignored);
}

namespace {

void AppendInterface(std::vector<uint8_t>& blocks, uint16_t linkType, const std::string& ifName,
                     const std::string& ifDescription) {
    BlockBuilder idb(blocks, InterfaceDescriptionType);
    idb.Put16(linkType);
    idb.Put16(0);  // reserved
    idb.Put32(0);  // no snapshot length limit
    if (!ifName.empty()) idb.PutOption(IfName, ifName);
    if (!ifDescription.empty()) idb.PutOption(IfDescription, ifDescription);
    const uint8_t microseconds = 6;
    idb.PutOption(IfTsResol, &microseconds, 1);
    idb.Finish(true);
}

}  // namespace

bool ZPcapngWriter::AddInterface(uint16_t linkType, const std::string& ifName,
                                 const std::string& ifDescription) {
    std::lock_guard guard(lock_);
    if (fd_ < 0 || packets_ > 0) return false;
    AppendInterface(buffer_, linkType, ifName, ifDescription);
    return true;
}

bool ZPcapngWriter::Create(const std::string& path, uint16_t linkType, const std::string& ifName,
                           const std::string& ifDescription, std::string& errorText) {
    std::string ignored;
    Close(ignored);
    path_ = path;
    // A recording never replaces a file, and a link planted under the name must not
    // redirect it somewhere else.
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd < 0) {
        const int error = errno;
        errorText = error == EEXIST
                        ? ZULFormat(ZUL_TEXT("Recording",
                                             "The recording file could not be created: %1: a file of "
                                             "that name exists"),
                                    {Quoted(path)})
                        : ZULFormat(ZUL_TEXT("Recording", "The recording file could not be created: %1: %2"),
                                    {Quoted(path), GetErrorText(error)});
        return false;
    }
    std::vector<uint8_t> header;
    // Room for both header blocks up front: also keeps GCC 12 at -O3 from taking the
    // growth of an empty vector for a write past its end (a false -Wstringop-overflow).
    header.reserve(256);
    {
        BlockBuilder shb(header, SectionHeaderType);
        shb.Put32(ByteOrderMagic);
        shb.Put16(1);             // major version
        shb.Put16(0);             // minor version
        shb.Put64(~uint64_t{0});  // section length not given
        shb.Finish(false);
    }
    AppendInterface(header, linkType, ifName, ifDescription);
    uint64_t written = 0;
    const int error = WriteAll(fd, header.data(), header.size(), written);
    if (error != 0) {
        close(fd);
        unlink(path.c_str());
        errorText = ZULFormat(ZUL_TEXT("Recording", "The recording file could not be written: %1: %2"),
                              {Quoted(path), GetErrorText(error)});
        return false;
    }
    std::lock_guard guard(lock_);
    fd_ = fd;
    buffer_.clear();
    buffer_.reserve(BufferSize);
    lastFlush_ = Clock::now();
    packets_ = 0;
    writeError_ = 0;
    fileBytes_ = written;
    for (int direction = 0; direction < 2; ++direction) pendingData_[direction] = writtenData_[direction] = 0;
    return true;
}

bool ZPcapngWriter::Write(const Packet& packet) {
    std::lock_guard guard(lock_);
    if (fd_ < 0) return false;
    if (writeError_ != 0) return false;
    {
        BlockBuilder epb(buffer_, EnhancedPacketType);
        const auto time = static_cast<uint64_t>(packet.timeUs);
        epb.Put32(packet.interfaceId);
        epb.Put32(static_cast<uint32_t>(time >> 32));
        epb.Put32(static_cast<uint32_t>(time));
        epb.Put32(packet.length);
        epb.Put32(packet.length);
        epb.PutBytes(packet.bytes, packet.length);
        epb.PadTo4();
        if (packet.flags != 0) epb.PutOption(EpbFlags, &packet.flags, sizeof(packet.flags));
        if (!packet.comment.empty()) epb.PutOption(OptComment, packet.comment);
        epb.Finish(packet.flags != 0 || !packet.comment.empty());
    }
    ++packets_;
    pendingData_[(packet.flags & FlagDirection) == FlagOutbound ? 1 : 0] += packet.length;
    if (buffer_.size() >= BufferSize) FlushLocked(Clock::now());
    return writeError_ == 0;
}

void ZPcapngWriter::FlushIfDue() {
    std::lock_guard guard(lock_);
    const Clock::time_point now = Clock::now();
    if (now - lastFlush_ >= std::chrono::seconds(1)) FlushLocked(now);
}

void ZPcapngWriter::FlushLocked(Clock::time_point now) {
    lastFlush_ = now;
    if (fd_ < 0 || buffer_.empty()) return;
    if (writeError_ == 0) writeError_ = WriteAll(fd_, buffer_.data(), buffer_.size(), fileBytes_);
    for (int direction = 0; direction < 2; ++direction) {
        if (writeError_ == 0) writtenData_[direction] += pendingData_[direction];
        pendingData_[direction] = 0;
    }
    buffer_.clear();
}

bool ZPcapngWriter::Close(std::string& errorText) {
    std::lock_guard guard(lock_);
    if (fd_ < 0) return true;
    FlushLocked(Clock::now());
    if (close(fd_) != 0 && writeError_ == 0) writeError_ = errno;
    fd_ = -1;
    if (writeError_ == 0) return true;
    errorText =
        "The recording file could not be written: " + Quoted(path_) + ": " + GetErrorText(writeError_);
    return false;
}

uint64_t ZPcapngWriter::PacketsWritten() const {
    std::lock_guard guard(lock_);
    return packets_;
}

uint64_t ZPcapngWriter::FileBytes() const {
    std::lock_guard guard(lock_);
    return fileBytes_;
}

uint64_t ZPcapngWriter::PacketBytesWritten(bool outbound) const {
    std::lock_guard guard(lock_);
    return writtenData_[outbound ? 1 : 0];
}
