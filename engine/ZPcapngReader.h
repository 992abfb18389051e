#pragma once
// Reads a pcapng file packet by packet: the Enhanced and Simple Packet Blocks of
// every section, with their time in microseconds, their flags and the link type of
// their interface. Open walks the whole file first, so a file that cannot be read to
// its end is refused before any packet is handed out. One thread at a time.

#include <cstdint>
#include <string>
#include <vector>

#include "ZULText.h"

class ZPcapngReader {
public:
    // Larger blocks are refused: no recording of serial data needs them, and the
    // reader holds one block in memory.
    static constexpr uint32_t MaxBlockLength = 16 * 1024 * 1024;
    static constexpr int AnyLinkType = -1;

    // The latest time a packet may carry: the end of the year 9999, in microseconds
    // since the Unix epoch. A time stamp beyond it is damage, not a time.
    static constexpr int64_t LatestTimeUs = 253'402'300'799'999'999;

    struct Packet {
        int64_t timeUs = 0;  // microseconds since the Unix epoch (0 for a Simple Packet Block)
        std::vector<uint8_t> bytes;
        uint16_t linkType = 0;
        uint32_t flags = 0;        // epb_flags (direction and errors); 0 when the block has none
        uint32_t interfaceId = 0;  // the interface within its section (0 for a Simple Packet Block)
    };

    ZPcapngReader() = default;
    ~ZPcapngReader();
    ZPcapngReader(const ZPcapngReader&) = delete;
    ZPcapngReader& operator=(const ZPcapngReader&) = delete;

    // Opens a regular file and checks all of its blocks. False, with a text for the
    // user naming the file, for a file that is no regular file (a link, a FIFO, a
    // folder, ...: what it is), that is not pcapng, that ends inside a block
    // ("ends inside a block at offset N", N the file's length), whose blocks are
    // malformed, with a packet whose time lies beyond LatestTimeUs ("packet N at offset
    // M"), or (unless linkType is AnyLinkType) that holds an interface of another link
    // type ("link type N").
    bool Open(const std::string& path, int linkType, std::string& errorText);
    // The next packet; false at the end of the file (errorText untouched) or when the
    // file cannot be read any more (errorText says why).
    bool Next(Packet& packet, std::string& errorText);
    // After Open: the if_name of each interface of the first section, in order ("" for
    // one without a name); a recording of two lines has two.
    const std::vector<std::string>& InterfaceNames() const { return interfaceNames_; }
    void Close();

private:
    struct Interface {
        uint16_t linkType = 0;
        // Time stamp units per second, and whether they are a power of ten or two.
        uint8_t tsresol = 6;
        std::string name;  // if_name; "" when not given
    };
    // Reads the block at offset_ into block_; 0 at the end, 1 for a block, -1 on an error.
    int ReadBlock(std::string& errorText);
    // Takes in a section or interface block; false with errorText for a malformed one.
    bool ParseSectionHeader(std::string& errorText);
    bool ParseInterface(int linkType, std::string& errorText);
    // A packet block that fits its length, names a known interface and carries a time
    // up to LatestTimeUs (other blocks pass).
    bool CheckPacketBlock(uint32_t type, std::string& errorText) const;
    // Calls take(code, offset, length) for each option of the block from at up to its
    // trailer, until the end option; false for an option that overruns the block.
    template <typename Take>
    bool WalkOptions(size_t at, Take take) const;
    // An Enhanced Packet Block's time in microseconds; false when it lies beyond
    // LatestTimeUs.
    bool PacketTime(int64_t& timeUs) const;
    uint32_t PacketFlags() const;
    uint16_t Get16(size_t at) const;
    uint32_t Get32(size_t at) const;
    std::string Refusal(const ZULTextTemplate& what, std::initializer_list<std::string_view> args = {}) const;
    // Time stamp units of the interface in microseconds; false beyond LatestTimeUs.
    static bool ToMicros(const Interface& interface, uint64_t stamp, int64_t& timeUs);

    int fd_ = -1;
    std::string path_;
    uint64_t size_ = 0;
    uint64_t offset_ = 0;        // of the next block
    uint64_t blockOffset_ = 0;   // of the block in block_
    uint64_t packetNumber_ = 0;  // packet blocks up to and including the one in block_, from 1
    bool swapped_ = false;       // the section's byte order is not the machine's
    std::vector<uint8_t> block_;
    std::vector<Interface> interfaces_;        // of the current section
    std::vector<std::string> interfaceNames_;  // of the first section, see InterfaceNames
};
