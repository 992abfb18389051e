#include "ZChecksum.h"

#include <array>
#include <cctype>

namespace {

// Catalogue parameters of a CRC; the reflected ones run their register LSB first.
struct CrcParams {
    int Width;
    uint32_t Poly;  // normal form
    uint32_t Init;
    bool Reflected;
    uint32_t XorOut;
};

constexpr CrcParams Crc8{8, 0x07, 0x00, false, 0};
constexpr CrcParams Crc16Modbus{16, 0x8005, 0xFFFF, true, 0};
constexpr CrcParams Crc16CcittFalse{16, 0x1021, 0xFFFF, false, 0};
constexpr CrcParams Crc16Xmodem{16, 0x1021, 0x0000, false, 0};
constexpr CrcParams Crc32{32, 0x04C11DB7, 0xFFFFFFFF, true, 0xFFFFFFFF};

constexpr uint32_t Reflect(uint32_t value, int width) {
    uint32_t out = 0;
    for (int i = 0; i < width; ++i) out |= ((value >> i) & 1u) << (width - 1 - i);
    return out;
}

constexpr uint32_t Mask(int width) {
    return width == 32 ? 0xFFFFFFFFu : (1u << width) - 1;
}

using CrcTable = std::array<uint32_t, 256>;

// One table lookup per byte instead of eight shifts.
constexpr CrcTable MakeTable(const CrcParams& p) {
    CrcTable table{};
    for (uint32_t b = 0; b < 256; ++b) {
        uint32_t reg = 0;
        if (p.Reflected) {
            const uint32_t poly = Reflect(p.Poly, p.Width);
            reg = b;
            for (int i = 0; i < 8; ++i) reg = (reg & 1u) ? (reg >> 1) ^ poly : reg >> 1;
        } else {
            reg = b << (p.Width - 8);
            const uint32_t top = 1u << (p.Width - 1);
            for (int i = 0; i < 8; ++i) reg = (reg & top) ? (reg << 1) ^ p.Poly : reg << 1;
            reg &= Mask(p.Width);
        }
        table[b] = reg;
    }
    return table;
}

constexpr CrcTable Crc8Table = MakeTable(Crc8);
constexpr CrcTable Crc16ModbusTable = MakeTable(Crc16Modbus);
constexpr CrcTable Crc16CcittTable = MakeTable(Crc16CcittFalse);
constexpr CrcTable Crc32Table = MakeTable(Crc32);

const CrcParams* ParamsOf(int32_t algorithm) {
    switch (algorithm) {
        case caCrc8:
            return &Crc8;
        case caCrc16Modbus:
            return &Crc16Modbus;
        case caCrc16CcittFalse:
            return &Crc16CcittFalse;
        case caCrc16Xmodem:
            return &Crc16Xmodem;
        case caCrc32:
            return &Crc32;
        default:
            return nullptr;
    }
}

const CrcTable& TableOf(int32_t algorithm) {
    switch (algorithm) {
        case caCrc8:
            return Crc8Table;
        case caCrc16Modbus:
            return Crc16ModbusTable;
        case caCrc32:
            return Crc32Table;
        default:
            return Crc16CcittTable;  // CCITT-FALSE and XMODEM share the polynomial
    }
}

uint32_t UpdateCrc(const CrcParams& p, const CrcTable& table, uint32_t reg, const uint8_t* bytes,
                   size_t count) {
    if (p.Reflected) {
        for (size_t i = 0; i < count; ++i) reg = (reg >> 8) ^ table[(reg ^ bytes[i]) & 0xFF];
        return reg;
    }
    const int shift = p.Width - 8;
    const uint32_t mask = Mask(p.Width);
    for (size_t i = 0; i < count; ++i) reg = ((reg << 8) ^ table[((reg >> shift) ^ bytes[i]) & 0xFF]) & mask;
    return reg;
}

int HexDigit(uint8_t c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

}  // namespace

ZChecksum::ZChecksum(int32_t algorithm) : algorithm_(IsActive(algorithm) ? algorithm : caNone) {
    if (const CrcParams* p = ParamsOf(algorithm_)) value_ = p->Init;
}

int ZChecksum::FieldWidth(int32_t algorithm) {
    switch (algorithm) {
        case caXor8:
        case caSum8:
        case caSum8TwosComplement:
        case caCrc8:
            return 1;
        case caCrc16Modbus:
        case caCrc16CcittFalse:
        case caCrc16Xmodem:
        case caFletcher8:
        case caXor8Hex:
            return 2;
        case caCrc32:
            return 4;
        default:
            return 0;
    }
}

const char* ZChecksum::Name(int32_t algorithm) {
    static const char* const names[ChecksumAlgorithmCount] = {
        "none",
        "XOR-8",
        "SUM-8",
        "SUM-8 two's complement",
        "CRC-8",
        "CRC-16/MODBUS",
        "CRC-16/CCITT-FALSE",
        "CRC-16/XMODEM",
        "CRC-32",
        "Fletcher-8 (CK_A CK_B)",
        "XOR-8 as two hex digits",
    };
    return IsActive(algorithm) ? names[algorithm] : names[caNone];
}

int32_t ZChecksum::FromName(const std::string& text) {
    const auto lower = [](std::string value) {
        for (char& c : value) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        return value;
    };
    for (int32_t i = 0; i < ChecksumAlgorithmCount; ++i) {
        if (text == std::to_string(i) || lower(text) == lower(Name(i))) return i;
    }
    return -1;
}

void ZChecksum::Update(const uint8_t* bytes, size_t count) {
    switch (algorithm_) {
        case caXor8:
        case caXor8Hex:
            for (size_t i = 0; i < count; ++i) value_ ^= bytes[i];
            break;
        case caSum8:
        case caSum8TwosComplement:
            for (size_t i = 0; i < count; ++i) value_ += bytes[i];
            break;
        case caFletcher8:
            for (size_t i = 0; i < count; ++i) {
                value_ = (value_ + bytes[i]) & 0xFF;
                second_ = (second_ + value_) & 0xFF;
            }
            break;
        default:
            if (const CrcParams* p = ParamsOf(algorithm_))
                value_ = UpdateCrc(*p, TableOf(algorithm_), value_, bytes, count);
            break;
    }
}

uint32_t ZChecksum::Value() const {
    switch (algorithm_) {
        case caSum8:
            return value_ & 0xFF;
        case caSum8TwosComplement:
            return (0x100 - (value_ & 0xFF)) & 0xFF;
        case caFletcher8:
            return (value_ << 8) | second_;
        default:
            if (const CrcParams* p = ParamsOf(algorithm_)) return (value_ ^ p->XorOut) & Mask(p->Width);
            return value_;
    }
}

bool ZChecksum::Matches(const uint8_t* field, bool msbFirst) const {
    const int width = FieldWidth(algorithm_);
    if (width == 0) return true;
    if (algorithm_ == caXor8Hex) {
        const int high = HexDigit(field[0]);
        const int low = HexDigit(field[1]);
        return high >= 0 && low >= 0 && static_cast<uint32_t>(high * 16 + low) == Value();
    }
    uint32_t stored = 0;
    for (int i = 0; i < width; ++i) {
        const uint8_t byte = msbFirst ? field[i] : field[width - 1 - i];
        stored = (stored << 8) | byte;
    }
    return stored == Value();
}
