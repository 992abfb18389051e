#include "ZFieldText.h"

#include <locale.h>
#include <stdlib.h>

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>

#include "Funset_strings.h"
#include "ZFieldValues.h"

namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// Where the digits starting at at end.
size_t SkipDigits(std::string_view text, size_t at) {
    while (at < text.size() && IsDigit(text[at])) ++at;
    return at;
}

// Whether text is [sign] (digits [. digits] | . digits) [e [sign] digits], all of it.
bool IsDecimalSyntax(std::string_view text) {
    size_t at = 0;
    if (at < text.size() && (text[at] == '+' || text[at] == '-')) ++at;
    const size_t wholeStart = at;
    at = SkipDigits(text, at);
    size_t digits = at - wholeStart;
    if (at < text.size() && text[at] == '.') {
        const size_t fractionStart = ++at;
        at = SkipDigits(text, at);
        digits += at - fractionStart;
    }
    if (digits == 0) return false;
    if (at < text.size() && (text[at] == 'e' || text[at] == 'E')) {
        ++at;
        if (at < text.size() && (text[at] == '+' || text[at] == '-')) ++at;
        const size_t exponentStart = at;
        at = SkipDigits(text, at);
        if (at == exponentStart) return false;
    }
    return at == text.size();
}

// strtod's own reading, for the numbers from_chars reports out of range: strtod gives
// infinity for an overflow and the nearest subnormal (or zero) for an underflow.
double StrtodInCLocale(std::string_view text) {
    static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    const std::string copy(text);
    return strtod_l(copy.c_str(), nullptr, cLocale);
}

}  // namespace

void ZAppendFieldNumber(std::string& out, double value) {
    char buffer[32];
    const std::to_chars_result written = std::to_chars(buffer, buffer + sizeof buffer, value);
    out.append(buffer, written.ptr);
}

std::string ZFieldNumberText(double value) {
    std::string text;
    ZAppendFieldNumber(text, value);
    return text;
}

bool ZParseFieldDecimal(std::string_view text, double& value) {
    // Most tokens a device sends are short numbers, and this runs for every frame.
    const char* end = text.data() + text.size();
    double shortValue = 0;
    if (const char* stop = ZScanShortDecimal(text.data(), end, shortValue); stop != nullptr && stop == end) {
        value = shortValue;
        return true;
    }
    if (!IsDecimalSyntax(text)) return false;
    // from_chars takes no leading '+'.
    std::string_view digits = text[0] == '+' ? text.substr(1) : text;
    const std::from_chars_result read = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (read.ec == std::errc::result_out_of_range) value = StrtodInCLocale(text);
    return true;
}

bool ZParseFieldWhole(std::string_view text, int64_t& value) {
    if (!text.empty() && text[0] == '+') text.remove_prefix(1);
    if (text.empty() || text[0] == '+') return false;
    const std::from_chars_result read = std::from_chars(text.data(), text.data() + text.size(), value);
    return read.ec == std::errc() && read.ptr == text.data() + text.size();
}

std::string_view ZTrimBlanks(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    return text;
}

void ZAppendFieldValues(std::string& out, const ZFieldValues& values, char between) {
    bool first = true;
    for (int i = 0; i < values.Count(); ++i) {
        if (!values.Has(i)) continue;
        if (!first) out += ", ";
        first = false;
        out += values.Name(i);
        out += between;
        ZAppendFieldNumber(out, values.Get(i));
        if (const std::string& unit = values.Unit(i); !unit.empty()) out.append(1, ' ').append(unit);
    }
}

void ZAppendFieldsJson(std::string& out, const ZFieldValues& values) {
    out += '{';
    bool first = true;
    for (int i = 0; i < values.Count(); ++i) {
        if (!values.Has(i)) continue;
        if (!first) out += ", ";
        first = false;
        out += values.JsonName(i);
        out += ": ";
        ZAppendFieldNumber(out, values.Get(i));
    }
    out += '}';
}

void ZAppendJsonString(std::string& out, std::string_view text) {
    const std::string whole(text);
    out += '"';
    for (size_t at = 0; at < whole.size();) {
        const size_t start = at;
        char32_t c = 0;
        if (!ZULNextCharacter(whole, at, c)) {
            out += "\xEF\xBF\xBD";
            continue;
        }
        if (c == '"' || c == '\\') {
            out.append(1, '\\').append(1, static_cast<char>(c));
        } else if (c < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04X", static_cast<unsigned>(c));
            out += escaped;
        } else {
            out.append(whole, start, at - start);
        }
    }
    out += '"';
}

void ZAppendCsvCell(std::string& out, std::string_view text) {
    if (text.find_first_of(",\"\r\n") == std::string_view::npos) {
        out += text;
        return;
    }
    out += '"';
    for (char c : text) {
        if (c == '"') out += '"';
        out += c;
    }
    out += '"';
}
