#pragma once
// The time stamp a terminal puts at the start of each line: the local time of the
// read that brought the line's first byte, to the second, millisecond or
// microsecond. The terminal window and `kestrun-cli term --timestamps` write it alike.

#include <cstdint>
#include <string>
#include <string_view>

enum class ZTermStampFormat : uint8_t { Off, Seconds, Milliseconds, Microseconds };

// "s", "ms" or "us" (the command line's names); false for any other text.
bool ZTermStampFormatFromName(std::string_view name, ZTermStampFormat& format);
// Off, then seconds, milliseconds, microseconds, and off again.
ZTermStampFormat ZTermNextStampFormat(ZTermStampFormat format);
// "HH:MM:SS ", "HH:MM:SS.mmm " or "HH:MM:SS.uuuuuu " (fractions cut, not rounded) in
// local time for an instant in microseconds since the Unix epoch; "" when off.
std::string ZTermStampPrefix(int64_t unixUs, ZTermStampFormat format);
