#pragma once
// One field: where a value sits in a frame's data block and how it is read, as the
// keys Name_i, Type_i, ... of the section "[_fields]" hold it. A number field reads
// its bytes at Offset (a negative offset counts from the data block's end), in the
// byte order MSBFirst gives, optionally only the bits Bits; a text field splits the
// data block at Separator and reads token Index, which must start with Prefix. Either
// is read only from data blocks whose bytes at MatchOffset match MatchPattern. The
// value is raw x Scale + Add. Plain values; any thread.

#include <cstdint>
#include <string>

#include "TriggerSequence.h"

enum TFieldType : uint8_t {
    ftU8,
    ftI8,
    ftU16,
    ftI16,
    ftU24,
    ftI24,
    ftU32,
    ftI32,
    ftU64,
    ftI64,
    ftF32,
    ftF64,
    ftText
};

// The keys of one field, in the order they are written.
enum TFieldKey : uint8_t {
    fkName,
    fkType,
    fkOffset,
    fkMSBFirst,
    fkBits,
    fkSeparator,
    fkIndex,
    fkPrefix,
    fkScale,
    fkAdd,
    fkUnit,
    fkMatch,
};
inline constexpr int FieldKeyCount = fkMatch + 1;

// Offsets (of a field and of its Match) lie within -MaxFieldOffset..MaxFieldOffset,
// and a text field's token index within 0..MaxFieldOffset.
inline constexpr int32_t MaxFieldOffset = 16384;

struct ZFieldDefinition {
    std::string Name;
    TFieldType Type = ftU8;
    bool HasOffset = false;  // a number field needs one
    int32_t Offset = 0;
    bool MSBFirst = true;
    bool HasBits = false;
    int32_t BitStart = 0;
    int32_t BitLength = 0;
    double Scale = 1;
    double Add = 0;
    std::string Unit;
    char Separator = ',';
    bool HasIndex = false;  // a text field needs one
    int32_t Index = 0;
    std::string Prefix;
    bool HasMatch = false;
    int32_t MatchOffset = 0;
    TTriggerSequence MatchPattern;  // bytes 0..255 and AnyByte

    bool operator==(const ZFieldDefinition&) const = default;

    // "Name", "Type", ...: the key without its "_<index>".
    static const char* KeyName(TFieldKey key);
    // "u8", ..., "text".
    static const char* TypeName(TFieldType type);
    // The bytes a number of that type takes (0 for text).
    static int TypeBytes(TFieldType type);
    static bool IsInteger(TFieldType type) { return type <= ftI64; }
    static bool IsSigned(TFieldType type) { return IsInteger(type) && type % 2 == 1; }

    // Whether the field's type reads the key (Offset, MSBFirst: numbers; Separator,
    // Index, Prefix: text; Bits: integers; the others: every type).
    bool UsesKey(TFieldKey key) const;
    // The key's value as the settings file stores it; "" for an optional key not set.
    std::string KeyText(TFieldKey key) const;
    // Sets the key from its text, trimmed of blanks and tabs as a settings file keeps
    // it ("" unsets an optional key and gives a defaulted key its default). False when
    // the text is refused, with a reason that names keyName ("Offset_3", or "Offset"
    // for a single field) and says why; the field is then unchanged. A name, a unit or
    // a prefix may not hold a line break.
    bool SetKeyText(TFieldKey key, const std::string& text, const std::string& keyName, std::string& reason);
    // Whether the keys fit the type: a number field has an offset, a text field an
    // index, and bits lie within an integer's width (no other type has any). False
    // with a reason naming the key with suffix ("_3", or "" for a single field).
    bool Check(const std::string& suffix, std::string& reason) const;
};
