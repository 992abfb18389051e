// How a stream is cut into chunks must not change how the filter cuts it into
// frames, and no byte may be lost, duplicated or reordered.

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "core_filter_support.h"

namespace {

using namespace filter_test;
using Blocks = std::vector<Block>;

constexpr int Iterations = 300;
constexpr size_t MaxStream = 4000;  // far below the filter buffer: no overflow

// Bytes from a small alphabet, so that triggers also occur by chance and
// overlapping candidates are common.
uint8_t SmallByte(std::mt19937& random) {
    return static_cast<uint8_t>(random() % 4);
}

TTriggerSequence RandomTrigger(std::mt19937& random, size_t maxLength) {
    TTriggerSequence trigger(1 + random() % maxLength);
    for (auto& e : trigger) e = random() % 4 == 0 ? AnyByte : SmallByte(random);
    return trigger;
}

ZLoggerSettings RandomSettings(std::mt19937& random, uint8_t mode) {
    ZLoggerSettings s;
    s.CaptureMode = mode;
    s.TriggerStart = RandomTrigger(random, 4);
    s.TriggerStop = RandomTrigger(random, 3);
    s.BytesAfterTrigger = static_cast<int32_t>(random() % 12);
    s.StartAmountOfBytes = static_cast<int32_t>(random() % 6) - 1;
    s.AmountOfBytesWidth = static_cast<int32_t>(random() % 3);
    s.AmountOfBytesMSBFirst = random() % 2 == 0;
    return s;
}

// Noise with frames laid in: each frame is an instance of the start trigger, a
// few data bytes and, half of the time, an instance of the stop trigger.
Bytes RandomStream(std::mt19937& random, const ZLoggerSettings& s) {
    const size_t length = random() % MaxStream;
    Bytes stream;
    auto instance = [&](const TTriggerSequence& trigger) {
        for (const int32_t e : trigger)
            stream.push_back(e == AnyByte ? SmallByte(random) : static_cast<uint8_t>(e));
    };
    while (stream.size() < length) {
        switch (random() % 4) {
            case 0:
                instance(s.TriggerStart);
                break;
            case 1:
                instance(s.TriggerStop);
                break;
            default:
                for (size_t n = random() % 10; n > 0; --n)
                    stream.push_back(random() % 8 == 0 ? static_cast<uint8_t>(random()) : SmallByte(random));
        }
    }
    stream.resize(length);
    return stream;
}

std::vector<size_t> RandomCuts(std::mt19937& random, size_t length) {
    std::vector<size_t> sizes;
    for (size_t done = 0; done < length;) {
        const size_t size = std::min<size_t>(length - done, 1 + random() % (random() % 2 ? 8 : 600));
        sizes.push_back(size);
        done += size;
    }
    return sizes;
}

// Feeds the stream in chunks of the given sizes and flushes at the end.
Blocks Cut(const ZLoggerSettings& settings, const Bytes& stream, const std::vector<size_t>& sizes) {
    RecordingFilter f(settings);
    size_t done = 0;
    for (const size_t size : sizes) {
        const Bytes chunk(stream.begin() + static_cast<long>(done),
                          stream.begin() + static_cast<long>(done + size));
        EXPECT_TRUE(f.Feed(chunk));
        done += size;
    }
    f.Filter().Flush();
    return f.Take();
}

// Trash comes in pieces that depend on the chunks; everything else must not.
Blocks MergeTrash(const Blocks& blocks) {
    Blocks merged;
    for (const Block& b : blocks) {
        if (b.kind == bkTrash && !merged.empty() && merged.back().kind == bkTrash) {
            merged.back().bytes.insert(merged.back().bytes.end(), b.bytes.begin(), b.bytes.end());
        } else {
            merged.push_back(b);
        }
    }
    return merged;
}

Bytes Joined(const Blocks& blocks) {
    Bytes all;
    for (const Block& b : blocks) all.insert(all.end(), b.bytes.begin(), b.bytes.end());
    return all;
}

int CountOf(const Blocks& blocks, uint8_t kind) {
    return static_cast<int>(
        std::count_if(blocks.begin(), blocks.end(), [&](const Block& b) { return b.kind == kind; }));
}

class FilterChunkingTest : public ::testing::TestWithParam<uint8_t> {};

TEST_P(FilterChunkingTest, ChunkingChangesNeitherTheBytesNorTheFrames) {
    int framesSeen = 0;
    for (int iteration = 0; iteration < Iterations; ++iteration) {
        std::mt19937 random(static_cast<unsigned>(iteration * 7919 + GetParam()));
        const ZLoggerSettings settings = RandomSettings(random, GetParam());
        const Bytes stream = RandomStream(random, settings);
        const std::vector<size_t> cuts = RandomCuts(random, stream.size());
        SCOPED_TRACE("mode " + std::to_string(GetParam()) + ", iteration " + std::to_string(iteration) +
                     ", start " + TriggerToHex(settings.TriggerStart) + ", stop " +
                     TriggerToHex(settings.TriggerStop));

        const Blocks whole = Cut(settings, stream, {stream.size()});
        const Blocks chunked = Cut(settings, stream, cuts);
        const Blocks byteByByte = Cut(settings, stream, std::vector<size_t>(stream.size(), 1));

        ASSERT_EQ(Joined(whole), stream);
        ASSERT_EQ(Joined(chunked), stream);
        ASSERT_EQ(Joined(byteByByte), stream);
        for (const uint8_t kind : {bkStartTrigger, bkData, bkStopTrigger}) {
            ASSERT_EQ(CountOf(chunked, kind), CountOf(whole, kind)) << "kind " << int(kind);
            ASSERT_EQ(CountOf(byteByByte, kind), CountOf(whole, kind)) << "kind " << int(kind);
        }
        ASSERT_EQ(MergeTrash(chunked), MergeTrash(whole));
        ASSERT_EQ(MergeTrash(byteByByte), MergeTrash(whole));
        for (const Block& b : chunked) ASSERT_FALSE(b.bytes.empty()) << b;
        framesSeen += CountOf(whole, bkStartTrigger);
    }
    // The generator must really produce frames, or the comparison proves little.
    EXPECT_GT(framesSeen, Iterations * 5);
}

INSTANTIATE_TEST_SUITE_P(Modes, FilterChunkingTest,
                         ::testing::Values(uint8_t{cmFixedSize}, uint8_t{cmDynamicSize},
                                           uint8_t{cmBetweenTriggers}),
                         [](const auto& caseInfo) { return "mode" + std::to_string(caseInfo.param); });

// Start triggers, data and stop triggers, checked against a plain model of
// cmBetweenTriggers that sees the whole stream at once.
TEST(FilterBetweenTriggersModel, FramesAreWhereAPlainScanFindsThem) {
    for (int iteration = 0; iteration < Iterations; ++iteration) {
        std::mt19937 random(static_cast<unsigned>(iteration + 100000));
        const ZLoggerSettings settings = RandomSettings(random, cmBetweenTriggers);
        const Bytes stream = RandomStream(random, settings);
        SCOPED_TRACE("iteration " + std::to_string(iteration));

        Blocks model;
        auto find = [&](size_t from, const TTriggerSequence& t) -> size_t {
            for (size_t p = from; p + t.size() <= stream.size(); ++p) {
                bool all = true;
                for (size_t k = 0; k < t.size() && all; ++k) all = t[k] == AnyByte || stream[p + k] == t[k];
                if (all) return p;
            }
            return stream.size();
        };
        auto piece = [&](size_t from, size_t to) {
            return Bytes(stream.begin() + long(from), stream.begin() + long(to));
        };
        size_t at = 0;
        for (;;) {
            const size_t start = find(at, settings.TriggerStart);
            if (start == stream.size()) break;
            const size_t afterStart = start + settings.TriggerStart.size();
            const size_t stop = find(afterStart, settings.TriggerStop);
            if (stop == stream.size()) break;
            if (start > at) model.push_back(Trash(piece(at, start)));
            model.push_back(Start(piece(start, afterStart)));
            if (stop > afterStart) model.push_back(Data(piece(afterStart, stop)));
            at = stop + settings.TriggerStop.size();
            model.push_back(Stop(piece(stop, at)));
        }
        const Blocks cut = MergeTrash(Cut(settings, stream, RandomCuts(random, stream.size())));
        ASSERT_GE(cut.size(), model.size());
        ASSERT_EQ(Blocks(cut.begin(), cut.begin() + long(model.size())), model);
    }
}

}  // namespace
