#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <ostream>
#include <string>
#include <vector>

#include "ZULDateTime.h"

// Found by argument-dependent lookup, hence outside the anonymous namespace.
static bool operator==(const ZULDateTimeParts& a, const ZULDateTimeParts& b) {
    return a.Year == b.Year && a.Month == b.Month && a.Day == b.Day && a.Hour == b.Hour &&
           a.Minute == b.Minute && a.Second == b.Second && a.Millisecond == b.Millisecond;
}
[[maybe_unused]] static void PrintTo(const ZULDateTimeParts& p, std::ostream* out) {
    *out << p.Year << '-' << p.Month << '-' << p.Day << ' ' << p.Hour << ':' << p.Minute << ':' << p.Second
         << '.' << p.Millisecond;
}

namespace {

// The long time format follows the locale in the environment, and local time the
// time zone; both are fixed before the first test of the process so that the
// expected texts and times do not depend on the machine.
class FixedLocaleAndZone : public ::testing::Environment {
public:
    void SetUp() override {
        setenv("LC_ALL", "C", 1);
        setenv("TZ", "UTC0", 1);
        tzset();
    }
};
[[maybe_unused]] ::testing::Environment* const fixedEnvironment =
    ::testing::AddGlobalTestEnvironment(new FixedLocaleAndZone);

constexpr double MsPerDay = 86'400'000.0;

ZULDateTimeParts Parts(int year, int month, int day, int hour = 0, int minute = 0, int second = 0,
                       int ms = 0) {
    return ZULDateTimeParts{year, month, day, hour, minute, second, ms};
}

struct KnownDay {
    ZULDateTimeParts parts;
    double value;
};

// Day numbers of the day-count calendar as every program using it knows them.
const std::vector<KnownDay> knownDays = {
    {Parts(1899, 12, 30), 0.0},        {Parts(1899, 12, 31), 1.0},     {Parts(1900, 1, 1), 2.0},
    {Parts(1900, 2, 28), 60.0},        {Parts(1900, 3, 1), 61.0},      {Parts(1970, 1, 1), 25569.0},
    {Parts(2000, 1, 1), 36526.0},      {Parts(2000, 2, 29), 36585.0},  {Parts(2000, 3, 1), 36586.0},
    {Parts(9999, 12, 31), 2958465.0},  {Parts(1, 1, 1), -693593.0},    {Parts(1899, 12, 29), -1.0},
    {Parts(2000, 1, 1, 12), 36526.5},  {Parts(1899, 12, 30, 6), 0.25}, {Parts(1899, 12, 29, 18), -0.25},
    {Parts(2000, 1, 1, 18), 36526.75},
};

TEST(DateTime, EncodesKnownDays) {
    for (const auto& known : knownDays) {
        SCOPED_TRACE(known.value);
        EXPECT_DOUBLE_EQ(ZULEncodeDateTime(known.parts), known.value);
    }
}

TEST(DateTime, DecodesKnownDays) {
    for (const auto& known : knownDays) {
        SCOPED_TRACE(known.value);
        EXPECT_EQ(ZULDecodeDateTime(known.value), known.parts);
    }
}

TEST(DateTime, EveryDayOfFourCenturiesRoundTrips) {
    // 400 years hold every leap-year rule once; walking day by day checks the calendar's carries.
    ZULDateTimeParts expected = Parts(1800, 1, 1);
    const double first = ZULEncodeDateTime(expected);
    const int daysInMonth[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    for (int day = 0; day < 146097; ++day) {
        const double value = first + day;
        ASSERT_EQ(ZULEncodeDateTime(expected), value);
        ASSERT_EQ(ZULDecodeDateTime(value), expected);
        const bool leap = (expected.Year % 4 == 0 && expected.Year % 100 != 0) || expected.Year % 400 == 0;
        const int length = expected.Month == 2 && leap ? 29 : daysInMonth[expected.Month - 1];
        if (++expected.Day > length) {
            expected.Day = 1;
            if (++expected.Month > 12) {
                expected.Month = 1;
                ++expected.Year;
            }
        }
    }
}

TEST(DateTime, MillisecondsOfADayRoundTrip) {
    for (const auto& date :
         {Parts(1899, 12, 30), Parts(2024, 2, 29), Parts(1899, 12, 29), Parts(9999, 12, 31)}) {
        auto roundTrips = [&](int ms) {
            const ZULDateTimeParts parts{date.Year,        date.Month,     date.Day, ms / 3'600'000,
                                         ms / 60'000 % 60, ms / 1000 % 60, ms % 1000};
            return ZULDecodeDateTime(ZULEncodeDateTime(parts)) == parts;
        };
        // A spread over the whole day plus every millisecond of its first and last two seconds.
        for (int ms = 0; ms < 86'400'000; ms += 997) ASSERT_TRUE(roundTrips(ms)) << ms;
        for (int ms = 0; ms < 2000; ++ms) ASSERT_TRUE(roundTrips(ms)) << ms;
        for (int ms = 86'398'000; ms < 86'400'000; ++ms) ASSERT_TRUE(roundTrips(ms)) << ms;
    }
}

TEST(DateTime, DecodeRoundsToTheNearestMillisecond) {
    EXPECT_EQ(ZULDecodeDateTime(0.5 + 0.4 / MsPerDay), Parts(1899, 12, 30, 12));
    EXPECT_EQ(ZULDecodeDateTime(0.5 + 0.6 / MsPerDay), Parts(1899, 12, 30, 12, 0, 0, 1));
    EXPECT_EQ(ZULDecodeDateTime(0.5 - 0.4 / MsPerDay), Parts(1899, 12, 30, 12));
    // The last fraction of a millisecond of a day carries into the next day.
    EXPECT_EQ(ZULDecodeDateTime(36527.0 - 0.3 / MsPerDay), Parts(2000, 1, 2));
}

TEST(DateTime, LocalPartsSplitTheEpochMillisecondsByFloorDivision) {
    EXPECT_EQ(ZULLocalParts(0), Parts(1970, 1, 1));
    EXPECT_EQ(ZULLocalParts(951782400123), Parts(2000, 2, 29, 0, 0, 0, 123));
    EXPECT_EQ(ZULLocalParts(-1), Parts(1969, 12, 31, 23, 59, 59, 999));
    EXPECT_EQ(ZULLocalParts(-1001), Parts(1969, 12, 31, 23, 59, 58, 999));
}

TEST(DateTime, LocalPartsFollowTheTimeZone) {
    setenv("TZ", "XST-02", 1);  // two hours east of UTC
    tzset();
    const ZULDateTimeParts east = ZULLocalParts(-1);
    setenv("TZ", "UTC0", 1);
    tzset();
    EXPECT_EQ(east, Parts(1970, 1, 1, 1, 59, 59, 999));
}

TEST(DateTime, NowLiesBetweenTheClockReadingsAroundIt) {
    // The stamp clock moves once per timer tick, at most 10 ms on any usual system.
    constexpr int64_t tickMs = 10;
    const double before = ZULEncodeDateTime(ZULLocalParts(ZULNowEpochMs() - tickMs));
    const double now = ZULNow();
    const double after = ZULEncodeDateTime(ZULLocalParts(ZULNowEpochMs()));
    EXPECT_LE(before, now);
    EXPECT_LE(now, after);
    EXPECT_GT(now, 45000.0);  // after 2023
}

TEST(DateTime, LongTimeFormatUnderTheCLocale) {
    EXPECT_EQ(ZULFormatLongTime(ZULEncodeDateTime(Parts(2024, 5, 6, 14, 5, 9))), "14:05:09");
    EXPECT_EQ(ZULFormatLongTime(36526.0), "00:00:00");
    // Milliseconds are cut off, not rounded into the next second.
    EXPECT_EQ(ZULFormatLongTime(ZULEncodeDateTime(Parts(2000, 1, 1, 23, 59, 59, 999))), "23:59:59");
    EXPECT_EQ(ZULFormatLongTime(0.75), "18:00:00");
}

}  // namespace

namespace {

// Runs body with TZ set to zone, then puts UTC back for the other tests.
template <typename Body>
void InZone(const char* zone, Body body) {
    setenv("TZ", zone, 1);
    tzset();
    body();
    setenv("TZ", "UTC0", 1);
    tzset();
}

// A zone with summer time; its changes in 2026 fall on 29 March at 01:00 UTC
// (02:00 becomes 03:00) and 25 October at 01:00 UTC (03:00 becomes 02:00).
constexpr const char* SummerTimeZone = "CET-1CEST,M3.5.0,M10.5.0/3";
constexpr int64_t SpringChangeUs = 1'774'746'000'000'000;
constexpr int64_t AutumnChangeUs = 1'792'890'000'000'000;

struct IsoCase {
    const char* zone;
    int64_t unixUs;
    const char* text;
};

TEST(DateTime, IsoTimeCarriesMicrosecondsAndTheOffsetOfTheInstant) {
    const IsoCase cases[] = {
        {"UTC0", 0, "1970-01-01T00:00:00.000000Z"},
        {"UTC0", -1, "1969-12-31T23:59:59.999999Z"},
        {SummerTimeZone, 1'796'828'427'172'345, "2026-12-09T16:00:27.172345+01:00"},
        {SummerTimeZone, SpringChangeUs - 1, "2026-03-29T01:59:59.999999+01:00"},
        {SummerTimeZone, SpringChangeUs, "2026-03-29T03:00:00.000000+02:00"},
        {SummerTimeZone, AutumnChangeUs - 1, "2026-10-25T02:59:59.999999+02:00"},
        {SummerTimeZone, AutumnChangeUs, "2026-10-25T02:00:00.000000+01:00"},
        {"XST+03:30", 1'796'828'427'000'001, "2026-12-09T11:30:27.000001-03:30"},
    };
    for (const IsoCase& c : cases) {
        SCOPED_TRACE(c.text);
        InZone(c.zone, [&] { EXPECT_EQ(ZULFormatIsoMicros(c.unixUs), c.text); });
    }
}

TEST(DateTime, MicrosecondsRoundTripThroughTheLocalDayCount) {
    // Every instant up to 2079 (from then on a day count resolves less) comes back exactly, across both
    // changes of summer time but the hour that repeats (its later instants come back an hour early).
    const struct {
        const char* zone;
        int64_t firstUs;
        int64_t expectedShiftUs;  // what the round trip adds
    } cases[] = {
        {"UTC0", 1'796'828'427'172'345, 0},
        // Another second than the row before: the zone is read once a second.
        {SummerTimeZone, 1'796'828'437'172'345, 0},
        {SummerTimeZone, SpringChangeUs - 3'000'000, 0},
        {SummerTimeZone, AutumnChangeUs - 3'600'000'000 - 3'000'000, 0},
        {SummerTimeZone, AutumnChangeUs + 3'600'000'000, 0},
        {SummerTimeZone, AutumnChangeUs, -3'600'000'000},
        {"UTC0", 3'439'756'800'000'000 - 3'000'000, 0},  // 2078: beyond 2079 a day count resolves less
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.firstUs);
        InZone(c.zone, [&] {
            for (int64_t us = c.firstUs; us < c.firstUs + 6'000'000; us += 997)
                ASSERT_EQ(ZULToUnixMicros(ZULFromUnixMicros(us)), us + c.expectedShiftUs) << us;
        });
    }
}

TEST(DateTime, FromUnixMicrosGivesTheLocalTimeOfTheInstant) {
    InZone(SummerTimeZone, [] {
        EXPECT_EQ(ZULDecodeDateTime(ZULFromUnixMicros(1'796'828'427'172'345)),
                  Parts(2026, 12, 9, 16, 0, 27, 172));
        EXPECT_EQ(ZULDecodeDateTime(ZULFromUnixMicros(SpringChangeUs)), Parts(2026, 3, 29, 3));
    });
    const int64_t now = ZULNowMicros();
    EXPECT_LE(std::llabs(now / 1000 - ZULNowEpochMs()), 1000);
}

// A damaged recording may carry any time: the ends of the range convert without
// wrapping around, in zones east and west of UTC.
TEST(DateTime, FromUnixMicrosTakesTheEndsOfTheRange) {
    for (const char* zone : {SummerTimeZone, "XST+03:30"}) {
        SCOPED_TRACE(zone);
        InZone(zone, [] {
            const TDateTime lowest = ZULFromUnixMicros(INT64_MIN);
            const TDateTime highest = ZULFromUnixMicros(INT64_MAX);
            EXPECT_LT(lowest, ZULFromUnixMicros(0));
            EXPECT_GT(highest, ZULFromUnixMicros(0));
        });
    }
}

}  // namespace
