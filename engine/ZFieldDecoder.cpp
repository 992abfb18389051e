#include "ZFieldDecoder.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <string_view>

#include "ZFieldText.h"
#include "ZFilter.h"

namespace {

// Where the width bytes at offset (negative: from the end) start in a block of
// length bytes; false when they do not all lie inside it.
bool Locate(int32_t offset, size_t width, int length, int& start) {
    const int64_t first = offset >= 0 ? offset : int64_t{length} + offset;
    if (first < 0 || first + static_cast<int64_t>(width) > length) return false;
    start = static_cast<int>(first);
    return true;
}

// The width bytes at at (1, 2, 3, 4 or 8) as a number, in the byte order given: one
// load and at most one byte swap, as decoding runs for every frame.
uint64_t LoadBits(const uint8_t* at, int width, bool msbFirst) {
    const bool swap = msbFirst == (std::endian::native == std::endian::little);
    switch (width) {
        case 1:
            return at[0];
        case 2: {
            uint16_t value = 0;
            std::memcpy(&value, at, sizeof value);
            return swap ? __builtin_bswap16(value) : value;
        }
        case 3:
            return msbFirst ? uint64_t{at[0]} << 16 | uint64_t{at[1]} << 8 | at[2]
                            : uint64_t{at[2]} << 16 | uint64_t{at[1]} << 8 | at[0];
        case 4: {
            uint32_t value = 0;
            std::memcpy(&value, at, sizeof value);
            return swap ? __builtin_bswap32(value) : value;
        }
        default: {
            uint64_t value = 0;
            std::memcpy(&value, at, sizeof value);
            return swap ? __builtin_bswap64(value) : value;
        }
    }
}

uint64_t LowBits(int count) {
    return count >= 64 ? ~uint64_t{0} : (uint64_t{1} << count) - 1;
}

// The value of the low bits bits of slice, its top bit the sign.
int64_t SignExtend(uint64_t slice, int bits) {
    const int unused = 64 - bits;
    return static_cast<int64_t>(slice << unused) >> unused;
}

// The token for a message: its printable characters, others as '.'.
std::string Shown(const std::string& token) {
    std::string shown = "\"";
    shown += BytesToAscii(reinterpret_cast<const uint8_t*>(token.data()), static_cast<int>(token.size()));
    shown += '"';
    return shown;
}

}  // namespace

ZFieldDecoder::ZFieldDecoder()
    : layout_(std::make_shared<const ZFieldLayout>(std::vector<std::string>(), std::vector<std::string>())) {}

ZFieldDecoder::ZFieldDecoder(const ZFieldList& list) {
    std::vector<std::string> names;
    std::vector<std::string> units;
    fields_.reserve(list.Items.size());
    for (const ZFieldDefinition& definition : list.Items) {
        fields_.push_back(Prepare(definition));
        names.push_back(definition.Name);
        units.push_back(definition.Unit);
    }
    layout_ = std::make_shared<const ZFieldLayout>(std::move(names), std::move(units));
    // Text fields of one separator by rising token index, so that one scan of the block
    // finds all their tokens.
    for (size_t i = 0; i < fields_.size(); ++i) order_.push_back(static_cast<int>(i));
    std::stable_sort(order_.begin(), order_.end(), [this](int a, int b) {
        const Field& first = fields_[static_cast<size_t>(a)];
        const Field& second = fields_[static_cast<size_t>(b)];
        const bool firstText = first.Type == ftText;
        const bool secondText = second.Type == ftText;
        if (firstText != secondText) return secondText;
        if (!firstText) return false;
        if (first.Separator != second.Separator) return first.Separator < second.Separator;
        return first.Index < second.Index;
    });
}

ZFieldDecoder::Field ZFieldDecoder::Prepare(const ZFieldDefinition& definition) {
    Field field;
    field.Type = definition.Type;
    field.Valid = !definition.Name.empty() && definition.Check("", field.Refusal);
    if (definition.Name.empty()) field.Refusal = "it has no name";
    field.Offset = definition.Offset;
    field.Width = ZFieldDefinition::TypeBytes(definition.Type);
    field.MSBFirst = definition.MSBFirst;
    if (ZFieldDefinition::IsInteger(definition.Type)) {
        const int bits = definition.HasBits ? definition.BitLength : 8 * field.Width;
        field.BitStart = definition.HasBits ? definition.BitStart : 0;
        field.Mask = LowBits(bits);
        field.SignBits = ZFieldDefinition::IsSigned(definition.Type) ? bits : 0;
    }
    field.Scale = definition.Scale;
    field.Add = definition.Add;
    field.Separator = definition.Separator;
    field.Index = definition.Index;
    field.Prefix = definition.Prefix;
    field.HasMatch = definition.HasMatch;
    field.MatchOffset = definition.MatchOffset;
    for (int32_t element : definition.MatchPattern) {
        const bool any = element == AnyByte;
        field.MatchBytes.push_back(any ? 0 : static_cast<uint8_t>(element));
        field.MatchMask.push_back(any ? 0 : 0xFF);
    }
    field.MatchText = definition.KeyText(fkMatch);
    return field;
}

void ZFieldDecoder::Decode(const uint8_t* bytes, int length, ZFieldValues& values) const {
    // Values of another decoder would be read out of their bounds.
    if (values.Count() != Count()) values = MakeValues();
    values.Clear();
    TokenCursor cursor;
    for (const int index : order_) {
        double value = 0;
        if (Read(fields_[static_cast<size_t>(index)], bytes, length, value, nullptr, &cursor) == faPresent)
            values.Set(index, value);
    }
}

std::vector<ZFieldTry> ZFieldDecoder::Try(const uint8_t* bytes, int length) const {
    if (bytes == nullptr || length < 0) length = 0;
    std::vector<ZFieldTry> results;
    for (const Field& field : fields_) {
        ZFieldTry result;
        std::string token;
        const TFieldAbsence absence = Read(field, bytes, length, result.Value, &token);
        result.Present = absence == faPresent;
        if (!result.Present) {
            result.Value = 0;
            result.Why = Explain(field, absence, bytes, length, token);
        }
        results.push_back(std::move(result));
    }
    return results;
}

TFieldAbsence ZFieldDecoder::Read(const Field& field, const uint8_t* bytes, int length, double& value,
                                  std::string* token, TokenCursor* cursor) {
    if (!field.Valid) return faRefused;
    if (bytes == nullptr || length < 0) length = 0;
    if (field.HasMatch && !Matches(field, bytes, length)) return faNoMatch;
    double raw = 0;
    const TFieldAbsence absence = field.Type == ftText ? ReadText(field, bytes, length, raw, token, cursor)
                                                       : ReadNumber(field, bytes, length, raw);
    if (absence != faPresent) return absence;
    value = raw * field.Scale + field.Add;
    return std::isfinite(value) ? faPresent : faNotFinite;
}

bool ZFieldDecoder::Matches(const Field& field, const uint8_t* bytes, int length) {
    int start = 0;
    if (!Locate(field.MatchOffset, field.MatchBytes.size(), length, start)) return false;
    for (size_t i = 0; i < field.MatchBytes.size(); ++i) {
        if ((bytes[static_cast<size_t>(start) + i] & field.MatchMask[i]) != field.MatchBytes[i]) return false;
    }
    return true;
}

TFieldAbsence ZFieldDecoder::ReadNumber(const Field& field, const uint8_t* bytes, int length, double& raw) {
    int start = 0;
    if (!Locate(field.Offset, static_cast<size_t>(field.Width), length, start)) return faOutside;
    const uint64_t bits = LoadBits(bytes + start, field.Width, field.MSBFirst);
    if (field.Type == ftF32) {
        const auto word = static_cast<uint32_t>(bits);
        float single = 0;
        std::memcpy(&single, &word, sizeof single);
        raw = single;
        return faPresent;
    }
    if (field.Type == ftF64) {
        std::memcpy(&raw, &bits, sizeof raw);
        return faPresent;
    }
    const uint64_t slice = (bits >> field.BitStart) & field.Mask;
    // A signed value, or an unsigned one below 2^63, converts in one instruction; only a
    // full u64 needs the unsigned conversion.
    if (field.SignBits > 0) {
        raw = static_cast<double>(SignExtend(slice, field.SignBits));
    } else if (field.Mask >> 63 == 0) {
        raw = static_cast<double>(static_cast<int64_t>(slice));
    } else {
        raw = static_cast<double>(slice);
    }
    return faPresent;
}

TFieldAbsence ZFieldDecoder::ReadText(const Field& field, const uint8_t* bytes, int length, double& raw,
                                      std::string* token, TokenCursor* cursor) {
    const char* text = reinterpret_cast<const char*>(bytes);
    const auto size = static_cast<size_t>(length);
    size_t start = 0;
    int32_t skipped = 0;
    if (cursor != nullptr && cursor->Valid && cursor->Separator == field.Separator &&
        cursor->Index <= field.Index) {
        start = cursor->Start;
        skipped = cursor->Index;
    }
    for (; skipped < field.Index; ++skipped) {
        const void* separator =
            start < size ? std::memchr(text + start, field.Separator, size - start) : nullptr;
        if (separator == nullptr) return faNoToken;
        start = static_cast<size_t>(static_cast<const char*>(separator) - text) + 1;
    }
    if (cursor != nullptr) *cursor = TokenCursor{true, field.Separator, field.Index, start};
    const void* next = start < size ? std::memchr(text + start, field.Separator, size - start) : nullptr;
    const size_t end = next != nullptr ? static_cast<size_t>(static_cast<const char*>(next) - text) : size;
    std::string_view found = end > start ? std::string_view(text + start, end - start) : std::string_view();
    if (token != nullptr) *token = found;
    if (!found.starts_with(field.Prefix)) return faNoPrefix;
    found.remove_prefix(field.Prefix.size());
    return ZParseFieldDecimal(ZTrimBlanks(found), raw) ? faPresent : faNotANumber;
}

std::string ZFieldDecoder::Explain(const Field& field, TFieldAbsence absence, const uint8_t* bytes,
                                   int length, const std::string& token) {
    const std::string block = "the data block of " + std::to_string(length) + " bytes";
    switch (absence) {
        case faRefused:
            return "the definition cannot be read: " + field.Refusal;
        case faNoMatch:
            return block + " does not match " + field.MatchText;
        case faOutside:
            return "the " + std::to_string(field.Width) + (field.Width == 1 ? " byte" : " bytes") +
                   " at offset " + std::to_string(field.Offset) + (field.Width == 1 ? " lies" : " lie") +
                   " outside " + block;
        case faNoToken: {
            int32_t tokens = 1;
            for (int i = 0; i < length; ++i)
                tokens += bytes[i] == static_cast<uint8_t>(field.Separator) ? 1 : 0;
            return block + " has " + std::to_string(tokens) + (tokens == 1 ? " token" : " tokens") +
                   ", none with index " + std::to_string(field.Index);
        }
        case faNoPrefix:
            return "token " + std::to_string(field.Index) + " " + Shown(token) + " does not start with " +
                   Shown(field.Prefix);
        case faNotANumber:
            return "token " + std::to_string(field.Index) + " " + Shown(token) + " holds no decimal number" +
                   (field.Prefix.empty() ? "" : " after " + Shown(field.Prefix));
        case faNotFinite:
            return "the value is not finite (NaN or infinity)";
        case faPresent:
            break;
    }
    return {};
}
