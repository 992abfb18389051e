// A block's header line in the log files: its time to the second, or to the
// microsecond when the capture stamps its reads that precisely.

#include <gtest/gtest.h>

#include <string>

#include "ZLogFileManager.h"

namespace {

TEST(LogBlockHeader, ShowsMicrosecondsWithPreciseTimeOnly) {
    const TDateTime second = ZULEncodeDateTime({2024, 5, 6, 14, 3, 27, 0});
    const double microsecond = 1.0 / 86400e6;
    const struct {
        const char* Name;
        double Micros;
        bool PreciseTime;
        uint8_t Mode;
        const char* Header;
    } rows[] = {
        {"precise time off", 123456, false, cmAllBytes, "Data received at 14:03:27 (3 bytes)"},
        {"precise time on", 123456, true, cmAllBytes, "Data received at 14:03:27.123456 (3 bytes)"},
        {"the silence mode stamps precisely", 7, false, cmSilence,
         "Data received at 14:03:27.000007 (3 bytes)"},
        // The last microsecond of a second stays in its second.
        {"the end of a second", 999999, true, cmAllBytes, "Data received at 14:03:27.999999 (3 bytes)"},
        {"rounded to the second without", 999999, false, cmAllBytes, "Data received at 14:03:28 (3 bytes)"},
    };
    const uint8_t bytes[] = {1, 2, 3};
    for (const auto& row : rows) {
        ZLoggerSettings settings;
        settings.Frames.PreciseTime = row.PreciseTime;
        settings.CaptureMode = row.Mode;
        sLogString lines;
        ZLogFileManager::FormatBlock(sBlock(second + row.Micros * microsecond, bytes, 3, bkData), false,
                                     settings, lines);
        const size_t begin = lines.Text.find("\r\n") + 2;
        EXPECT_EQ(lines.Text.substr(begin, lines.Text.find("\r\n", begin) - begin), row.Header) << row.Name;
    }
}

TEST(LogBlockHeader, NamesTheLineWithTwoLinesOnly) {
    const TDateTime second = ZULEncodeDateTime({2024, 5, 6, 14, 3, 27, 0});
    const struct {
        const char* Name;
        int8_t Line;
        uint8_t Kind;
        const char* Header;
    } rows[] = {
        {"one line stays as it was", -1, bkData, "Data received at 14:03:27 (3 bytes)"},
        {"data of a line", 0, bkData, "Data from Master at 14:03:27 (3 bytes)"},
        {"start trigger", 1, bkStartTrigger, "Start trigger from Master at 14:03:27 (3 bytes)"},
        {"stop trigger", 1, bkStopTrigger, "Stop trigger from Master at 14:03:27 (3 bytes)"},
        {"flushed data", 0, bkFlush, "Flushed data from Master at 14:03:27 (3 bytes)"},
        {"sent", 0, bkSent, "Data sent to Master at 14:03:27 (3 bytes)"},
        {"sent with one line", -1, bkSent, "Data sent at 14:03:27 (3 bytes)"},
    };
    const uint8_t bytes[] = {1, 2, 3};
    for (const auto& row : rows) {
        ZLoggerSettings settings;
        settings.LogStartTrigger = true;
        settings.LogStopTrigger = true;
        sBlock block(second, bytes, 3, row.Kind);
        block.Line = row.Line;
        block.LineName = row.Line < 0 ? "" : "Master";
        sLogString lines;
        ZLogFileManager::FormatBlock(block, false, settings, lines);
        const size_t begin = lines.Text.find("\r\n") + 2;
        EXPECT_EQ(lines.Text.substr(begin, lines.Text.find("\r\n", begin) - begin), row.Header) << row.Name;
    }
}

}  // namespace
