#pragma once
// Reads the fields of a list from data blocks. Everything that does not depend on the
// block is worked out once, when the decoder is made from the list: per field where
// its bytes sit, how they are shifted, masked and converted, and its Match as one
// masked comparison; decoding a block then only reads its bytes, without allocating.
// A field whose bytes lie outside the block, whose token is missing or no number,
// whose Match fails, or whose value is not finite (an f32 or f64 holding NaN or
// infinity, or a scaled value too large) is absent from that block. Made on one
// thread, then const: any number of threads may decode with it at once.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "ZFieldList.h"
#include "ZFieldValues.h"

// Why a field has no value in a block.
enum TFieldAbsence : uint8_t {
    faPresent,
    faNoMatch,     // the bytes at the Match offset differ, or lie outside the block
    faOutside,     // the field's bytes lie outside the block
    faNoToken,     // the block has fewer tokens
    faNoPrefix,    // the token does not start with the prefix
    faNotANumber,  // the rest of the token is no decimal number
    faNotFinite,   // NaN or infinity, read or scaled
    faRefused,     // the definition can never be read (ZFieldList::Check refuses it)
};

// One field's result on one block, for the user ("Try on the last frame").
struct ZFieldTry {
    bool Present = false;
    double Value = 0;  // when present
    std::string Why;   // when absent: the reason, for the user
};

class ZFieldDecoder {
public:
    // A decoder of no fields.
    ZFieldDecoder();
    // A decoder of the fields of list, which Check should have accepted: a field it
    // would refuse is never present.
    explicit ZFieldDecoder(const ZFieldList& list);

    bool Empty() const { return fields_.empty(); }
    int Count() const { return static_cast<int>(fields_.size()); }
    // Values laid out for this decoder's fields, none present.
    ZFieldValues MakeValues() const { return ZFieldValues(layout_); }

    // Reads every field from the length bytes of a data block (bytes may be null only
    // when length is 0) into values, which MakeValues of this decoder made.
    void Decode(const uint8_t* bytes, int length, ZFieldValues& values) const;
    // Each field's value in the data block, or why it is absent, in field order.
    std::vector<ZFieldTry> Try(const uint8_t* bytes, int length) const;

private:
    // How a number's bits become a double.
    enum TConversion : uint8_t { cvSigned, cvUnsigned, cvUnsigned64, cvFloat, cvDouble };
    // Bytes at an offset compared under a mask: up to 8 in one load, more byte by byte.
    struct BytePattern {
        bool Any = false;  // false: every block matches
        int32_t Offset = 0;
        int32_t Size = 0;
        uint64_t Bytes = 0;  // the first 8 bytes, the first in the lowest bits; 0 where Mask is
        uint64_t Mask = 0;   // 0xFF per byte compared, 0 for a wildcard
        std::vector<uint8_t> LongBytes;  // every byte, when Size > 8
        std::vector<uint8_t> LongMask;
    };
    // One field as the decoder reads it.
    struct Field {
        TFieldType Type = ftU8;
        bool Valid = false;   // the definition can be read at all
        std::string Refusal;  // why it cannot
        int32_t Slot = 0;     // its index in the list and in the values
        int32_t Offset = 0;
        int32_t Width = 0;  // bytes of a number
        bool Swap = false;  // the bytes are in the order opposite to a little-endian load
        TConversion Conversion = cvUnsigned;
        // The 8 bytes at Offset, loaded little-endian and swapped when Swap, shifted
        // left by Left, then right by Right, are the value's bits.
        uint8_t Left = 0;
        uint8_t Right = 0;
        // In a block of at least the decoder's fastLength_ bytes the field lies inside,
        // and the 8 bytes at FastLoad (plus the block's length where EndMask is all
        // ones: an offset from the end), shifted left by FastLeft, then right by Right,
        // are the value's bits.
        int32_t EndMask = 0;
        int32_t FastLoad = 0;
        uint8_t FastLeft = 0;
        double Scale = 1;
        double Add = 0;
        bool Unscaled = false;  // an integer with Scale 1 and Add 0: the value is the number read
        char Separator = ',';
        bool ParseInPlace = false;  // the token's number is read in the scan that finds its end
        bool FirstOfSeparator = false;  // the first text field Decode reads with its separator
        int32_t Index = 0;
        std::string Prefix;
        BytePattern Match;
        std::string MatchText;  // for the user
    };
    // A data block as the fields read it: a number near its end is loaded from a
    // copy of its last bytes followed by zeros, so that no load passes its end.
    struct Block;
    // A token of a block: Decode reads the text fields of one separator by rising
    // index, and each goes on from where the one before stopped.
    struct TokenCursor {
        const char* Start;  // where token Index starts
        const char* End;    // where it ends (its separator or the block's end); null: not found yet
        int32_t Index;
    };
    static Field Prepare(const ZFieldDefinition& definition, int32_t slot);
    // The field's value into value, or why it has none; token receives the text
    // field's token when asked for (for Try).
    static TFieldAbsence Read(const Field& field, const Block& block, double& value, std::string_view* token);
    static bool Matches(const BytePattern& match, const Block& block);
    // The value of the field from bits loaded little-endian, shifted left by left.
    static TFieldAbsence FromBits(const Field& field, uint64_t bits, uint8_t left, double& value);
    static TFieldAbsence Scaled(const Field& field, double raw, double& value);
    static TFieldAbsence ReadNumber(const Field& field, const Block& block, double& value);
    // ReadNumber for a block of at least fastLength_ bytes: no bound to check.
    static TFieldAbsence ReadNumberInside(const Field& field, const Block& block, double& value);
    static TFieldAbsence ReadText(const Field& field, const Block& block, TokenCursor& cursor, double& value,
                                  std::string_view* token);
    // Moves cursor on to token index; false when the block has fewer tokens.
    static bool Seek(TokenCursor& cursor, int32_t index, const char* end, char separator);
    // The number of a text field read in the scan that finds the token's end, which
    // it returns; null when the token holds anything but a short number (read then
    // by ReadToken).
    static const char* ReadInPlace(const Field& field, const char* start, const char* end, double& raw);
    static TFieldAbsence ReadToken(const std::string& prefix, std::string_view token, double& raw);
    static std::string Explain(const Field& field, TFieldAbsence absence, const uint8_t* bytes, int length,
                               std::string_view token);

    std::vector<Field> fields_;  // in the order Decode reads them: numbers, text, those refused
    size_t numberCount_ = 0;
    int fastLength_ = 0;  // blocks of at least this length hold every number field
    size_t textCount_ = 0;
    std::shared_ptr<const ZFieldLayout> layout_;
};
