// The capture window's history store, its find patterns, the time column's text
// and the view settings in the settings file.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QString>
#include <string>
#include <vector>

#include "Tfrm_Log.h"
#include "ZULIniFile.h"
#include "ZViewHistory.h"
#include "ZViewSettings.h"

namespace {

using Bytes = std::vector<uint8_t>;

// Entry n holds its number in its first byte, in size bytes.
void AddNumbered(ZViewHistory& history, int n, int size) {
    Bytes bytes(static_cast<size_t>(size), 0xEE);
    if (size > 0) bytes[0] = static_cast<uint8_t>(n);
    history.Add(bytes.data(), size, n, 1, 0);
}

struct BoundRow {
    const char* Name;
    int Capacity;
    int Added;
    int Size;
    int Count;   // entries kept
    int Oldest;  // number of the oldest kept
};

TEST(ViewHistory, KeepsTheNewestEntriesWithinItsCountAndItsBytes) {
    constexpr int ring =
        100 * ZViewHistory::BytesPerEntry + ZViewHistory::MaxKeptBytes + ZViewHistory::MaxValuesBytes;
    const BoundRow rows[] = {
        {"fewer than the capacity", 100, 60, 10, 60, 0},
        {"the capacity exactly", 100, 100, 10, 100, 0},
        {"past the capacity", 100, 250, 10, 100, 150},
        {"empty entries", 100, 250, 0, 100, 150},
        {"long entries fill the bytes first", 100, 100, 4000, ring / 4000, 100 - ring / 4000},
        {"longer than kept", 100, 5, ZViewHistory::MaxKeptBytes + 9, 1, 4},
    };
    for (const BoundRow& row : rows) {
        ZViewHistory history(row.Capacity);
        for (int n = 0; n < row.Added; ++n) AddNumbered(history, n, row.Size);
        ASSERT_EQ(history.Count(), row.Count) << row.Name;
        for (int i = 0; i < history.Count(); ++i) {
            const ZViewHistory::Entry entry = history.At(i);
            ASSERT_EQ(entry.Time, row.Oldest + i) << row.Name << " entry " << i;
            ASSERT_EQ(entry.Size, row.Size) << row.Name;
            ASSERT_EQ(entry.Kept, std::min(row.Size, ZViewHistory::MaxKeptBytes)) << row.Name;
            if (row.Size > 0) {
                ASSERT_EQ(entry.Bytes[0], static_cast<uint8_t>(row.Oldest + i)) << row.Name << " entry " << i;
                ASSERT_EQ(entry.Bytes[entry.Kept - 1], row.Size == 1 ? entry.Bytes[0] : 0xEE) << row.Name;
            }
        }
        ASSERT_LE(history.ReservedBytes(), size_t{ring} + size_t(row.Capacity) * 32) << row.Name;
    }
}

TEST(ViewHistory, ASmallerCapacityKeepsTheNewestAndALargerOneKeepsAll) {
    constexpr int longer = ZViewHistory::MaxKeptBytes + 5;
    const struct {
        int From, To, Added, Size, Count, Oldest;
    } rows[] = {
        {200, 80, 200, 3, 80, 120},
        {200, 1000, 200, 3, 200, 0},
        {200, 200, 200, 3, 200, 0},
        // Entries longer than what is kept of them keep their own byte count.
        {100, 90, 3, longer, 1, 2},
        {100, 5000, 3, longer, 1, 2},
    };
    for (const auto& row : rows) {
        ZViewHistory history(row.From);
        for (int n = 0; n < row.Added; ++n) AddNumbered(history, n, row.Size);
        history.SetCapacity(row.To);
        ASSERT_EQ(history.Count(), row.Count) << row.From << " to " << row.To;
        ASSERT_EQ(history.At(0).Time, row.Oldest);
        ASSERT_EQ(history.At(0).Bytes[0], static_cast<uint8_t>(row.Oldest));
        ASSERT_EQ(history.At(history.Count() - 1).Bytes[0], row.Added - 1);
        for (int i = 0; i < history.Count(); ++i) {
            ASSERT_EQ(history.At(i).Size, row.Size) << row.From << " to " << row.To << " entry " << i;
            ASSERT_EQ(history.At(i).Kept, std::min(row.Size, ZViewHistory::MaxKeptBytes));
        }
    }
}

// The text of an entry's values stays with it, through a change of capacity too; one
// longer than MaxValuesBytes is cut at the start of a character.
TEST(ViewHistory, KeepsTheValuesWithTheirEntryCutAtACharacter) {
    constexpr size_t most = ZViewHistory::MaxValuesBytes;
    const std::string x(most - 1, 'x'), degree = "\u00B0";
    const struct {
        std::string Values, Kept;
    } rows[] = {{"t 31.5 " + degree + "C", "t 31.5 " + degree + "C"}, {x + "xx", x + "x"}, {x + degree, x}};
    for (const auto& row : rows) {
        ZViewHistory history(4);
        const Bytes bytes = {0x41, 0x42};
        history.Add(bytes.data(), 2, 1, 1, 0, row.Values);
        AddNumbered(history, 2, 3);
        for (const int capacity : {4, 9}) {
            history.SetCapacity(capacity);
            EXPECT_EQ(history.At(0).Values, row.Kept) << row.Values.size();
            EXPECT_EQ(history.At(0).Bytes[1], 0x42);
            EXPECT_EQ(history.At(1).Values, "");
        }
    }
}

TEST(ViewHistory, HexPatterns) {
    const struct {
        const char* Text;
        bool Valid;
        TTriggerSequence Pattern;
    } rows[] = {
        {"41 ?? 0d", true, {0x41, AnyByte, 0x0D}},
        {"41??0D", true, {0x41, AnyByte, 0x0D}},
        {"  ff  ", true, {0xFF}},
        {"", false, {}},
        {"   ", false, {}},
        {"4", false, {}},
        {"41 4", false, {}},
        {"GG", false, {}},
        {"4?", false, {}},
        {"0x41", false, {}},
    };
    for (const auto& row : rows) {
        TTriggerSequence pattern;
        ASSERT_EQ(ZViewHistory::ParseHexPattern(row.Text, pattern), row.Valid) << '"' << row.Text << '"';
        if (row.Valid) {
            ASSERT_EQ(pattern, row.Pattern) << row.Text;
        }
    }
}

TEST(ViewHistory, FindsTheNearestEntryInEitherDirection) {
    ZViewHistory history(100);
    const Bytes entries[] = {{0x01, 0x41, 0x42}, {0x41}, {0x00, 0x41, 0x43, 0x42}, {0x42, 0x41}};
    for (const Bytes& e : entries) history.Add(e.data(), static_cast<int>(e.size()), 0, 1, 0);
    const struct {
        TTriggerSequence Pattern;
        int From;
        bool Newer;
        int Found;
    } rows[] = {
        {{0x41, 0x42}, 3, false, 0},  // newest first, going back
        {{0x41, AnyByte, 0x42}, 3, false, 2},
        {{0x41}, 3, false, 3},  // the start itself counts
        {{0x41}, 2, true, 2},
        {{0x41, 0x42}, 1, true, -1},
        {{0x41, 0x42}, -1, false, -1},
        {{0x41, 0x42}, 4, true, -1},
        {{0x42}, 4, false, 3},  // from past the newest, backwards
        {{0x41, 0x42}, -1, true, 0},
        {{0x43, 0x42, 0x41}, 3, false, -1},  // never across two entries
    };
    for (const auto& row : rows)
        ASSERT_EQ(history.Find(row.Pattern, row.From, row.Newer), row.Found)
            << "from " << row.From << (row.Newer ? " newer" : " older");
}

TEST(ViewSettingsIni, WrittenOnlyWhenNotDefaultAndReadIntoRange) {
    const struct {
        const char* Name;
        int32_t Entries;
        bool Milliseconds;
        std::string Text;  // the section as written
        int32_t TerminalLines = 100000;
    } written[] = {
        {"defaults", 100000, false, ""},
        {"a history size", 500, false, "[_view]\r\nHistoryEntries=500\r\n"},
        {"milliseconds", 100000, true, "[_view]\r\nShowMilliseconds=1\r\n"},
        {"terminal lines", 100000, false, "[_view]\r\nTerminalLines=2000\r\n", 2000},
    };
    for (const auto& row : written) {
        ZULIniFile ini;
        ini.WriteString("_view", "Old", "gone");
        ZViewSettings settings;
        settings.HistoryEntries = row.Entries;
        settings.ShowMilliseconds = row.Milliseconds;
        settings.TerminalLines = row.TerminalLines;
        settings.WriteToIni(ini);
        ASSERT_EQ(ini.ToText(), row.Text) << row.Name;
        ZViewSettings read;
        read.HistoryEntries = 7;
        read.ShowMilliseconds = !row.Milliseconds;
        read.TerminalLines = 7;
        read.ReadFromIni(ini);
        ASSERT_EQ(read, settings) << row.Name;
    }
    const struct {
        const char* Value;
        int32_t Entries;
        int32_t TerminalLines;
    } read[] = {{"10", 80, 100},     {"80", 80, 100},           {"2000000", 1000000, 1000000},
                {"-5", 80, 100},     {"many", 100000, 100000}, {"1000000", 1000000, 1000000}};
    for (const auto& row : read) {
        ZULIniFile ini;
        ini.WriteString("_view", "HistoryEntries", row.Value);
        ini.WriteString("_view", "TerminalLines", row.Value);
        ZViewSettings settings;
        settings.ReadFromIni(ini);
        ASSERT_EQ(settings.HistoryEntries, row.Entries) << row.Value;
        ASSERT_EQ(settings.TerminalLines, row.TerminalLines) << row.Value;
    }
}

TEST(CaptureWindowTime, FractionDigitsAfterTheSeconds) {
    // 14:03:27 and a fraction, as a day count of 2024-05-06.
    const TDateTime second = ZULEncodeDateTime({2024, 5, 6, 14, 3, 27, 0});
    const double microsecond = 1.0 / 86400e6;
    const struct {
        double Micros;
        int Digits;
        const char* Text;
    } rows[] = {
        {0, 0, "14:03:27"},
        {0, 3, "14:03:27.000"},
        {0, 6, "14:03:27.000000"},
        {123456, 3, "14:03:27.123"},
        {123456, 6, "14:03:27.123456"},
        {999999, 3, "14:03:27.999"},
        {999999, 6, "14:03:27.999999"},
        {999999, 0, "14:03:28"},  // the long format rounds to the ms
        {7, 6, "14:03:27.000007"},
        {500, 1, "14:03:27"},
        {500, 5, "14:03:27.000500"},
    };
    for (const auto& row : rows)
        ASSERT_EQ(Tfrm_Log::TimeText(second + row.Micros * microsecond, row.Digits).toStdString(), row.Text)
            << row.Micros << " us, " << row.Digits << " digits";
}

}  // namespace
