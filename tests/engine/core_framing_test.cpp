// Frames that need no start trigger: lines ended by the stop trigger, SLIP and COBS.
// Chunks in, blocks out (a Flush ends every stream), one table per capture mode.

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "ZCobsCodec.h"
#include "ZSlipCodec.h"
#include "core_filter_support.h"

namespace {

using namespace filter_test;
using Blocks = std::vector<Block>;

Bytes Text(const std::string& text) {
    return Bytes(text.begin(), text.end());
}

Bytes Repeat(size_t count, uint8_t byte) {
    return Bytes(count, byte);
}

Bytes Join(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes& part : parts) all.insert(all.end(), part.begin(), part.end());
    return all;
}

Bytes Encoded(const IZFrameCodec& codec, const Bytes& payload) {
    Bytes frame;
    codec.Encode(payload.data(), payload.size(), frame);
    return frame;
}

const ZSlipCodec kSlip;
const ZCobsCodec kCobs;
const Bytes kCrLf{0x0D, 0x0A};
constexpr int kFull = ZFilter::FilterBufferSize;

template <typename Case>
std::string CaseName(const ::testing::TestParamInfo<Case>& param) {
    return param.param.name;
}

struct FramingCase {
    const char* name;
    uint8_t mode;
    std::vector<Bytes> chunks;
    Blocks blocks;  // the Flush after the last chunk included
    bool overflow = false;
    int32_t maxBytes = -1;  // MaxBytesWithinTriggers
    friend void PrintTo(const FramingCase& c, std::ostream* out) { *out << c.name; }
};

class FramingTest : public ::testing::TestWithParam<FramingCase> {};

TEST_P(FramingTest, BlocksOfTheStream) {
    const FramingCase& c = GetParam();
    ZLoggerSettings settings;
    settings.CaptureMode = c.mode;
    settings.TriggerStop = {0x0D, 0x0A};
    settings.MaxBytesWithinTriggers = c.maxBytes;
    RecordingFilter f(settings);
    bool intact = true;
    int64_t fed = 0;
    for (const Bytes& chunk : c.chunks) {
        intact = f.Feed(chunk) && intact;
        fed += static_cast<int64_t>(chunk.size());
    }
    f.Filter().Flush();
    EXPECT_EQ(f.Take(), c.blocks);
    EXPECT_EQ(intact, !c.overflow);
    // Without an overflow every byte on the line is accounted for once.
    if (!c.overflow) {
        EXPECT_EQ(f.LineBytes() + f.Filter().TakeUncountedLineBytes(), fed);
    }
}

INSTANTIATE_TEST_SUITE_P(
    UntilStopTrigger, FramingTest,
    ::testing::Values(
        FramingCase{"LinesAndTheirStopTriggers",
                    cmUntilStopTrigger,
                    {Text("ab\r\ncd\r\n")},
                    {Data(Text("ab")), Stop(kCrLf), Data(Text("cd")), Stop(kCrLf)}},
        FramingCase{"AnEmptyLineIsAStopTriggerAlone",
                    cmUntilStopTrigger,
                    {Text("\r\n\r\nx\r\n")},
                    {Stop(kCrLf), Stop(kCrLf), Data(Text("x")), Stop(kCrLf)}},
        FramingCase{"StopTriggerSplitAcrossReads",
                    cmUntilStopTrigger,
                    {Text("ab\r"), Text("\ncd")},
                    {Data(Text("ab")), Stop(kCrLf), Flushed(Text("cd"))}},
        FramingCase{"FrameOfExactlyTheLimit",
                    cmUntilStopTrigger,
                    {Text("ab\r\n")},
                    {Data(Text("ab")), Stop(kCrLf)},
                    false,
                    4},
        FramingCase{"LongerFrameIsDroppedWithItsStopTrigger",
                    cmUntilStopTrigger,
                    {Text("abc\r\nde\r\n")},
                    {Data(Text("de")), Stop(kCrLf)},
                    true,
                    4},
        FramingCase{"DroppedFrameWhoseStopTriggerIsSplit",
                    cmUntilStopTrigger,
                    {Text("abcd\r"), Text("\nde\r\n")},
                    {Data(Text("de")), Stop(kCrLf)},
                    true,
                    4},
        FramingCase{"TheRestOfADroppedFrameIsNoFlush", cmUntilStopTrigger, {Text("abcdef")}, {}, true, 4},
        FramingCase{"FrameOfExactlyTheBuffer",
                    cmUntilStopTrigger,
                    {Join({Repeat(kFull - 2, 'a'), kCrLf})},
                    {Data(Repeat(kFull - 2, 'a')), Stop(kCrLf)}},
        FramingCase{"FrameOfOneByteMoreThanTheBuffer",
                    cmUntilStopTrigger,
                    {Repeat(kFull - 1, 'a'), Join({kCrLf, Text("ok\r\n")})},
                    {Data(Text("ok")), Stop(kCrLf)},
                    true}),
    CaseName<FramingCase>);

INSTANTIATE_TEST_SUITE_P(
    Slip, FramingTest,
    ::testing::Values(FramingCase{"LeadingEndIsAnEmptyFrame",
                                  cmSlip,
                                  {{0xC0, 0x01, 0x02, 0xC0}},
                                  {Decoded({0x01, 0x02}, 3)}},
                      FramingCase{"EscapesStandForTheirBytes",
                                  cmSlip,
                                  {{0x01, 0xDB, 0xDC, 0x02, 0xDB, 0xDD, 0xC0}},
                                  {Decoded({0x01, 0xC0, 0x02, 0xDB}, 7)}},
                      FramingCase{"EscapesAtTheFramesEdges",
                                  cmSlip,
                                  {{0xDB, 0xDC, 0xC0, 0x01, 0xDB, 0xDD, 0xC0}},
                                  {Decoded({0xC0}, 3), Decoded({0x01, 0xDB}, 4)}},
                      FramingCase{"EscapeSplitAcrossReads",
                                  cmSlip,
                                  {{0x01, 0xDB}, {0xDC, 0x02, 0xC0}},
                                  {Decoded({0x01, 0xC0, 0x02}, 5)}},
                      FramingCase{"EmptyFramesGiveNothing", cmSlip, {{0xC0, 0xC0}, {0xC0}}, {}},
                      FramingCase{"CorruptFrameThenGoodOne",
                                  cmSlip,
                                  {{0x01, 0xDB, 0x41, 0x02, 0xC0, 0x03, 0xC0}},
                                  {Trash({0x01, 0xDB, 0x41, 0x02, 0xC0}), Decoded({0x03}, 2)}},
                      FramingCase{"EscapeBeforeTheEndIsCorrupt",
                                  cmSlip,
                                  {{0x05, 0xDB}, {0xC0, 0x06, 0xC0}},
                                  {Trash({0x05, 0xDB, 0xC0}), Decoded({0x06}, 2)}},
                      FramingCase{"RestAfterTheLastEndIsFlushedAsReceived",
                                  cmSlip,
                                  {{0x01, 0xC0, 0x02, 0xDB}},
                                  {Decoded({0x01}, 2), Flushed({0x02, 0xDB})}},
                      FramingCase{"FrameOfExactlyTheBufferAllEscaped",
                                  cmSlip,
                                  {Encoded(kSlip, Repeat(kFull, 0xC0))},
                                  {Decoded(Repeat(kFull, 0xC0), 2 * kFull + 1)}},
                      FramingCase{"FrameOfOneByteMoreThanTheBuffer",
                                  cmSlip,
                                  {Join({Repeat(kFull + 1, 0x41), {0xC0, 0x01, 0xC0}})},
                                  {Decoded({0x01}, 2)},
                                  true},
                      FramingCase{"EncodingLongerThanAnyFittingFrameIsDroppedUpToItsEnd",
                                  cmSlip,
                                  {Repeat(9, 0x41), {0x41, 0xC0, 0x02, 0xC0}},
                                  {Decoded({0x02}, 2)},
                                  true,
                                  4},
                      FramingCase{"EscapedFrameOfExactlyTheLimit",
                                  cmSlip,
                                  {{0xDB, 0xDC, 0xDB, 0xDC}, {0xDB, 0xDD, 0xDB, 0xDD, 0xC0}},
                                  {Decoded({0xC0, 0xC0, 0xDB, 0xDB}, 9)},
                                  false,
                                  4}),
    CaseName<FramingCase>);

INSTANTIATE_TEST_SUITE_P(
    Cobs, FramingTest,
    ::testing::Values(FramingCase{"CodeBytesStandForZeros",
                                  cmCobs,
                                  {{0x03, 0x11, 0x22, 0x02, 0x33, 0x00}},
                                  {Decoded({0x11, 0x22, 0x00, 0x33}, 6)}},
                      FramingCase{"OneZeroByte", cmCobs, {{0x01, 0x01, 0x00}}, {Decoded({0x00}, 3)}},
                      FramingCase{"FramesWithoutPayloadGiveNothing", cmCobs, {{0x00, 0x01, 0x00, 0x00}}, {}},
                      FramingCase{"LongestCodeHasNoZeroAfterIt",
                                  cmCobs,
                                  {Join({{0xFF}, Repeat(254, 0x11), {0x02, 0x22, 0x00}})},
                                  {Decoded(Join({Repeat(254, 0x11), {0x22}}), 258)}},
                      FramingCase{"CodeSplitAcrossReads",
                                  cmCobs,
                                  {{0x03, 0x11}, {0x22}, {0x00}},
                                  {Decoded({0x11, 0x22}, 4)}},
                      FramingCase{"LaterCodePastTheEndIsCorrupt",
                                  cmCobs,
                                  {{0x02, 0x11, 0x04, 0x22, 0x00, 0xFF, 0x33, 0x00}},
                                  {Trash({0x02, 0x11, 0x04, 0x22, 0x00}), Trash({0xFF, 0x33, 0x00})}},
                      FramingCase{"CodePastTheEndIsCorruptThenAGoodFrame",
                                  cmCobs,
                                  {{0x05, 0x11, 0x00, 0x02, 0x44, 0x00}},
                                  {Trash({0x05, 0x11, 0x00}), Decoded({0x44}, 3)}},
                      FramingCase{"RestAfterTheLastZeroIsFlushedAsReceived",
                                  cmCobs,
                                  {{0x02, 0x44, 0x00, 0x03, 0x11}},
                                  {Decoded({0x44}, 3), Flushed({0x03, 0x11})}},
                      FramingCase{"FrameOfExactlyTheBuffer",
                                  cmCobs,
                                  {Encoded(kCobs, Repeat(kFull, 0x11))},
                                  {Decoded(Repeat(kFull, 0x11), kFull + (kFull + 253) / 254 + 1)}},
                      FramingCase{"FrameOfOneByteMoreThanTheBuffer",
                                  cmCobs,
                                  {Join({Encoded(kCobs, Repeat(kFull + 1, 0x00)), Encoded(kCobs, {0x09})})},
                                  {Decoded({0x09}, 3)},
                                  true},
                      FramingCase{"LongerThanTheLimit",
                                  cmCobs,
                                  {{0x06, 0x01, 0x02, 0x03, 0x04, 0x05, 0x00, 0x02, 0x09, 0x00}},
                                  {Decoded({0x09}, 3)},
                                  true,
                                  4}),
    CaseName<FramingCase>);

// The checksum covers the whole frame: a line with its stop trigger, or a decoded payload.
struct VerdictCase {
    const char* name;
    uint8_t mode;
    Bytes input;
    std::vector<TFrameVerdict> verdicts;  // one per block
    friend void PrintTo(const VerdictCase& c, std::ostream* out) { *out << c.name; }
};

class FramingVerdictTest : public ::testing::TestWithParam<VerdictCase> {};

TEST_P(FramingVerdictTest, TheDataBlockCarriesTheVerdict) {
    const VerdictCase& c = GetParam();
    ZLoggerSettings settings;
    settings.CaptureMode = c.mode;
    settings.TriggerStop = {0x0D, 0x0A};
    if (c.mode == cmUntilStopTrigger) {
        // NMEA: "$", the sentence, "*", two hexadecimal digits, CR LF.
        settings.Frames.ChecksumAlgorithm = caXor8Hex;
        settings.Frames.ChecksumSkipStart = 1;
        settings.Frames.ChecksumGap = 1;
        settings.Frames.ChecksumSkipEnd = 2;
    } else {
        settings.Frames.ChecksumAlgorithm = caCrc16Modbus;
        settings.Frames.ChecksumMSBFirst = false;
    }
    // The logger keeps its filter from capture to capture: one with a start trigger
    // before must not leave it in the frames of this one.
    ZLoggerSettings before = settings;
    before.CaptureMode = cmFixedSize;
    before.TriggerStart = {'$'};
    RecordingFilter f(before);
    f.Feed({'$'});
    f.Settings() = settings;
    f.Filter().Reset();
    f.Take();
    EXPECT_TRUE(f.Feed(c.input));
    EXPECT_EQ(f.Verdicts(), c.verdicts);
}

const std::string kGga = "$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*4";
const Bytes kModbusQuery{0x11, 0x03, 0x00, 0x6B, 0x00, 0x03, 0x76, 0x87};
const Bytes kModbusQueryBadCrc{0x11, 0x03, 0x00, 0x6B, 0x00, 0x03, 0x76, 0x78};

INSTANTIATE_TEST_SUITE_P(
    Modes, FramingVerdictTest,
    ::testing::Values(VerdictCase{"SentenceGoodThenBadThenEmptyLine",
                                  cmUntilStopTrigger,
                                  Text(kGga + "7\r\n" + kGga + "8\r\n\r\n"),
                                  {fvGood, fvNone, fvBad, fvNone, fvNone}},
                      VerdictCase{"SlipPayload",
                                  cmSlip,
                                  Join({Encoded(kSlip, kModbusQuery), Encoded(kSlip, kModbusQueryBadCrc)}),
                                  {fvGood, fvBad}},
                      VerdictCase{"CobsPayload",
                                  cmCobs,
                                  Join({Encoded(kCobs, kModbusQuery), Encoded(kCobs, kModbusQueryBadCrc)}),
                                  {fvGood, fvBad}}),
    CaseName<VerdictCase>);

// Random streams of good, corrupt and empty frames, fed in random chunks: the blocks
// are the frames the stream was made of, however the reads cut it.
class FramingChunkingTest : public ::testing::TestWithParam<uint8_t> {};

TEST_P(FramingChunkingTest, BlocksAreTheFramesWhateverTheReads) {
    const uint8_t mode = GetParam();
    const IZFrameCodec& codec = mode == cmSlip ? static_cast<const IZFrameCodec&>(kSlip) : kCobs;
    ZLoggerSettings settings;
    settings.CaptureMode = mode;
    std::mt19937 random(mode);
    int corrupt = 0;
    for (int iteration = 0; iteration < 200; ++iteration) {
        Bytes stream;
        Blocks expected;
        for (int frame = static_cast<int>(random() % 20); frame > 0; --frame) {
            // Short payloads full of the bytes that are stuffed, or long runs without a
            // zero, which COBS splits into codes of FF.
            static const uint8_t kStuffed[] = {0x00, 0xC0, 0xDB, 0xDC, 0xDD, 0xFF, 0x01};
            const bool longRun = random() % 4 == 0;
            Bytes payload(longRun ? 250 + random() % 300 : random() % 12);
            for (uint8_t& byte : payload)
                byte = static_cast<uint8_t>(longRun ? 1 + random() % 255 : kStuffed[random() % 7]);
            Bytes encoded = Encoded(codec, payload);
            // SLIP's leading END is an empty frame of its own; half of the senders omit it.
            if (mode == cmSlip && random() % 2 == 0) encoded.erase(encoded.begin());
            if (!payload.empty() && random() % 5 == 0) {
                // Before the delimiter: SLIP an escape of nothing it stands for, COBS a last
                // code that points past the end.
                encoded.insert(encoded.end() - 1, {uint8_t{0xDB}, uint8_t{0x42}});
                // The leading END is no part of the frame.
                const bool leadingEnd = mode == cmSlip && encoded.front() == 0xC0;
                expected.push_back(Trash(Bytes(encoded.begin() + (leadingEnd ? 1 : 0), encoded.end())));
                ++corrupt;
            } else if (!payload.empty()) {
                const int leadingEnd = mode == cmSlip && encoded.front() == 0xC0 ? 1 : 0;
                expected.push_back(Decoded(payload, static_cast<int>(encoded.size()) - leadingEnd));
            }
            stream.insert(stream.end(), encoded.begin(), encoded.end());
        }
        RecordingFilter f(settings);
        for (size_t at = 0; at < stream.size();) {
            const size_t size = std::min<size_t>(stream.size() - at, 1 + random() % (random() % 2 ? 3 : 700));
            ASSERT_TRUE(f.Feed(Bytes(stream.begin() + static_cast<long>(at),
                                     stream.begin() + static_cast<long>(at + size))));
            at += size;
        }
        f.Filter().Flush();
        ASSERT_EQ(f.Take(), expected) << "iteration " << iteration;
        ASSERT_EQ(f.LineBytes() + f.Filter().TakeUncountedLineBytes(), static_cast<int64_t>(stream.size()));
    }
    EXPECT_GT(corrupt, 100) << "the generator must make corrupt frames too";
}

INSTANTIATE_TEST_SUITE_P(Modes, FramingChunkingTest, ::testing::Values(uint8_t{cmSlip}, uint8_t{cmCobs}),
                         [](const auto& param) { return param.param == cmSlip ? "Slip" : "Cobs"; });

}  // namespace
