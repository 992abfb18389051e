#include "ZFieldDecoder.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <limits>

#include "ZFieldText.h"
#include "ZFilter.h"

namespace {

constexpr int LoadBytes = 8;

uint64_t LoadLittleEndian(const uint8_t* at) {
    uint64_t value = 0;
    std::memcpy(&value, at, sizeof value);
    return std::endian::native == std::endian::little ? value : __builtin_bswap64(value);
}

// Where the width bytes at offset (negative: from the end) start in a block of
// length bytes; false when they do not all lie inside it.
bool Locate(int32_t offset, int32_t width, int length, int& start) {
    start = offset >= 0 ? offset : length + offset;
    return start >= 0 && start <= length - width;
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

const char* SkipBlanks(const char* at, const char* end) {
    while (at < end && IsBlank(*at)) ++at;
    return at;
}

// Where the first separator at or after at lies; end when there is none. Tokens are
// short: a loop costs less than a call.
const char* FindSeparator(const char* at, const char* end, char separator) {
    while (at < end && *at != separator) ++at;
    return at;
}

// The least length of the blocks in which the width bytes at offset lie, and the 8
// bytes that end where they end (or start at the block's start) too; INT_MAX when no
// block holds them (an offset from the end closer to it than width).
int FastLength(int32_t offset, int32_t width) {
    if (offset < 0 && -offset < width) return std::numeric_limits<int>::max();
    const int64_t inside = offset < 0 ? -int64_t{offset} : int64_t{offset} + width;
    const int64_t load = offset < 0 ? LoadBytes - int64_t{offset} - width : LoadBytes;
    return static_cast<int>(std::max(inside, load));
}

// The token for a message: its printable characters, others as '.'.
std::string Shown(std::string_view token) {
    std::string shown = "\"";
    shown += BytesToAscii(reinterpret_cast<const uint8_t*>(token.data()), static_cast<int>(token.size()));
    shown += '"';
    return shown;
}

}  // namespace

struct ZFieldDecoder::Block {
    Block(const uint8_t* blockBytes, int blockLength)
        : bytes(blockLength > 0 && blockBytes != nullptr ? blockBytes : tail),
          length(bytes != tail ? blockLength : 0),
          tailStart(std::max(0, length - LoadBytes)) {
        if (length >= LoadBytes)
            std::memcpy(tail, bytes + tailStart, LoadBytes);
        else if (length > 0)
            std::memcpy(tail, bytes, static_cast<size_t>(length));
    }
    // bytes may point into the block itself.
    Block(const Block&) = delete;
    Block& operator=(const Block&) = delete;
    // The 8 bytes at start, which lies in 0..length: those past the end are 0.
    uint64_t Load(int start) const {
        return start + LoadBytes <= length ? LoadLittleEndian(bytes + start)
                                           : LoadLittleEndian(tail + (start - tailStart));
    }
    const char* Text() const { return reinterpret_cast<const char*>(bytes); }

    const uint8_t* bytes;
    int length;
    int tailStart;
    uint8_t tail[2 * LoadBytes] = {};
};

ZFieldDecoder::ZFieldDecoder()
    : layout_(std::make_shared<const ZFieldLayout>(std::vector<std::string>(), std::vector<std::string>())) {}

ZFieldDecoder::ZFieldDecoder(const ZFieldList& list) {
    std::vector<std::string> names;
    std::vector<std::string> units;
    fields_.reserve(list.Items.size());
    for (const ZFieldDefinition& definition : list.Items) {
        fields_.push_back(Prepare(definition, static_cast<int32_t>(fields_.size())));
        names.push_back(definition.Name);
        units.push_back(definition.Unit);
    }
    layout_ = std::make_shared<const ZFieldLayout>(std::move(names), std::move(units));
    // Numbers first, then text fields of one separator by rising token index, so that
    // one scan of the block finds all their tokens, then those never read.
    const auto group = [](const Field& field) { return !field.Valid ? 2 : field.Type == ftText ? 1 : 0; };
    std::stable_sort(fields_.begin(), fields_.end(), [&group](const Field& first, const Field& second) {
        if (group(first) != group(second)) return group(first) < group(second);
        if (group(first) != 1) return false;
        if (first.Separator != second.Separator) return first.Separator < second.Separator;
        return first.Index < second.Index;
    });
    fastLength_ = LoadBytes;
    for (size_t i = 0; i < fields_.size(); ++i) {
        Field& field = fields_[i];
        numberCount_ += group(field) == 0 ? 1 : 0;
        textCount_ += group(field) == 1 ? 1 : 0;
        field.FirstOfSeparator = group(field) == 1 && (i == 0 || group(fields_[i - 1]) != 1 ||
                                                       fields_[i - 1].Separator != field.Separator);
        if (group(field) == 0) fastLength_ = std::max(fastLength_, FastLength(field.Offset, field.Width));
    }
}

ZFieldDecoder::Field ZFieldDecoder::Prepare(const ZFieldDefinition& definition, int32_t slot) {
    Field field;
    field.Type = definition.Type;
    field.Valid = !definition.Name.empty() && definition.Check("", field.Refusal);
    if (definition.Name.empty()) field.Refusal = "it has no name";
    field.Slot = slot;
    field.Offset = definition.Offset;
    field.Width = ZFieldDefinition::TypeBytes(definition.Type);
    field.Swap = definition.MSBFirst;
    const int widthBits = 8 * field.Width;
    const bool integer = ZFieldDefinition::IsInteger(definition.Type);
    const int start = integer && definition.HasBits ? definition.BitStart : 0;
    int bits = integer && definition.HasBits ? definition.BitLength : widthBits;
    if (!field.Valid || definition.Type == ftText) bits = 1;  // shifts stay defined; never read
    // A little-endian load holds the value in its low widthBits bits; swapped, in its
    // high ones. Shifting the slice's top bit to bit 63 and back drops the bytes beyond.
    const int low = field.Swap ? 64 - widthBits + start : start;
    field.Left = static_cast<uint8_t>(64 - low - bits);
    field.Right = static_cast<uint8_t>(64 - bits);
    // In a long enough block the 8 bytes loaded end where the field ends, or start at
    // the block's start when it ends sooner; the field starts shift bytes into them.
    const int32_t fieldEnd = field.Offset + field.Width;
    field.EndMask = field.Offset < 0 ? -1 : 0;
    field.FastLoad = field.Offset < 0 ? fieldEnd - LoadBytes : std::max(0, fieldEnd - LoadBytes);
    const int shift = field.Offset - field.FastLoad;
    const int fastLow = (field.Swap ? 8 * (LoadBytes - shift - field.Width) : 8 * shift) + start;
    field.FastLeft = static_cast<uint8_t>(64 - fastLow - bits);
    if (definition.Type == ftF32) {
        field.Conversion = cvFloat;
    } else if (definition.Type == ftF64) {
        field.Conversion = cvDouble;
    } else if (ZFieldDefinition::IsSigned(definition.Type)) {
        field.Conversion = cvSigned;
    } else {
        field.Conversion = bits == 64 ? cvUnsigned64 : cvUnsigned;
    }
    field.Scale = definition.Scale;
    field.Add = definition.Add;
    // An integer times 1 plus 0 is the integer itself (never -0), and finite.
    field.Unscaled = integer && field.Scale == 1 && field.Add == 0;
    field.Separator = definition.Separator;
    field.Index = definition.Index;
    field.Prefix = definition.Prefix;
    // Read in place only where no character of the prefix, the blanks or a short
    // number can be the separator.
    field.ParseInPlace = std::string_view("0123456789.+- \t").find(field.Separator) == std::string_view::npos &&
                         field.Prefix.find(field.Separator) == std::string::npos;
    BytePattern& match = field.Match;
    match.Any = definition.HasMatch;
    match.Offset = definition.MatchOffset;
    match.Size = static_cast<int32_t>(definition.MatchPattern.size());
    for (size_t i = 0; i < definition.MatchPattern.size(); ++i) {
        const bool wildcard = definition.MatchPattern[i] == AnyByte;
        const auto byte = static_cast<uint8_t>(wildcard ? 0 : definition.MatchPattern[i]);
        const uint8_t mask = wildcard ? 0 : 0xFF;
        if (i < LoadBytes) {
            match.Bytes |= uint64_t{byte} << (8 * i);
            match.Mask |= uint64_t{mask} << (8 * i);
        }
        match.LongBytes.push_back(byte);
        match.LongMask.push_back(mask);
    }
    if (match.Size <= LoadBytes) {
        match.LongBytes.clear();
        match.LongMask.clear();
    }
    field.MatchText = definition.KeyText(fkMatch);
    return field;
}

bool ZFieldDecoder::Matches(const BytePattern& match, const Block& block) {
    int start = 0;
    if (!Locate(match.Offset, match.Size, block.length, start)) return false;
    if (match.Size <= LoadBytes) return (block.Load(start) & match.Mask) == match.Bytes;
    for (size_t i = 0; i < match.LongBytes.size(); ++i) {
        if ((block.bytes[static_cast<size_t>(start) + i] & match.LongMask[i]) != match.LongBytes[i]) return false;
    }
    return true;
}

inline const char* ZFieldDecoder::ReadInPlace(const Field& field, const char* start, const char* end, double& raw) {
    const char* at = start;
    // Prefixes are a few characters: a loop costs less than a call.
    for (const char c : field.Prefix) {
        if (at == end || *at != c) return nullptr;
        ++at;
    }
    double value = 0;
    at = ZScanShortDecimal(SkipBlanks(at, end), end, value);
    if (at == nullptr) return nullptr;
    at = SkipBlanks(at, end);
    if (at != end && *at != field.Separator) return nullptr;
    raw = value;
    return at;
}

inline TFieldAbsence ZFieldDecoder::Scaled(const Field& field, double raw, double& value) {
    if (field.Unscaled) {
        value = raw;
        return faPresent;
    }
    value = raw * field.Scale + field.Add;
    return std::isfinite(value) ? faPresent : faNotFinite;
}

inline TFieldAbsence ZFieldDecoder::FromBits(const Field& field, uint64_t bits, uint8_t left, double& value) {
    if (field.Swap) bits = __builtin_bswap64(bits);
    bits <<= left;
    double raw = 0;
    if (field.Conversion <= cvUnsigned) {
        // Either shift, then the signed conversion, one instruction (an unsigned slice
        // here is below 2^63), with no branch on the field's sign.
        const int64_t sign = static_cast<int64_t>(bits) >> field.Right;
        const auto magnitude = static_cast<int64_t>(bits >> field.Right);
        raw = static_cast<double>(field.Conversion == cvSigned ? sign : magnitude);
    } else if (field.Conversion == cvUnsigned64) {
        raw = static_cast<double>(bits);
    } else if (field.Conversion == cvFloat) {
        const auto word = static_cast<uint32_t>(bits >> field.Right);
        float single = 0;
        std::memcpy(&single, &word, sizeof single);
        raw = single;
    } else {
        std::memcpy(&raw, &bits, sizeof raw);
    }
    return Scaled(field, raw, value);
}

inline TFieldAbsence ZFieldDecoder::ReadNumber(const Field& field, const Block& block, double& value) {
    if (field.Match.Any && !Matches(field.Match, block)) return faNoMatch;
    int start = 0;
    if (!Locate(field.Offset, field.Width, block.length, start)) return faOutside;
    return FromBits(field, block.Load(start), field.Left, value);
}

inline TFieldAbsence ZFieldDecoder::ReadNumberInside(const Field& field, const Block& block, double& value) {
    if (field.Match.Any && !Matches(field.Match, block)) return faNoMatch;
    const int load = field.FastLoad + (block.length & field.EndMask);
    return FromBits(field, LoadLittleEndian(block.bytes + load), field.FastLeft, value);
}

inline bool ZFieldDecoder::Seek(TokenCursor& cursor, int32_t index, const char* end, char separator) {
    for (; cursor.Index < index; ++cursor.Index) {
        const char* tokenEnd = cursor.End != nullptr ? cursor.End : FindSeparator(cursor.Start, end, separator);
        if (tokenEnd == end) {
            cursor.End = end;
            return false;
        }
        cursor.Start = tokenEnd + 1;
        cursor.End = nullptr;
    }
    return true;
}

inline TFieldAbsence ZFieldDecoder::ReadText(const Field& field, const Block& block, TokenCursor& cursor,
                                             double& value, std::string_view* token) {
    if (field.Match.Any && !Matches(field.Match, block)) return faNoMatch;
    const char* end = block.Text() + block.length;
    if (!Seek(cursor, field.Index, end, field.Separator)) return faNoToken;
    double raw = 0;
    const char* start = cursor.Start;
    const char* tokenEnd = token == nullptr && field.ParseInPlace ? ReadInPlace(field, start, end, raw) : nullptr;
    TFieldAbsence absence = faPresent;
    if (tokenEnd == nullptr) {
        tokenEnd = cursor.End != nullptr ? cursor.End : FindSeparator(start, end, field.Separator);
        const std::string_view found(start, static_cast<size_t>(tokenEnd - start));
        if (token != nullptr) *token = found;
        absence = ReadToken(field.Prefix, found, raw);
    }
    cursor.End = tokenEnd;
    return absence == faPresent ? Scaled(field, raw, value) : absence;
}

TFieldAbsence ZFieldDecoder::Read(const Field& field, const Block& block, double& value, std::string_view* token) {
    if (!field.Valid) return faRefused;
    TokenCursor cursor{block.Text(), nullptr, 0};
    return field.Type == ftText ? ReadText(field, block, cursor, value, token) : ReadNumber(field, block, value);
}

void ZFieldDecoder::Decode(const uint8_t* bytes, int length, ZFieldValues& values) const {
    // Values of another decoder would be read out of their bounds.
    if (values.Count() != Count()) values = MakeValues();
    const Block block(bytes, length);
    double* slots = values.Slots();
    int present = 0;
    // Every slot is written, NaN where the field is absent: nothing to clear first.
    const auto keep = [&](const Field& field, bool found, double value) {
        slots[field.Slot] = found ? value : std::numeric_limits<double>::quiet_NaN();
        present += found ? 1 : 0;
    };
    const Field* field = fields_.data();
    const Field* numbers = field + numberCount_;
    if (block.length >= fastLength_) {
        for (; field != numbers; ++field) {
            double value = 0;
            const bool found = ReadNumberInside(*field, block, value) == faPresent;
            keep(*field, found, value);
        }
    } else {
        for (; field != numbers; ++field) {
            double value = 0;
            const bool found = ReadNumber(*field, block, value) == faPresent;
            keep(*field, found, value);
        }
    }
    TokenCursor cursor{block.Text(), nullptr, 0};
    for (const Field* texts = field + textCount_; field != texts; ++field) {
        if (field->FirstOfSeparator) cursor = TokenCursor{block.Text(), nullptr, 0};
        double value = 0;
        const bool found = ReadText(*field, block, cursor, value, nullptr) == faPresent;
        keep(*field, found, value);
    }
    for (const Field* refused = fields_.data() + fields_.size(); field != refused; ++field) keep(*field, false, 0);
    values.SetPresentCount(present);
}

std::vector<ZFieldTry> ZFieldDecoder::Try(const uint8_t* bytes, int length) const {
    const Block block(bytes, length);
    std::vector<ZFieldTry> results(fields_.size());
    for (const Field& field : fields_) {
        ZFieldTry& result = results[static_cast<size_t>(field.Slot)];
        // Each field on its own, as the user asks about it.
        std::string_view token;
        const TFieldAbsence absence = Read(field, block, result.Value, &token);
        result.Present = absence == faPresent;
        if (!result.Present) {
            result.Value = 0;
            result.Why = Explain(field, absence, block.bytes, block.length, token);
        }
    }
    return results;
}

TFieldAbsence ZFieldDecoder::ReadToken(const std::string& prefix, std::string_view token, double& raw) {
    if (!token.starts_with(prefix)) return faNoPrefix;
    token.remove_prefix(prefix.size());
    return ZParseFieldDecimal(ZTrimBlanks(token), raw) ? faPresent : faNotANumber;
}

std::string ZFieldDecoder::Explain(const Field& field, TFieldAbsence absence, const uint8_t* bytes, int length,
                                   std::string_view token) {
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
