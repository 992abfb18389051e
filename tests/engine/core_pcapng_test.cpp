// Recordings in pcapng: the blocks written byte for byte, what reads back, and the
// files the reader refuses.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "../common/TestFiles.h"
#include "ZPcapngReader.h"
#include "ZPcapngWriter.h"

namespace {

using Bytes = std::string;

template <typename Case>
std::string CaseName(const ::testing::TestParamInfo<Case>& param) {
    return param.param.name;
}

// Little-endian pieces of a block, as the format lays them out on this machine.
Bytes U16(uint16_t v) {
    return Bytes{static_cast<char>(v & 0xFF), static_cast<char>(v >> 8)};
}
Bytes U32(uint32_t v) {
    return U16(static_cast<uint16_t>(v & 0xFFFF)) + U16(static_cast<uint16_t>(v >> 16));
}

const Bytes SectionHeader =
    U32(0x0A0D0D0A) + U32(28) + U32(0x1A2B3C4D) + U16(1) + U16(0) + Bytes(8, '\xFF') + U32(28);
// Link type 147, snapshot length 0, if_name "pts/3" (5 bytes + 3 padding),
// if_description "Demo" (4), if_tsresol 6 (1 byte + 3 padding), end of options.
const Bytes Interface147 = U32(1) + U32(52) + U16(147) + U16(0) + U32(0) + U16(2) + U16(5) +
                           Bytes("pts/3\0\0\0", 8) + U16(3) + U16(4) + "Demo" + U16(9) + U16(1) +
                           Bytes("\x06\0\0\0", 4) + U32(0) + U32(52);

struct BlockCase {
    const char* name;
    ZPcapngWriter::Packet packet;
    Bytes block;  // the Enhanced Packet Block expected
};

class PcapngBlockTest : public ::testing::TestWithParam<BlockCase> {};

TEST_P(PcapngBlockTest, FileHoldsTheHeadersAndThePacketBlock) {
    const BlockCase& c = GetParam();
    ScratchDir dir;
    ZPcapngWriter writer;
    std::string error;
    ASSERT_TRUE(writer.Create(dir.File("r.pcapng"), 147, "pts/3", "Demo", error)) << error;
    ASSERT_TRUE(writer.Write(c.packet));
    ASSERT_TRUE(writer.Close(error)) << error;
    EXPECT_EQ(writer.PacketsWritten(), 1u);
    EXPECT_EQ(ReadBytes(dir.File("r.pcapng")), SectionHeader + Interface147 + c.block);
}

const uint8_t abc[] = {'a', 'b', 'c', 'd', 'e'};
// 1796828427172345 us, high and low word
const Bytes Stamp = U32(0x00066234) + U32(0xB81FB9F9);

INSTANTIATE_TEST_SUITE_P(
    Packets, PcapngBlockTest,
    ::testing::Values(
        BlockCase{"NoOptions",
                  {1'796'828'427'172'345, abc, 3, 0, ""},
                  U32(6) + U32(36) + U32(0) + Stamp + U32(3) + U32(3) + Bytes("abc\0", 4) + U32(36)},
        BlockCase{"FourBytesNeedNoPadding",
                  {1'796'828'427'172'345, abc, 4, 0, ""},
                  U32(6) + U32(36) + U32(0) + Stamp + U32(4) + U32(4) + "abcd" + U32(36)},
        BlockCase{"Empty",
                  {0, abc, 0, 0, ""},
                  U32(6) + U32(32) + U32(0) + U32(0) + U32(0) + U32(0) + U32(0) + U32(32)},
        BlockCase{"FlagsAndComment",
                  {1'796'828'427'172'345, abc, 5, 1, "hi"},
                  U32(6) + U32(60) + U32(0) + Stamp + U32(5) + U32(5) + Bytes("abcde\0\0\0", 8) + U16(2) +
                      U16(4) + U32(1) + U16(1) + U16(2) + Bytes("hi\0\0", 4) + U32(0) + U32(60)}),
    CaseName<BlockCase>);

// What a reader gives back is what was written, block for block: time, bytes and
// flags, whether or not a comment follows them.
TEST(Pcapng, ReadsBackEveryPacketWithItsTimeAndFlags) {
    ScratchDir dir;
    std::vector<std::pair<int64_t, Bytes>> packets;
    for (int i = 0; i < 3000; ++i)
        packets.emplace_back(1'796'828'427'000'000 + i * 7919, Bytes(i % 23, char(i)));
    ZPcapngWriter writer;
    std::string error;
    ASSERT_TRUE(writer.Create(dir.File("r.pcapng"), 147, "pts/3", "", error)) << error;
    for (size_t i = 0; i < packets.size(); ++i) {
        const auto& [time, bytes] = packets[i];
        writer.Write({time, reinterpret_cast<const uint8_t*>(bytes.data()), uint32_t(bytes.size()),
                      static_cast<uint32_t>(i % 3), i % 2 == 0 ? "x" : ""});
    }
    ASSERT_TRUE(writer.Close(error)) << error;

    ZPcapngReader reader;
    ASSERT_TRUE(reader.Open(dir.File("r.pcapng"), 147, error)) << error;
    ZPcapngReader::Packet packet;
    for (size_t i = 0; i < packets.size(); ++i) {
        const auto& [time, bytes] = packets[i];
        ASSERT_TRUE(reader.Next(packet, error)) << error;
        ASSERT_EQ(packet.timeUs, time);
        ASSERT_EQ(Bytes(packet.bytes.begin(), packet.bytes.end()), bytes);
        ASSERT_EQ(packet.linkType, 147);
        ASSERT_EQ(packet.flags, i % 3) << i;
    }
    EXPECT_FALSE(reader.Next(packet, error));
    EXPECT_EQ(error, "");
}

// Files from elsewhere: another byte order and other time resolutions.
struct ForeignCase {
    const char* name;
    Bytes file;
    int64_t timeUs;
};

class PcapngForeignTest : public ::testing::TestWithParam<ForeignCase> {};

TEST_P(PcapngForeignTest, ReadsThePacketTime) {
    ScratchDir dir;
    WriteBytes(dir.File("f.pcapng"), GetParam().file);
    ZPcapngReader reader;
    std::string error;
    ASSERT_TRUE(reader.Open(dir.File("f.pcapng"), 147, error)) << error;
    ZPcapngReader::Packet packet;
    ASSERT_TRUE(reader.Next(packet, error)) << error;
    EXPECT_EQ(packet.timeUs, GetParam().timeUs);
    EXPECT_EQ(Bytes(packet.bytes.begin(), packet.bytes.end()), "abc");
}

Bytes B16(uint16_t v) {
    return Bytes{static_cast<char>(v >> 8), static_cast<char>(v & 0xFF)};
}
Bytes B32(uint32_t v) {
    return B16(static_cast<uint16_t>(v >> 16)) + B16(static_cast<uint16_t>(v & 0xFFFF));
}
Bytes InterfaceWithResolution(uint8_t tsresol) {
    return U32(1) + U32(32) + U16(147) + U16(0) + U32(0) + U16(9) + U16(1) + Bytes(1, char(tsresol)) +
           Bytes(3, '\0') + U32(0) + U32(32);
}
// if_name "abc" (3 bytes and 1 of padding, as other tools write it) before if_tsresol.
Bytes InterfaceNamedBeforeResolution(uint8_t tsresol) {
    return U32(1) + U32(40) + U16(147) + U16(0) + U32(0) + U16(2) + U16(3) + Bytes("abc\0", 4) + U16(9) +
           U16(1) + Bytes(1, char(tsresol)) + Bytes(3, '\0') + U32(0) + U32(40);
}
Bytes PacketAt(uint64_t stamp) {
    return U32(6) + U32(36) + U32(0) + U32(uint32_t(stamp >> 32)) + U32(uint32_t(stamp)) + U32(3) + U32(3) +
           Bytes("abc\0", 4) + U32(36);
}

INSTANTIATE_TEST_SUITE_P(
    Files, PcapngForeignTest,
    ::testing::Values(
        ForeignCase{"BigEndian",
                    B32(0x0A0D0D0A) + B32(28) + B32(0x1A2B3C4D) + B16(1) + B16(0) + Bytes(8, '\xFF') +
                        B32(28) + B32(1) + B32(20) + B16(147) + B16(0) + B32(0) + B32(20) + B32(6) + B32(36) +
                        B32(0) + B32(0) + B32(1'000'001) + B32(3) + B32(3) + Bytes("abc\0", 4) + B32(36),
                    1'000'001},
        ForeignCase{"Nanoseconds", SectionHeader + InterfaceWithResolution(9) + PacketAt(5'000'123'999),
                    5'000'123},
        ForeignCase{"Milliseconds", SectionHeader + InterfaceWithResolution(3) + PacketAt(5'001), 5'001'000},
        ForeignCase{"PowerOfTwo",
                    SectionHeader + InterfaceWithResolution(0x80 | 10) + PacketAt(3 * 1024 + 512), 3'500'000},
        ForeignCase{"OddNameBeforeTheResolution",
                    SectionHeader + InterfaceNamedBeforeResolution(9) + PacketAt(5'000'123'999), 5'000'123},
        ForeignCase{"TheLastMicrosecondOf9999",
                    SectionHeader + InterfaceWithResolution(6) + PacketAt(253'402'300'799'999'999),
                    253'402'300'799'999'999}),
    CaseName<ForeignCase>);

// A file written by the writer, damaged in one way each.
struct RefusalCase {
    const char* name;
    Bytes file;
    int linkType;
    const char* message;  // after "The recording \"<path>\" "
};

class PcapngRefusalTest : public ::testing::TestWithParam<RefusalCase> {};

TEST_P(PcapngRefusalTest, OpenRefusesWithAMessage) {
    const RefusalCase& c = GetParam();
    ScratchDir dir;
    const std::string path = dir.File("r.pcapng");
    WriteBytes(path, c.file);
    ZPcapngReader reader;
    std::string error;
    EXPECT_FALSE(reader.Open(path, c.linkType, error));
    EXPECT_EQ(error, "The recording \"" + path + "\" " + c.message);
}

const Bytes Packet1 = PacketAt(1);
const Bytes Whole = SectionHeader + Interface147 + Packet1 + Packet1;  // 152 bytes

INSTANTIATE_TEST_SUITE_P(
    Files, PcapngRefusalTest,
    ::testing::Values(
        RefusalCase{"CutInTheLastBlock", Whole.substr(0, 150), 147, "ends inside a block at offset 150."},
        RefusalCase{"CutInItsLength", Whole.substr(0, 120), 147, "ends inside a block at offset 120."},
        RefusalCase{"CutInTheHeader", Whole.substr(0, 20), 147, "ends inside a block at offset 20."},
        RefusalCase{"CutInTheMagic", Whole.substr(0, 10), 147, "ends inside a block at offset 10."},
        RefusalCase{"AnotherLinkType", Whole, 252, "holds packets of link type 147, not of link type 252."},
        RefusalCase{"Text", "Hello, world, this is text.\n", 147, "is not a pcapng file."},
        RefusalCase{"Empty", "", 147, "is not a pcapng file."},
        RefusalCase{"WrongMagic", U32(0x0A0D0D0A) + U32(28) + U32(0x12345678) + Bytes(16, '\0'), 147,
                    "is not a pcapng file."},
        RefusalCase{"TrailerDiffers", Whole.substr(0, 148) + U32(40), 147,
                    "has a malformed block at offset 116."},
        RefusalCase{"UnknownInterface", SectionHeader + Packet1, 147,
                    "has a malformed packet block at offset 28."},
        RefusalCase{"OddLength", SectionHeader + U32(6) + U32(13) + Bytes(5, '\0'), 147,
                    "has a block of impossible length 13 at offset 28."},
        // Times past any plausible date, in every unit: refused, naming the packet.
        RefusalCase{"AfterTheYear9999", Whole + PacketAt(253'402'300'800'000'000), 147,
                    "has a packet with a time after the year 9999 (packet 3 at offset 152)."},
        RefusalCase{"SecondsBeyondMicroseconds",
                    SectionHeader + InterfaceWithResolution(0) + PacketAt(uint64_t{1} << 62), 147,
                    "has a packet with a time after the year 9999 (packet 1 at offset 60)."},
        RefusalCase{"PowerOfTwoSecondsBeyond",
                    SectionHeader + InterfaceWithResolution(0x80) + PacketAt(uint64_t{1} << 60), 147,
                    "has a packet with a time after the year 9999 (packet 1 at offset 60)."},
        RefusalCase{"AllOnes", SectionHeader + InterfaceWithResolution(6) + PacketAt(~uint64_t{0}), 147,
                    "has a packet with a time after the year 9999 (packet 1 at offset 60)."}),
    CaseName<RefusalCase>);

TEST(Pcapng, CreateNeverReplacesAFileOrFollowsALink) {
    ScratchDir dir;
    WriteBytes(dir.File("taken"), "keep");
    std::filesystem::create_symlink(dir.File("target"), dir.File("link"));
    for (const char* name : {"taken", "link"}) {
        ZPcapngWriter writer;
        std::string error;
        EXPECT_FALSE(writer.Create(dir.File(name), 147, "", "", error));
        EXPECT_EQ(error, "The recording file could not be created: \"" + dir.File(name) +
                             "\": a file of that name exists");
    }
    EXPECT_EQ(ReadBytes(dir.File("taken")), "keep");
    EXPECT_FALSE(std::filesystem::exists(dir.File("target")));
}

}  // namespace
