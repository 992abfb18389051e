// The frame filter and the data triggers, with settings taken from the input's first
// bytes and the rest fed in chunks whose sizes also come from the input. Every byte
// fed leaves the filter exactly once, in order: in a block, or dropped with a chunk
// that would overfill the buffer. Triggers and counts are checked on the way. The
// modes that end frames by a stop trigger or a delimiter (5 to 7) are checked against
// a plain model that takes one byte at a time.

#include <cstdint>
#include <vector>

#include "FuzzFrameModel.h"
#include "FuzzInput.h"
#include "TriggerSequence.h"
#include "ZDataTriggers.h"
#include "ZFilter.h"
#include "ZLoggerSettings.h"

namespace {

// Up to 7 elements; a mask byte makes some of them AnyByte.
TTriggerSequence ReadTrigger(TFuzzInput& input, int maxLength) {
    const int length = input.Byte() % (maxLength + 1);
    const uint8_t anyMask = input.Byte();
    TTriggerSequence trigger;
    for (int i = 0; i < length; ++i) {
        const uint8_t byte = input.Byte();
        trigger.push_back((anyMask >> i) & 1 ? AnyByte : byte);
    }
    return trigger;
}

ZLoggerSettings ReadSettings(TFuzzInput& input) {
    ZLoggerSettings settings;
    settings.CaptureMode = static_cast<uint8_t>(input.Byte() % (cmLastKnown + 1));
    settings.TriggerStart = ReadTrigger(input, 7);
    settings.TriggerStop = ReadTrigger(input, 7);
    settings.BytesAfterTrigger = input.Int16();
    settings.StartAmountOfBytes = static_cast<int8_t>(input.Byte());
    settings.AmountOfBytesWidth = static_cast<int8_t>(input.Byte()) % 10;
    settings.AmountOfBytesMSBFirst = input.Flag();
    const int dataTriggers = input.Byte() % 4;
    for (int i = 0; i < dataTriggers; ++i) settings.DataTriggers.Add(ReadTrigger(input, 4));
    // Read last, so that the seeds of the other modes keep their meaning.
    if (settings.CaptureMode >= cmUntilStopTrigger) settings.MaxBytesWithinTriggers = input.Int16();
    return settings;
}

int Occurrences(const uint8_t* bytes, int length, const TTriggerSequence& trigger) {
    const auto size = static_cast<int>(trigger.size());
    if (size == 0) return 0;
    int count = 0;
    for (int at = 0; at + size <= length; ++at) count += MatchAt(bytes + at, trigger.data(), size) ? 1 : 0;
    return count;
}

// Modes 5 to 7: after every chunk and at the end, the filter has handed out what the
// model has, with the same encoded lengths and bytes on the line, and both agree on
// which chunks overflowed.
void CheckAgainstModel(const ZLoggerSettings& settings, TFuzzInput& input) {
    TFrameModel model(settings);
    std::vector<TModelBlock> blocks;
    ZFilter* filter = nullptr;
    ZFilter actual(&settings, [&](const TDateTime&, const uint8_t* bytes, int length, uint8_t kind) {
        blocks.push_back({kind, std::vector<uint8_t>(bytes, bytes + length), filter->GetBlockEncodedLength(),
                          filter->GetBlockLineBytes()});
    });
    filter = &actual;
    while (input.Left() > 0) {
        const uint8_t selector = input.Byte();
        if (selector == 0xFE) {
            actual.Flush();
            model.Flush();
        } else {
            const size_t want = selector == 0xFF ? static_cast<uint16_t>(input.Int16()) : selector;
            size_t taken = 0;
            const uint8_t* chunk = input.Take(want, taken);
            Require(actual.FeedData(chunk, static_cast<int>(taken)) == model.Feed(chunk, taken),
                    "the filter and the model see the same frames overflow");
        }
        Require(blocks == model.Blocks, "the filter hands out the model's blocks");
    }
    actual.Flush();
    model.Flush();
    Require(blocks == model.Blocks, "the filter hands out the model's blocks");
    Require(actual.TakeUncountedLineBytes() == model.TakeUncounted(),
            "the bytes of empty frames are counted");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    TFuzzInput input(data, size);
    const ZLoggerSettings settings = ReadSettings(input);
    if (settings.CaptureMode >= cmUntilStopTrigger) {
        CheckAgainstModel(settings, input);
        return 0;
    }

    std::vector<uint8_t> fed;
    std::vector<uint8_t> out;  // the bytes that left the filter, in order
    int64_t kindTotals[5] = {};
    int64_t dropped = 0;
    std::vector<int> matches(static_cast<size_t>(settings.DataTriggers.GetCount()));
    ZDataTriggerParser parser(settings.DataTriggers, [&matches](const TDateTime&, int index) {
        Require(index >= 0 && index < static_cast<int>(matches.size()), "a match names a data trigger");
        ++matches[static_cast<size_t>(index)];
    });

    ZFilter filter(&settings, [&](const TDateTime&, const uint8_t* bytes, int length, uint8_t kind) {
        Require(length >= 0 && kind <= bkFlush, "a block has a length and a known kind");
        out.insert(out.end(), bytes, bytes + length);
        kindTotals[kind] += length;
        const TTriggerSequence* trigger = kind == bkStartTrigger  ? &settings.TriggerStart
                                          : kind == bkStopTrigger ? &settings.TriggerStop
                                                                  : nullptr;
        if (trigger != nullptr) {
            Require(length == static_cast<int>(trigger->size()), "a trigger block is as long as its trigger");
            Require(MatchAt(bytes, trigger->data(), length), "a trigger block matches its trigger");
        }
        if (kind == bkData && settings.CaptureMode == cmFixedSize)
            Require(length == settings.BytesAfterTrigger, "a fixed-size data block has the fixed size");
        if (kind != bkData) return;
        std::vector<int> expected(matches.size());
        for (size_t i = 0; i < matches.size(); ++i) {
            TTriggerSequence dataTrigger;
            settings.DataTriggers.Get(static_cast<int>(i), dataTrigger);
            expected[i] = matches[i] + Occurrences(bytes, length, dataTrigger);
        }
        parser.Scan(bytes, length);
        Require(matches == expected, "every occurrence of a data trigger is counted once");
    });

    while (input.Left() > 0) {
        const uint8_t selector = input.Byte();
        if (selector == 0xFE) {
            filter.Flush();
            Require(filter.GetFill() == 0, "a flush empties the buffer");
            continue;
        }
        // 0xFF asks for a large chunk, which may overfill the buffer.
        const size_t want = selector == 0xFF ? static_cast<uint16_t>(input.Int16()) : selector;
        size_t taken = 0;
        const uint8_t* chunk = input.Take(want, taken);
        const int before = filter.GetFill();
        Require(static_cast<size_t>(before) == fed.size() - out.size(), "the unreported bytes are buffered");
        fed.insert(fed.end(), chunk, chunk + taken);
        if (!filter.FeedData(chunk, static_cast<int>(taken))) {
            // The buffered bytes and the chunk are gone, in this order.
            out.insert(out.end(), fed.end() - static_cast<std::ptrdiff_t>(taken) - before, fed.end());
            dropped += before + static_cast<int64_t>(taken);
            Require(filter.GetFill() == 0, "an overfilled buffer is emptied");
        }
        Require(fed.size() == out.size() + static_cast<size_t>(filter.GetFill()),
                "fed bytes are reported or buffered");
    }
    filter.Flush();
    Require(out == fed, "every byte fed leaves the filter once, in order");
    int64_t total = dropped;
    for (int64_t kindTotal : kindTotals) total += kindTotal;
    Require(total == static_cast<int64_t>(fed.size()), "the block counters add up to the bytes fed");
    return 0;
}
