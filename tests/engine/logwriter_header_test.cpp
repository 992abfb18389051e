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

}  // namespace
