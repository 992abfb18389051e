// A pcapng file as a replay reads it: whatever the file holds, the reader either
// refuses it at the open or hands out every packet without an error, each time
// within the years it accepts; what it hands out, written again, reads back the same.

#include <cstdint>
#include <string>
#include <vector>

#include "FuzzInput.h"
#include "FuzzScratchFile.h"
#include "ZPcapngReader.h"
#include "ZPcapngWriter.h"
#include "ZULDateTime.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static TScratchFile file("recording.pcapng");
    static TScratchFile copy("copy.pcapng");
    ZPcapngReader reader;
    std::string error;
    if (!reader.Open(file.Hold(data, size), ZPcapngReader::AnyLinkType, error)) {
        Require(!error.empty(), "a refusal says why");
        return 0;
    }
    std::vector<ZPcapngReader::Packet> packets;
    ZPcapngReader::Packet packet;
    while (reader.Next(packet, error)) {
        Require(packet.timeUs >= 0 && packet.timeUs <= ZPcapngReader::LatestTimeUs, "a time within the years");
        (void)ZULFromUnixMicros(packet.timeUs);
        packets.push_back(packet);
    }
    Require(error.empty(), "a file the open accepted reads to its end");

    // Written anew (one interface, microseconds) and read back: the same packets.
    ZPcapngWriter writer;
    const std::string& copyPath = copy.Path();
    unlink(copyPath.c_str());
    Require(writer.Create(copyPath, ZPcapngWriter::LinkTypeUser0, "", "", error), "the copy is made");
    for (const ZPcapngReader::Packet& p : packets)
        writer.Write({p.timeUs, p.bytes.data(), static_cast<uint32_t>(p.bytes.size()), p.flags, ""});
    Require(writer.Close(error), "the copy is written");
    ZPcapngReader again;
    Require(again.Open(copyPath, ZPcapngWriter::LinkTypeUser0, error), "the copy opens");
    for (const ZPcapngReader::Packet& p : packets) {
        Require(again.Next(packet, error), "the copy holds every packet");
        Require(packet.timeUs == p.timeUs && packet.bytes == p.bytes && packet.flags == p.flags,
                "the copy's packet is the packet");
    }
    Require(!again.Next(packet, error) && error.empty(), "the copy holds no more");
    return 0;
}
