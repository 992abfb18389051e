#include "ZPcapngReader.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstring>

#include "Funset_strings.h"
#include "ZULFileIO.h"

namespace {

constexpr uint32_t SectionHeaderType = 0x0A0D0D0A;
constexpr uint32_t InterfaceDescriptionType = 1;
constexpr uint32_t SimplePacketType = 3;
constexpr uint32_t EnhancedPacketType = 6;
constexpr uint32_t ByteOrderMagic = 0x1A2B3C4D;
constexpr uint32_t SwappedByteOrderMagic = 0x4D3C2B1A;
constexpr uint16_t IfName = 2;
constexpr uint16_t IfTsResol = 9;
constexpr uint16_t EpbFlags = 2;
constexpr size_t EnhancedPacketDataOffset = 28;
constexpr size_t MinBlockLength = 12;
constexpr size_t MinSectionHeaderLength = 28;
constexpr size_t MinInterfaceLength = 20;
constexpr size_t MinEnhancedPacketLength = 32;
constexpr size_t MinSimplePacketLength = 16;

uint32_t Swap32(uint32_t value) {
    return __builtin_bswap32(value);
}

// Reads exactly count bytes at offset, or gives the errno of the failure (EIO for a
// file that ended early: it shrank since Open measured it).
int ReadAt(int fd, uint64_t offset, uint8_t* out, size_t count) {
    while (count > 0) {
        const ssize_t n = pread(fd, out, count, static_cast<off_t>(offset));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return n < 0 ? errno : EIO;
        out += n;
        offset += static_cast<uint64_t>(n);
        count -= static_cast<size_t>(n);
    }
    return 0;
}

}  // namespace

ZPcapngReader::~ZPcapngReader() {
    Close();
}

void ZPcapngReader::Close() {
    if (fd_ >= 0) close(fd_);
    fd_ = -1;
    block_.clear();
    interfaces_.clear();
}

std::string ZPcapngReader::Refusal(const ZULTextTemplate& what,
                                   std::initializer_list<std::string_view> args) const {
    return ZULFormat(ZUL_TEXT("PcapngReader", "The recording \"%1\" %2"), {path_, ZULFormat(what, args)});
}

uint16_t ZPcapngReader::Get16(size_t at) const {
    uint16_t value;
    std::memcpy(&value, block_.data() + at, sizeof(value));
    return swapped_ ? static_cast<uint16_t>(value << 8 | value >> 8) : value;
}

uint32_t ZPcapngReader::Get32(size_t at) const {
    uint32_t value;
    std::memcpy(&value, block_.data() + at, sizeof(value));
    return swapped_ ? Swap32(value) : value;
}

bool ZPcapngReader::Open(const std::string& path, int linkType, std::string& errorText) {
    Close();
    path_ = path;
    fd_ = ZULOpenRegularFile(path);
    struct stat status {};
    if (fd_ < 0 || fstat(fd_, &status) != 0) {
        const std::string kind = ZULFileKindText(path);
        errorText =
            kind.empty()
                ? Refusal(ZUL_TEXT("PcapngReader", "cannot be read: %1"), {GetLastErrorText()})
                : Refusal(ZUL_TEXT("PcapngReader", "is %1, and a recording must be a regular file."), {kind});
        Close();
        return false;
    }
    size_ = static_cast<uint64_t>(status.st_size);
    offset_ = 0;
    packetNumber_ = 0;
    // Every block is checked before the first packet goes out, so a replay never
    // stops halfway through a file it should have refused.
    int result;
    bool refused = false;
    int sections = 0;
    interfaceNames_.clear();
    while (!refused && (result = ReadBlock(errorText)) > 0) {
        const uint32_t type = Get32(0);
        if (type == SectionHeaderType) ++sections;
        if (type == EnhancedPacketType || type == SimplePacketType) ++packetNumber_;
        const bool ok = type == SectionHeaderType          ? ParseSectionHeader(errorText)
                        : type == InterfaceDescriptionType ? ParseInterface(linkType, errorText)
                                                           : true;
        refused = !ok || !CheckPacketBlock(type, errorText);
        if (ok && type == InterfaceDescriptionType && sections == 1)
            interfaceNames_.push_back(interfaces_.back().name);
    }
    if (refused || result != 0) {
        Close();
        return false;
    }
    offset_ = 0;
    packetNumber_ = 0;
    interfaces_.clear();
    return true;
}

int ZPcapngReader::ReadBlock(std::string& errorText) {
    blockOffset_ = offset_;
    if (offset_ == size_ && size_ > 0) return 0;
    const uint64_t left = size_ - offset_;
    uint8_t head[12] = {};
    const size_t headLength = left < sizeof(head) ? static_cast<size_t>(left) : sizeof(head);
    int error = headLength == 0 ? 0 : ReadAt(fd_, offset_, head, headLength);
    if (error != 0) {
        errorText = Refusal(ZUL_TEXT("PcapngReader", "cannot be read: %1"), {GetErrorText(error)});
        return -1;
    }
    uint32_t type;
    std::memcpy(&type, head, sizeof(type));
    if (offset_ == 0 || type == SectionHeaderType) {
        uint32_t magic = 0;
        if (headLength == sizeof(head)) std::memcpy(&magic, head + 8, sizeof(magic));
        if (type != SectionHeaderType || (magic != ByteOrderMagic && magic != SwappedByteOrderMagic)) {
            // A section that starts later in the file could be a cut or damaged one; at the
            // start, it is simply something else.
            errorText = offset_ == 0 && !(type == SectionHeaderType && headLength < sizeof(head))
                            ? Refusal(ZUL_TEXT("PcapngReader", "is not a pcapng file."))
                            : Refusal(ZUL_TEXT("PcapngReader", "ends inside a block at offset %1."),
                                      {std::to_string(size_)});
            return -1;
        }
        swapped_ = magic == SwappedByteOrderMagic;
    }
    if (headLength < 8) {
        errorText =
            Refusal(ZUL_TEXT("PcapngReader", "ends inside a block at offset %1."), {std::to_string(size_)});
        return -1;
    }
    uint32_t length;
    std::memcpy(&length, head + 4, sizeof(length));
    if (swapped_) length = Swap32(length);
    if (length < MinBlockLength || length % 4 != 0 || length > MaxBlockLength) {
        errorText = Refusal(ZUL_TEXT("PcapngReader", "has a block of impossible length %1 at offset %2."),
                            {std::to_string(length), std::to_string(offset_)});
        return -1;
    }
    if (length > left) {
        errorText =
            Refusal(ZUL_TEXT("PcapngReader", "ends inside a block at offset %1."), {std::to_string(size_)});
        return -1;
    }
    block_.resize(length);
    error = ReadAt(fd_, offset_, block_.data(), length);
    if (error != 0) {
        errorText = Refusal(ZUL_TEXT("PcapngReader", "cannot be read: %1"), {GetErrorText(error)});
        return -1;
    }
    if (Get32(length - 4) != length) {
        errorText = Refusal(ZUL_TEXT("PcapngReader", "has a malformed block at offset %1."),
                            {std::to_string(offset_)});
        return -1;
    }
    offset_ += length;
    return 1;
}

bool ZPcapngReader::ParseSectionHeader(std::string& errorText) {
    if (block_.size() < MinSectionHeaderLength) {
        errorText = Refusal(ZUL_TEXT("PcapngReader", "has a malformed block at offset %1."),
                            {std::to_string(blockOffset_)});
        return false;
    }
    if (Get16(12) != 1) {
        errorText =
            Refusal(ZUL_TEXT("PcapngReader", "has pcapng version %1, not 1."), {std::to_string(Get16(12))});
        return false;
    }
    interfaces_.clear();  // interface numbers count from 0 in every section
    return true;
}

bool ZPcapngReader::ParseInterface(int linkType, std::string& errorText) {
    if (block_.size() < MinInterfaceLength) {
        errorText = Refusal(ZUL_TEXT("PcapngReader", "has a malformed block at offset %1."),
                            {std::to_string(blockOffset_)});
        return false;
    }
    Interface interface;
    interface.linkType = Get16(8);
    if (linkType != AnyLinkType && interface.linkType != linkType) {
        errorText = Refusal(ZUL_TEXT("PcapngReader", "holds packets of link type %1, not of link type %2."),
                            {std::to_string(interface.linkType), std::to_string(linkType)});
        return false;
    }
    const bool walked = WalkOptions(16, [&](uint16_t code, size_t value, size_t length) {
        if (code == IfTsResol && length >= 1) interface.tsresol = block_[value];
        if (code == IfName)
            interface.name.assign(block_.begin() + static_cast<ptrdiff_t>(value),
                                  block_.begin() + static_cast<ptrdiff_t>(value + length));
    });
    if (!walked) {
        errorText = Refusal(ZUL_TEXT("PcapngReader", "has a malformed block at offset %1."),
                            {std::to_string(blockOffset_)});
        return false;
    }
    const uint8_t exponent = interface.tsresol & 0x7F;
    if ((interface.tsresol & 0x80) != 0 ? exponent > 63 : exponent > 18) {
        errorText = Refusal(ZUL_TEXT("PcapngReader", "has a time resolution it cannot use at offset %1."),
                            {std::to_string(blockOffset_)});
        return false;
    }
    interfaces_.push_back(interface);
    return true;
}

bool ZPcapngReader::CheckPacketBlock(uint32_t type, std::string& errorText) const {
    const bool malformed =
        type == EnhancedPacketType
            ? block_.size() < MinEnhancedPacketLength || Get32(8) >= interfaces_.size() ||
                  Get32(20) > block_.size() - MinEnhancedPacketLength
            : type == SimplePacketType && (block_.size() < MinSimplePacketLength || interfaces_.empty());
    if (malformed) {
        errorText = Refusal(ZUL_TEXT("PcapngReader", "has a malformed packet block at offset %1."),
                            {std::to_string(blockOffset_)});
        return false;
    }
    int64_t timeUs = 0;
    if (type == EnhancedPacketType && !PacketTime(timeUs)) {
        errorText =
            Refusal(ZUL_TEXT("PcapngReader",
                             "has a packet with a time after the year 9999 (packet %1 at offset %2)."),
                    {std::to_string(packetNumber_), std::to_string(blockOffset_)});
        return false;
    }
    return true;
}

template <typename Take>
bool ZPcapngReader::WalkOptions(size_t at, Take take) const {
    const size_t end = block_.size() - 4;
    while (at + 4 <= end) {
        const uint16_t code = Get16(at);
        const size_t length = Get16(at + 2);
        if (code == 0) return true;
        if (at + 4 + length > end) return false;
        take(code, at + 4, length);
        // Each value is padded to a multiple of 4 bytes.
        at += 4 + (length + 3) / 4 * 4;
    }
    return true;
}

bool ZPcapngReader::PacketTime(int64_t& timeUs) const {
    const uint64_t stamp = uint64_t{Get32(12)} << 32 | Get32(16);
    return ToMicros(interfaces_[Get32(8)], stamp, timeUs);
}

uint32_t ZPcapngReader::PacketFlags() const {
    uint32_t flags = 0;
    const size_t options = EnhancedPacketDataOffset + (size_t{Get32(20)} + 3) / 4 * 4;
    // The flags are read where they are whole; a block without them, or with damaged
    // options after the packet data, has none.
    WalkOptions(options, [&](uint16_t code, size_t value, size_t length) {
        if (code == EpbFlags && length == 4) flags = Get32(value);
    });
    return flags;
}

bool ZPcapngReader::ToMicros(const Interface& interface, uint64_t stamp, int64_t& timeUs) {
    constexpr auto Latest = static_cast<uint64_t>(LatestTimeUs);
    const int exponent = interface.tsresol & 0x7F;
    uint64_t micros = 0;
    if ((interface.tsresol & 0x80) != 0) {
        // Whole seconds exactly; the fraction within a microsecond is all a double loses.
        const uint64_t fraction = exponent == 0 ? 0 : stamp & ((uint64_t{1} << exponent) - 1);
        const uint64_t seconds = exponent == 0 ? stamp : stamp >> exponent;
        if (seconds > Latest / 1'000'000) return false;
        micros = seconds * 1'000'000 +
                 static_cast<uint64_t>(std::ldexp(static_cast<double>(fraction), -exponent) * 1e6);
    } else {
        uint64_t scale = 1;
        for (int i = 6; i < exponent; ++i) scale *= 10;
        micros = stamp;
        for (int i = exponent; i < 6; ++i) {
            if (micros > Latest / 10) return false;
            micros *= 10;
        }
        micros /= scale;
    }
    if (micros > Latest) return false;
    timeUs = static_cast<int64_t>(micros);
    return true;
}

bool ZPcapngReader::Next(Packet& packet, std::string& errorText) {
    if (fd_ < 0) return false;
    for (;;) {
        const int result = ReadBlock(errorText);
        if (result <= 0) return false;
        const uint32_t type = Get32(0);
        if (type == EnhancedPacketType || type == SimplePacketType) ++packetNumber_;
        if (type == SectionHeaderType) {
            ParseSectionHeader(errorText);
        } else if (type == InterfaceDescriptionType) {
            if (!ParseInterface(AnyLinkType, errorText)) return false;
        } else if (!CheckPacketBlock(type, errorText)) {
            return false;
        } else if (type == EnhancedPacketType) {
            PacketTime(packet.timeUs);
            packet.linkType = interfaces_[Get32(8)].linkType;
            packet.interfaceId = Get32(8);
            packet.flags = PacketFlags();
            const auto data = block_.begin() + EnhancedPacketDataOffset;
            packet.bytes.assign(data, data + Get32(20));
            return true;
        } else if (type == SimplePacketType) {
            const size_t room = block_.size() - MinSimplePacketLength;
            const size_t length = Get32(8) < room ? Get32(8) : room;
            packet.timeUs = 0;
            packet.flags = 0;
            packet.linkType = interfaces_.front().linkType;
            packet.interfaceId = 0;
            packet.bytes.assign(block_.begin() + 12, block_.begin() + 12 + static_cast<ptrdiff_t>(length));
            return true;
        }
    }
}
