#pragma once
// Frames as the packets of a pcapng capture that Wireshark decodes. Every packet has
// the link type LINKTYPE_WIRESHARK_UPPER_PDU: its data starts with the exported-PDU
// tag that names the dissector (for example "mbrtu" for Modbus RTU), then the bytes.
//
// The blocks of one frame (start trigger, data, stop trigger) become one packet with
// the time of the frame's first block; a trash block and a flush block become packets
// of their own with the comments "trash" and "flush" (a flush that ends a frame whose
// start trigger has gone out already carries that trigger too, so every byte is in
// the capture once); a sent block (bkSent) is an outbound packet of its
// own. A frame with a wrong checksum carries the CRC-error flag and the comment
// "checksum wrong". Everything else is inbound.
//
// The file is always a new one (never an existing file, never through a link). It is
// handed the packets as the blocks arrive and flushed at least once a second while
// FlushIfDue is called, so tshark can read it while the capture runs, and a crash
// leaves it readable up to its last whole packet. Every operation may be called from
// any thread; one lock serialises them.

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "ZFrameExport.h"
#include "ZPcapngWriter.h"

// The link type whose packets start with exported-PDU tags.
inline constexpr uint16_t ZPcapLinkTypeUpperPdu = 252;
// The epb_flags bits: the direction (inbound or outbound) and the CRC error.
inline constexpr uint32_t ZPcapFlagInbound = ZPcapngWriter::FlagInbound;
inline constexpr uint32_t ZPcapFlagOutbound = ZPcapngWriter::FlagOutbound;
inline constexpr uint32_t ZPcapFlagCrcError = ZPcapngWriter::FlagCrcError;
// The dissector named when the settings name none: Wireshark shows the bytes undecoded.
inline constexpr const char* ZPcapDefaultProtocol = "data";

// The exported-PDU tags in front of every packet's bytes: tag 12 (the dissector's
// name, its length exactly the name's, not padded) and the end tag 0 of length 0;
// tags and lengths big-endian 16-bit.
std::vector<uint8_t> ZExportedPduTags(const std::string& dissector);
// Whether a dissector name can be written: 1 to 64 characters of letters, digits and
// "._-" (the names Wireshark gives its dissectors). False with the text the user reads.
bool ZCheckPcapProtocol(const std::string& dissector, std::string& errorText);

class ZFramePcap : public IZBlockObserver {
public:
    ZFramePcap();
    ~ZFramePcap() override;
    ZFramePcap(const ZFramePcap&) = delete;
    ZFramePcap& operator=(const ZFramePcap&) = delete;

    // Creates path as a new pcapng file whose one interface is called ifName (the port)
    // and described by ifDescription (the device), with packets decoded by dissector.
    // betweenTriggers: frames end with a stop trigger (cmBetweenTriggers,
    // cmUntilStopTrigger); otherwise a data block ends its frame. False with the text the user reads.
    bool Create(const std::string& path, const std::string& dissector, bool betweenTriggers,
                const std::string& ifName, const std::string& ifDescription, std::string& errorText);
    void OnBlock(const sBlock& block) override;
    // Writes out a frame still gathering (the capture ended before its last block).
    void Finish();
    // Hands the written packets to the file when the last flush is a second old.
    void FlushIfDue();
    // Finishes, flushes and closes; false with the text the user reads when a packet
    // was lost. The object keeps its path and count.
    bool Close(std::string& errorText);
    // Renames the file to newPath without replacing anything there; false when that
    // is not possible (the file keeps its name).
    bool MoveTo(const std::string& newPath);

    // Whether a file is open (from Create to Close).
    bool IsOpen() const;
    std::string Path() const;
    uint64_t PacketsWritten() const;

private:
    // The frame being gathered on one line: its packet data (tags first), the time of its
    // first block, whether any block came, whether its checksum was wrong, and the line's
    // direction flag and name (with two lines; "" with one).
    struct sFrame {
        std::vector<uint8_t> Data;
        TDateTime Time = 0;
        bool Gathering = false;
        bool Bad = false;
        uint32_t Direction = 0;
        std::string LineName;
    };

    void BeginFrame(sFrame& frame, TDateTime time);
    void Append(sFrame& frame, const uint8_t* bytes, int length, TFrameVerdict verdict);
    void WriteFrame(sFrame& frame, const char* comment);
    void WritePacket(const sFrame& frame, TDateTime time, const uint8_t* bytes, int length, uint32_t flags,
                     const char* comment);
    // The line's name, then the comment, when there is a line.
    static std::string Comment(const sFrame& frame, const char* comment);

    mutable std::mutex lock_;  // guards every field below
    std::unique_ptr<ZPcapngWriter> writer_;
    std::string path_;
    uint64_t packets_ = 0;
    bool betweenTriggers_ = false;
    std::vector<uint8_t> tags_;
    // Line 0 (and the only line) is inbound, the second line outbound: a frame never
    // mixes the two.
    sFrame frames_[2];
    std::vector<uint8_t> single_;  // the packet data of a block that is a packet of its own
};
