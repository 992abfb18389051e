#include "ZFieldDefinition.h"

#include <cmath>
#include <string_view>

#include "ZFieldText.h"

namespace {

constexpr const char* KeyNames[FieldKeyCount] = {"Name",  "Type",   "Offset", "MSBFirst", "Bits", "Separator",
                                                 "Index", "Prefix", "Scale",  "Add",      "Unit", "Match"};
constexpr const char* TypeNames[] = {"u8",  "i8",  "u16", "i16", "u24", "i24", "u32",
                                     "i32", "u64", "i64", "f32", "f64", "text"};
constexpr int TypeSizes[] = {1, 1, 2, 2, 3, 3, 4, 4, 8, 8, 4, 8, 0};
constexpr const char* TypeList = "u8, i8, u16, i16, u24, i24, u32, i32, u64, i64, f32, f64 or text";

std::string Quoted(std::string_view text) {
    std::string quoted = "\"";
    quoted.append(text).append("\"");
    return quoted;
}

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

std::string OffsetRange() {
    return "a whole number from -" + std::to_string(MaxFieldOffset) + " to " + std::to_string(MaxFieldOffset);
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
    const std::string shown = keyName + " " + Quoted(text);
    if ((key == fkName || key == fkUnit || key == fkPrefix) &&
        text.find_first_of("\r\n") != std::string::npos) {
        reason = keyName + " holds a line break, which a settings file cannot keep";
        return false;
    }
    switch (key) {
        case fkName:
            if (text.empty()) {
                reason = keyName + " is empty: every field needs a name";
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
            reason = shown + " is no field type: the types are " + TypeList;
            return false;
        case fkOffset:
            if (text.empty()) {
                HasOffset = false;
                return true;
            }
            if (!ParseWholeWithin(text, -MaxFieldOffset, MaxFieldOffset, Offset)) {
                reason = shown + " is no offset: an offset is " + OffsetRange() + " (-1 is the last byte)";
                return false;
            }
            HasOffset = true;
            return true;
        case fkMSBFirst: {
            int64_t value = 1;
            if (!text.empty() && !ZParseFieldWhole(ZTrimBlanks(text), value)) {
                reason = shown + " is neither 1 (most significant byte first) nor 0";
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
                reason =
                    shown +
                    " is no bit slice: write START,LENGTH (bit 0 the least significant, LENGTH 1 or more)";
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
            reason = text.empty() ? keyName + " is empty: write \"space\" for a blank, \"tab\" for a tab"
                                  : shown + " is no separator: one ASCII character, \"space\" or \"tab\"";
            return false;
        case fkIndex:
            if (text.empty()) {
                HasIndex = false;
                return true;
            }
            if (!ParseWholeWithin(text, 0, MaxFieldOffset, Index)) {
                reason = shown + " is no token index: a whole number from 0 (the first token) to " +
                         std::to_string(MaxFieldOffset);
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
                reason = shown + " is no finite decimal number";
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
                reason = shown + " is not OFFSET:HEX (an offset " + OffsetRange() +
                         ", then whole HEX bytes, ?? for any byte, e.g. 0:24 ?? 47)";
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
        reason = std::string("Offset") + suffix + " is missing: a field of type " + type +
                 " needs the offset of its first byte";
        return false;
    }
    if (Type == ftText && !HasIndex) {
        reason = std::string("Index") + suffix +
                 " is missing: a text field needs the index of its token (0 = the first)";
        return false;
    }
    if (HasBits && !IsInteger(Type)) {
        reason = std::string("Bits") + suffix + " is set, but a field of type " + type +
                 " has no bit slices (integer types only)";
        return false;
    }
    if (HasBits && BitStart + BitLength > 8 * TypeBytes(Type)) {
        reason = std::string("Bits") + suffix + " " + Quoted(KeyText(fkBits)) + " lies outside the " +
                 std::to_string(8 * TypeBytes(Type)) + " bits of type " + type;
        return false;
    }
    return true;
}
