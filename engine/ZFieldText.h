#pragma once
// How field values are read from text and written as text, the same for every
// output: the log files' "Values:" line, the frame export, the CSV file and the
// summaries. Plain functions; any thread.

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
