#pragma once
// Reads the fields of a list from data blocks. Everything that does not depend on the
// block (byte widths, masks, the Match bytes) is prepared once, when the decoder is
// made from the list; decoding a block then only reads its bytes. A field whose
// bytes lie outside the block, whose token is missing or no number, whose Match
// fails, or whose value is not finite (an f32 or f64 holding NaN or infinity, or a
// scaled value too large) is absent from that block. Made on one thread, then
// const: any number of threads may decode with it at once.

#include <cstdint>
#include <memory>
#include <string>
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
    // One field as the decoder reads it.
    struct Field {
        TFieldType Type = ftU8;
        bool Valid = false;   // the definition can be read at all
        std::string Refusal;  // why it cannot
        int32_t Offset = 0;
        int Width = 0;  // bytes of a number
        bool MSBFirst = true;
        int BitStart = 0;
        uint64_t Mask = 0;  // of the bits kept, after the shift by BitStart
        int SignBits = 0;   // a signed value's width in bits; 0 for unsigned ones
        double Scale = 1;
        double Add = 0;
        char Separator = ',';
        int32_t Index = 0;
        std::string Prefix;
        bool HasMatch = false;
        int32_t MatchOffset = 0;
        std::vector<uint8_t> MatchBytes;  // 0 where MatchMask is 0
        std::vector<uint8_t> MatchMask;   // 0xFF for a byte, 0 for any byte
        std::string MatchText;            // for the user
    };
    static Field Prepare(const ZFieldDefinition& definition);
    // Where the last token found starts, so that the next field of the same separator
    // and a later token goes on from there.
    struct TokenCursor {
        bool Valid = false;
        char Separator = ',';
        int32_t Index = 0;
        size_t Start = 0;
    };
    // The field's value into value, or why it has none; token receives the text
    // field's token when asked for (for Try).
    static TFieldAbsence Read(const Field& field, const uint8_t* bytes, int length, double& value,
                              std::string* token = nullptr, TokenCursor* cursor = nullptr);
    static bool Matches(const Field& field, const uint8_t* bytes, int length);
    static TFieldAbsence ReadNumber(const Field& field, const uint8_t* bytes, int length, double& raw);
    static TFieldAbsence ReadText(const Field& field, const uint8_t* bytes, int length, double& raw,
                                  std::string* token, TokenCursor* cursor);
    static std::string Explain(const Field& field, TFieldAbsence absence, const uint8_t* bytes, int length,
                               const std::string& token);

    std::vector<Field> fields_;
    std::vector<int> order_;  // the order Decode reads the fields in
    std::shared_ptr<const ZFieldLayout> layout_;
};
