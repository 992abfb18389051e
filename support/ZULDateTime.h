#pragma once
// Local date and time as the engine passes it around: a day count since
// 30 December 1899 whose fraction is the time of day.

#include <cstdint>
#include <string>

using TDateTime = double;

struct ZULDateTimeParts {
    int Year = 1899, Month = 12, Day = 30;
    int Hour = 0, Minute = 0, Second = 0, Millisecond = 0;
};

// Milliseconds since the Unix epoch, from the system clock.
int64_t ZULNowEpochMs();
// The local broken-down time of an epoch millisecond count.
ZULDateTimeParts ZULLocalParts(int64_t epochMs);
// The current local date and time as a day-count value, read from a clock that
// moves once per timer tick: it may lag ZULNowEpochMs by up to one tick.
TDateTime ZULNow();
TDateTime ZULEncodeDateTime(const ZULDateTimeParts& parts);
// Rounds to the nearest millisecond, so an encoded time decodes to the same parts.
ZULDateTimeParts ZULDecodeDateTime(TDateTime value);
// Time of day in the locale's long time format (strftime %X with LC_TIME taken
// from the environment once per process); the C locale gives HH:MM:SS.
std::string ZULFormatLongTime(TDateTime value);
// The same with digits (3 or 6) of the second's fraction after the seconds' digits,
// cut, not rounded: "14:03:27.123456". 0 digits gives ZULFormatLongTime's text,
// which rounds to the nearest second.
std::string ZULFormatLongTimeFraction(TDateTime value, int digits);

// Microseconds since the Unix epoch (UTC), from the system clock.
int64_t ZULNowMicros();
// The local day-count value of an instant. At today's dates a day count resolves
// about 0.63 us, so ZULToUnixMicros gives the same instant back, except in the hour
// repeated when summer time ends, whose local times stand for two instants. Any
// value is taken, the ends of the range included.
TDateTime ZULFromUnixMicros(int64_t unixUs);
// The instant of a local day-count value, rounded to the nearest microsecond. A
// local time repeated when summer time ends gives its earlier instant; one skipped
// when summer time begins is read with the offset in force before the change.
int64_t ZULToUnixMicros(TDateTime value);
// ISO 8601 local time with six fraction digits and the UTC offset in force at that
// instant: "2026-12-09T16:00:27.172345+01:00"; "Z" where local time is UTC.
std::string ZULFormatIsoMicros(int64_t unixUs);
