#pragma once
// A pcapng file written packet by packet: one section, one interface of a chosen link
// type with microsecond time stamps, one Enhanced Packet Block per packet. Blocks are
// collected in memory and handed to the file whole, each in a single write, so a file
// cut short by a crash ends after its last whole block and still reads.
//
// Write may be called on one thread (the capture thread) while another calls
// FlushIfDue; Create and Close belong to the owner, before and after the writes.

#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

class ZPcapngWriter {
public:
    // The link type of a recording of the raw bytes read from a serial port.
    static constexpr uint16_t LinkTypeUser0 = 147;
    // The epb_flags bits: the direction (inbound or outbound) and the CRC error.
    static constexpr uint32_t FlagInbound = 1;
    static constexpr uint32_t FlagOutbound = 2;
    static constexpr uint32_t FlagDirection = 3;
    static constexpr uint32_t FlagCrcError = 1u << 24;
    // The collected blocks go to the file when they reach this size, so a fast
    // line costs few writes and little memory.
    static constexpr size_t BufferSize = 64 * 1024;

    struct Packet {
        int64_t timeUs;  // microseconds since the Unix epoch
        const uint8_t* bytes;
        uint32_t length;
        uint32_t flags = 0;        // epb_flags option; 0: option not written
        std::string comment;       // opt_comment; "": not written
        uint32_t interfaceId = 0;  // 0: the interface Create wrote; 1: the one AddInterface added
    };

    ZPcapngWriter() = default;
    ~ZPcapngWriter();
    ZPcapngWriter(const ZPcapngWriter&) = delete;
    ZPcapngWriter& operator=(const ZPcapngWriter&) = delete;

    // Creates the file with O_EXCL|O_NOFOLLOW (an existing file or link is refused with a message)
    // and writes the Section Header Block and one Interface Description Block of linkType, with
    // if_name, if_description and if_tsresol 6. False with a text for the user.
    bool Create(const std::string& path, uint16_t linkType, const std::string& ifName,
                const std::string& ifDescription, std::string& errorText);
    // Adds a second Interface Description Block, like Create's, before any packet;
    // false once a packet is written or nothing is open.
    bool AddInterface(uint16_t linkType, const std::string& ifName, const std::string& ifDescription);
    // Collects one Enhanced Packet Block. False when nothing is open or an earlier
    // write to the file failed (the packet is then lost, and Close reports it).
    bool Write(const Packet& packet);
    // Hands the collected blocks to the file when the last hand-over is a second old.
    void FlushIfDue();
    // Hands over what is collected and closes; false with a text for the user when any
    // block was lost. True at once when nothing is open.
    bool Close(std::string& errorText);

    // Set by Create; kept after Close.
    const std::string& Path() const { return path_; }
    // Packets Write has taken since Create.
    uint64_t PacketsWritten() const;
    // Bytes the file took so far, the headers included (what a size on disk shows).
    uint64_t FileBytes() const;
    // The packet data of the packets flagged outbound (or not) that reached the file whole.
    uint64_t PacketBytesWritten(bool outbound) const;

private:
    using Clock = std::chrono::steady_clock;
    void FlushLocked(Clock::time_point now);

    std::string path_;  // written only by Create, before any other thread calls in

    mutable std::mutex lock_;  // guards the fields below: the file and what waits for it
    int fd_ = -1;
    std::vector<uint8_t> buffer_;  // whole blocks only
    Clock::time_point lastFlush_{};
    uint64_t packets_ = 0;
    int writeError_ = 0;
    uint64_t fileBytes_ = 0;
    // Packet data by direction (0 not outbound, 1 outbound): waiting in buffer_, and written.
    uint64_t pendingData_[2] = {};
    uint64_t writtenData_[2] = {};
};
