#include "SerialConfigText.h"

#include <cstdint>
#include <optional>
#include <string_view>

namespace {

constexpr std::string_view Mark = "RRS0";
constexpr size_t ChecksumPos = 88;
constexpr size_t ChecksumWidth = 3;

// Writes value at its field: padded in front with '0', or cut to its leftmost digits.
void PutNumber(std::string& text, size_t pos, size_t width, int64_t value) {
    std::string digits = std::to_string(value);
    if (digits.size() < width) digits.insert(0, width - digits.size(), '0');
    text.replace(pos, width, digits, 0, width);
}

uint8_t ChecksumOf(std::string_view text) {
    uint8_t sum = 0;
    for (size_t i = 0; i < ChecksumPos; ++i) sum ^= i < text.size() ? static_cast<uint8_t>(text[i]) : 0;
    return sum;
}

// A field of the examined text: positions past the end read as code 0, and a field
// ends at its first code 0.
class TFieldReader {
public:
    explicit TFieldReader(std::string_view text) : text_(text.substr(0, SerialConfigTextLength)) {}

    std::string_view Field(size_t pos, size_t width) const {
        if (pos >= text_.size()) return {};
        std::string_view field = text_.substr(pos, width);
        return field.substr(0, field.find('\0'));
    }

    // Leading blanks, one sign, then digits only; the value must fit 32 bits.
    std::optional<int32_t> Number(size_t pos, size_t width) const {
        std::string_view field = Field(pos, width);
        while (!field.empty() && field.front() == ' ') field.remove_prefix(1);
        bool negative = false;
        if (!field.empty() && (field.front() == '+' || field.front() == '-')) {
            negative = field.front() == '-';
            field.remove_prefix(1);
        }
        if (field.empty()) return std::nullopt;
        int64_t value = 0;
        for (char c : field) {
            if (c < '0' || c > '9') return std::nullopt;
            value = value * 10 + (c - '0');
        }
        if (negative) value = -value;
        if (value < INT32_MIN || value > INT32_MAX) return std::nullopt;
        return static_cast<int32_t>(value);
    }

    // The number of the leading digits (0 when there are none); never fails.
    uint8_t Character(size_t pos, size_t width) const {
        uint32_t value = 0;
        for (char c : Field(pos, width)) {
            if (c < '0' || c > '9') break;
            value = value * 10 + static_cast<uint32_t>(c - '0');
        }
        return static_cast<uint8_t>(value & 0xFF);
    }

private:
    std::string_view text_;
};

// Reads the fields in order; the first that does not read ends the reading.
class TConfigParser {
public:
    TConfigParser(const TFieldReader& reader, TSerialConfig& config) : reader_(reader), config_(config) {}

    bool Parse() {
        return Int(4, 3, config_.COMPort) && Enum(7, 2, 19, config_.Baudrate) &&
               Enum(9, 1, 4, config_.DataBits) && Enum(10, 1, 4, config_.ParityBit) &&
               Enum(11, 1, 2, config_.StopBits) && Int(12, 8, config_.BufSizeTrm) &&
               Int(20, 8, config_.BufSizeRec) && Flag(28, config_.HandshakeRtsCts) &&
               Flag(29, config_.HandshakeDtrDsr) && Flag(30, config_.HandshakeXOnXOff) &&
               Flag(31, config_.RTSActive) && Flag(32, config_.DTRActive) && Char(33, config_.XOnChar) &&
               Char(36, config_.XOffChar) && Int(39, 8, config_.XOffLimit) && Int(47, 8, config_.XOnLimit) &&
               Char(55, config_.ErrorChar) && Char(58, config_.EofChar) && Char(61, config_.EventChar) &&
               Flag(64, config_.ContinueOnXOff) && Flag(65, config_.UseErrorChar) &&
               Flag(66, config_.EliminateNullChar) && Flag(67, config_.AbortOnError) &&
               Int(68, 10, config_.RecTimeOut) && Int(78, 10, config_.TrmTimeOut);
    }

private:
    bool Int(size_t pos, size_t width, int32_t& field) {
        const auto value = reader_.Number(pos, width);
        if (value) field = *value;
        return value.has_value();
    }

    template <typename TEnum>
    bool Enum(size_t pos, size_t width, int32_t highest, TEnum& field) {
        const auto value = reader_.Number(pos, width);
        if (!value || *value < 0 || *value > highest) return false;
        field = static_cast<TEnum>(*value);
        return true;
    }

    bool Flag(size_t pos, bool& field) {
        const auto value = reader_.Number(pos, 1);
        if (value) field = *value > 0;
        return value.has_value();
    }

    bool Char(size_t pos, uint8_t& field) {
        field = reader_.Character(pos, 3);
        return true;
    }

    const TFieldReader& reader_;
    TSerialConfig& config_;
};

}  // namespace

std::string SerialConfigToText(const TSerialConfig& config) {
    if (!config.Valid) return "";
    std::string text(SerialConfigTextLength, '0');
    text.replace(0, Mark.size(), Mark);
    PutNumber(text, 4, 3, config.COMPort);
    PutNumber(text, 7, 2, config.Baudrate);
    PutNumber(text, 9, 1, config.DataBits);
    PutNumber(text, 10, 1, config.ParityBit);
    PutNumber(text, 11, 1, config.StopBits);
    PutNumber(text, 12, 8, config.BufSizeTrm);
    PutNumber(text, 20, 8, config.BufSizeRec);
    PutNumber(text, 28, 1, config.HandshakeRtsCts);
    PutNumber(text, 29, 1, config.HandshakeDtrDsr);
    PutNumber(text, 30, 1, config.HandshakeXOnXOff);
    PutNumber(text, 31, 1, config.RTSActive);
    PutNumber(text, 32, 1, config.DTRActive);
    PutNumber(text, 33, 3, config.XOnChar);
    PutNumber(text, 36, 3, config.XOffChar);
    PutNumber(text, 39, 8, config.XOffLimit);
    PutNumber(text, 47, 8, config.XOnLimit);
    PutNumber(text, 55, 3, config.ErrorChar);
    PutNumber(text, 58, 3, config.EofChar);
    PutNumber(text, 61, 3, config.EventChar);
    PutNumber(text, 64, 1, config.ContinueOnXOff);
    PutNumber(text, 65, 1, config.UseErrorChar);
    PutNumber(text, 66, 1, config.EliminateNullChar);
    PutNumber(text, 67, 1, config.AbortOnError);
    PutNumber(text, 68, 10, config.RecTimeOut);
    PutNumber(text, 78, 10, config.TrmTimeOut);
    PutNumber(text, ChecksumPos, ChecksumWidth, ChecksumOf(text));
    return text;
}

TSerialConfig SerialConfigFromText(const std::string& text, const TSerialConfig& current) {
    TSerialConfig config = current;
    config.Valid = false;
    if (text.size() <= Mark.size()) return config;
    const TFieldReader reader(text);
    if (reader.Field(0, Mark.size()) != Mark) return config;
    const auto checksum = reader.Number(ChecksumPos, ChecksumWidth);
    if (!checksum || *checksum != ChecksumOf(text)) return config;
    config.Valid = TConfigParser(reader, config).Parse();
    return config;
}
