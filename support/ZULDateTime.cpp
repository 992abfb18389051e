#include "ZULDateTime.h"

#include <locale.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <ctime>

namespace {

constexpr int64_t MsPerSecond = 1000;
constexpr int64_t MsPerDay = 86'400'000;

constexpr int64_t FloorDiv(int64_t a, int64_t b) {
    const int64_t q = a / b;
    return (a % b != 0 && (a < 0) != (b < 0)) ? q - 1 : q;
}

// Without a product of the quotient: near the ends of the range that would overflow.
constexpr int64_t FloorMod(int64_t a, int64_t b) {
    const int64_t r = a % b;
    return (r != 0 && (r < 0) != (b < 0)) ? r + b : r;
}

// Days from 1 January 1970 in the proleptic Gregorian calendar (eras of 400
// years, March-based years so that the leap day is the last day of a year).
constexpr int64_t DaysFromCivil(int64_t year, int64_t month, int64_t day) {
    year += FloorDiv(month - 1, 12);  // lets a month outside 1..12 roll into the neighbouring years
    month = FloorMod(month - 1, 12) + 1;
    if (month <= 2) --year;
    const int64_t era = FloorDiv(year, 400);
    const int64_t yearOfEra = year - era * 400;
    const int64_t dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
}

void CivilFromDays(int64_t days, ZULDateTimeParts& parts) {
    days += 719468;
    const int64_t era = FloorDiv(days, 146097);
    const int64_t dayOfEra = days - era * 146097;
    const int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const int64_t monthIndex = (5 * dayOfYear + 2) / 153;
    const int64_t month = monthIndex < 10 ? monthIndex + 3 : monthIndex - 9;
    parts.Year = static_cast<int>(yearOfEra + era * 400 + (month <= 2 ? 1 : 0));
    parts.Month = static_cast<int>(month);
    parts.Day = static_cast<int>(dayOfYear - (153 * monthIndex + 2) / 5 + 1);
}

constexpr int64_t EpochOfDayZero = DaysFromCivil(1899, 12, 30);

// Beyond this many days a double no longer resolves milliseconds, and the
// day count would overflow the calendar arithmetic.
constexpr double MaxDecodableDays = 1e8;

// The process's LC_TIME, taken from the environment on first use. The global
// locale is left alone: other code may depend on it being "C".
locale_t LongTimeLocale() {
    static const locale_t locale = [] {
        locale_t fromEnvironment = newlocale(LC_TIME_MASK, "", locale_t{});
        return fromEnvironment != locale_t{} ? fromEnvironment : newlocale(LC_ALL_MASK, "C", locale_t{});
    }();
    return locale;
}

}  // namespace

int64_t ZULNowEpochMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
}

ZULDateTimeParts ZULLocalParts(int64_t epochMs) {
    const time_t seconds = static_cast<time_t>(FloorDiv(epochMs, MsPerSecond));
    std::tm local{};
    ZULDateTimeParts parts;
    if (localtime_r(&seconds, &local) == nullptr) return parts;
    parts.Year = local.tm_year + 1900;
    parts.Month = local.tm_mon + 1;
    parts.Day = local.tm_mday;
    parts.Hour = local.tm_hour;
    parts.Minute = local.tm_min;
    parts.Second = local.tm_sec > 59 ? 59 : local.tm_sec;  // a leap second would spill into the next minute
    parts.Millisecond = static_cast<int>(FloorMod(epochMs, MsPerSecond));
    return parts;
}

namespace {

// Blocks are stamped with the time as they are handed over, many thousand times
// a second, and the stamps are shown to the second. The coarse clock (it moves
// once per timer tick, every few milliseconds) costs a fraction of the precise one.
int64_t StampClockEpochMs() {
#ifdef CLOCK_REALTIME_COARSE
    timespec now{};
    if (clock_gettime(CLOCK_REALTIME_COARSE, &now) == 0)
        return int64_t{now.tv_sec} * MsPerSecond + now.tv_nsec / 1'000'000;
#endif
    return ZULNowEpochMs();
}

}  // namespace

TDateTime ZULNow() {
    // Converting to local time (time zone rules, a global lock) once per second per
    // thread is enough, and within one clock tick the value is the same. The value is
    // computed exactly as ZULEncodeDateTime computes it.
    thread_local int64_t cachedMs = INT64_MIN;
    thread_local TDateTime cachedValue = 0;
    thread_local int64_t cachedSecond = INT64_MIN;
    thread_local double cachedDays = 0;
    thread_local int64_t cachedMsOfDay = 0;  // at the start of the cached second
    const int64_t nowMs = StampClockEpochMs();
    if (nowMs == cachedMs) return cachedValue;
    const int64_t second = FloorDiv(nowMs, MsPerSecond);
    if (second != cachedSecond) {
        const ZULDateTimeParts parts = ZULLocalParts(second * MsPerSecond);
        cachedDays = static_cast<double>(DaysFromCivil(parts.Year, parts.Month, parts.Day) - EpochOfDayZero);
        cachedMsOfDay = ((int64_t{parts.Hour} * 60 + parts.Minute) * 60 + parts.Second) * MsPerSecond;
        cachedSecond = second;
    }
    const int64_t msOfDay = cachedMsOfDay + (nowMs - second * MsPerSecond);
    cachedMs = nowMs;
    cachedValue = cachedDays + static_cast<double>(msOfDay) / static_cast<double>(MsPerDay);
    return cachedValue;
}

TDateTime ZULEncodeDateTime(const ZULDateTimeParts& parts) {
    const int64_t days = DaysFromCivil(parts.Year, parts.Month, parts.Day) - EpochOfDayZero;
    const int64_t msOfDay =
        ((int64_t{parts.Hour} * 60 + parts.Minute) * 60 + parts.Second) * MsPerSecond + parts.Millisecond;
    return static_cast<double>(days) + static_cast<double>(msOfDay) / static_cast<double>(MsPerDay);
}

ZULDateTimeParts ZULDecodeDateTime(TDateTime value) {
    ZULDateTimeParts parts;
    if (!std::isfinite(value) || std::fabs(value) > MaxDecodableDays) return parts;
    // The day is the floor of the value even before day zero, so the fraction is always the
    // time of day and values stay ordered like time: -0.25 is 29 December 1899, 18:00.
    // Rounding the whole value (not just the fraction) lets 23:59:59.9996 carry into the next day.
    const int64_t totalMs = std::llround(value * static_cast<double>(MsPerDay));
    CivilFromDays(FloorDiv(totalMs, MsPerDay) + EpochOfDayZero, parts);
    int64_t msOfDay = FloorMod(totalMs, MsPerDay);
    parts.Millisecond = static_cast<int>(msOfDay % MsPerSecond);
    msOfDay /= MsPerSecond;
    parts.Second = static_cast<int>(msOfDay % 60);
    msOfDay /= 60;
    parts.Minute = static_cast<int>(msOfDay % 60);
    parts.Hour = static_cast<int>(msOfDay / 60);
    return parts;
}

static std::string FormatLongTimeOf(const ZULDateTimeParts& parts);

std::string ZULFormatLongTime(TDateTime value) {
    // Every block header formats its time; blocks of the same second share the text.
    // The second is found as ZULDecodeDateTime finds it, without the calendar.
    thread_local int64_t lastSecond = 0;
    thread_local std::string lastText;
    if (!std::isfinite(value) || std::fabs(value) > MaxDecodableDays)
        return FormatLongTimeOf(ZULDecodeDateTime(value));
    const int64_t second = FloorDiv(std::llround(value * static_cast<double>(MsPerDay)), MsPerSecond);
    if (lastText.empty() || second != lastSecond) {
        lastText = FormatLongTimeOf(ZULDecodeDateTime(value));
        lastSecond = second;
    }
    return lastText;
}

std::string ZULFormatLongTimeFraction(TDateTime value, int digits) {
    if (digits <= 0 || !std::isfinite(value) || std::fabs(value) > MaxDecodableDays)
        return ZULFormatLongTime(value);
    constexpr double MicrosecondsPerDay = 86400.0 * 1e6;
    const double micros = std::floor(value * MicrosecondsPerDay + 0.5);
    const double second = std::floor(micros / 1e6);
    const auto fraction = static_cast<long long>(micros - second * 1e6);
    // Formatted from the middle of its second, so the text's second is the one the
    // fraction belongs to, however the long format rounds.
    std::string text = ZULFormatLongTime((second + 0.5) * 1e6 / MicrosecondsPerDay);
    char part[16];
    std::snprintf(part, sizeof part, ".%0*lld", digits == 3 ? 3 : 6,
                  digits == 3 ? fraction / 1000 : fraction);
    // After the seconds' digits: a format may end in "PM" or a zone.
    size_t at = text.size();
    while (at > 0 && (text[at - 1] < '0' || text[at - 1] > '9')) --at;
    text.insert(at, part);
    return text;
}

static std::string FormatLongTimeOf(const ZULDateTimeParts& parts) {
    std::tm broken{};
    broken.tm_year = parts.Year - 1900;
    broken.tm_mon = parts.Month - 1;
    broken.tm_mday = parts.Day;
    broken.tm_hour = parts.Hour;
    broken.tm_min = parts.Minute;
    broken.tm_sec = parts.Second;
    broken.tm_isdst = -1;
    char text[128];
    const locale_t locale = LongTimeLocale();
    if (locale != locale_t{}) {
        const size_t length = strftime_l(text, sizeof(text), "%X", &broken, locale);
        if (length > 0) return std::string(text, length);
    }
    // No locale could be built, or its format came out empty: the C locale's format.
    std::snprintf(text, sizeof(text), "%02d:%02d:%02d", parts.Hour, parts.Minute, parts.Second);
    return text;
}

namespace {

constexpr int64_t UsPerSecond = 1'000'000;
constexpr int64_t UsPerDay = 86'400'000'000;
constexpr int64_t UnixEpochDay = 25569;  // 1 January 1970 in the day count

// Seconds east of UTC in force at the instant; 0 when the zone cannot say.
int64_t UtcOffsetSeconds(int64_t unixSeconds) {
    const time_t seconds = static_cast<time_t>(unixSeconds);
    std::tm local{};
    if (localtime_r(&seconds, &local) == nullptr) return 0;
    return local.tm_gmtoff;
}

}  // namespace

int64_t ZULNowMicros() {
    using namespace std::chrono;
    return duration_cast<microseconds>(system_clock::now().time_since_epoch()).count();
}

TDateTime ZULFromUnixMicros(int64_t unixUs) {
    // Every read of a precise capture is converted: the zone is asked once a second.
    thread_local int64_t cachedSecond = INT64_MIN;
    thread_local int64_t cachedOffset = 0;
    const int64_t second = FloorDiv(unixUs, UsPerSecond);
    if (second != cachedSecond) {
        cachedOffset = UtcOffsetSeconds(second);
        cachedSecond = second;
    }
    // An instant at the end of the range stays there rather than wrapping around.
    int64_t localUs = 0;
    if (__builtin_add_overflow(unixUs, cachedOffset * UsPerSecond, &localUs))
        localUs = unixUs < 0 ? INT64_MIN : INT64_MAX;
    // Whole days and the time of day are converted apart: the sum then carries a
    // single rounding, the one of the final addition.
    const int64_t day = FloorDiv(localUs, UsPerDay);
    return static_cast<double>(day + UnixEpochDay) +
           static_cast<double>(FloorMod(localUs, UsPerDay)) / static_cast<double>(UsPerDay);
}

int64_t ZULToUnixMicros(TDateTime value) {
    if (!std::isfinite(value) || std::fabs(value) > MaxDecodableDays) return 0;
    // The floor and the fraction of a double are exact, so the only error left is the
    // day count's own resolution, well under half a microsecond.
    const double day = std::floor(value);
    const int64_t localUs = (static_cast<int64_t>(day) - UnixEpochDay) * UsPerDay +
                            std::llround((value - day) * static_cast<double>(UsPerDay));
    const int64_t localSeconds = FloorDiv(localUs, UsPerSecond);
    // The offset of the instant is not known before the instant is. Zones change their
    // offset at most once in two days, so it is the one in force a day before or a day
    // after: whichever maps back to itself, the earlier instant when both do.
    const int64_t earlier = UtcOffsetSeconds(localSeconds - 86400);
    const int64_t later = UtcOffsetSeconds(localSeconds + 86400);
    const bool earlierFits = UtcOffsetSeconds(localSeconds - earlier) == earlier;
    const bool laterFits = UtcOffsetSeconds(localSeconds - later) == later;
    const int64_t offset = !earlierFits && laterFits ? later : earlier;
    return localUs - offset * UsPerSecond;
}

std::string ZULFormatIsoMicros(int64_t unixUs) {
    const int64_t seconds = FloorDiv(unixUs, UsPerSecond);
    const time_t asTime = static_cast<time_t>(seconds);
    std::tm local{};
    if (localtime_r(&asTime, &local) == nullptr) {
        local = std::tm{};
        gmtime_r(&asTime, &local);
        local.tm_gmtoff = 0;
    }
    char text[64];
    int length =
        std::snprintf(text, sizeof(text), "%04d-%02d-%02dT%02d:%02d:%02d.%06d", local.tm_year + 1900,
                      local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min,
                      local.tm_sec > 59 ? 59 : local.tm_sec, static_cast<int>(FloorMod(unixUs, UsPerSecond)));
    const long offset = local.tm_gmtoff;
    if (offset == 0) {
        std::snprintf(text + length, sizeof(text) - static_cast<size_t>(length), "Z");
    } else {
        const long magnitude = offset < 0 ? -offset : offset;
        std::snprintf(text + length, sizeof(text) - static_cast<size_t>(length), "%c%02ld:%02ld",
                      offset < 0 ? '-' : '+', magnitude / 3600, magnitude / 60 % 60);
    }
    return text;
}
