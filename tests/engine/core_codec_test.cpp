// SLIP and COBS: frames as they go on the line, what decoding them gives, and sends
// encoded as frames.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ZChecksum.h"
#include "ZFrameCodec.h"
#include "ZSendSequence.h"
#include "ZULIniFile.h"

namespace {

using Bytes = std::vector<uint8_t>;

template <typename Case>
std::string CaseName(const ::testing::TestParamInfo<Case>& param) {
    return param.param.name;
}

Bytes Join(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes& part : parts) all.insert(all.end(), part.begin(), part.end());
    return all;
}

// A payload, its frame on the line (the published examples for COBS), and back.
struct CodecCase {
    const char* name;
    int32_t encoding;
    Bytes payload;
    Bytes frame;
    friend void PrintTo(const CodecCase& c, std::ostream* out) { *out << c.name; }
};

class CodecTest : public ::testing::TestWithParam<CodecCase> {};

TEST_P(CodecTest, EncodesAndDecodesBack) {
    const CodecCase& c = GetParam();
    const IZFrameCodec* codec = ZFrameCodecFor(c.encoding);
    ASSERT_NE(codec, nullptr);
    Bytes frame{0xEE};
    codec->Encode(c.payload.data(), c.payload.size(), frame);
    EXPECT_EQ(frame, Join({{0xEE}, c.frame})) << "appended to what the output held";
    // The receiver sees the bytes between two delimiters.
    const auto inner = static_cast<int>(c.frame.size()) - 1 - (c.encoding == feSlip ? 1 : 0);
    const uint8_t* start = c.frame.data() + (c.encoding == feSlip ? 1 : 0);
    Bytes out(c.payload.size() + 1, 0xEE);
    int length = -1;
    EXPECT_EQ(codec->Decode(start, inner, out.data(), static_cast<int>(c.payload.size()), length), drDecoded);
    EXPECT_EQ(Bytes(out.begin(), out.begin() + length), c.payload);
    EXPECT_EQ(out.back(), 0xEE) << "nothing written past the capacity";
    if (c.payload.empty()) return;
    EXPECT_EQ(codec->Decode(start, inner, out.data(), static_cast<int>(c.payload.size()) - 1, length),
              drTooLong);
}

const Bytes k254(254, 0x11);

INSTANTIATE_TEST_SUITE_P(
    Frames, CodecTest,
    ::testing::Values(
        CodecCase{"SlipPlain", feSlip, {0x01, 0x02}, {0xC0, 0x01, 0x02, 0xC0}},
        CodecCase{
            "SlipEndAndEscEscaped", feSlip, {0xC0, 0xDB, 0xDC}, {0xC0, 0xDB, 0xDC, 0xDB, 0xDD, 0xDC, 0xC0}},
        CodecCase{"SlipEmpty", feSlip, {}, {0xC0, 0xC0}},
        CodecCase{"SlipEscapeLast", feSlip, {0x01, 0xC0}, {0xC0, 0x01, 0xDB, 0xDC, 0xC0}},
        CodecCase{"CobsZero", feCobs, {0x00}, {0x01, 0x01, 0x00}},
        CodecCase{"CobsZeroInside", feCobs, {0x11, 0x22, 0x00, 0x33}, {0x03, 0x11, 0x22, 0x02, 0x33, 0x00}},
        CodecCase{"CobsTrailingZero", feCobs, {0x11, 0x00}, {0x02, 0x11, 0x01, 0x00}},
        CodecCase{"CobsEmpty", feCobs, {}, {0x01, 0x00}},
        CodecCase{"Cobs254NonZeroFillOneCode", feCobs, k254, Join({{0xFF}, k254, {0x00}})},
        CodecCase{"Cobs255NonZeroTakeTwoCodes", feCobs, Join({k254, {0x22}}),
                  Join({{0xFF}, k254, {0x02, 0x22, 0x00}})},
        CodecCase{"Cobs254NonZeroThenZero", feCobs, Join({k254, {0x00}}),
                  Join({{0xFF}, k254, {0x01, 0x01, 0x00}})}),
    CaseName<CodecCase>);

// A send encoded as a frame: the checksum over the bytes first, then the encoding;
// no line end after the frame.
struct EncodedSendCase {
    const char* name;
    ZSendSequence sequence;
    Bytes sent;
    friend void PrintTo(const EncodedSendCase& c, std::ostream* out) { *out << c.name; }
};

class EncodedSendTest : public ::testing::TestWithParam<EncodedSendCase> {};

TEST_P(EncodedSendTest, ChecksumThenEncoding) {
    EXPECT_EQ(GetParam().sequence.BuildBytes(), GetParam().sent);
}

ZSendSequence Sequence(Bytes data, int32_t checksum, int32_t lineEnd, int32_t encode) {
    ZSendSequence s;
    s.Data = std::move(data);
    s.Checksum = checksum;
    s.ChecksumLSBFirst = ZSendSequence::DefaultLSBFirst(checksum);
    s.LineEnd = lineEnd;
    s.Encode = encode;
    return s;
}

INSTANTIATE_TEST_SUITE_P(
    Sends, EncodedSendTest,
    ::testing::Values(
        // The CRC of the Modbus query 11 03 00 6B 00 03 is 76 87 (low byte first).
        EncodedSendCase{"CobsWithCrc",
                        Sequence({0x11, 0x03, 0x00, 0x6B, 0x00, 0x03}, caCrc16Modbus, leNone, feCobs),
                        {0x03, 0x11, 0x03, 0x02, 0x6B, 0x04, 0x03, 0x76, 0x87, 0x00}},
        EncodedSendCase{"SlipEscapesTheChecksumToo",
                        Sequence({0x1B, 0xC0}, caXor8, leNone, feSlip),
                        {0xC0, 0x1B, 0xDB, 0xDC, 0xDB, 0xDD, 0xC0}},
        EncodedSendCase{
            "NoLineEndAfterAFrame", Sequence({'A', 'T'}, caNone, leCRLF, feSlip), {0xC0, 'A', 'T', 0xC0}},
        EncodedSendCase{"UnknownEncodingSendsAsTheyAre", Sequence({'A'}, caNone, leCR, 7), {'A', '\r'}}),
    CaseName<EncodedSendCase>);

TEST(EncodedSendIniTest, EncodeIsWrittenOnlyForAnEncodedSequenceAndReadsBack) {
    ZSendList list;
    list.Items = {Sequence({0x01}, caNone, leNone, feCobs), Sequence({0x02}, caNone, leNone, feNone)};
    ZULIniFile ini;
    list.WriteToIni(ini);
    const std::string text = ini.ToText();
    EXPECT_NE(text.find("\r\nEvery_0=0\r\nEncode_0=2\r\nName_1="), std::string::npos) << text;
    EXPECT_EQ(text.find("Encode_1"), std::string::npos) << text;
    ZSendList back;
    back.ReadFromIni(ini);
    EXPECT_EQ(back, list);
    // A value no encoding has reads as none.
    ini.WriteInteger(ZSendList::IniSection, "Encode_0", 3);
    back.ReadFromIni(ini);
    EXPECT_EQ(back.Items[0].Encode, feNone);
}

}  // namespace
