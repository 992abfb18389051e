#include "ZTermStamps.h"

#include <cstdio>

#include "ZULDateTime.h"

bool ZTermStampFormatFromName(std::string_view name, ZTermStampFormat& format) {
    if (name == "s") {
        format = ZTermStampFormat::Seconds;
    } else if (name == "ms") {
        format = ZTermStampFormat::Milliseconds;
    } else if (name == "us") {
        format = ZTermStampFormat::Microseconds;
    } else {
        return false;
    }
    return true;
}

ZTermStampFormat ZTermNextStampFormat(ZTermStampFormat format) {
    switch (format) {
        case ZTermStampFormat::Off:
            return ZTermStampFormat::Seconds;
        case ZTermStampFormat::Seconds:
            return ZTermStampFormat::Milliseconds;
        case ZTermStampFormat::Milliseconds:
            return ZTermStampFormat::Microseconds;
        case ZTermStampFormat::Microseconds:
            break;
    }
    return ZTermStampFormat::Off;
}

std::string ZTermStampPrefix(int64_t unixUs, ZTermStampFormat format) {
    if (format == ZTermStampFormat::Off) return {};
    // Whole seconds towards the past, so that an instant before the epoch keeps its second.
    const int64_t seconds = unixUs >= 0 ? unixUs / 1000000 : -((-unixUs + 999999) / 1000000);
    const auto micros = static_cast<int>(unixUs - seconds * 1000000);
    const ZULDateTimeParts parts = ZULLocalParts(seconds * 1000);
    char text[24];
    int length = std::snprintf(text, sizeof text, "%02d:%02d:%02d", parts.Hour, parts.Minute, parts.Second);
    if (format == ZTermStampFormat::Milliseconds)
        length += std::snprintf(text + length, sizeof text - static_cast<size_t>(length), ".%03d", micros / 1000);
    else if (format == ZTermStampFormat::Microseconds)
        length += std::snprintf(text + length, sizeof text - static_cast<size_t>(length), ".%06d", micros);
    return std::string(text, static_cast<size_t>(length)) + ' ';
}
