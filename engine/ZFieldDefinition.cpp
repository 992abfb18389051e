#include "ZFieldDefinition.h"

#include <cmath>
#include <string_view>

#include "ZFieldText.h"
#include "ZULText.h"

namespace {

constexpr const char* KeyNames[FieldKeyCount] = {"Name",  "Type",   "Offset", "MSBFirst", "Bits", "Separator",
                                                 "Index", "Prefix", "Scale",  "Add",      "Unit", "Match"};
constexpr const char* TypeNames[] = {"u8",  "i8",  "u16", "i16", "u24", "i24", "u32",
                                     "i32", "u64", "i64", "f32", "f64", "text"};
constexpr int TypeSizes[] = {1, 1, 2, 2, 3, 3, 4, 4, 8, 8, 4, 8, 0};
bool ParseWholeWithin(std::string_view text, int64_t low, int64_t high, int32_t& value) {
    int64_t whole = 0;
    if (!ZParseFieldWhole(ZTrimBlanks(text), whole) || whole < low || whole > high) return false;
    value = static_cast<int32_t>(whole);
    return true;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// HEX pairs and "??", blanks between them optional; false on anything else or on
// nothing at all.
bool ParsePattern(std::string_view text, TTriggerSequence& pattern) {
    pattern.clear();
    std::string pairs;
    for (char c : text) {
        if (c != ' ' && c != '\t') pairs += c;
    }
    if (pairs.empty() || pairs.size() % 2 != 0 || pairs.size() / 2 > static_cast<size_t>(MaxFieldOffset))
        return false;
    for (size_t i = 0; i < pairs.size(); i += 2) {
        if (pairs[i] == '?' && pairs[i + 1] == '?') {
            pattern.push_back(AnyByte);
            continue;
        }
        const int high = HexDigit(pairs[i]);
        const int low = HexDigit(pairs[i + 1]);
        if (high < 0 || low < 0) return false;
        pattern.push_back(high << 4 | low);
    }
    return true;
}

std::string PatternText(const TTriggerSequence& pattern) {
    static constexpr char Digits[] = "0123456789ABCDEF";
    std::string text;
    for (size_t i = 0; i < pattern.size(); ++i) {
        if (i > 0) text += ' ';
        if (pattern[i] == AnyByte) {
            text += "??";
        } else {
            text += Digits[(pattern[i] >> 4) & 0x0F];
            text += Digits[pattern[i] & 0x0F];
        }
    }
    return text;
}

std::string Refused(const ZULTextTemplate& text, const std::string& keyName, std::string_view value = {}) {
    return ZULFormat(text, {keyName, value, std::to_string(MaxFieldOffset)});
}

}  // namespace

const char* ZFieldDefinition::KeyName(TFieldKey key) {
    return KeyNames[key];
}

const char* ZFieldDefinition::TypeName(TFieldType type) {
    return TypeNames[type];
}

int ZFieldDefinition::TypeBytes(TFieldType type) {
    return TypeSizes[type];
}

bool ZFieldDefinition::UsesKey(TFieldKey key) const {
    switch (key) {
        case fkOffset:
        case fkMSBFirst:
            return Type != ftText;
        case fkBits:
            return IsInteger(Type);
        case fkSeparator:
        case fkIndex:
        case fkPrefix:
            return Type == ftText;
        default:
            return true;
    }
}

std::string ZFieldDefinition::KeyText(TFieldKey key) const {
    switch (key) {
        case fkName:
            return Name;
        case fkType:
            return TypeName(Type);
        case fkOffset:
            return HasOffset ? std::to_string(Offset) : std::string();
        case fkMSBFirst:
            return MSBFirst ? "1" : "0";
        case fkBits:
            return HasBits ? std::to_string(BitStart) + "," + std::to_string(BitLength) : std::string();
        case fkSeparator:
            return Separator == ' ' ? "space" : Separator == '\t' ? "tab" : std::string(1, Separator);
        case fkIndex:
            return HasIndex ? std::to_string(Index) : std::string();
        case fkPrefix:
            return Prefix;
        case fkScale:
            return ZFieldNumberText(Scale);
        case fkAdd:
            return ZFieldNumberText(Add);
        case fkUnit:
            return Unit;
        case fkMatch:
            return HasMatch ? std::to_string(MatchOffset) + ":" + PatternText(MatchPattern) : std::string();
    }
    return {};
}

bool ZFieldDefinition::SetKeyText(TFieldKey key, const std::string& typed, const std::string& keyName,
                                  std::string& reason) {
    // A settings file trims its values: what it cannot keep is not taken either.
    const std::string text(ZTrimBlanks(typed));
    if ((key == fkName || key == fkUnit || key == fkPrefix) &&
        text.find_first_of("\r\n") != std::string::npos) {
        reason =
            Refused(ZUL_TEXT("Fields", "%1 holds a line break, which a settings file cannot keep"), keyName);
        return false;
    }
    switch (key) {
        case fkName:
            if (text.empty()) {
                reason = Refused(ZUL_TEXT("Fields", "%1 is empty: every field needs a name"), keyName);
                return false;
            }
            Name = text;
            return true;
        case fkType:
            for (int type = ftU8; type <= ftText; ++type) {
                if (text == TypeNames[type]) {
                    Type = static_cast<TFieldType>(type);
                    return true;
                }
            }
            reason = Refused(ZUL_TEXT("Fields",
                                      "%1 \"%2\" is no field type: the types are u8, i8, u16, i16, "
                                      "u24, i24, u32, i32, u64, i64, f32, f64 or text"),
                             keyName, text);
            return false;
        case fkOffset:
            if (text.empty()) {
                HasOffset = false;
                return true;
            }
            if (!ParseWholeWithin(text, -MaxFieldOffset, MaxFieldOffset, Offset)) {
                reason = Refused(ZUL_TEXT("Fields",
                                          "%1 \"%2\" is no offset: an offset is a whole number from -%3 "
                                          "to %3 (-1 is the last byte)"),
                                 keyName, text);
                return false;
            }
            HasOffset = true;
            return true;
        case fkMSBFirst: {
            int64_t value = 1;
            if (!text.empty() && !ZParseFieldWhole(ZTrimBlanks(text), value)) {
                reason =
                    Refused(ZUL_TEXT("Fields", "%1 \"%2\" is neither 1 (most significant byte first) nor 0"),
                            keyName, text);
                return false;
            }
            MSBFirst = value != 0;
            return true;
        }
        case fkBits: {
            if (text.empty()) {
                HasBits = false;
                return true;
            }
            const size_t comma = text.find(',');
            int32_t start = 0;
            int32_t length = 0;
            if (comma == std::string::npos ||
                !ParseWholeWithin(std::string_view(text).substr(0, comma), 0, 63, start) ||
                !ParseWholeWithin(std::string_view(text).substr(comma + 1), 1, 64, length) ||
                start + length > 64) {
                reason = Refused(ZUL_TEXT("Fields",
                                          "%1 \"%2\" is no bit slice: write START,LENGTH (bit 0 the least "
                                          "significant, LENGTH 1 or more)"),
                                 keyName, text);
                return false;
            }
            HasBits = true;
            BitStart = start;
            BitLength = length;
            return true;
        }
        case fkSeparator:
            if (text == "space" || text == "tab" ||
                (text.size() == 1 && static_cast<unsigned char>(text[0]) < 0x80)) {
                Separator = text == "space" ? ' ' : text == "tab" ? '\t' : text[0];
                return true;
            }
            reason =
                text.empty()
                    ? Refused(
                          ZUL_TEXT("Fields", "%1 is empty: write \"space\" for a blank, \"tab\" for a tab"),
                          keyName)
                    : Refused(
                          ZUL_TEXT("Fields",
                                   "%1 \"%2\" is no separator: one ASCII character, \"space\" or \"tab\""),
                          keyName, text);
            return false;
        case fkIndex:
            if (text.empty()) {
                HasIndex = false;
                return true;
            }
            if (!ParseWholeWithin(text, 0, MaxFieldOffset, Index)) {
                reason = Refused(ZUL_TEXT("Fields",
                                          "%1 \"%2\" is no token index: a whole number from 0 (the "
                                          "first token) to %3"),
                                 keyName, text);
                return false;
            }
            HasIndex = true;
            return true;
        case fkPrefix:
            Prefix = text;
            return true;
        case fkScale:
        case fkAdd: {
            double value = key == fkScale ? 1 : 0;
            if (!text.empty() && (!ZParseFieldDecimal(text, value) || !std::isfinite(value))) {
                reason = Refused(ZUL_TEXT("Fields", "%1 \"%2\" is no finite decimal number"), keyName, text);
                return false;
            }
            (key == fkScale ? Scale : Add) = value;
            return true;
        }
        case fkUnit:
            Unit = text;
            return true;
        case fkMatch: {
            if (text.empty()) {
                HasMatch = false;
                MatchPattern.clear();
                return true;
            }
            const size_t colon = text.find(':');
            int32_t offset = 0;
            TTriggerSequence pattern;
            if (colon == std::string::npos ||
                !ParseWholeWithin(std::string_view(text).substr(0, colon), -MaxFieldOffset, MaxFieldOffset,
                                  offset) ||
                !ParsePattern(std::string_view(text).substr(colon + 1), pattern)) {
                reason =
                    Refused(ZUL_TEXT("Fields",
                                     "%1 \"%2\" is not OFFSET:HEX (an offset a whole number from "
                                     "-%3 to %3, then whole HEX bytes, ?? for any byte, e.g. 0:24 ?? 47)"),
                            keyName, text);
                return false;
            }
            HasMatch = true;
            MatchOffset = offset;
            MatchPattern = std::move(pattern);
            return true;
        }
    }
    return false;
}

bool ZFieldDefinition::Check(const std::string& suffix, std::string& reason) const {
    const std::string type = TypeName(Type);
    if (Type != ftText && !HasOffset) {
        reason = ZULFormat(ZUL_TEXT("Fields",
                                    "Offset%1 is missing: a field of type %2 needs the offset of its "
                                    "first byte"),
                           {suffix, type});
        return false;
    }
    if (Type == ftText && !HasIndex) {
        reason = ZULFormat(
            ZUL_TEXT("Fields",
                     "Index%1 is missing: a text field needs the index of its token (0 = the first)"),
            {suffix});
        return false;
    }
    if (HasBits && !IsInteger(Type)) {
        reason = ZULFormat(ZUL_TEXT("Fields",
                                    "Bits%1 is set, but a field of type %2 has no bit slices (integer "
                                    "types only)"),
                           {suffix, type});
        return false;
    }
    if (HasBits && BitStart + BitLength > 8 * TypeBytes(Type)) {
        reason = ZULFormat(ZUL_TEXT("Fields", "Bits%1 \"%2\" lies outside the %3 bits of type %4"),
                           {suffix, KeyText(fkBits), std::to_string(8 * TypeBytes(Type)), type});
        return false;
    }
    return true;
}
