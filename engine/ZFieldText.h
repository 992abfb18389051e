#pragma once
// How field values are read from text and written as text, the same for every
// output: the log files' "Values:" line, the frame export, the CSV file and the
// summaries. Plain functions; any thread.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

class ZFieldValues;

// The shortest text that reads back to the same double (std::to_chars): 31.5, 42,
// 1e+15, -0. value must be finite.
void ZAppendFieldNumber(std::string& out, double value);
std::string ZFieldNumberText(double value);

// Reads text, all of it, as a decimal number as strtod reads one in the C locale:
// an optional sign, digits with an optional point (".5" and "5." included) and an
// optional exponent. No blanks, no hexadecimal, no "inf" or "nan". False when text
// is no such number; a number too large for a double reads as infinity.
bool ZParseFieldDecimal(std::string_view text, double& value);
// Reads a short decimal number from the start of the characters at..end: an optional
// sign, then digits with an optional point (".5" and "5." included), at most 15 digits
// in all and no exponent, which is exact to what strtod reads. Returns where the
// number ends (the first character that is not part of it); null, value unchanged,
// when the characters do not start with such a number (no digit, or more than 15).
// Inline: the fields of every frame are read with it.
inline const char* ZScanShortDecimal(const char* at, const char* end, double& value) {
    constexpr int maxDigits = 15;  // 10^15 < 2^53: any 15 digits are an exact double
    static constexpr double powersOfTen[maxDigits + 1] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                                   1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
    const bool negative = at < end && *at == '-';
    if (at < end && (*at == '-' || *at == '+')) ++at;
    // Past 19 digits the number wraps, which the count of digits refuses.
    uint64_t number = 0;
    const char* first = at;
    for (unsigned digit = 0; at < end && (digit = static_cast<unsigned char>(*at) - 48u) <= 9; ++at)
        number = number * 10 + digit;
    ptrdiff_t decimals = 0;
    const bool point = at < end && *at == '.';
    if (point) {
        const char* fraction = ++at;
        for (unsigned digit = 0; at < end && (digit = static_cast<unsigned char>(*at) - 48u) <= 9; ++at)
            number = number * 10 + digit;
        decimals = at - fraction;
    }
    const ptrdiff_t digits = at - first - (point ? 1 : 0);
    if (digits <= 0 || digits > maxDigits) return nullptr;
    // Two exact doubles and one division, which IEEE 754 rounds correctly, as strtod does.
    const double magnitude = static_cast<double>(number) / powersOfTen[decimals];
    value = negative ? -magnitude : magnitude;
    return at;
}
// text, all of it, as a whole decimal number with an optional sign, within 64 bits.
bool ZParseFieldWhole(std::string_view text, int64_t& value);
// text without the blanks and tabs around it.
std::string_view ZTrimBlanks(std::string_view text);

// The values present, in field order, each as its name, between, the number and,
// where the field has a unit, a blank and the unit; joined by ", ".
// between '=' gives the log line's "temperature=31.5 °C, altitude=545.4".
void ZAppendFieldValues(std::string& out, const ZFieldValues& values, char between);
// The values present as one JSON object: {"temperature": 31.5, "altitude": 545.4}.
void ZAppendFieldsJson(std::string& out, const ZFieldValues& values);
// text as a JSON string in double quotes; bytes that are no UTF-8 become U+FFFD.
void ZAppendJsonString(std::string& out, std::string_view text);
// text as one CSV cell (RFC 4180): in double quotes, and with its double quotes
// doubled, when it holds a comma, a double quote, CR or LF.
void ZAppendCsvCell(std::string& out, std::string_view text);
